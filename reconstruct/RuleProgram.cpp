#include "reconstruct/RuleProgram.h"

#include "text/Ascii.h"

#include <algorithm>
#include <climits>
#include <ctime>

#include "reconstruct/FuzzyFold.h"
#include "resources/DefaultTextsCommands.h"
#include "text/CharArray.h"

namespace quippet {
namespace {

/// How an instruction's parameter is read.
enum class Param {
    none,
    command,       // command words or a category, command-folded
    folded_words,  // "|" alternatives, each fuzzy-folded
    words,         // "|" alternatives as written
    regex,         // one pattern
    number,        // decimal integer, -1 when bad
    time_position, // "○分○秒○"
    date,          // UNIX time or "○年○月○日○時○分○秒"
    rate,          // decimal in hundredths
    text_replace,  // from "[→]" to
    regex_replace, // pattern "[→]" format
    shape,         // the ID shape, fixed by the label
    save,          // the next hit list
};

struct Label {
    std::u16string_view text;
    RuleOp op;
    Param param;
    int extra = 0;
};

constexpr Label kLabels[] = {
    {u"含む", RuleOp::contains, Param::command, static_cast<int>(CommandOperation::contains)},
    {u"含まない", RuleOp::not_contains, Param::command, static_cast<int>(CommandOperation::contains)},
    {u"本文がこの文字列を含む", RuleOp::text_has_folded, Param::folded_words},
    {u"本文がこの文字列を含まない", RuleOp::text_lacks_folded, Param::folded_words},
    {u"本文がこの文字列を含む（区別あり）", RuleOp::text_has_exact, Param::words},
    {u"本文がこの文字列を含まない（区別あり）", RuleOp::text_lacks_exact, Param::words},
    {u"本文がこの文字列と完全に一致", RuleOp::text_equals, Param::words},
    {u"本文がこの文字列と完全に一致しない", RuleOp::text_differs, Param::words},
    {u"本文がこの正規表現を含む", RuleOp::text_regex, Param::regex},
    {u"本文がこの正規表現を含まない", RuleOp::text_not_regex, Param::regex},
    {u"本文の字数がこれ以上", RuleOp::text_length_min, Param::number},
    {u"本文の字数がこれ以下", RuleOp::text_length_max, Param::number},
    {u"IDの字数がこれ以上", RuleOp::id_length_min, Param::number},
    {u"IDの字数がこれ以下", RuleOp::id_length_max, Param::number},
    {u"IDがこの文字列に一致", RuleOp::id_equals, Param::words},
    {u"IDがこの文字列に一致しない", RuleOp::id_differs, Param::words},
    {u"IDがこの文字列を含む", RuleOp::id_has, Param::words},
    {u"IDがこの文字列を含まない", RuleOp::id_lacks, Param::words},
    {u"スコアがこれ以上", RuleOp::score_min, Param::number},
    {u"スコアがこれ以下", RuleOp::score_max, Param::number},
    {u"deletedがこの値", RuleOp::deleted_eq, Param::number},
    {u"deletedがこの値ではない", RuleOp::deleted_ne, Param::number},
    {u"deletedがこれ以上", RuleOp::deleted_min, Param::number},
    {u"deletedがこれ以下", RuleOp::deleted_max, Param::number},
    {u"premiumがこの値", RuleOp::premium_eq, Param::number},
    {u"premiumがこの値ではない", RuleOp::premium_ne, Param::number},
    {u"premiumがこれ以上", RuleOp::premium_min, Param::number},
    {u"premiumがこれ以下", RuleOp::premium_max, Param::number},
    {u"プレミアムID", RuleOp::premium_id, Param::none},
    {u"プレミアムIDではない", RuleOp::not_premium_id, Param::none},
    {u"システムコメント", RuleOp::system_comment, Param::none},
    {u"放送主コメント", RuleOp::broadcaster_comment, Param::none},
    {u"バックステージパスまたは運営コメント", RuleOp::staff_comment, Param::none},
    {u"投稿者コメント", RuleOp::uploader_comment, Param::none},
    {u"投稿者コメントではない", RuleOp::not_uploader_comment, Param::none},
    {u"匿名コメント", RuleOp::anonymous, Param::none},
    {u"匿名コメントではない", RuleOp::not_anonymous, Param::none},
    {u"優先コメント", RuleOp::priority, Param::none},
    {u"IDが優先ID", RuleOp::priority, Param::none},
    {u"優先コメントではない", RuleOp::not_priority, Param::none},
    {u"IDが優先IDではない", RuleOp::not_priority, Param::none},
    {u"表示するタイミングがこれより前", RuleOp::vpos_before, Param::time_position},
    {u"表示するタイミングがこれより後", RuleOp::vpos_after, Param::time_position},
    {u"投稿日時がこれより前", RuleOp::date_before, Param::date},
    {u"投稿日時がこれより後", RuleOp::date_after, Param::date},
    {u"IDがニコニコ動画っぽい", RuleOp::id_shape, Param::shape, static_cast<int>(IdShape::niconico)},
    {u"IDがニコニコ動画っぽくない", RuleOp::not_id_shape, Param::shape, static_cast<int>(IdShape::niconico)},
    {u"IDがひまわり動画っぽい", RuleOp::id_shape, Param::shape, static_cast<int>(IdShape::himawari)},
    {u"IDがひまわり動画っぽくない", RuleOp::not_id_shape, Param::shape, static_cast<int>(IdShape::himawari)},
    {u"IDがSayMoveっぽい", RuleOp::id_shape, Param::shape, static_cast<int>(IdShape::saymove)},
    {u"IDがSayMoveっぽくない", RuleOp::not_id_shape, Param::shape, static_cast<int>(IdShape::saymove)},
    {u"IDがぱらすてっぽい", RuleOp::id_shape, Param::shape, static_cast<int>(IdShape::parasute)},
    {u"IDがぱらすてっぽくない", RuleOp::not_id_shape, Param::shape, static_cast<int>(IdShape::parasute)},
    {u"IDが実況ログっぽい", RuleOp::id_shape, Param::shape, static_cast<int>(IdShape::jikkyo)},
    {u"IDが実況ログっぽくない", RuleOp::not_id_shape, Param::shape, static_cast<int>(IdShape::jikkyo)},
    {u"IDがふたば実況ログっぽい", RuleOp::id_shape, Param::shape, static_cast<int>(IdShape::futaba)},
    {u"IDがふたば実況ログっぽくない", RuleOp::not_id_shape, Param::shape, static_cast<int>(IdShape::futaba)},
    {u"このコメントは排除する", RuleOp::exclude, Param::none},
    {u"このコメントおよび同一IDの発言はすべて排除する", RuleOp::exclude_id, Param::none},
    {u"これ以上操作しない", RuleOp::stop, Param::none},
    {u"削除", RuleOp::remove_commands, Param::command, static_cast<int>(CommandOperation::remove)},
    {u"追加", RuleOp::add_commands, Param::command, static_cast<int>(CommandOperation::add)},
    {u"変更", RuleOp::change_commands, Param::command, static_cast<int>(CommandOperation::change)},
    {u"本文を置換", RuleOp::replace_text, Param::text_replace},
    {u"本文を正規表現で置換", RuleOp::replace_regex, Param::regex_replace},
    {u"スコアをこの値にする", RuleOp::score_set, Param::number},
    {u"スコアを上げる", RuleOp::score_up, Param::number},
    {u"スコアを下げる", RuleOp::score_down, Param::number},
    {u"表示時間をこの値にする", RuleOp::duration_set, Param::number},
    {u"表示時間を長くする", RuleOp::duration_longer, Param::number},
    {u"表示時間を短くする", RuleOp::duration_shorter, Param::number},
    {u"表示するタイミングを早める", RuleOp::vpos_earlier, Param::time_position},
    {u"表示するタイミングを遅らせる", RuleOp::vpos_later, Param::time_position},
    {u"表示するタイミングを早める（秒単位）", RuleOp::vpos_earlier_seconds, Param::number},
    {u"表示するタイミングを遅らせる（秒単位）", RuleOp::vpos_later_seconds, Param::number},
    {u"表示するタイミングを早める（分単位）", RuleOp::vpos_earlier_minutes, Param::number},
    {u"表示するタイミングを遅らせる（分単位）", RuleOp::vpos_later_minutes, Param::number},
    {u"表示するタイミングをこの値で割る", RuleOp::vpos_divide, Param::rate},
    {u"表示するタイミングにこの値を掛ける", RuleOp::vpos_multiply, Param::rate},
    {u"投稿日時を変える", RuleOp::date_set, Param::date},
    {u"英語の色指定を16進数（標準設定）に置換する", RuleOp::colors_to_codes, Param::none},
    {u"英語の色指定を16進数（ひまたん用）に置換する", RuleOp::colors_to_hima_codes, Param::none},
    {u"このコメントは優先コメントとしてあつかう", RuleOp::make_priority, Param::none},
    {u"このコメントは優先コメントとしてあつかわない", RuleOp::unmake_priority, Param::none},
    {u"ここに至ったコメントの一覧をファイルに保存する", RuleOp::save_reached, Param::save},
    {u"この操作で処理をした一覧をファイルに保存する", RuleOp::save_processed, Param::save},
};

const Label* find_label(std::u16string_view text) {
    for (const auto& l : kLabels)
        if (l.text == text) return &l;
    return nullptr;
}

constexpr std::u16string_view kArrow = u"[→]";
// A rate that could not be read: the timing actions that take it do nothing.
constexpr int kBadRate = INT_MIN;

/// Decimal with an optional sign, saturated far beyond any int; false for anything else.
bool read_long(std::u16string_view s, long long& out) {
    size_t i = 0;
    bool negative = false;
    if (i < s.size() && (s[i] == u'-' || s[i] == u'+')) negative = s[i++] == u'-';
    if (i == s.size()) return false;
    long long value = 0;
    for (; i < s.size(); ++i) {
        if (!is_ascii_digit(s[i])) return false;
        if (value < 1'000'000'000'000LL) value = value * 10 + (s[i] - u'0');
    }
    out = negative ? -value : value;
    return true;
}

int clamp_int(long long v) {
    if (v > INT_MAX) return INT_MAX;
    if (v < INT_MIN) return INT_MIN;
    return static_cast<int>(v);
}

bool all_of_set(std::u16string_view s, std::u16string_view extra) {
    for (const char16_t c : s) {
        const bool alnum = is_ascii_digit(c) || (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
        if (!alnum && extra.find(c) == std::u16string_view::npos) return false;
    }
    return true;
}

void split_alternatives(std::u16string_view text, RuleWords& out, bool fold) {
    size_t from = 0;
    while (from <= text.size()) {
        size_t bar = text.find(u'|', from);
        if (bar == std::u16string_view::npos) bar = text.size();
        if (bar > from) {
            std::u16string word(text.substr(from, bar - from));
            if (fold) fuzzy_fold(word);
            out.add(std::move(word));
        }
        from = bar + 1;
    }
}

void append_number(std::u16string& out, long long n) {
    const std::string digits = std::to_string(n);
    out.append(digits.begin(), digits.end());
}

/// Actions that may change the command set (and so the written-back mail).
bool changes_commands(RuleOp op) {
    switch (op) {
    case RuleOp::remove_commands:
    case RuleOp::add_commands:
    case RuleOp::change_commands:
    case RuleOp::duration_set:
    case RuleOp::duration_longer:
    case RuleOp::duration_shorter:
    case RuleOp::colors_to_codes:
    case RuleOp::colors_to_hima_codes:
        return true;
    default:
        return false;
    }
}

} // namespace

void RuleWords::add(std::u16string word) {
    if (word.empty()) return;
    first_units[(word[0] >> 6) & 3] |= uint64_t{1} << (word[0] & 63);
    words.push_back(std::move(word));
}

bool RuleWords::inside(std::u16string_view text) const {
    for (size_t i = 0; i < text.size(); ++i) {
        if (!(first_units[(text[i] >> 6) & 3] >> (text[i] & 63) & 1)) continue;
        const std::u16string_view rest = text.substr(i);
        for (const auto& w : words)
            if (w[0] == text[i] && rest.starts_with(w)) return true;
    }
    return false;
}

bool RuleWords::equal(std::u16string_view text) const {
    for (const auto& w : words)
        if (text == w) return true;
    return false;
}

bool has_id_shape(std::u16string_view id, IdShape shape) {
    switch (shape) {
    case IdShape::niconico:
        if (id.size() >= 4 && id.size() <= 9 && std::all_of(id.begin(), id.end(), is_ascii_digit<char16_t>))
            return true;
        return id.size() == 27 && all_of_set(id, u"-_");
    case IdShape::himawari:
        return id.size() == 10 && all_of_set(id, u"./");
    case IdShape::saymove:
        return id.size() == 24 && id.ends_with(u"==") && all_of_set(id.substr(0, 22), u"+/");
    case IdShape::parasute:
        return id.size() == 32 && all_of_set(id, u"-");
    case IdShape::jikkyo:
        return id.size() == 11 && id.starts_with(u"ID:") && all_of_set(id.substr(3), u"+/");
    case IdShape::futaba:
        return id.size() > 3 && id.starts_with(u"No.") &&
               std::all_of(id.begin() + 3, id.end(), is_ascii_digit<char16_t>);
    }
    return false;
}

int rule_number(std::u16string_view text) {
    long long v = 0;
    if (!read_long(text, v) || v > INT_MAX || v < INT_MIN) return -1;
    return static_cast<int>(v);
}

int rule_time_position(std::u16string_view text) {
    auto part = [](std::u16string_view s) {
        long long v = 0;
        return read_long(s, v) ? v : 0LL;
    };
    long long total = 0;
    std::u16string_view rest = text;
    if (const size_t k = rest.find(u'分'); k != std::u16string_view::npos) {
        total += part(rest.substr(0, k)) * 6000;
        rest = rest.substr(k + 1);
    }
    if (const size_t k = rest.find(u'秒'); k != std::u16string_view::npos) {
        total += part(rest.substr(0, k)) * 100;
        rest = rest.substr(k + 1);
    }
    total += part(rest);
    return total < 0 ? 0 : clamp_int(total);
}

int rule_date(std::u16string_view text) {
    if (!text.empty() && std::all_of(text.begin(), text.end(), is_ascii_digit<char16_t>)) {
        long long v = 0;
        read_long(text, v);
        return clamp_int(v);
    }
    static constexpr char16_t markers[] = {u'年', u'月', u'日', u'時', u'分', u'秒'};
    long long parts[] = {1970, 1, 1, 0, 0, 0};
    std::u16string_view rest = text;
    for (size_t i = 0; i < std::size(markers); ++i) {
        const size_t k = rest.find(markers[i]);
        if (k == std::u16string_view::npos) continue;
        long long v = 0;
        if (read_long(rest.substr(0, k), v)) parts[i] = v;
        rest = rest.substr(k + 1);
    }
    auto& [year, month, day, hour, minute, second] = parts;
    if (month < 1 || month > 12) month = 1;
    if (day < 1 || day > 31) day = 1;
    if (hour < 0 || hour > 25) hour = 0;
    if (minute < 0 || minute > 60) minute = 0;
    if (second < 0 || second > 60) second = 0;
    // Before 09:00 on the first day a local time east of UTC falls before 1970.
    if (year < 1970 || year > 2037 || (year == 1970 && month == 1 && day == 1 && hour <= 8)) return 0;
    std::tm t{};
    t.tm_year = static_cast<int>(year) - 1900;
    t.tm_mon = static_cast<int>(month) - 1;
    t.tm_mday = static_cast<int>(day);
    t.tm_hour = static_cast<int>(hour);
    t.tm_min = static_cast<int>(minute);
    t.tm_sec = static_cast<int>(second);
    t.tm_isdst = -1;
    const std::time_t when = std::mktime(&t);
    return when < 0 ? 0 : clamp_int(static_cast<long long>(when));
}

std::optional<int> rule_rate(std::u16string_view text) {
    size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) negative = text[i++] == u'-';
    long long whole = 0;
    const size_t digits_from = i;
    for (; i < text.size() && is_ascii_digit(text[i]); ++i)
        if (whole < 100'000'000'000LL) whole = whole * 10 + (text[i] - u'0');
    if (i == digits_from) return std::nullopt;
    long long fraction = 0;
    if (i < text.size() && text[i] == u'.') {
        ++i;
        const size_t fraction_from = i;
        int kept = 0;
        for (; i < text.size() && is_ascii_digit(text[i]); ++i) {
            if (kept < 2) {
                fraction = fraction * 10 + (text[i] - u'0');
                ++kept;
            }
        }
        if (i == fraction_from) return std::nullopt;
        if (kept == 1) fraction *= 10;
    }
    if (i != text.size()) return std::nullopt;
    const long long hundredths = whole * 100 + fraction;
    const int value = clamp_int(negative ? -hundredths : hundredths);
    return value == kBadRate ? INT_MIN + 1 : value;
}

// --- compilation -----------------------------------------------------------------------------------------

int RuleProgram::compile_file(std::u16string_view path, const RuleMessageHook& message_box) {
    *this = RuleProgram();
    CCharArrayW lines;
    const int loaded = lines.load(path, true);
    for (const auto& line : lines.items())
        compile_line(line);
    finish(message_box);
    return loaded == -1 ? -1 : 0;
}

void RuleProgram::compile_text(std::u16string_view text, const RuleMessageHook& message_box) {
    *this = RuleProgram();
    CCharArrayW lines;
    lines.split(text, u"\n");
    for (std::u16string_view line : lines.items()) {
        if (line.ends_with(u'\r')) line.remove_suffix(1);
        if (!line.empty() && !line.starts_with(u"//")) compile_line(line);
    }
    finish(message_box);
}

void RuleProgram::finish(const RuleMessageHook& message_box) {
    operation_hits_.assign(operation_names_.size(), 0);
    const size_t count = instructions_.size();
    next_header_.assign(count, static_cast<uint32_t>(count));
    for (size_t k = count; k-- > 1;)
        next_header_[k - 1] = instructions_[k].op == RuleOp::header ? static_cast<uint32_t>(k) : next_header_[k];
    compile_regexes(message_box);
}

void RuleProgram::compile_line(std::u16string_view line) {
    if (line.starts_with(u"▼")) {
        instructions_.push_back({RuleOp::header, static_cast<int>(operation_names_.size())});
        operation_names_.emplace_back(line.substr(1));
        return;
    }
    if (!line.starts_with(u'<')) return;
    const size_t close = line.find(u'>');
    if (close == std::u16string_view::npos) return;
    std::u16string_view name = line.substr(1, close - 1);
    const std::u16string_view param = line.substr(close + 1);
    if (name.ends_with(u"なら")) name.remove_suffix(2);
    const Label* label = find_label(name);
    if (!label) {
        problems_.unknown_labels.add(name);
        return;
    }
    int value = 0;
    switch (label->param) {
    case Param::none:
        break;
    case Param::shape:
        value = label->extra;
        break;
    case Param::command:
        value = static_cast<int>(command_params_.size());
        command_params_.push_back(
            read_command_param(command_folded(param), static_cast<CommandOperation>(label->extra)));
        break;
    case Param::folded_words:
    case Param::words:
        value = static_cast<int>(strings_.size());
        strings_.emplace_back();
        // Each piece is folded by itself, so a full-width "｜" inside a word stays part of it.
        split_alternatives(param, strings_.back(), label->param == Param::folded_words);
        break;
    case Param::regex:
        value = add_regex(param);
        break;
    case Param::number:
        value = rule_number(param);
        break;
    case Param::time_position:
        value = rule_time_position(param);
        break;
    case Param::date:
        value = rule_date(param);
        break;
    case Param::rate:
        value = rule_rate(param).value_or(kBadRate);
        break;
    case Param::text_replace: {
        value = static_cast<int>(text_replacements_.size());
        TextReplacement r;
        // Without "[→]" there is nothing to look for: the replacement never matches.
        if (const size_t arrow = param.find(kArrow); arrow != std::u16string_view::npos) {
            r.from.assign(param.substr(0, arrow));
            r.to.assign(param.substr(arrow + kArrow.size()));
        }
        text_replacements_.push_back(std::move(r));
        break;
    }
    case Param::regex_replace: {
        value = static_cast<int>(regex_replacements_.size());
        RegexReplacement r;
        if (const size_t arrow = param.find(kArrow); arrow != std::u16string_view::npos) {
            r.regex = add_regex(param.substr(0, arrow));
            r.format.assign(param.substr(arrow + kArrow.size()));
        }
        regex_replacements_.push_back(std::move(r));
        break;
    }
    case Param::save:
        value = static_cast<int>(hit_lists_.size());
        hit_lists_.emplace_back();
        break;
    }
    instructions_.push_back({label->op, value});
}

int RuleProgram::add_regex(std::u16string_view pattern) {
    patterns_.emplace_back(pattern);
    return static_cast<int>(patterns_.size()) - 1;
}

void RuleProgram::compile_regexes(const RuleMessageHook& message_box) {
    regexes_.reserve(patterns_.size());
    for (const auto& pattern : patterns_) {
        Regex re;
        if (re.compile(pattern) != 0) {
            if (message_box) message_box(u"正規表現の処理に失敗しました\r\n" + pattern + u"\r\n" + re.error_text());
            // One bad expression drops them all: the program's regex conditions then never match.
            regexes_.clear();
            regexes_discarded_ = true;
            return;
        }
        regexes_.push_back(std::move(re));
    }
}

int RuleProgram::regex_give_ups() const {
    int n = 0;
    for (const auto& re : regexes_)
        n += re.give_ups();
    return n;
}

// --- evaluation ------------------------------------------------------------------------------------------

bool RuleProgram::search_regex(int index, std::u16string_view text) const {
    return index >= 0 && static_cast<size_t>(index) < regexes_.size() &&
           regexes_[static_cast<size_t>(index)].contains(text);
}

void RuleProgram::refold(ChatEntry& c) {
    fuzzy_fold_copy(c.text.view(), c.work_text);
}

bool RuleProgram::holds(const Instruction& ins, const ChatEntry& c, const CommandVocabulary& v) {
    const int n = ins.param;
    auto words = [&]() -> const RuleWords& { return strings_[static_cast<size_t>(n)]; };
    auto command = [&]() -> const CommandParam& {
        const CommandParam& p = command_params_[static_cast<size_t>(n)];
        if (p.problem) problems_.bad_contains.add(p.text);
        return p;
    };
    switch (ins.op) {
    case RuleOp::contains:
        return contains(set_, v, command());
    case RuleOp::not_contains:
        return !contains(set_, v, command());
    case RuleOp::text_has_folded:
        return words().inside(c.work_text.view());
    case RuleOp::text_lacks_folded:
        return !words().inside(c.work_text.view());
    case RuleOp::text_has_exact:
        return words().inside(c.text.view());
    case RuleOp::text_lacks_exact:
        return !words().inside(c.text.view());
    case RuleOp::text_equals:
        return words().equal(c.text.view());
    case RuleOp::text_differs:
        return !words().equal(c.text.view());
    case RuleOp::text_regex:
        return search_regex(n, c.text.view());
    case RuleOp::text_not_regex:
        return !search_regex(n, c.text.view());
    case RuleOp::text_length_min:
        return c.text.length() >= n;
    case RuleOp::text_length_max:
        return c.text.length() <= n;
    case RuleOp::id_length_min:
        return c.user_id.length() >= n;
    case RuleOp::id_length_max:
        return c.user_id.length() <= n;
    case RuleOp::id_equals:
        return words().equal(c.user_id.view());
    case RuleOp::id_differs:
        return !words().equal(c.user_id.view());
    case RuleOp::id_has:
        return words().inside(c.user_id.view());
    case RuleOp::id_lacks:
        return !words().inside(c.user_id.view());
    case RuleOp::score_min:
        return c.score >= n;
    case RuleOp::score_max:
        return c.score <= n;
    case RuleOp::deleted_eq:
        return c.deleted == n;
    case RuleOp::deleted_ne:
        return c.deleted != n;
    case RuleOp::deleted_min:
        return c.deleted >= n;
    case RuleOp::deleted_max:
        return c.deleted <= n;
    case RuleOp::premium_eq:
        return c.premium == n;
    case RuleOp::premium_ne:
        return c.premium != n;
    case RuleOp::premium_min:
        return c.premium >= n;
    case RuleOp::premium_max:
        return c.premium <= n;
    case RuleOp::premium_id:
        return premium::is_premium_member(c.premium);
    case RuleOp::not_premium_id:
        return !premium::is_premium_member(c.premium);
    case RuleOp::system_comment:
        return premium::is_system(c.premium);
    case RuleOp::broadcaster_comment:
        return premium::is_broadcaster(c.premium);
    case RuleOp::staff_comment:
        return premium::is_operator(c.premium);
    case RuleOp::uploader_comment:
        return c.fork == 1;
    case RuleOp::not_uploader_comment:
        return c.fork != 1;
    case RuleOp::anonymous:
        return c.anonymity == 1;
    case RuleOp::not_anonymous:
        return c.anonymity != 1;
    case RuleOp::priority:
        return c.filterable == 0;
    case RuleOp::not_priority:
        return c.filterable != 0;
    case RuleOp::vpos_before:
        return c.vpos <= n;
    case RuleOp::vpos_after:
        return c.vpos >= n;
    case RuleOp::date_before:
        return c.date <= n;
    case RuleOp::date_after:
        return c.date >= n;
    case RuleOp::id_shape:
        return has_id_shape(c.user_id.view(), static_cast<IdShape>(n));
    case RuleOp::not_id_shape:
        return !has_id_shape(c.user_id.view(), static_cast<IdShape>(n));
    default:
        return true;
    }
}

void RuleProgram::save_hit(int list, ChatEntry& c, int operation, int source) {
    // The list shows the comment as changed so far, commands included.
    write_mail(set_, mail_);
    c.mail.assign(mail_);
    RuleHitList& hits = hit_lists_[static_cast<size_t>(list)];
    hits.comments.add(c, source);
    hits.operation = operation;
}

RuleProgram::Effect RuleProgram::run(const Instruction& ins, ChatEntry& c, const CommandVocabulary& v,
                                     const RuleRunOptions& o, bool& excluded, int operation, int changes, int source) {
    const int n = ins.param;
    auto changed_if = [](bool b) { return b ? Effect::changed : Effect::none; };
    auto shift_vpos = [&](long long delta) {
        c.vpos = clamp_int(static_cast<long long>(c.vpos) + delta);
        if (c.vpos < 0 && o.remove_negative_vpos) excluded = true;
        return Effect::changed;
    };
    switch (ins.op) {
    case RuleOp::exclude:
        excluded = true;
        return Effect::changed;
    case RuleOp::exclude_id:
        excluded = true;
        excluded_ids_.add(c.user_id.view());
        return Effect::changed;
    case RuleOp::stop:
        return Effect::stop;
    case RuleOp::remove_commands: {
        const CommandParam& p = command_params_[static_cast<size_t>(n)];
        if (p.problem) problems_.bad_remove.add(p.text);
        forget_others_index();
        return changed_if(remove(set_, v, p));
    }
    case RuleOp::add_commands:
        return changed_if(add(set_, v, command_params_[static_cast<size_t>(n)], &others_index_));
    case RuleOp::change_commands: {
        const CommandParam& p = command_params_[static_cast<size_t>(n)];
        if (p.problem) problems_.bad_change.add(p.text);
        return changed_if(change(set_, v, p));
    }
    case RuleOp::replace_text: {
        const TextReplacement& r = text_replacements_[static_cast<size_t>(n)];
        if (r.from.empty() || c.text.replace_all(r.from, r.to) <= 0) return Effect::none;
        refold(c);
        return Effect::changed;
    }
    case RuleOp::replace_regex: {
        const RegexReplacement& r = regex_replacements_[static_cast<size_t>(n)];
        if (r.regex < 0 || static_cast<size_t>(r.regex) >= regexes_.size()) return Effect::none;
        if (regexes_[static_cast<size_t>(r.regex)].replace_all(c.text.view(), r.format, replaced_) <= 0)
            return Effect::none;
        c.text.assign(replaced_);
        refold(c);
        return Effect::changed;
    }
    case RuleOp::score_set:
        c.score = n;
        return Effect::changed;
    case RuleOp::score_up:
        c.score = clamp_int(static_cast<long long>(c.score) + n);
        return Effect::changed;
    case RuleOp::score_down:
        c.score = clamp_int(static_cast<long long>(c.score) - n);
        return Effect::changed;
    case RuleOp::duration_set:
        set_.duration = n;
        return Effect::changed;
    case RuleOp::duration_longer:
    case RuleOp::duration_shorter: {
        // A comment without a display time keeps the player's own; counting from the "none" mark would
        // give arbitrary times, and a shortened one would become invisible.
        if (set_.duration == -1) return Effect::none;
        const long long d = set_.duration;
        set_.duration = ins.op == RuleOp::duration_longer ? static_cast<int>(std::min(d + n, 9LL))
                                                          : static_cast<int>(std::max(d - n, 0LL));
        return Effect::changed;
    }
    case RuleOp::vpos_earlier:
        return shift_vpos(-static_cast<long long>(n));
    case RuleOp::vpos_later:
        return shift_vpos(n);
    case RuleOp::vpos_earlier_seconds:
        return shift_vpos(-100LL * n);
    case RuleOp::vpos_later_seconds:
        return shift_vpos(100LL * n);
    case RuleOp::vpos_earlier_minutes:
        return shift_vpos(-6000LL * n);
    case RuleOp::vpos_later_minutes:
        return shift_vpos(6000LL * n);
    case RuleOp::vpos_divide:
        if (n == 0 || n == kBadRate) return Effect::none;
        c.vpos = clamp_int(static_cast<long long>(c.vpos) * 100 / n);
        return Effect::changed;
    case RuleOp::vpos_multiply:
        if (n == kBadRate) return Effect::none;
        c.vpos = clamp_int(static_cast<long long>(c.vpos) * n / 100);
        return Effect::changed;
    case RuleOp::date_set:
        c.date = n;
        return Effect::changed;
    case RuleOp::colors_to_codes:
        return changed_if(names_to_codes(set_, v, false));
    case RuleOp::colors_to_hima_codes:
        return changed_if(names_to_codes(set_, v, true));
    case RuleOp::make_priority:
        if (c.filterable == 0) return Effect::none;
        c.filterable = 0;
        return Effect::changed;
    case RuleOp::unmake_priority:
        if (c.filterable != 0) return Effect::none;
        c.filterable = 1;
        return Effect::changed;
    case RuleOp::save_reached:
        if (o.save_lists) save_hit(n, c, operation, source);
        return Effect::none;
    case RuleOp::save_processed:
        if (o.save_lists && changes > 0) save_hit(n, c, operation, source);
        return Effect::none;
    default:
        return Effect::none;
    }
}

bool RuleProgram::evaluate(ChatEntry& c, const CommandVocabulary& v, const RuleRunOptions& o, int source) {
    const std::u16string& normalised = parse_cached(c.mail.view(), v);
    forget_others_index();
    bool skipping = true;
    bool excluded = false;
    bool set_changed = false;
    int operation = -1;
    int changes = 0;
    const size_t count = instructions_.size();
    for (size_t k = 0; k < count; ++k) {
        const Instruction& ins = instructions_[k];
        if (ins.op == RuleOp::header) {
            if (excluded) break;
            skipping = false;
            changes = 0;
            operation = ins.param;
            continue;
        }
        // Only the next header can end a skip.
        if (skipping) {
            k = next_header_[k] - 1;
            continue;
        }
        if (ins.op < RuleOp::header) {
            if (!holds(ins, c, v)) {
                skipping = true;
                k = next_header_[k] - 1;
            }
            continue;
        }
        const Effect e = run(ins, c, v, o, excluded, operation, changes, source);
        if (e == Effect::stop) break;
        if (e != Effect::changed) continue;
        if (++changes == 1) ++operation_hits_[static_cast<size_t>(operation)];
        set_changed = set_changed || changes_commands(ins.op);
    }
    if (set_changed) {
        write_mail(set_, mail_);
        c.mail.assign(mail_);
    } else if (c.mail.view() != normalised) {
        c.mail.assign(normalised);
    }
    return excluded;
}

void RuleProgram::forget_others_index() {
    // Replaced rather than cleared: clearing walks every bucket, and one comment with thousands of added
    // commands would make that the cost of every comment after it.
    if (!others_index_.empty()) others_index_ = {};
}

const std::u16string& RuleProgram::parse_cached(std::u16string_view mail, const CommandVocabulary& v) {
    // Enough for the mail texts of real files; a file of ever new ones just starts the cache afresh.
    constexpr size_t kMailCacheSize = 4096;
    if (&v != cached_vocabulary_) {
        mail_cache_.clear();
        last_mail_ = nullptr;
        cached_vocabulary_ = &v;
    }
    // Its unknown commands were listed when it was first parsed.
    if (last_mail_ && last_mail_->first == mail) {
        set_ = last_mail_->second.set;
        return last_mail_->second.written;
    }
    if (const auto hit = mail_cache_.find(mail); hit != mail_cache_.end()) {
        last_mail_ = &*hit;
        set_ = hit->second.set;
        return hit->second.written;
    }
    parse_mail(mail, v, set_, &unknown_commands_);
    if (mail_cache_.size() >= kMailCacheSize) mail_cache_.clear();
    const auto entry = mail_cache_.emplace(mail, ParsedMail{set_, {}}).first;
    last_mail_ = &*entry;
    write_mail(set_, entry->second.written);
    return entry->second.written;
}

// --- report --------------------------------------------------------------------------------------------

std::vector<std::u16string> RuleProgram::report_lines(std::u16string_view prefix) const {
    std::vector<std::u16string> lines;
    std::u16string p(prefix);
    for (size_t i = 0; i < operation_names_.size(); ++i) {
        if (operation_hits_[i] <= 0) continue;
        std::u16string line = p + operation_names_[i] + u"：";
        append_number(line, operation_hits_[i]);
        lines.push_back(line + u"件");
    }
    for (const auto& label : problems_.unknown_labels.items())
        lines.push_back(p + u"<" + label + u">は無効な命令です");
    for (const auto& param : problems_.bad_change.items())
        lines.push_back(p + u"<変換>" + param + u"は無効な命令です");
    for (const auto& param : problems_.bad_remove.items())
        lines.push_back(p + u"<削除>" + param + u"のパラメータは任意の文字列と解釈");
    for (const auto& param : problems_.bad_contains.items())
        lines.push_back(p + u"<含む(まない)>" + param + u"のパラメータは任意の文字列と解釈");
    if (const int give_ups = regex_give_ups(); give_ups > 0) {
        std::u16string line = p + u"正規表現の照合が長すぎるため打ち切り（一致なしと判定）：";
        append_number(line, give_ups);
        lines.push_back(line + u"件");
    }
    return lines;
}

std::u16string RuleProgram::hit_list_file_name(int list) const {
    const int operation = list >= 0 && static_cast<size_t>(list) < hit_lists_.size()
                              ? hit_lists_[static_cast<size_t>(list)].operation
                              : -1;
    const std::u16string name = operation >= 0 ? operation_names_[static_cast<size_t>(operation)] : std::u16string();
    return u"[コマンド " + name + u" による出力].xml";
}

std::u16string unknown_commands_line(std::span<const RuleProgram* const> programs) {
    UniqueTexts all;
    for (const RuleProgram* program : programs)
        if (program)
            for (const auto& command : program->unknown_commands().items())
                all.add(command);
    if (all.empty()) return {};
    std::u16string line = u"未知のコマンド：";
    for (const auto& command : all.items())
        line += u"「" + command + u"」";
    return line;
}

int ensure_rule_file(std::u16string_view path, bool priority, const CreationFailureHook& on_failure) {
    return ensure_file_exists(with_default_extension(path, u".txt"),
                              priority ? default_priority_rules_text() : default_command_rules_text(), on_failure);
}

} // namespace quippet
