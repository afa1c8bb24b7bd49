#include "reconstruct/ReconstructJob.h"

#include "reconstruct/FileJobReport.h"

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <string>
#include <system_error>

#include "app/Settings.h"
#include "app/SettingsCatalogue.h"
#include "app/WorkThread.h"
#include "comments/ChatReader.h"
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

constexpr std::u16string_view kNoComment = u"有効なコメントがありません";
constexpr std::u16string_view kNameTaken = u"同名ファイルが存在するため未出力";
constexpr std::u16string_view kInputNameTaken = u"出力名が入力ファイルと同じため未出力";
constexpr std::u16string_view kWriteFailed = u"ファイルに保存するところで失敗しました";
constexpr std::u16string_view kListedTwice = u"同じファイルが重複して指定されているので省略";
constexpr std::u16string_view kStoppedByUser = u"ユーザー操作で中止";
constexpr std::u16string_view kCommentsRead = u"個のコメントを読込";

std::u16string decimal(long long n) {
    return from_utf8(std::to_string(n));
}

std::u16string file_name(std::u16string_view path) {
    const size_t slash = path.rfind(u'/');
    return std::u16string(slash == std::u16string_view::npos ? path : path.substr(slash + 1));
}

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

void add_line(std::vector<std::u16string>& lines, std::u16string_view label, int n) {
    if (n > 0) lines.push_back(std::u16string(label) + decimal(n) + u"件");
}

void add_replace_lines(std::vector<std::u16string>& lines, std::u16string_view prefix, const ReplaceCounts& counts,
                       const ReplaceList* list) {
    add_line(lines, std::u16string(prefix) + u"正規表現以外の置換を実行したコメント：", counts.plain_comments);
    if (!list) return;
    size_t regex_index = 0;
    for (const ReplaceRule& rule : list->rules) {
        if (!rule.is_regex) continue;
        const int n = regex_index < counts.regex_comments.size() ? counts.regex_comments[regex_index] : 0;
        ++regex_index;
        add_line(lines,
                 std::u16string(prefix) + decimal(static_cast<long long>(regex_index)) + u"番目の正規表現置換（to「" +
                     rule.to + u"」）：",
                 n);
    }
}

std::u16string date_text(int unix_time) {
    const std::time_t t = unix_time;
    std::tm local{};
    char text[32] = {};
    if (!localtime_r(&t, &local) || std::strftime(text, sizeof text, "%Y/%m/%d %H:%M:%S", &local) == 0)
        return decimal(unix_time);
    return from_utf8(text);
}

struct UnitOutcome {
    bool ok = false;
    bool stopped = false;
    std::u16string message;
    std::u16string written;
    std::vector<std::u16string> report;
    /// Rows of the unit whose file could not be read; they keep their own failure.
    std::vector<int> unreadable;
};

} // namespace

ReconstructSettings reconstruct_settings(const CSettings& s) {
    ReconstructSettings r;
    PassOptions& p = r.pass;
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
    p.priority_premium = s.on(RcSwitch::kPrioritySystem);
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
    r.chain_by_default = s.on(RcSwitch::kChainByDefault);

    DedupeOptions& d = r.after.dedupe;
    d.enabled = s.on(RcSwitch::kDuplicates);
    d.no = s.on(RcSwitch::kDupNo);
    d.vpos = s.on(RcSwitch::kDupTime);
    d.window = s.number(RcNumber::kDupWindow);
    d.date = s.on(RcSwitch::kDupDate);
    d.user_id = s.on(RcSwitch::kDupId);
    d.mail = s.on(RcSwitch::kDupCommand);
    d.text = s.on(RcSwitch::kDupBody);

    LimitOptions& l = r.after.limit;
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
    r.after.renumber = !s.on(RcSwitch::kKeepNumbers);
    for (int row = 0; row < 4; ++row) {
        if (!s.on(rc_sort_enabled(row))) continue;
        // The stored value is the index of the key's name among the combo's items.
        const SettingDef* def = find_setting(rc_sort_key(row));
        const int index = s.number(rc_sort_key(row));
        if (!def || index < 0 || static_cast<size_t>(index) >= def->items.size()) continue;
        const int key = sort_key_from_name(def->items[static_cast<size_t>(index)]);
        if (key >= 0) r.after.sort_keys[row] = key;
    }

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
    return r;
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
    return in;
}

ReconstructLists load_reconstruct_lists(const CSettings& settings, bool chain_by_default) {
    ReconstructLists lists;
    for (ListFile file : kAllListFiles)
        ensure_list_file(settings, file);
    const auto path = [&settings](ListFile f) { return list_file_path(settings, f); };
    lists.ngid = load_ng_list(path(ListFile::kNgIds), NgListKind::kIds, chain_by_default);
    lists.common_ng = load_ng_list(path(ListFile::kCommonNg), NgListKind::kWords, chain_by_default);
    lists.ng_words = load_ng_list(path(ListFile::kNgWords), NgListKind::kWords, chain_by_default);
    lists.priority_ids = load_ng_list(path(ListFile::kPriorityIds), NgListKind::kIds, chain_by_default);
    lists.replace1 = load_replace_list(path(ListFile::kReplace1));
    lists.replace2 = load_replace_list(path(ListFile::kReplace2));
    const auto note = [&lists, &path](ListFile f, const std::vector<ListProblem>& problems) {
        for (const ListProblem& p : problems)
            lists.problems.push_back(file_name(path(f)) + u" " + decimal(p.line) + u"行目：" + p.reason +
                                     (p.text.empty() ? u"" : u"（" + p.text + u"）"));
    };
    note(ListFile::kNgIds, lists.ngid.problems);
    note(ListFile::kCommonNg, lists.common_ng.problems);
    note(ListFile::kNgWords, lists.ng_words.problems);
    note(ListFile::kPriorityIds, lists.priority_ids.problems);
    note(ListFile::kReplace1, lists.replace1.problems);
    note(ListFile::kReplace2, lists.replace2.problems);
    return lists;
}

static int per_comment_removals(const PassCounters& c) {
    int total = c.invalid_char_removed + c.hangul_removed + c.priority_stage + c.over_read_limit +
                c.natural_date_total() + c.too_old + c.date_rule[0] + c.date_rule[1] + c.pre_stage + c.too_short +
                c.too_long + c.deleted_attribute + c.low_score + c.zero_time + c.ngid + c.common_ngid +
                c.common_ng_word + c.ng_word + c.post_stage + c.individual_stage;
    for (int n : c.timing_removed)
        total += n;
    return total;
}

std::vector<std::u16string> report_lines(const PassCounters& c, const AfterReadingCounters& a, int read, int written,
                                         const PassOptions& options, const ReconstructLists* lists) {
    std::vector<std::u16string> lines;
    add_line(lines, u"vpos属性が存在しない不正データを抹消：", c.no_vpos);
    add_line(lines, u"vpos属性に許容数以外が含まれる不正データを抹消：", c.bad_vpos);
    add_line(lines, u"date属性に正数以外が含まれる不正データを抹消：", c.bad_date);
    add_line(lines, u"コメント内容に不正文字が含まれるデータを抹消：", c.invalid_char_removed);
    add_line(lines, u"コメント内容にハングルが含まれるデータを抹消：", c.hangul_removed);
    add_line(lines, u"コメント内容に含まれていた不正な文字を置換：", c.invalid_char_replaced);
    constexpr std::u16string_view kNumberNames[7] = {u"score", u"thread", u"premium", u"anonymity",
                                                     u"fork",  u"leaf",   u"deleted"};
    for (size_t k = 0; k < c.non_numeric.size(); ++k)
        add_line(lines, u"数値以外が含まれる" + std::u16string(kNumberNames[k]) + u"を無視して続行：",
                 c.non_numeric[k]);
    add_line(lines, u"コメント読込数の制限を超えたので無視：", c.over_read_limit);
    for (const PassCounters::NaturalDateRow& row : c.natural_date)
        add_line(lines, decimal(row.row) + u"行目は" + date_text(row.threshold) + u"以前のコメントを削除：",
                 row.removed);
    add_line(lines, u"投稿日が古いので削除：", c.too_old);
    add_replace_lines(lines, u"前変換：", c.replace1, lists ? &lists->replace1 : nullptr);
    add_line(lines, u"文字数が短いコメントを削除：", c.too_short);
    add_line(lines, u"文字数が多いコメントを削除：", c.too_long);
    add_line(lines, u"deleted属性のコメントを削除：", c.deleted_attribute);
    add_line(lines, u"スコアが低いコメントを削除：", c.low_score);
    add_line(lines, u"時間がゼロのコメントを削除：", c.zero_time);
    add_line(lines, options.ngid_reversed ? u"NGIDと一致しないコメントを削除：" : u"NGIDと一致したコメントを削除：",
             c.ngid);
    add_line(lines, u"共通NGIDと一致したコメントを削除：", c.common_ngid);
    add_line(lines,
             options.common_ng_reversed ? u"共通NGワードを含まないコメントを削除："
                                        : u"共通NGワードを含むコメントを削除：",
             c.common_ng_word);
    add_line(lines,
             options.ng_words_reversed ? u"NGワードを含まないコメントを削除：" : u"NGワードを含むコメントを削除：",
             c.ng_word);
    add_replace_lines(lines, u"後変換：", c.replace2, lists ? &lists->replace2 : nullptr);
    add_line(lines, u"NGワード者と同一IDのコメントを削除：", a.ng_word_chain);
    add_line(lines, u"共通NG者と同一IDのコメントを削除：", a.common_ng_chain);
    add_line(lines, u"コマンドで指定した同一IDのコメントを削除：", a.command_chain);
    add_line(lines, u"内容や表示時間が重複っぽいコメントを削除：", a.duplicates);
    add_line(lines, u"※「重複ぽい」条件で削除した優先コメント：", a.priority_duplicates);
    const int total = per_comment_removals(c) + a.ng_word_chain + a.common_ng_chain + a.command_chain + a.duplicates;
    if (total > 0) lines.push_back(u"（総削除数：" + decimal(total) + u"件）");
    if (written != read) {
        std::u16string line = decimal(read) + u"コメントから、" + decimal(written) + u"コメントに制限して出力";
        if (a.thin_threshold >= 0)
            line += u"（" + (a.thin_row > 0 ? decimal(a.thin_row) + u"行目を" : std::u16string()) +
                    decimal(static_cast<long long>(a.thin_threshold) * 10) + u"ミリ秒以内の2連続まで削除）";
        if (a.minute_limit > 0)
            line += u"（毎分" + decimal(a.minute_limit) + u"コメ／計" + decimal(a.minutes) + u"分／飽和：" +
                    decimal(a.minutes_saturated) + u"／不足：" + decimal(a.minutes_short) + u"）";
        lines.push_back(line);
    }
    if (a.minute_limit > 0)
        add_line(lines, u"毎分" + decimal(a.minute_limit) + u"コメの制限対象だったところを免除した優先コメント：",
                 a.exempted);
    return lines;
}

std::u16string reconstruct_built_set(CWorkChatdata& set, const ReconstructSettings& settings,
                                     const ReconstructLists& lists) {
    // The converter's set was built without the reader, so only the after-reading steps apply to it.
    const int read = set.count();
    PassChain chain(settings.pass, lists.inputs(settings.pass));
    AfterReadingCounters after;
    run_after_reading(set, settings.after, chain.chain_ids(), after);
    const std::vector<std::u16string> lines =
        report_lines(chain.counters(), after, read, set.count(), settings.pass, &lists);
    if (lines.empty()) return u"再構成では特に変更なし\r\n";
    std::u16string text = u"再構成\r\n";
    for (const std::u16string& line : lines)
        text += line + u"\r\n";
    return text + u"\r\n最終コメント数：" + decimal(set.count()) + u"\r\n";
}

namespace {

UnitOutcome run_unit(CWorkThread& worker, const ReconstructSettings& settings, const ReconstructLists& lists,
                     const std::vector<std::u16string>& inputs, const std::vector<int>& rows) {
    UnitOutcome outcome;
    std::vector<std::u16string> paths;
    for (int row : rows)
        paths.push_back(inputs[static_cast<size_t>(row)]);

    PassChain chain(settings.pass, lists.inputs(settings.pass));
    CWorkChatdata set;
    ChatHeaderRecord header;
    ChatFooterRecord footer;
    ChatReadContext context;
    context.filter = &chain;
    context.keep_negative_vpos = !settings.pass.remove_negative_vpos;
    context.header = &header;
    context.footer = &footer;
    context.stop_requested = [&worker] { return worker.stop_requested(); };

    int files_read = 0;
    for (size_t k = 0; k < paths.size(); ++k) {
        const int row = rows[k];
        worker.set_cell(row, kStatusColumn, u"処理中");
        const int before = set.count();
        const int added = read_comment_file(paths[k], set, static_cast<int>(k), context);
        if (added == -3) {
            outcome.stopped = true;
            outcome.message = std::u16string(kStoppedByUser);
            return outcome;
        }
        if (added < 0 && added != -2) {
            worker.set_cell(row, kStatusColumn, u"失敗");
            worker.set_cell(row, kResultColumn, message_text(context.error));
            worker.log(paths[k] + u"：" + std::u16string(message_text(context.error)));
            outcome.unreadable.push_back(row);
            continue;
        }
        ++files_read;
        worker.set_cell(row, kResultColumn, decimal(set.count() - before) + std::u16string(kCommentsRead));
    }
    chain.counters().take_read_stats(context.stats);
    // Counted as the files held them: what reached the set plus what the chain turned away.
    const int read_total = set.count() + per_comment_removals(chain.counters());
    if (files_read == 0 || set.count() == 0) {
        outcome.message = std::u16string(kNoComment);
        return outcome;
    }

    AfterReadingCounters after;
    run_after_reading(set, settings.after, chain.chain_ids(), after);
    if (worker.stop_requested()) {
        outcome.stopped = true;
        outcome.message = std::u16string(kStoppedByUser);
        return outcome;
    }
    if (set.count() == 0) {
        outcome.message = std::u16string(kNoComment);
        return outcome;
    }
    outcome.report = report_lines(chain.counters(), after, read_total, set.count(), settings.pass, &lists);

    std::string head, body, foot;
    if (write_reconstructed(set, header, footer, settings.writer, context.stop_requested, {head, body, foot}) != 0) {
        outcome.stopped = worker.stop_requested();
        outcome.message = std::u16string(outcome.stopped ? kStoppedByUser : kWriteFailed);
        return outcome;
    }

    const std::u16string folder = settings.output_folder.empty() ? folder_of(paths.front()) : settings.output_folder;
    // The whole name is settled here so that the collision rules look at the name that will be written.
    std::u16string fragment;
    if (settings.tail) {
        int error = 0;
        if (save_name_fragment(body, settings.naming, fragment, &error) != 0) {
            outcome.message = std::u16string(kWriteFailed) + u"（" + std::u16string(message_text(error)) + u"）";
            return outcome;
        }
    }
    const std::u16string stem = folder + u"/" + settings.naming.prefix +
                                unit_output_stem(paths, settings.naming.before, settings.naming.after) + fragment;
    const std::u16string target = stem + u".xml";
    for (const std::u16string& input : inputs) {
        if (same_file(target, input)) {
            outcome.message = std::u16string(kInputNameTaken);
            return outcome;
        }
    }
    if (!settings.overwrite && exists(target)) {
        outcome.message = std::u16string(kNameTaken);
        return outcome;
    }

    SaveRequest request;
    request.naming.base = stem;
    request.policy = settings.overwrite ? CFileSP::kOverwrite : CFileSP::kKeepExisting;
    request.inputs = inputs;
    int error = 0;
    if (save_comment_file({head, body, foot}, request, &error, &outcome.written) != 0) {
        outcome.message = std::u16string(error == 21 ? kNameTaken : kWriteFailed);
        if (error != 21) outcome.message += u"（" + std::u16string(message_text(error)) + u"）";
        return outcome;
    }
    outcome.ok = true;
    outcome.message = decimal(set.count()) + u"個のコメントを出力";
    return outcome;
}

} // namespace

ReconstructCounts run_reconstruct_job(CWorkThread& worker, const CSettings& stored,
                                      const ReconstructSettings& settings) {
    worker.job_begin(kStatusColumn, kResultColumn);
    ReconstructCounts counts;
    const ReconstructLists lists = load_reconstruct_lists(stored, settings.chain_by_default);
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
            if (!outcome.ok) worker.set_cell(row, kResultColumn, outcome.message);
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
