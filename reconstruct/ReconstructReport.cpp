#include "reconstruct/ReconstructReport.h"

#include <ctime>

#include "text/Encoding.h"

namespace quippet {
namespace {

void add_line(std::vector<std::u16string>& lines, std::u16string_view label, int n) {
    if (n > 0) lines.push_back(std::u16string(label) + decimal_text(n) + u"件");
}

void add_total(std::vector<std::u16string>& lines, std::u16string_view stage, int n) {
    if (n > 0) lines.push_back(u"（" + std::u16string(stage) + u"での総削除数：" + decimal_text(n) + u"件）");
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
                 std::u16string(prefix) + decimal_text(static_cast<long long>(regex_index)) +
                     u"番目の正規表現置換（to「" + rule.to + u"」）：",
                 n);
    }
}

void add_stage_lines(std::vector<std::u16string>& lines, const RuleProgram* stage, std::u16string_view prefix) {
    if (!stage) return;
    for (std::u16string& line : stage->report_lines(prefix))
        lines.push_back(std::move(line));
}

std::u16string date_text(long long unix_time) {
    const std::time_t t = static_cast<std::time_t>(unix_time);
    std::tm local{};
    char text[32] = {};
    if (!localtime_r(&t, &local) || std::strftime(text, sizeof text, "%Y/%m/%d %H:%M:%S", &local) == 0)
        return decimal_text(unix_time);
    return from_utf8(text);
}

constexpr std::u16string_view kDateBaseNames[] = {u"合成1行目の最初の投稿", u"合成1行目の最後の投稿",
                                                  u"ファイル内の最初の投稿", u"ファイル内の最後の投稿"};

std::u16string date_rule_label(const DateRuleRow& rule) {
    std::u16string label = u"投稿日時が";
    label += rule.base == DateBase::given ? date_text(rule.given)
                                          : std::u16string(kDateBaseNames[static_cast<int>(rule.base)]);
    if (rule.hours > 0) label += u"＋" + decimal_text(rule.hours) + u"時間";
    if (rule.hours < 0) label += u"－" + decimal_text(-static_cast<long long>(rule.hours)) + u"時間";
    label += rule.before ? u"より前のコメントは削除：" : u"より後のコメントは削除：";
    return label;
}

std::u16string timing_scope_text(const TimingRow& row) {
    switch (row.scope) {
    case TimingScope::after:
        return report_time(row.at) + u"より後のコメントを";
    case TimingScope::before:
        return report_time(row.at) + u"より前のコメントを";
    case TimingScope::always:
        return u"全てのコメントを";
    case TimingScope::row_only:
        return decimal_text(row.at % 100) + u"行目のコメントを";
    case TimingScope::rows_from:
        return decimal_text(row.at) + u"行目以降のコメントを";
    case TimingScope::rows_up_to:
        break;
    }
    return decimal_text(row.at) + u"行目以前のコメントを";
}

} // namespace

std::u16string report_time(int hundredths) {
    const long long h = hundredths < 0 ? -static_cast<long long>(hundredths) : hundredths;
    std::u16string text = hundredths < 0 ? u"－" : u"";
    text += decimal_text(h / 6000) + u"分";
    const long long seconds = h / 100 % 60, fraction = h % 100;
    text += (seconds < 10 ? u"0" : u"") + decimal_text(seconds);
    if (fraction != 0) text += (fraction < 10 ? u".0" : u".") + decimal_text(fraction);
    return text + u"秒";
}

std::vector<std::u16string> timing_row_lines(const TimingRow& row, int removed, int shifted) {
    std::vector<std::u16string> lines;
    const std::u16string scope = timing_scope_text(row);
    const std::u16string amount = report_time(row.amount);
    switch (row.action) {
    case TimingAction::delay:
        add_line(lines, scope + amount + u"遅らせた：", shifted);
        break;
    case TimingAction::advance:
        add_line(lines, scope + amount + u"早めた：", shifted);
        add_line(lines, u"その結果、時間がマイナスになったコメントを削除：", removed);
        break;
    case TimingAction::cut:
        add_line(lines, scope + amount + u"のＣＭカット（区間内を削除）：", removed);
        add_line(lines, scope + amount + u"のＣＭカット（区間後を早めた）：", shifted);
        break;
    case TimingAction::remove_span:
        add_line(lines, scope + u"先頭から" + amount + u"の区間だけ削除：", removed);
        break;
    case TimingAction::remove_all:
        add_line(lines, scope + u"全削除：", removed);
        break;
    }
    return lines;
}

int pass_removals(const PassCounters& c) {
    int total = c.invalid_char_removed + c.hangul_removed + c.priority_stage + c.over_read_limit +
                c.natural_date_total() + c.too_old + c.date_rule[0] + c.date_rule[1] + c.pre_stage + c.too_short +
                c.too_long + c.deleted_attribute + c.low_score + c.zero_time + c.ngid + c.common_ngid +
                c.common_ng_word + c.ng_word + c.post_stage + c.individual_stage;
    for (int n : c.timing_removed)
        total += n;
    return total;
}

std::vector<std::u16string> report_lines(const UnitReportInputs& in, bool validation) {
    const PassCounters& c = in.pass;
    const AfterReadingCounters& a = in.after;
    const PassOptions& options = in.settings.pass;
    const ReconstructLists* lists = in.lists;
    std::vector<std::u16string> lines;
    if (validation) {
        add_line(lines, u"vpos属性が存在しない不正データを抹消：", c.no_vpos);
        add_line(lines, u"vpos属性に許容数以外が含まれる不正データを抹消：", c.bad_vpos);
        add_line(lines, u"date属性に正数以外が含まれる不正データを抹消：", c.bad_date);
    }
    add_line(lines, u"コメント内容に不正文字が含まれるデータを抹消：", c.invalid_char_removed);
    add_line(lines, u"コメント内容にハングルが含まれるデータを抹消：", c.hangul_removed);
    add_line(lines, u"コメント内容に含まれていた不正な文字を置換：", c.invalid_char_replaced);
    if (c.references_decoded > 0)
        lines.push_back(u"コメント内容の" + decimal_text(c.references_decoded) + u"件の文字参照を置換");
    if (validation) {
        constexpr std::u16string_view kNumberNames[7] = {u"score", u"thread", u"premium", u"anonymity",
                                                         u"fork",  u"leaf",   u"deleted"};
        for (size_t k = 0; k < c.non_numeric.size(); ++k)
            add_line(lines, u"数値以外が含まれる" + std::u16string(kNumberNames[k]) + u"を無視して続行：",
                     c.non_numeric[k]);
    }
    add_stage_lines(lines, in.stages[kStagePriority], u"優先条件：");
    add_total(lines, u"優先条件", c.priority_stage);
    add_line(lines, u"コメント読込数の制限を超えたので無視：", c.over_read_limit);
    for (const PassCounters::NaturalDateRow& row : c.natural_date)
        add_line(lines, decimal_text(row.row) + u"行目は" + date_text(row.threshold) + u"以前のコメントを削除：",
                 row.removed);
    add_line(lines, u"投稿日が古いので削除：", c.too_old);
    for (size_t r = 0; r < c.date_rule.size(); ++r)
        add_line(lines, date_rule_label(options.date_rules[r]), c.date_rule[r]);
    add_stage_lines(lines, in.stages[kStagePre], u"前変換：");
    add_replace_lines(lines, u"前変換：", c.replace1, lists ? &lists->replace1 : nullptr);
    add_total(lines, u"前変換", c.pre_stage);
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
    add_stage_lines(lines, in.stages[kStagePost], u"後変換：");
    add_replace_lines(lines, u"後変換：", c.replace2, lists ? &lists->replace2 : nullptr);
    add_total(lines, u"後変換", c.post_stage);
    add_stage_lines(lines, in.stages[kStageIndividual], u"個変換：");
    add_total(lines, u"個変換", c.individual_stage);

    if (!in.part_lengths.empty()) {
        const std::vector<int> offsets = part_offsets(in.part_lengths);
        for (size_t k = 1; k < offsets.size(); ++k) {
            const int moved = k < c.merge_shifted.size() ? c.merge_shifted[k] : 0;
            add_line(lines,
                     u"パート分割の合成：" + decimal_text(static_cast<long long>(k + 1)) + u"行目は" +
                         report_time(offsets[k]) + u"遅らせた：",
                     moved);
        }
        std::u16string sources = u"※動画の長さは、";
        for (size_t k = 0; k < in.part_lengths.size(); ++k) {
            if (k > 0) sources += u"、";
            sources += decimal_text(static_cast<long long>(k + 1)) + u"行目が" +
                       report_time(in.part_lengths[k].hundredths) + u"（" +
                       std::u16string(length_source_text(in.part_lengths[k].source)) + u"）";
        }
        lines.push_back(sources);
    }
    for (size_t r = 0; r < options.timing.size(); ++r) {
        if (!options.timing[r].enabled) continue;
        for (std::u16string& line : timing_row_lines(options.timing[r], c.timing_removed[r], c.timing_shifted[r]))
            lines.push_back(std::move(line));
    }

    add_line(lines, u"NGワード者と同一IDのコメントを削除：", a.ng_word_chain);
    add_line(lines, u"共通NG者と同一IDのコメントを削除：", a.common_ng_chain);
    add_line(lines, u"コマンドで指定した同一IDのコメントを削除：", a.command_chain);
    add_line(lines, u"内容や表示時間が重複っぽいコメントを削除：", a.duplicates);
    add_line(lines, u"※「重複ぽい」条件で削除した優先コメント：", a.priority_duplicates);
    const int total = pass_removals(c) + a.ng_word_chain + a.common_ng_chain + a.command_chain + a.duplicates;
    if (total > 0) lines.push_back(u"（総削除数：" + decimal_text(total) + u"件）");
    if (in.written != in.read) {
        std::u16string line =
            decimal_text(in.read) + u"コメントから、" + decimal_text(in.written) + u"コメントに制限して出力";
        if (a.thin_threshold >= 0)
            line += u"（" + (a.thin_row > 0 ? decimal_text(a.thin_row) + u"行目を" : std::u16string()) +
                    decimal_text(static_cast<long long>(a.thin_threshold) * 10) + u"ミリ秒以内の2連続まで削除）";
        if (a.minute_limit > 0)
            line += u"（毎分" + decimal_text(a.minute_limit) + u"コメ／計" + decimal_text(a.minutes) + u"分／飽和：" +
                    decimal_text(a.minutes_saturated) + u"／不足：" + decimal_text(a.minutes_short) + u"）";
        lines.push_back(line);
    }
    if (a.minute_limit > 0)
        add_line(lines, u"毎分" + decimal_text(a.minute_limit) + u"コメの制限対象だったところを免除した優先コメント：",
                 a.exempted);
    add_line(lines, kListRegexGiveUpsLabel, in.regex_give_ups);
    std::vector<const RuleProgram*> ran;
    for (const RuleProgram* stage : in.stages)
        if (stage) ran.push_back(stage);
    if (std::u16string unknown = unknown_commands_line(ran); !unknown.empty()) lines.push_back(std::move(unknown));
    if (!in.trailing_elements.empty()) lines.push_back(in.trailing_elements + u"の要素を末尾に残留");
    return lines;
}

std::u16string short_report(std::span<const std::u16string> lines, size_t width) {
    std::u16string text;
    for (const std::u16string& line : lines) {
        if (!text.empty()) text += u' ';
        text += line;
    }
    if (text.size() <= width) return text;
    constexpr std::u16string_view kCut = u"etc";
    size_t keep = width > kCut.size() ? width - kCut.size() : 0;
    if (keep > 0 && text[keep - 1] >= 0xD800 && text[keep - 1] <= 0xDBFF) --keep;
    text.resize(keep);
    return text + std::u16string(kCut);
}

} // namespace quippet
