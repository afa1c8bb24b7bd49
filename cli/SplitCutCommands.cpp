#include "cli/SplitCutCommands.h"

#include <charconv>
#include <optional>
#include <ostream>

#include "app/IniFile.h"
#include "app/Settings.h"
#include "cli/Cli.h"
#include "cli/JobRunner.h"
#include "cli/PresetCommand.h"
#include "cli/SettingsCommand.h"
#include "reconstruct/Presets.h"
#include "reconstruct/SplitCut.h"
#include "text/Encoding.h"

namespace quippet::cli {
namespace {

constexpr int kLargestCount = 999'999'999;

constexpr const char* kSplitUsage =
    "Usage: quippet split (--size N | --auto) [--remainder] [--set SECTION/KEY=VALUE]... FILE...\n"
    "Writes each comment file's comments 1..N, N+1..2N, ... as new files beside it (\"NAME［分割K］.xml\").\n"
    "  --size N      N comments per part\n"
    "  --auto        parts of OptionDialog/EN0 comments per minute of the video (default 100)\n"
    "  --remainder   also write the last, shorter part (the stored setting DividingDriver/CB79 otherwise)\n"
    "An existing output is replaced only with DividingDriver/CB6=1; an input file is never replaced.\n";

constexpr const char* kCutUsage =
    "Usage: quippet cut --from N --to M [--set SECTION/KEY=VALUE]... FILE...\n"
    "Writes the comments numbered N to M of each comment file as a new file beside it\n"
    "(\"NAME［切り出しN～M］.xml\", with the numbers actually found).\n"
    "An existing output is replaced only with DividingDriver/CB6=1; an input file is never replaced.\n";

std::optional<int> count_value(const std::string& text, int lowest) {
    int value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc() || ptr != end || value < lowest || value > kLargestCount) return std::nullopt;
    return value;
}

/// The stored settings with the run's --set options applied; 0, or 2 after writing the reason.
int load_run_settings(std::vector<std::string>& args, CSettings& settings, const char* command, const char* usage_text,
                      std::ostream& err) {
    CFileINI ini;
    load_settings(ini, settings);
    std::string error;
    if (extract_set_options(args, settings, error) != kExitOk) {
        err << "quippet " << command << ": " << error << '\n' << usage_text;
        return kExitUsage;
    }
    return kExitOk;
}

int usage(std::ostream& err, const char* text, const std::string& reason = {}) {
    if (!reason.empty()) err << reason << '\n';
    err << text;
    return kExitUsage;
}

int run_job(JobKind kind, const SplitCutSettings& settings, const std::vector<std::u16string>& files, std::ostream& out,
            std::ostream& err) {
    TerminalJob job;
    job.kind = kind;
    job.inputs = files;
    job.body = [settings, kind](CWorkThread& worker, JobOutcome& outcome) {
        const JobCounts counts = run_split_cut_job(worker, settings, kind);
        outcome.succeeded = counts.succeeded;
        outcome.total = counts.total;
        outcome.stopped = counts.stopped;
    };
    return run_in_terminal(job, out, err);
}

} // namespace

int run_split_command(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (!args.empty() && args.front() == "--help") {
        out << kSplitUsage;
        return kExitOk;
    }
    std::vector<std::string> rest = args;
    CSettings settings;
    if (load_run_settings(rest, settings, "split", kSplitUsage, err) != kExitOk) return kExitUsage;

    std::optional<int> size;
    bool automatic = false;
    bool remainder = false;
    std::vector<std::u16string> files;
    for (size_t i = 0; i < rest.size(); ++i) {
        const std::string& arg = rest[i];
        if (arg == "--size") {
            if (i + 1 >= rest.size() || !(size = count_value(rest[++i], 1)))
                return usage(err, kSplitUsage, "quippet split: --size needs a number of comments from 1");
        } else if (arg == "--auto") {
            automatic = true;
        } else if (arg == "--remainder") {
            remainder = true;
        } else if (arg.starts_with("--") && arg != "--") {
            return usage(err, kSplitUsage, "quippet split: unknown option " + arg);
        } else {
            files.push_back(from_utf8(arg));
        }
    }
    if (size.has_value() == automatic)
        return usage(err, kSplitUsage, "quippet split: give exactly one of --size N and --auto");
    if (files.empty()) return usage(err, kSplitUsage, "quippet split: no FILE given");

    report_preset_preparation(prepare_preset_run(settings, {}), settings, {}, "split", out, err);
    SplitCutSettings job = split_cut_settings(settings);
    job.automatic = automatic;
    if (size) job.part_size = *size;
    if (remainder) job.remainder = true;
    return run_job(JobKind::kSplit, job, files, out, err);
}

int run_cut_command(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (!args.empty() && args.front() == "--help") {
        out << kCutUsage;
        return kExitOk;
    }
    std::vector<std::string> rest = args;
    CSettings settings;
    if (load_run_settings(rest, settings, "cut", kCutUsage, err) != kExitOk) return kExitUsage;

    std::optional<int> from;
    std::optional<int> to;
    std::vector<std::u16string> files;
    for (size_t i = 0; i < rest.size(); ++i) {
        const std::string& arg = rest[i];
        if (arg == "--from" || arg == "--to") {
            std::optional<int>& target = arg == "--from" ? from : to;
            if (i + 1 >= rest.size() || !(target = count_value(rest[++i], 0)))
                return usage(err, kCutUsage, "quippet cut: " + arg + " needs a comment number");
        } else if (arg.starts_with("--") && arg != "--") {
            return usage(err, kCutUsage, "quippet cut: unknown option " + arg);
        } else {
            files.push_back(from_utf8(arg));
        }
    }
    if (!from || !to) return usage(err, kCutUsage, "quippet cut: give both --from N and --to M");
    if (files.empty()) return usage(err, kCutUsage, "quippet cut: no FILE given");

    report_preset_preparation(prepare_preset_run(settings, {}), settings, {}, "cut", out, err);
    SplitCutSettings job = split_cut_settings(settings);
    // A reversed range is the job's to report for each file, as the tab does.
    job.cut_first = *from;
    job.cut_last = *to;
    return run_job(JobKind::kCut, job, files, out, err);
}

} // namespace quippet::cli
