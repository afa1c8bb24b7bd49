#include "livelog/LiveLogJob.h"

#include "app/Settings.h"
#include "app/WorkThread.h"
#include "comments/ChatFileParts.h"
#include "comments/ChatWriter.h"
#include "livelog/LiveLogFiles.h"
#include "reconstruct/Presets.h"
#include "reconstruct/ReconstructJob.h"
#include "resources/MessageIds.h"
#include "resources/Messages.h"
#include "text/AppHome.h"
#include "text/Encoding.h"
#include "text/FileSP.h"
#include "text/NameTemplate.h"
#include "text/Regex.h"

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <limits>
#include <system_error>

namespace quippet {
namespace {

constexpr size_t kLongestPatternName = 128;
constexpr std::u16string_view kBackupFailed = u"バックアップファイルの書き出しに失敗";

std::u16string with_slash(std::u16string folder) {
    if (!folder.empty() && folder.back() != u'/') folder.push_back(u'/');
    return folder;
}

bool make_folder(std::u16string_view folder) {
    std::error_code ec;
    std::filesystem::create_directories(to_fs_path(folder), ec);
    return std::filesystem::is_directory(to_fs_path(folder), ec);
}

/// Log lines, one per line of `text`.
void log_lines(CWorkThread& worker, std::u16string_view text) {
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find(u"\r\n", at);
        if (end == std::u16string_view::npos) end = text.size();
        worker.log(text.substr(at, end - at));
        at = end + 2;
    }
}

/// The report goes into the log file with a failure of its own noted in the window only.
void append_report_to_log_file(CWorkThread& worker, const WcSettings& s, std::u16string_view report) {
    if (!s.write_log_file || s.log_file.empty()) return;
    const std::time_t t = std::time(nullptr);
    std::tm now{};
    localtime_r(&t, &now);
    const std::u16string file = resolve_in_home(log_file_name(s.log_file, false, now));
    bool ok = ensure_file_exists(file, u"", [](std::u16string_view) {}) >= 0;
    if (ok) ok = CFileSP().append_wide_units(file, log_entry(report, now)) == 0;
    if (!ok) worker.log_message(msg::kLogFileFailed);
}

struct Texts {
    std::string header;
    std::string body;
    std::string footer;
};

void build_texts(const CWorkChatdata& set, const WcSettings& s, int video, Texts& out) {
    ChatWriterOptions options;
    write_body(set, options, {}, out.body);
    if (s.chat_only) {
        out.header.clear();
        out.footer.clear();
        return;
    }
    ChatHeaderRecord header;
    if (!s.view_counter_id.empty()) {
        // The text is typed by the user and lands inside an attribute value.
        std::u16string id;
        for (char16_t c : s.view_counter_id)
            id += c == u'"' ? u"&quot;" : c == u'<' ? u"&lt;" : std::u16string(1, c);
        header.view_counter_ids.add(id);
    }
    header.video = video;
    header.last_res = set.count();
    write_header(header, options, "\n", out.header);
    out.footer = "</packet>\n";
}

std::u16string smallest_date_name(const CWorkChatdata& set) {
    if (set.count() == 0) return {};
    int smallest = std::numeric_limits<int>::max();
    for (int i = 0; i < set.count(); ++i)
        smallest = std::min(smallest, set.date(i));
    return decimal_text(smallest);
}

struct TextTools {
    ReplaceList replace;
    WcNgLists ng;
    bool have_ng = false;
};

/// The replacement table (when replacing) and the NG words; an unreadable file is reported and left out.
TextTools load_text_tools(CWorkThread& worker, const WcSettings& s) {
    TextTools tools;
    if (s.replace) {
        CCharW table;
        if (CFileSP().read_settings_text(s.replace_path, table) != 0) {
            worker.log(s.replace_path + u"の読み込みに失敗しました");
        } else {
            tools.replace = parse_replace_list(table.view());
            for (const ListProblem& p : tools.replace.problems)
                worker.log(s.replace_path + u"の" + decimal_text(p.line) + u"行目（" + p.text + u"）：" + p.reason);
        }
    }
    CCharW text;
    if (CFileSP().read_settings_text(s.ng_path, text) != 0) {
        worker.message_box({s.ng_path + u"の読み込みに失敗しました", u"QuippetVellichor"});
        return tools;
    }
    tools.ng = parse_wc_ng_lists(text.view(), s.ng_path);
    tools.have_ng = true;
    for (const std::u16string& p : tools.ng.problems)
        worker.log(p);
    return tools;
}

/// Searches of the NG-word and replacement expressions that stopped at the limits (and so matched nothing).
long long regex_give_ups(const TextTools& tools) {
    long long n = tools.replace.regex_give_ups();
    for (const WcNgLists::Pattern& p : tools.ng.regex)
        n += p.regex.give_ups();
    return n;
}

} // namespace

void convert_live_log(std::u16string_view text, const WcSettings& settings, const WcTimingTable& timing,
                      const WcNgLists* ng, const ReplaceList* replace, WcConversion& out) {
    WcBodyTools tools;
    tools.ng = ng;
    tools.replace = replace;
    tools.replace_counts = &out.replace_counts;
    tools.refs = &out.refs;
    tools.line_breaks = settings.line_breaks;
    // The separator lands inside element text like the lines it joins: "&#10;" gives a real line break,
    // a "<br>" must not turn into markup.
    std::u16string separator;
    decode_references(settings.line_break_text, separator);
    append_xml_escaped(separator, tools.custom_separator);
    tools.max_lines = settings.max_lines;
    tools.max_chars = settings.max_chars;
    scan_live_log(text, timing, tools, out.set, out.record);
    if (out.set.count() == 0) return;
    estimate_seconds(out.set, timing, out.record);
    spread_hundredths(out.set, out.jitter, out.record);
    if (settings.thin)
        thin_comments(out.set, settings.thin_limit, out.record);
    else
        out.set.sort(chat_key::vpos, chat_key::position);
}

std::u16string default_output_name(std::u16string_view source, const WcSettings& s, std::u16string* problem) {
    if (s.name_from_text && !s.name_pattern.empty()) {
        Regex pattern;
        if (pattern.compile(s.name_pattern) != 0) {
            if (problem) *problem = u"ファイル名の正規表現の誤り：" + pattern.error_text();
        } else {
            RegexMatch match;
            const int found = pattern.search(source, &match);
            if (found < 0 && problem) *problem = u"ファイル名の正規表現の照合が長すぎるため打ち切り（一致なしと判定）";
            if (found == 1 && match.matched(1)) {
                CCharW name(match.group(source, 1).substr(0, kLongestPatternName));
                sanitize_file_name(name, false);
                // A name of dots alone would point at a folder instead of a file.
                const std::u16string_view v = name.view();
                if (!v.empty() && v.find_first_not_of(u'.') != std::u16string_view::npos) return std::u16string(v);
            }
        }
    }
    return std::u16string(kWcDefaultName);
}

int overwrite_threshold(const WcSettings& s) {
    const long long minutes = s.video[8].hours * 60LL + s.video[8].minutes;
    return static_cast<int>(std::min<long long>(minutes * s.overwrite_minimum / 10, std::numeric_limits<int>::max()));
}

std::vector<std::u16string> replace_report_lines(const ReplaceList& list, const ReplaceCounts& counts) {
    std::vector<std::u16string> lines;
    if (counts.plain_comments > 0)
        lines.push_back(u"正規表現以外の置換を実行したコメント：" + decimal_text(counts.plain_comments) + u"件");
    size_t index = 0;
    for (const ReplaceRule& rule : list.rules) {
        if (!rule.is_regex) continue;
        const int n = index < counts.regex_comments.size() ? counts.regex_comments[index] : 0;
        ++index;
        if (n > 0)
            lines.push_back(decimal_text(static_cast<long long>(index)) + u"番目の正規表現置換（to「" + rule.to +
                            u"」）：" + decimal_text(n) + u"件");
    }
    return lines;
}

namespace {

/// One run of the conversion job: what its steps hand on to each other.
struct LiveLogRun {
    CWorkThread& worker;
    const CSettings& settings;
    const WcSettings s;
    std::u16string source;
    std::u16string default_name;
    TextTools tools;
    WcConversion conversion;
    std::vector<std::u16string> replace_lines;
    /// The output's folder (ending in "/") and file name.
    std::u16string folder;
    std::u16string file_name;
    Texts texts;
    int video = 0;
    /// The reconstruction's report block; empty without reconstruction.
    std::u16string reconstruction;

    LiveLogRun(CWorkThread& w, const CSettings& stored) : worker(w), settings(stored), s(wc_settings(stored)) {}

    /// Adds the conversion's report, with the reconstruction's block when given, to the record's report.
    void add_report(std::u16string_view reconstruction_block) {
        CWorkRecordWC& record = conversion.record;
        record.report += compose_report(record, conversion.refs, replace_lines, reconstruction_block);
    }
};

bool read_source(LiveLogRun& run) {
    int error = 0;
    if (read_source_text(run.s.source_path, run.source, error) == 0) return true;
    run.worker.log(run.s.source_path + u"：" + std::u16string(message_text(error == 0 ? msg::kCannotOpen : error)));
    return false;
}

/// The source as read, kept beside the outputs under the name the user gave.
void keep_source_copy(LiveLogRun& run) {
    const WcSettings& s = run.s;
    if (!s.keep_copies || s.output_name.empty()) return;
    CFileSP copy;
    if (!make_folder(s.backup_folder) || copy.write_wide_text(with_slash(s.backup_folder) + s.output_name + u".txt",
                                                              run.source, CFileSP::kOverwrite) != 0)
        run.worker.log(kBackupFailed);
}

/// Names the fallback output, loads the word lists and converts. A non-zero message id when the timing
/// table is unusable.
int convert_source(LiveLogRun& run) {
    std::u16string name_problem;
    run.default_name = default_output_name(run.source, run.s, &name_problem);
    if (!name_problem.empty()) run.worker.log(name_problem);

    run.tools = load_text_tools(run.worker, run.s);
    const WcTimingTable timing = build_timing_table(run.s);
    if (timing.error != 0) return timing.error;

    convert_live_log(run.source, run.s, timing, run.tools.have_ng ? &run.tools.ng : nullptr,
                     run.s.replace ? &run.tools.replace : nullptr, run.conversion);
    run.replace_lines = replace_report_lines(run.tools.replace, run.conversion.replace_counts);
    if (const long long give_ups = regex_give_ups(run.tools); give_ups > 0)
        run.replace_lines.push_back(std::u16string(kListRegexGiveUpsLabel) + decimal_text(give_ups) + u"件");
    return 0;
}

void choose_output(LiveLogRun& run, const LiveLogJobOptions& options) {
    const WcSettings& s = run.s;
    const std::u16string folder = !options.output_folder.empty()       ? options.output_folder
                                  : s.place && !s.place_folder.empty() ? resolve_in_home(s.place_folder)
                                                                       : s.output_folder;
    run.folder = with_slash(folder);
    std::u16string name = s.output_name;
    if (name.empty()) name = s.date_as_name ? smallest_date_name(run.conversion.set) : run.default_name;
    if (name.empty()) name = run.default_name;
    run.file_name = name + u"." + s.extension;
}

/// The reconstruction's after-reading steps over the converted set, under the preset the settings name;
/// the unreconstructed file is kept as a copy first when copies are kept. False when nothing is left.
bool reconstruct_converted(LiveLogRun& run) {
    const WcSettings& s = run.s;
    CWorkChatdata& set = run.conversion.set;
    if (s.keep_copies) {
        build_texts(set, s, run.video, run.texts);
        CFileSP backup;
        if (!make_folder(s.backup_folder) || backup.write(with_slash(s.backup_folder) + run.file_name, run.texts.header,
                                                          run.texts.body, run.texts.footer, CFileSP::kOverwrite) != 0)
            run.worker.log(kBackupFailed);
    }
    CSettings pass_settings = run.settings;
    if (!s.reconstruct_preset.empty()) {
        std::u16string preset_error;
        // A preset that loaded may still report list copies it could not put back.
        if (!apply_reconstruct_preset(pass_settings, s.reconstruct_preset, &preset_error) || !preset_error.empty())
            run.worker.log(s.reconstruct_preset + u"：" + preset_error);
    }
    const ReconstructSettings rs = reconstruct_settings(pass_settings);
    const ReconstructLists lists = load_reconstruct_lists(pass_settings, rs);
    for (const std::u16string& problem : lists.problems)
        run.worker.log(problem);
    run.reconstruction = reconstruct_built_set(set, rs, lists);
    return set.count() != 0;
}

/// With overwriting on, a run that found too few posts must not replace the file: the message when it did.
std::u16string below_overwrite_minimum(const LiveLogRun& run) {
    if (!run.s.overwrite) return {};
    const int threshold = overwrite_threshold(run.s);
    const int accepted = run.conversion.record.accepted;
    if (accepted >= threshold) return {};
    return std::u16string(message_text(msg::kSucceededCount)) + decimal_text(accepted) +
           std::u16string(message_text(msg::kBelowOverwriteMinimum)) + decimal_text(threshold) +
           std::u16string(message_text(msg::kNotWritten));
}

/// False when the write failed; the path is logged then.
bool write_output(LiveLogRun& run, std::u16string& written) {
    const std::u16string path = run.folder + run.file_name;
    CFileSP out;
    if (make_folder(run.folder) &&
        out.write(path, run.texts.header, run.texts.body, run.texts.footer,
                  run.s.overwrite ? CFileSP::kOverwrite : CFileSP::kNumberedName, &written) == 0)
        return true;
    run.worker.log(path);
    return false;
}

} // namespace

LiveLogJobResult run_livelog_job(CWorkThread& worker, const CSettings& settings, const LiveLogJobOptions& options) {
    worker.job_begin();
    LiveLogJobResult result;
    const auto fail = [&](std::u16string_view line) {
        if (!line.empty()) worker.log(line);
        worker.log_elapsed();
        return result;
    };
    LiveLogRun run(worker, settings);
    if (!read_source(run)) return fail({});
    keep_source_copy(run);
    if (const int error = convert_source(run); error != 0) return fail(message_text(error));

    CWorkRecordWC& record = run.conversion.record;
    CWorkChatdata& set = run.conversion.set;
    if (worker.stop_requested()) {
        worker.job_stopped();
        result.stopped = true;
        return result;
    }
    if (set.count() == 0) {
        run.add_report({});
        record.report += diagnosis_text(record);
        log_lines(worker, record.report);
        return fail({});
    }

    choose_output(run, options);
    run.video = record.dated_lines - record.out_of_time();
    if (run.s.reconstruct && !reconstruct_converted(run)) {
        run.add_report(run.reconstruction);
        log_lines(worker, record.report);
        return fail(message_text(msg::kNoValidComments));
    }
    build_texts(set, run.s, run.video, run.texts);
    run.add_report(run.reconstruction);
    log_lines(worker, record.report);

    if (const std::u16string refusal = below_overwrite_minimum(run); !refusal.empty()) return fail(refusal);
    std::u16string written;
    if (!write_output(run, written)) return fail(message_text(msg::kSaveFailed));
    append_report_to_log_file(worker, run.s, record.report);
    worker.log(u"　→ " + written);
    worker.log_elapsed();
    result.ok = true;
    result.written = written;
    return result;
}

} // namespace quippet
