#include "reconstruct/Lists.h"

#include <algorithm>

#include "app/Settings.h"
#include "reconstruct/FuzzyFold.h"
#include "text/AppHome.h"
#include "text/CharBuffer.h"

namespace quippet {
namespace {

constexpr std::u16string_view kPrefixChained = u"【連鎖】";
constexpr std::u16string_view kPrefixSingle = u"【単独】";
constexpr std::u16string_view kPrefixDefault = u"【    】";

OptText path_setting(ListFile file) {
    switch (file) {
    case ListFile::kNgIds:
        return OptText::kNgIdList;
    case ListFile::kNgWords:
        return OptText::kNgWordFile;
    case ListFile::kCommonNg:
        return OptText::kCommonNgFile;
    case ListFile::kPriorityIds:
        return OptText::kPriorityIdList;
    case ListFile::kReplace1:
        return OptText::kReplace1File;
    case ListFile::kReplace2:
        return OptText::kReplace2File;
    case ListFile::kFuzzyRules:
        break;
    }
    return OptText::kFuzzyRules;
}

/// Lines without their line ends; a last line without one counts too.
std::vector<std::u16string_view> lines_of(std::u16string_view text) {
    std::vector<std::u16string_view> lines;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find(u'\n', at);
        if (end == std::u16string_view::npos) end = text.size();
        std::u16string_view line = text.substr(at, end - at);
        if (!line.empty() && line.back() == u'\r') line.remove_suffix(1);
        lines.push_back(line);
        at = end + 1;
    }
    return lines;
}

bool ignored_line(std::u16string_view line) {
    return line.empty() || line.starts_with(u"//");
}

/// "/…/" with something between the slashes.
bool slashed(std::u16string_view s) {
    return s.size() > 2 && s.front() == u'/' && s.back() == u'/';
}

/// The field after the first "," of `rest`, up to the next ",".
std::u16string_view second_field(std::u16string_view rest) {
    const size_t comma = rest.find(u',');
    if (comma == std::u16string_view::npos) return {};
    rest.remove_prefix(comma + 1);
    return rest.substr(0, rest.find(u','));
}

void add_pattern(NgGroup& group, std::u16string_view pattern, int line, std::u16string_view text,
                 std::vector<ListProblem>& problems) {
    NgPattern p;
    p.line = line;
    if (p.regex.compile(pattern) != 0) {
        problems.push_back({line, std::u16string(text), u"正規表現の誤り：" + p.regex.error_text()});
        return;
    }
    group.patterns.push_back(std::move(p));
}

bool group_matches(const NgGroup& group, std::u16string_view folded_text, std::u16string_view raw_text) {
    if (group.word_search.found_in(folded_text)) return true;
    for (const NgPattern& p : group.patterns)
        if (p.regex.contains(raw_text)) return true;
    return false;
}

} // namespace

std::u16string list_file_path(const CSettings& settings, ListFile file) {
    return resolve_in_home(settings.text(path_setting(file)));
}

int ensure_list_file(const CSettings& settings, ListFile file, const CreationFailureHook& on_failure) {
    return ensure_file_exists(list_file_path(settings, file), list_file_default_text(file), on_failure);
}

NgMatch NgList::match(std::u16string_view folded_text, std::u16string_view raw_text) const {
    if (group_matches(chained, folded_text, raw_text)) return NgMatch::chained;
    if (group_matches(single, folded_text, raw_text)) return NgMatch::single;
    return NgMatch::none;
}

NgList parse_ng_list(std::u16string_view text, NgListKind kind, bool chain_by_default) {
    NgList list;
    const std::vector<std::u16string_view> lines = lines_of(text);
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::u16string_view whole = lines[i];
        const int number = static_cast<int>(i) + 1;
        if (ignored_line(whole)) continue;
        std::u16string_view rest = whole;
        bool chained = chain_by_default;
        if (rest.starts_with(kPrefixChained)) {
            chained = true;
            rest.remove_prefix(kPrefixChained.size());
        } else if (rest.starts_with(kPrefixSingle)) {
            chained = false;
            rest.remove_prefix(kPrefixSingle.size());
        } else if (rest.starts_with(kPrefixDefault)) {
            rest.remove_prefix(kPrefixDefault.size());
        }

        // Lines in the form of another player's NG file, so that such a file can be pasted in as it is.
        enum class Kind { id, word, regex } what = kind == NgListKind::kIds ? Kind::id : Kind::word;
        bool marked = false;
        if (rest.size() >= 2 && rest[1] == u',') {
            marked = true;
            switch (rest[0]) {
            case u'0':
                what = Kind::id;
                break;
            case u'1':
                what = Kind::word;
                break;
            case u'2':
                what = Kind::regex;
                break;
            case u'3':
            case u'4':
                continue;
            case u'5':
            case u'6':
                ++i;
                continue;
            case u'M': {
                const std::u16string_view field = second_field(rest.substr(2));
                if (field == u"5" || field == u"6") ++i;
                continue;
            }
            default:
                marked = false;
                break;
            }
            if (marked) rest.remove_prefix(2);
        }
        // An empty entry would match every comment.
        if (rest.empty()) {
            list.problems.push_back({number, std::u16string(whole), u"中身が空なので無視"});
            continue;
        }
        if (what == Kind::id) {
            list.ids.insert(std::u16string(rest));
            continue;
        }
        if (kind == NgListKind::kIds) continue; // the ID lists take no words
        NgGroup& group = chained ? list.chained : list.single;
        if (what == Kind::regex)
            add_pattern(group, rest, number, whole, list.problems);
        else if (slashed(rest))
            add_pattern(group, rest.substr(1, rest.size() - 2), number, whole, list.problems);
        else if (std::u16string folded = fuzzy_folded(rest); !folded.empty())
            group.words.push_back(std::move(folded));
    }
    for (NgGroup* group : {&list.chained, &list.single})
        group->word_search = WordSearch(group->words);
    return list;
}

NgList load_ng_list(std::u16string_view path, NgListKind kind, bool chain_by_default) {
    CCharW text;
    CFileSP file;
    if (file.read_settings_text(resolve_in_home(path), text) != 0) {
        NgList empty;
        empty.problems.push_back({0, std::u16string(path), u"ファイルが読み込めないので使わずに処理"});
        return empty;
    }
    return parse_ng_list(text.view(), kind, chain_by_default);
}

int ReplaceList::regex_rule_count() const {
    return static_cast<int>(std::count_if(rules.begin(), rules.end(), [](const ReplaceRule& r) { return r.is_regex; }));
}

long long ReplaceList::regex_give_ups() const {
    long long n = 0;
    for (const ReplaceRule& rule : rules)
        if (rule.is_regex) n += rule.regex.give_ups();
    return n;
}

bool ReplaceList::apply(std::u16string& text, ReplaceCounts& counts) const {
    counts.regex_comments.resize(static_cast<size_t>(regex_rule_count()), 0);
    bool plain_changed = false;
    bool changed = false;
    size_t regex_index = 0;
    std::u16string replaced;
    for (const ReplaceRule& rule : rules) {
        if (rule.is_regex) {
            if (rule.regex.replace_all(text, rule.to, replaced) > 0 && replaced != text) {
                text.swap(replaced);
                ++counts.regex_comments[regex_index];
                changed = true;
            }
            ++regex_index;
            continue;
        }
        size_t at = text.find(rule.from);
        if (at == std::u16string::npos) continue;
        replaced.clear();
        size_t copied = 0;
        while (at != std::u16string::npos) {
            replaced.append(text, copied, at - copied).append(rule.to);
            copied = at + rule.from.size();
            at = text.find(rule.from, copied);
        }
        replaced.append(text, copied);
        if (replaced != text) {
            text.swap(replaced);
            plain_changed = changed = true;
        }
    }
    if (plain_changed) ++counts.plain_comments;
    return changed;
}

ReplaceList parse_replace_list(std::u16string_view text) {
    ReplaceList list;
    const std::vector<std::u16string_view> lines = lines_of(text);
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::u16string_view line = lines[i];
        const int number = static_cast<int>(i) + 1;
        if (ignored_line(line)) continue;
        const size_t tab = line.find(u'\t');
        if (tab == std::u16string_view::npos) {
            list.problems.push_back({number, std::u16string(line), u"タブ区切りがないので無視"});
            continue;
        }
        const std::u16string_view from = line.substr(0, tab);
        const std::u16string_view to = line.substr(tab + 1);
        ReplaceRule rule;
        rule.line = number;
        // "//" as the replacement is the empty expression format: the match is deleted.
        const bool to_slashed = to.size() >= 2 && to.front() == u'/' && to.back() == u'/';
        if (slashed(from) && to_slashed) {
            rule.is_regex = true;
            rule.from = from.substr(1, from.size() - 2);
            rule.to = to.substr(1, to.size() - 2);
            // A rule that does not compile stays in the list (it never matches) so that the rules after it
            // keep the numbers the report gives them.
            if (rule.regex.compile(rule.from) != 0)
                list.problems.push_back({number, std::u16string(line), u"正規表現の誤り：" + rule.regex.error_text()});
        } else {
            if (from.empty()) {
                list.problems.push_back({number, std::u16string(line), u"置換前が空なので無視"});
                continue;
            }
            rule.from = from;
            rule.to = to;
        }
        list.rules.push_back(std::move(rule));
    }
    return list;
}

ReplaceList load_replace_list(std::u16string_view path) {
    CCharW text;
    CFileSP file;
    if (file.read_settings_text(resolve_in_home(path), text) != 0) {
        ReplaceList empty;
        empty.problems.push_back({0, std::u16string(path), u"ファイルが読み込めないので使わずに処理"});
        return empty;
    }
    return parse_replace_list(text.view());
}

std::vector<FuzzyRule> load_fuzzy_rule_file(std::u16string_view path, std::vector<ListProblem>* problems) {
    CCharW text;
    CFileSP file;
    if (file.read_settings_text(resolve_in_home(path), text) != 0) {
        if (problems) problems->push_back({0, std::u16string(path), u"ファイルが読み込めないので使わずに処理"});
        return {};
    }
    std::vector<std::u16string> lines;
    const std::vector<std::u16string_view> views = lines_of(text.view());
    for (size_t i = 0; i < views.size(); ++i) {
        const std::u16string_view line = views[i];
        lines.emplace_back(line);
        if (!problems || ignored_line(line)) continue;
        const size_t arrow = line.find(u"[→]");
        // A rule without a left side would have to replace the empty text everywhere.
        if (arrow == std::u16string_view::npos)
            problems->push_back({static_cast<int>(i) + 1, std::u16string(line), u"「[→]」がないので無視"});
        else if (arrow == 0)
            problems->push_back({static_cast<int>(i) + 1, std::u16string(line), u"置換前が空なので無視"});
    }
    return parse_fuzzy_rules(lines);
}

} // namespace quippet
