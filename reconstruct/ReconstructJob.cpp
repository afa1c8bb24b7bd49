#include "reconstruct/ReconstructJob.h"

#include "reconstruct/FileJobReport.h"
#include "reconstruct/ReconstructReport.h"
#include "reconstruct/ReconstructSettingKeys.h"
#include "resources/MessageIds.h"

#include <algorithm>
#include <chrono>
#include <thread>
#include <ctime>
#include <filesystem>
#include <string>
#include <system_error>

#include "app/Settings.h"
#include "app/SettingsCatalogue.h"
#include "app/WorkThread.h"
#include "comments/ChatReader.h"
#include "comments/ChatScan.h"
#include "comments/ChatWriter.h"
#include "resources/Messages.h"
#include "text/AppHome.h"
#include "text/Encoding.h"
#include "text/FileSP.h"

namespace quippet {
namespace {

constexpr int kStatusColumn = 1;
constexpr int kResultColumn = 2;
// Names at or above this length do not fit a file system name with the tail and extension added.
constexpr size_t kLongestStem = 257;
constexpr std::u16string_view kLongNameStem = u"__新規Vellichorファイル__";

constexpr std::u16string_view kInputNameTaken = u"出力名が入力ファイルと同じため未出力";
constexpr std::u16string_view kListedTwice = u"同じファイルが重複して指定されているので省略";
constexpr std::u16string_view kStoppedByUser = u"ユーザー操作で中止";
constexpr std::u16string_view kCommentsRead = u"個のコメントを読込";

std::u16string folder_of(std::u16string_view path) {
    const size_t slash = path.rfind(u'/');
    return slash == std::u16string_view::npos ? std::u16string(u".") : std::u16string(path.substr(0, slash));
}

std::u16string without_xml(std::u16string_view name) {
    if (name.size() >= 4) {
        std::u16string tail(name.substr(name.size() - 4));
        for (char16_t& c : tail)
            if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
        if (tail == u".xml") return std::u16string(name.substr(0, name.size() - 4));
    }
    return std::u16string(name);
}

bool same_file(std::u16string_view a, std::u16string_view b) {
    std::error_code ec;
    const std::filesystem::path pa = to_fs_path(a), pb = to_fs_path(b);
    if (std::filesystem::equivalent(pa, pb, ec) && !ec) return true;
    return std::filesystem::absolute(pa, ec).lexically_normal() == std::filesystem::absolute(pb, ec).lexically_normal();
}

bool exists(std::u16string_view path) {
    std::error_code ec;
    return std::filesystem::exists(to_fs_path(path), ec);
}

/// The decimal number right after an occurrence of `text` in `name`; -1 when no occurrence has one.
long long number_after(std::u16string_view name, std::u16string_view text) {
    if (text.empty()) return -1;
    for (size_t at = name.find(text); at != std::u16string_view::npos; at = name.find(text, at + 1)) {
        size_t i = at + text.size();
        long long n = -1;
        while (i < name.size() && name[i] >= u'0' && name[i] <= u'9' && n < 100'000'000'000LL)
            n = (n < 0 ? 0 : n * 10) + (name[i++] - u'0');
        if (n >= 0) return n;
    }
    return -1;
}

int hundredths(int minutes, int seconds, int fraction) {
    const long long total = (static_cast<long long>(minutes) * 60 + seconds) * 100 + fraction;
    return static_cast<int>(std::clamp<long long>(total, 0, 2'000'000'000));
}

/// The local time of a "指定した日時" row.
int given_date(const CSettings& s, int rule) {
    std::tm t{};
    t.tm_year = s.number(rc_date_rule(rule, DateRuleField::kYear)) - 1900;
    t.tm_mon = s.number(rc_date_rule(rule, DateRuleField::kMonth)) - 1;
    t.tm_mday = s.number(rc_date_rule(rule, DateRuleField::kDay));
    t.tm_hour = s.number(rc_date_rule(rule, DateRuleField::kHour));
    t.tm_min = s.number(rc_date_rule(rule, DateRuleField::kMinute));
    t.tm_sec = s.number(rc_date_rule(rule, DateRuleField::kSecond));
    t.tm_isdst = -1;
    const std::time_t when = std::mktime(&t);
    return when < 0 || when > 0x7FFFFFFF ? 0 : static_cast<int>(when);
}

struct UnitOutcome {
    bool ok = false;
    bool stopped = false;
    std::u16string message;
    std::u16string written;
    std::vector<std::u16string> report;
    /// The report for the list row.
    std::u16string short_report;
    /// Rows of the unit whose file could not be read; they keep their own failure.
    std::vector<int> unreadable;
};

/// Validation, priority and the filters of groups (1) to (3).
void read_pass_filters(const CSettings& s, PassOptions& p) {
    p.handle_references = s.number(OptNumber::kCharRefMode) == 0;
    const int invalid = s.number(OptNumber::kInvalidCharMode);
    p.invalid_chars = invalid == 1   ? InvalidCharMode::remove
                      : invalid == 2 ? InvalidCharMode::replace
                                     : InvalidCharMode::keep;
    p.invalid_replacement = s.text(OptText::kInvalidCharReplacement);
    p.remove_hangul = s.on(OptSwitch::kDeleteHangul);
    p.remove_negative_vpos = s.on(OptSwitch::kDeleteNegativeVpos);
    p.priority_ids = s.on(RcSwitch::kPriorityIds);
    p.priority_uploader = s.on(RcSwitch::kPriorityUploader);
    p.priority_broadcaster = s.on(RcSwitch::kPriorityBroadcaster);
    p.priority_system = s.on(RcSwitch::kPrioritySystem);
    p.priority_staff = s.on(RcSwitch::kPriorityOperator);
    p.read_limit_on = s.on(RcSwitch::kReadLimit);
    p.read_limit = s.number(RcNumber::kReadLimit);
    p.natural_date = s.on(RcSwitch::kUnnaturalDates);
    p.old_posts = s.on(RcSwitch::kOldPosts);
    p.old_months = s.number(RcNumber::kOldMonths);
    p.replace1 = s.on(RcSwitch::kReplace1);
    p.length_on = s.on(RcSwitch::kLength);
    p.min_length = s.number(RcNumber::kMinLength);
    p.max_length = s.number(RcNumber::kMaxLength);
    p.remove_deleted = s.on(RcSwitch::kDeletedAttribute);
    p.low_score_on = s.on(RcSwitch::kLowScore);
    p.low_score = s.number(RcNumber::kScoreThreshold);
    p.zero_time = s.on(RcSwitch::kZeroTime);
    p.ngid = s.on(RcSwitch::kNgId);
    p.ngid_reversed = s.on(RcSwitch::kNgIdReverse);
    p.common_ng = s.on(RcSwitch::kCommonNg);
    p.common_ng_reversed = s.on(RcSwitch::kCommonNgReverse);
    p.ng_words = s.on(RcSwitch::kNgWord);
    p.ng_words_reversed = s.on(RcSwitch::kNgWordReverse);
    p.replace2 = s.on(RcSwitch::kReplace2);
}

/// The two "（2）投稿日時で削除" rows.
void read_date_rules(const CSettings& s, PassOptions& p) {
    for (int rule = 0; rule < 2; ++rule) {
        DateRuleRow& d = p.date_rules[static_cast<size_t>(rule)];
        d.enabled = s.on(rule == 0 ? RcSwitch::kDateRule1 : RcSwitch::kDateRule2);
        d.base = static_cast<DateBase>(std::clamp(s.number(rc_date_base(rule)), 0, 4));
        d.hours = s.number(rc_date_rule(rule, DateRuleField::kHours));
        d.before = s.number(rc_date_side(rule)) == 0;
        d.given = given_date(s, rule);
    }
}

/// The nine timing rows of group (4).
void read_timing_rows(const CSettings& s, PassOptions& p) {
    for (int row = 0; row < kTimingRowCount; ++row) {
        TimingRow& t = p.timing[static_cast<size_t>(row)];
        t.enabled = s.on(rc_timing_enabled(row));
        t.scope = static_cast<TimingScope>(std::clamp(s.number(rc_timing_scope(row)), 0, 5));
        t.action = static_cast<TimingAction>(std::clamp(s.number(rc_timing_action(row)), 0, 4));
        const auto field = [&s, row](TimingField f) { return s.number(rc_timing(row, f)); };
        const bool row_scope =
            t.scope == TimingScope::row_only || t.scope == TimingScope::rows_from || t.scope == TimingScope::rows_up_to;
        // The row scopes take their row number from the minutes box.
        t.at = row_scope ? field(TimingField::kAtMinutes)
                         : hundredths(field(TimingField::kAtMinutes), field(TimingField::kAtSeconds),
                                      field(TimingField::kAtHundredths));
        t.amount = hundredths(field(TimingField::kByMinutes), field(TimingField::kBySeconds),
                              field(TimingField::kByHundredths));
    }
}

/// The chain default, part merge with its length lookup, the four rule stages and the vocabulary.
void read_rule_stages(const CSettings& s, ReconstructSettings& r) {
    r.chain_by_default = s.on(RcSwitch::kChainByDefault);
    r.part_merge = s.on(RcSwitch::kPartMerge);
    r.length_from_net = s.on(RcSwitch::kLengthFromNet);
    r.net_wait_seconds = s.number(OptNumber::kDownloadWait);

    const auto stage_file = [&s](RcSwitch on, OptText file) {
        return s.on(on) ? resolve_in_home(s.text(file)) : std::u16string();
    };
    r.stage_files[kStagePriority] = stage_file(RcSwitch::kPriorityStage, OptText::kPriorityConditions);
    r.stage_files[kStagePre] = stage_file(RcSwitch::kPreStage, OptText::kCommandConvert1);
    r.stage_files[kStagePost] = stage_file(RcSwitch::kPostStage, OptText::kCommandConvert2);
    r.stage_files[kStageIndividual] = stage_file(RcSwitch::kIndividualStage, OptText::kCommandConvert3);
    r.vocabulary_file = resolve_in_home(s.text(OptText::kCommandVocabulary));
}

/// Which processing lists ("処理リストを保存") are written.
void read_processing_lists(const CSettings& s, ReconstructSettings& r) {
    r.save_lists = s.on(RcSwitch::kSaveLists);
    ReconstructSettings::SavedLists& saved = r.saved;
    saved.ngid = s.on(OptSwitch::kListNgId);
    saved.ng_word = s.on(OptSwitch::kListNgWord);
    saved.common_ng = s.on(OptSwitch::kListCommonNg);
    saved.invalid_char = s.on(OptSwitch::kListInvalidChar);
    saved.length = s.on(OptSwitch::kListLength);
    saved.score = s.on(OptSwitch::kListScore);
    saved.duplicates = s.on(OptSwitch::kListDuplicates);
    saved.thinning = s.on(OptSwitch::kListThinning);
    saved.ng_chain = s.on(OptSwitch::kListNgChain);
    saved.command_chain = s.on(OptSwitch::kListCommandChain);
    saved.command_output = s.on(OptSwitch::kListCommandOutput);
    r.pass.save_lists = r.save_lists && saved.command_output;
}

/// Duplicates, count limits, renumbering and the sort keys.
void read_after_reading(const CSettings& s, AfterReadingOptions& after) {
    after.dedupe.fuzzy = s.on(RcSwitch::kDupFuzzy);

    DedupeOptions& d = after.dedupe;
    d.enabled = s.on(RcSwitch::kDuplicates);
    d.no = s.on(RcSwitch::kDupNo);
    d.vpos = s.on(RcSwitch::kDupTime);
    d.window = s.number(RcNumber::kDupWindow);
    d.date = s.on(RcSwitch::kDupDate);
    d.user_id = s.on(RcSwitch::kDupId);
    d.mail = s.on(RcSwitch::kDupCommand);
    d.text = s.on(RcSwitch::kDupBody);

    LimitOptions& l = after.limit;
    l.enabled = s.on(RcSwitch::kLimit);
    l.limit = s.number(RcNumber::kLimitCount);
    l.method = s.on(RcSwitch::kLimitPerMinute)  ? LimitMethod::per_minute
               : s.on(RcSwitch::kLimitLastRead) ? LimitMethod::last_read_out
               : s.on(RcSwitch::kLimitNewest)   ? LimitMethod::newest_out
                                                : LimitMethod::thin;
    l.partial_last_minute = s.on(RcSwitch::kPerMinuteHalf);
    l.newest_first = s.on(RcSwitch::kPerMinuteNewest);
    l.exempt_priority = !s.on(RcSwitch::kPerMinuteNoExempt);
    l.fill_to_1000 = s.on(RcSwitch::kPerMinuteFill);
    l.row_order_first = s.on(RcSwitch::kRowOrderFirst);
    after.renumber = !s.on(RcSwitch::kKeepNumbers);
    for (int row = 0; row < 4; ++row) {
        if (!s.on(rc_sort_enabled(row))) continue;
        // The stored value is the index of the key's name among the combo's items.
        const SettingDef* def = find_setting(rc_sort_key(row));
        const int index = s.number(rc_sort_key(row));
        if (!def || index < 0 || static_cast<size_t>(index) >= def->items.size()) continue;
        const int key = sort_key_from_name(def->items[static_cast<size_t>(index)]);
        if (key >= 0) after.sort_keys[row] = key;
    }
}

/// Merging into outputs, the writer (after the renumbering choice), the tail information and the save place.
void read_output(const CSettings& s, ReconstructSettings& r) {
    if (s.on(RcSwitch::kMerge)) {
        r.merge = s.on(RcSwitch::kMergeByRows)     ? MergeMode::by_rows
                  : s.on(RcSwitch::kMergeBySuffix) ? MergeMode::by_number_after
                                                   : MergeMode::all;
    }
    r.merge_rows = std::max(1, s.number(RcNumber::kMergeRows));
    r.merge_text = s.text(RcText::kMergeSuffixText);
    r.overwrite = s.on(RcSwitch::kOverwrite);

    ChatWriterOptions& w = r.writer;
    w.write_thread = s.on(OptSwitch::kWriteThread);
    w.write_score = s.on(OptSwitch::kWriteScore);
    w.write_premium = s.on(OptSwitch::kWritePremium);
    w.write_anonymity = s.on(OptSwitch::kWriteAnonymity);
    w.write_fork = s.on(OptSwitch::kWriteFork);
    w.write_leaf = s.on(OptSwitch::kWriteLeaf);
    w.write_locale = s.on(OptSwitch::kWriteLocale);
    w.write_deleted = s.on(OptSwitch::kWriteDeleted);
    w.write_empty_mail = s.on(OptSwitch::kWriteEmptyMail);
    w.join_header_values = s.on(OptSwitch::kJoinHeaderValues);
    w.always_write_ticket = s.on(OptSwitch::kAlwaysWriteTicket);
    w.drop_num_click = s.on(OptSwitch::kDropNumClick);
    w.rebuild_footer = s.on(OptSwitch::kRebuildFooter);
    w.keep_own_numbers = !r.after.renumber;

    r.tail = !s.on(RcSwitch::kNoTailInfo);
    SaveNaming& n = r.naming;
    n.prefix = s.text(OptText::kNamePrefix);
    n.before = s.text(OptText::kNameFrameBefore);
    n.after = s.text(OptText::kNameFrameAfter);
    n.separator = s.text(OptText::kNameSeparator);
    n.number_range = s.on(OptSwitch::kNameNumberRange);
    n.number_width = s.number(OptNumber::kNameNumberWidth);
    n.always_count = s.on(OptSwitch::kNameAlwaysCount);
    n.date_range = s.on(OptSwitch::kNameDateRange);
    if (s.on(RcSwitch::kSaveBesideVideo)) r.video_path = s.text(RcText::kVideoPath);
}

} // namespace

ReconstructSettings reconstruct_settings(const CSettings& s) {
    ReconstructSettings r;
    read_pass_filters(s, r.pass);
    read_date_rules(s, r.pass);
    read_timing_rows(s, r.pass);
    read_rule_stages(s, r);
    read_processing_lists(s, r);
    read_after_reading(s, r.after);
    read_output(s, r);
    return r;
}

bool ReconstructSettings::needs_vocabulary() const {
    for (const std::u16string& file : stage_files)
        if (!file.empty()) return true;
    for (int key : after.sort_keys)
        if (sort_key_is_derived(key)) return true;
    return false;
}

std::vector<std::vector<int>> group_units(const std::vector<std::u16string>& paths, MergeMode mode, int rows,
                                          std::u16string_view text) {
    std::vector<std::vector<int>> units;
    const int n = static_cast<int>(paths.size());
    if (n == 0) return units;
    switch (mode) {
    case MergeMode::none:
        for (int i = 0; i < n; ++i)
            units.push_back({i});
        break;
    case MergeMode::all:
        units.emplace_back();
        for (int i = 0; i < n; ++i)
            units.back().push_back(i);
        break;
    case MergeMode::by_rows:
        for (int i = 0; i < n; ++i) {
            if (i % std::max(1, rows) == 0) units.emplace_back();
            units.back().push_back(i);
        }
        break;
    case MergeMode::by_number_after: {
        // Files without the number share one unit of their own, placed by its first file like the others.
        std::vector<long long> keys;
        for (const std::u16string& path : paths)
            keys.push_back(number_after(without_xml(file_name(path)), text));
        std::vector<bool> taken(paths.size(), false);
        for (int i = 0; i < n; ++i) {
            if (taken[static_cast<size_t>(i)]) continue;
            units.emplace_back();
            for (int j = i; j < n; ++j) {
                if (taken[static_cast<size_t>(j)] || keys[static_cast<size_t>(j)] != keys[static_cast<size_t>(i)])
                    continue;
                taken[static_cast<size_t>(j)] = true;
                units.back().push_back(j);
            }
        }
        break;
    }
    }
    return units;
}

std::u16string name_without_tail(std::u16string_view name, std::u16string_view before, std::u16string_view after) {
    std::u16string stem = without_xml(name);
    if (after.empty() || before.empty() || !stem.ends_with(after)) return stem;
    const size_t open = stem.rfind(before, stem.size() - after.size());
    if (open == std::u16string::npos || open == 0) return stem;
    stem.resize(open);
    return stem;
}

std::u16string unit_output_stem(const std::vector<std::u16string>& paths, std::u16string_view before,
                                std::u16string_view after) {
    if (paths.empty()) return std::u16string(kLongNameStem);
    std::u16string prefix = name_without_tail(file_name(paths.front()), before, after);
    for (size_t i = 1; i < paths.size(); ++i) {
        const std::u16string name = name_without_tail(file_name(paths[i]), before, after);
        size_t k = 0;
        while (k < prefix.size() && k < name.size() && prefix[k] == name[k])
            ++k;
        prefix.resize(k);
    }
    // Never split a surrogate pair at the cut.
    if (!prefix.empty() && prefix.back() >= 0xD800 && prefix.back() <= 0xDBFF) prefix.pop_back();
    if (prefix.empty()) prefix = name_without_tail(file_name(paths.front()), before, after);
    if (prefix.size() >= kLongestStem) return std::u16string(kLongNameStem);
    return prefix;
}

PassInputs ReconstructLists::inputs(const PassOptions& options) const {
    PassInputs in;
    if (options.ngid) in.ngid = &ngid;
    if (options.common_ng) in.common_ng = &common_ng;
    if (options.ng_words) in.ng_words = &ng_words;
    if (options.priority_ids) in.priority_ids = &priority_ids;
    if (options.replace1) in.replace1 = &replace1;
    if (options.replace2) in.replace2 = &replace2;
    in.vocabulary = &vocabulary;
    return in;
}

ReconstructLists load_reconstruct_lists(const CSettings& settings, const ReconstructSettings& snapshot) {
    ReconstructLists lists;
    for (ListFile file : kAllListFiles)
        ensure_list_file(settings, file);
    const bool chain = snapshot.chain_by_default;
    const auto path = [&settings](ListFile f) { return list_file_path(settings, f); };
    lists.ngid = load_ng_list(path(ListFile::kNgIds), NgListKind::kIds, chain);
    lists.common_ng = load_ng_list(path(ListFile::kCommonNg), NgListKind::kWords, chain);
    lists.ng_words = load_ng_list(path(ListFile::kNgWords), NgListKind::kWords, chain);
    lists.priority_ids = load_ng_list(path(ListFile::kPriorityIds), NgListKind::kIds, chain);
    lists.replace1 = load_replace_list(path(ListFile::kReplace1));
    lists.replace2 = load_replace_list(path(ListFile::kReplace2));
    const auto note = [&lists](std::u16string_view file, const std::vector<ListProblem>& problems) {
        for (const ListProblem& p : problems)
            lists.problems.push_back(file_name(file) + u" " + decimal_text(p.line) + u"行目：" + p.reason +
                                     (p.text.empty() ? u"" : u"（" + p.text + u"）"));
    };
    note(path(ListFile::kNgIds), lists.ngid.problems);
    note(path(ListFile::kCommonNg), lists.common_ng.problems);
    note(path(ListFile::kNgWords), lists.ng_words.problems);
    note(path(ListFile::kPriorityIds), lists.priority_ids.problems);
    note(path(ListFile::kReplace1), lists.replace1.problems);
    note(path(ListFile::kReplace2), lists.replace2.problems);
    if (snapshot.after.dedupe.enabled && snapshot.after.dedupe.fuzzy) {
        std::vector<ListProblem> problems;
        lists.fuzzy_rules = load_fuzzy_rule_file(list_file_path(settings, ListFile::kFuzzyRules), &problems);
        note(list_file_path(settings, ListFile::kFuzzyRules), problems);
    }
    if (snapshot.needs_vocabulary()) {
        ensure_vocabulary_file(snapshot.vocabulary_file);
        lists.vocabulary = load_vocabulary(snapshot.vocabulary_file);
    }
    return lists;
}

std::u16string reconstruct_built_set(CWorkChatdata& set, const ReconstructSettings& settings,
                                     const ReconstructLists& lists) {
    // The converter's set was built without the reader, so only the after-reading steps apply to it.
    const int read = set.count();
    PassChain chain(settings.pass, lists.inputs(settings.pass));
    AfterReadingOptions after_options = settings.after;
    after_options.dedupe.fuzzy_rules = lists.fuzzy_rules;
    AfterReadingCounters after;
    run_after_reading(set, after_options, chain.chain_ids(), after, {}, &lists.vocabulary);
    const std::vector<std::u16string> lines =
        report_lines(UnitReportInputs(chain.counters(), after, read, set.count(), settings, &lists));
    if (lines.empty()) return u"再構成では特に変更なし\r\n";
    std::u16string text = u"再構成\r\n";
    for (const std::u16string& line : lines)
        text += line + u"\r\n";
    return text + u"\r\n最終コメント数：" + decimal_text(set.count()) + u"\r\n";
}

namespace {

/// The removal lists of a unit, kept only when the job saves processing lists.
struct UnitRemovedLists {
    CWorkChatdata invalid_or_hangul, invalid_replaced, too_short, too_long, low_score, ngid, common_ngid,
        common_ng_word, ng_word, ng_word_chain, common_ng_chain, command_chain, duplicates, thinned;

    PassRemovedLists pass(const ReconstructSettings& s) {
        PassRemovedLists r;
        if (!s.save_lists) return r;
        const ReconstructSettings::SavedLists& k = s.saved;
        if (k.invalid_char) r.invalid_or_hangul = &invalid_or_hangul, r.invalid_replaced = &invalid_replaced;
        if (k.length) r.too_short = &too_short, r.too_long = &too_long;
        if (k.score) r.low_score = &low_score;
        if (k.ngid) r.ngid = &ngid;
        if (k.common_ng) r.common_ngid = &common_ngid, r.common_ng_word = &common_ng_word;
        if (k.ng_word) r.ng_word = &ng_word;
        return r;
    }
    AfterReadingRemoved after(const ReconstructSettings& s) {
        AfterReadingRemoved r;
        if (!s.save_lists) return r;
        const ReconstructSettings::SavedLists& k = s.saved;
        if (k.ng_chain) r.ng_word_chain = &ng_word_chain, r.common_ng_chain = &common_ng_chain;
        if (k.command_chain) r.command_chain = &command_chain;
        if (k.duplicates) r.duplicates = &duplicates;
        if (k.thinning) r.thinned = &thinned;
        return r;
    }
    /// Each list with the name its file gets after the output's name, in the order they are written.
    std::vector<std::pair<CWorkChatdata*, std::u16string_view>> named() {
        return {{&invalid_or_hangul, u"[不正な文字／ハングル で除外したコメント].xml"},
                {&invalid_replaced, u"[不正な文字 で置換する前後のコメント].xml"},
                {&too_short, u"[字数少 で除外したコメント].xml"},
                {&too_long, u"[字数多 で除外したコメント].xml"},
                {&low_score, u"[低スコア で除外したコメント].xml"},
                {&ngid, u"[NGID で除外したコメント].xml"},
                {&common_ngid, u"[共通NGID で除外したコメント].xml"},
                {&common_ng_word, u"[共通NGワード で除外したコメント].xml"},
                {&common_ng_chain, u"[共通NGワード者と同IDの連鎖 で除外したコメント].xml"},
                {&ng_word, u"[NGワード で除外したコメント].xml"},
                {&ng_word_chain, u"[NGワード者と同IDの連鎖 で除外したコメント].xml"},
                {&duplicates, u"[重複 で除外したコメント].xml"},
                {&thinned, u"[連続部判定による間引き で除外したコメント].xml"},
                {&command_chain, u"[コマンド 同一IDの発言はすべて排除 で除外したコメント].xml"}};
    }
};

/// The rule stages of one unit; each keeps its counters, hit lists and excluded IDs for that unit only.
struct UnitStages {
    std::array<std::unique_ptr<RuleProgram>, 4> programs;

    void compile(CWorkThread& worker, const ReconstructSettings& settings) {
        const RuleMessageHook box = [&worker](std::u16string_view text) {
            MessageBoxRequest request;
            request.text = std::u16string(text);
            request.caption = u"QuippetVellichor";
            worker.message_box(request);
        };
        for (int k = 0; k < 4; ++k) {
            const std::u16string& file = settings.stage_files[static_cast<size_t>(k)];
            if (file.empty()) continue;
            ensure_rule_file(file, k == kStagePriority);
            auto program = std::make_unique<RuleProgram>();
            if (program->compile_file(file, box) < 0)
                worker.log(file_name(file) + u"：読み込めないので何もしないルールとして続行");
            programs[static_cast<size_t>(k)] = std::move(program);
        }
    }
    void attach(PassInputs& in) const {
        in.priority_stage = programs[kStagePriority].get();
        in.pre_stage = programs[kStagePre].get();
        in.post_stage = programs[kStagePost].get();
        in.individual_stage = programs[kStageIndividual].get();
    }
    std::array<const RuleProgram*, 4> ran() const {
        return {programs[0].get(), programs[1].get(), programs[2].get(), programs[3].get()};
    }
};

int list_regex_give_ups(const ReconstructLists& lists) {
    long long n = 0;
    for (const NgList* list : {&lists.ngid, &lists.common_ng, &lists.ng_words, &lists.priority_ids})
        for (const NgGroup* group : {&list->chained, &list->single})
            for (const NgPattern& p : group->patterns)
                n += p.regex.give_ups();
    for (const ReplaceList* list : {&lists.replace1, &lists.replace2})
        n += list->regex_give_ups();
    return static_cast<int>(std::min<long long>(n, 2'000'000'000));
}

/// The parts' lengths and shifts when the unit joins the parts of one video.
std::vector<PartLength> part_lengths(CWorkThread& worker, const ReconstructSettings& settings,
                                     const std::vector<std::u16string>& paths) {
    PartLengthLookup lookup;
    lookup.from_net = settings.length_from_net;
    lookup.wait_seconds = settings.net_wait_seconds;
    lookup.provider = settings.lengths.get();
    lookup.open = settings.naming.before;
    lookup.close = settings.naming.after;
    lookup.status = [&worker](std::u16string_view line, bool replace) {
        worker.log(line, replace ? LogMode::replace_last_line : LogMode::new_line);
    };
    lookup.sleep_second = [&worker] {
        for (int i = 0; i < 10; ++i) {
            if (worker.stop_requested()) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        return !worker.stop_requested();
    };
    std::vector<PartLength> lengths;
    for (const std::u16string& path : paths) {
        // Only the largest vpos is wanted here; a file that cannot be read contributes nothing.
        CFileSP file;
        CCharM bytes;
        int largest = 0;
        if (file.read(path, bytes) == 0) largest = attribute_range(bytes.view(), "vpos").max;
        lengths.push_back(part_length(file_name(path), largest, static_cast<int>(paths.size()), lookup));
    }
    return lengths;
}

std::u16string trailing_names(const ChatFooterRecord& footer) {
    return footer.names.join(u"");
}

/// The output path: beside the chosen video, or the unit's common name with the tail information.
std::u16string output_stem(const ReconstructSettings& settings, const std::vector<std::u16string>& paths,
                           const std::u16string& fragment) {
    if (!settings.video_path.empty()) {
        const std::u16string& video = settings.video_path;
        const size_t slash = video.rfind(u'/');
        const size_t dot = video.rfind(u'.');
        return dot != std::u16string::npos && (slash == std::u16string::npos || dot > slash) ? video.substr(0, dot)
                                                                                             : video;
    }
    const std::u16string folder = settings.output_folder.empty() ? folder_of(paths.front()) : settings.output_folder;
    return folder + u"/" + settings.naming.prefix +
           unit_output_stem(paths, settings.naming.before, settings.naming.after) + fragment;
}

void write_processing_lists(CWorkThread& worker, UnitRemovedLists& removed, const UnitStages& stages,
                            const ReconstructSettings& settings, const std::u16string& output,
                            const std::vector<std::u16string>& inputs) {
    ChatWriterOptions options = settings.writer;
    options.keep_own_numbers = true;
    const auto write = [&](CWorkChatdata& set, std::u16string_view suffix) {
        if (set.count() == 0) return;
        const std::u16string target = without_xml(output) + std::u16string(suffix);
        for (const std::u16string& input : inputs)
            if (same_file(target, input)) {
                worker.log(target + u"：" + std::u16string(kInputNameTaken));
                return;
            }
        int error = 0;
        std::u16string written;
        if (write_chat_set(set, output, suffix, options, &error, &written) != 0)
            worker.log(target + u"：" + std::u16string(message_text(msg::kSaveFailed)) + u"（" +
                       std::u16string(message_text(error)) + u"）");
    };
    for (auto& [set, suffix] : removed.named())
        write(*set, suffix);
    if (!settings.saved.command_output) return;
    for (const auto& program : stages.programs) {
        if (!program) continue;
        for (size_t k = 0; k < program->hit_lists().size(); ++k) {
            CWorkChatdata copy = program->hit_lists()[k].comments;
            write(copy, program->hit_list_file_name(static_cast<int>(k)));
        }
    }
}

/// Leaves the list row's width for the short report.
constexpr size_t kListRowWidth = 200;

UnitOutcome& ended_by_user(UnitOutcome& outcome) {
    outcome.stopped = true;
    outcome.message = std::u16string(kStoppedByUser);
    return outcome;
}

UnitOutcome& ended_without_comments(UnitOutcome& outcome) {
    outcome.message = std::u16string(message_text(msg::kNoValidComments));
    return outcome;
}

/// The unit's own copy of the settings, with the part shifts when it joins the parts of one video.
ReconstructSettings settings_for_unit(CWorkThread& worker, const ReconstructSettings& settings,
                                      const std::vector<std::u16string>& paths, std::vector<PartLength>& lengths) {
    ReconstructSettings unit = settings;
    if (unit.part_merge && paths.size() > 1) {
        lengths = part_lengths(worker, unit, paths);
        unit.pass.merge_offsets = part_offsets(lengths);
    }
    return unit;
}

/// What the unit's files gave: the comments the chain kept, and the merged header and trailing elements.
struct UnitRead {
    CWorkChatdata set;
    ChatHeaderRecord header;
    ChatFooterRecord footer;
    ChatReadContext context;
    int files_read = 0;

    UnitRead(CWorkThread& worker, PassChain& chain, const ReconstructSettings& unit) {
        context.filter = &chain;
        context.keep_negative_vpos = !unit.pass.remove_negative_vpos;
        context.header = &header;
        context.footer = &footer;
        context.stop_requested = [&worker] { return worker.stop_requested(); };
    }
    UnitRead(const UnitRead&) = delete;
    UnitRead& operator=(const UnitRead&) = delete;
};

/// Reads the unit's files in order, each row showing how its file went. False when the job was stopped.
bool read_unit_files(CWorkThread& worker, const std::vector<std::u16string>& paths, const std::vector<int>& rows,
                     UnitRead& read, UnitOutcome& outcome) {
    for (size_t k = 0; k < paths.size(); ++k) {
        const int row = rows[k];
        worker.set_cell(row, kStatusColumn, u"処理中");
        const int before = read.set.count();
        const int added = read_comment_file(paths[k], read.set, static_cast<int>(k), read.context);
        if (added == -3) return false;
        if (added < 0 && added != -2) {
            worker.set_cell(row, kStatusColumn, u"失敗");
            worker.set_cell(row, kResultColumn, message_text(read.context.error));
            worker.log(paths[k] + u"：" + std::u16string(message_text(read.context.error)));
            outcome.unreadable.push_back(row);
            continue;
        }
        ++read.files_read;
        worker.set_cell(row, kResultColumn, decimal_text(read.set.count() - before) + std::u16string(kCommentsRead));
    }
    return true;
}

/// What the unit's report is built from besides the counters.
struct UnitReportSources {
    const ReconstructSettings& unit;
    const ReconstructLists& lists;
    const UnitStages& stages;
    const std::vector<PartLength>& lengths;
    const ChatFooterRecord& footer;
    /// The lists' give-ups before the unit: the lists live for the whole job.
    int list_give_ups_before = 0;
};

void report_unit(const UnitReportSources& from, const PassCounters& pass, const AfterReadingCounters& after,
                 int read_total, int kept, UnitOutcome& outcome) {
    UnitReportInputs report(pass, after, read_total, kept, from.unit, &from.lists);
    report.stages = from.stages.ran();
    report.part_lengths = from.lengths;
    report.trailing_elements = trailing_names(from.footer);
    // The stages report their own give-ups in their blocks; this line covers the lists.
    report.regex_give_ups = list_regex_give_ups(from.lists) - from.list_give_ups_before;
    outcome.report = report_lines(report);
    outcome.short_report = short_report(report_lines(report, false), kListRowWidth);
}

/// The output's name without ".xml", settled before saving so that the collision rules look at the name
/// that will be written. False, with the outcome's message, when there is none to write to.
bool settle_output_stem(const ReconstructSettings& unit, const std::vector<std::u16string>& paths,
                        const std::vector<std::u16string>& inputs, const BodyFacts& facts, std::u16string& stem,
                        UnitOutcome& outcome) {
    std::u16string fragment;
    if (unit.tail && unit.video_path.empty()) {
        int error = 0;
        if (save_name_fragment(facts, unit.naming, fragment, &error) != 0) {
            outcome.message =
                std::u16string(message_text(msg::kSaveFailed)) + u"（" + std::u16string(message_text(error)) + u"）";
            return false;
        }
    }
    stem = output_stem(unit, paths, fragment);
    const std::u16string target = stem + u".xml";
    for (const std::u16string& input : inputs) {
        if (same_file(target, input)) {
            outcome.message = std::u16string(kInputNameTaken);
            return false;
        }
    }
    if (!unit.overwrite && exists(target)) {
        outcome.message = std::u16string(message_text(msg::kNameTaken));
        return false;
    }
    return true;
}

bool save_unit_output(const ReconstructSettings& unit, const std::vector<std::u16string>& inputs,
                      const std::u16string& stem, CommentTexts texts, const BodyFacts& facts, UnitOutcome& outcome) {
    SaveRequest request;
    request.facts = &facts;
    request.naming.base = stem;
    request.policy = unit.overwrite ? CFileSP::kOverwrite : CFileSP::kKeepExisting;
    request.inputs = inputs;
    int error = 0;
    if (save_comment_file(texts, request, &error, &outcome.written) == 0) return true;
    outcome.message =
        std::u16string(error == msg::kNameTaken ? message_text(msg::kNameTaken) : message_text(msg::kSaveFailed));
    if (error != msg::kNameTaken) outcome.message += u"（" + std::u16string(message_text(error)) + u"）";
    return false;
}

UnitOutcome run_unit(CWorkThread& worker, const ReconstructSettings& settings, const ReconstructLists& lists,
                     const std::vector<std::u16string>& inputs, const std::vector<int>& rows) {
    UnitOutcome outcome;
    std::vector<std::u16string> paths;
    for (int row : rows)
        paths.push_back(inputs[static_cast<size_t>(row)]);

    std::vector<PartLength> lengths;
    const ReconstructSettings unit = settings_for_unit(worker, settings, paths, lengths);
    const int list_give_ups_before = list_regex_give_ups(lists);
    UnitStages stages;
    stages.compile(worker, unit);
    PassInputs pass_inputs = lists.inputs(unit.pass);
    stages.attach(pass_inputs);
    UnitRemovedLists removed;
    PassChain chain(unit.pass, pass_inputs, removed.pass(unit));

    UnitRead read(worker, chain, unit);
    if (!read_unit_files(worker, paths, rows, read, outcome)) return ended_by_user(outcome);
    CWorkChatdata& set = read.set;
    chain.counters().take_read_stats(read.context.stats);
    // Counted as the files held them: what reached the set plus what the chain turned away.
    const int read_total = set.count() + pass_removals(chain.counters());
    if (read.files_read == 0 || set.count() == 0) return ended_without_comments(outcome);

    AfterReadingOptions after_options = unit.after;
    after_options.dedupe.fuzzy_rules = lists.fuzzy_rules;
    AfterReadingCounters after;
    run_after_reading(set, after_options, chain.chain_ids(), after, removed.after(unit), &lists.vocabulary);
    if (worker.stop_requested()) return ended_by_user(outcome);
    if (set.count() == 0) return ended_without_comments(outcome);
    report_unit({unit, lists, stages, lengths, read.footer, list_give_ups_before}, chain.counters(), after, read_total,
                set.count(), outcome);

    std::string head, body, foot;
    const CommentTexts texts{head, body, foot};
    if (write_reconstructed(set, read.header, read.footer, unit.writer, read.context.stop_requested, texts) != 0) {
        outcome.stopped = worker.stop_requested();
        outcome.message = std::u16string(outcome.stopped ? kStoppedByUser : message_text(msg::kSaveFailed));
        return outcome;
    }
    std::u16string stem;
    // The body is scanned once, for its name and for its thread element both.
    const BodyFacts facts = body_facts(body);
    if (!settle_output_stem(unit, paths, inputs, facts, stem, outcome)) return outcome;
    if (!save_unit_output(unit, inputs, stem, texts, facts, outcome)) return outcome;
    if (unit.save_lists) write_processing_lists(worker, removed, stages, unit, outcome.written, inputs);
    outcome.ok = true;
    outcome.message = decimal_text(set.count()) + u"個のコメントを出力";
    return outcome;
}

} // namespace

ReconstructCounts run_reconstruct_job(CWorkThread& worker, const CSettings& stored,
                                      const ReconstructSettings& settings) {
    worker.job_begin(kStatusColumn, kResultColumn);
    ReconstructCounts counts;
    const ReconstructLists lists = load_reconstruct_lists(stored, settings);
    for (const std::u16string& problem : lists.problems)
        worker.log(problem);

    const std::vector<std::u16string>& all = worker.data().inputs();
    // A file listed twice would be counted twice in a merge; the later row is reported and left out.
    std::vector<std::u16string> inputs;
    std::vector<int> list_rows;
    for (size_t i = 0; i < all.size(); ++i) {
        const bool repeated = std::any_of(all.begin(), all.begin() + static_cast<long>(i),
                                          [&all, i](const std::u16string& e) { return same_file(all[i], e); });
        if (repeated) {
            worker.log(all[i] + u"：" + std::u16string(kListedTwice));
            worker.set_cell(static_cast<int>(i), kResultColumn, kListedTwice);
            continue;
        }
        inputs.push_back(all[i]);
        list_rows.push_back(static_cast<int>(i));
    }

    std::u16string last_name;
    for (const std::vector<int>& unit : group_units(inputs, settings.merge, settings.merge_rows, settings.merge_text)) {
        ++counts.total;
        std::vector<int> rows;
        for (int k : unit)
            rows.push_back(list_rows[static_cast<size_t>(k)]);
        last_name = file_name(inputs[static_cast<size_t>(unit.front())]);
        const UnitOutcome outcome = run_unit(worker, settings, lists, all, rows);
        for (int row : rows) {
            if (std::find(outcome.unreadable.begin(), outcome.unreadable.end(), row) != outcome.unreadable.end())
                continue;
            worker.set_cell(row, kStatusColumn, outcome.ok ? u"成功" : outcome.stopped ? u"中止" : u"失敗");
            if (!outcome.ok)
                worker.set_cell(row, kResultColumn, outcome.message);
            else if (!outcome.short_report.empty())
                worker.set_cell(row, kResultColumn, outcome.short_report);
        }
        for (const std::u16string& line : outcome.report)
            worker.log(line);
        worker.log(all[static_cast<size_t>(rows.front())] + u"：" + outcome.message);
        if (!outcome.written.empty()) worker.log(u"　→ " + outcome.written);
        if (outcome.stopped) {
            counts.stopped = true;
            worker.job_stopped();
            return counts;
        }
        if (outcome.ok) ++counts.succeeded;
    }

    log_file_job_end(worker, counts.total, counts.succeeded, last_name);
    return counts;
}

} // namespace quippet
