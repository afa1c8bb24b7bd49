#include "cli/RebuildCommand.h"

#include <filesystem>
#include <ostream>
#include <system_error>

#include "app/IniFile.h"
#include "app/Settings.h"
#include "cli/Cli.h"
#include "download/NetLengthProvider.h"
#include "cli/JobRunner.h"
#include "cli/PresetCommand.h"
#include "cli/SettingsCommand.h"
#include "reconstruct/Presets.h"
#include "reconstruct/ReconstructJob.h"
#include "text/AppHome.h"
#include "text/Encoding.h"

namespace quippet::cli {
namespace {

constexpr const char* kRebuildUsage =
    "Usage: quippet rebuild [--preset NAME] [--set SECTION/KEY=VALUE]... [--out-dir DIR] FILE...\n"
    "Reconstructs the comment files with the stored reconstruction settings (section DividingDriver and the\n"
    "detailed settings), merged as DividingDriver/CB48 and its modes say, and writes each unit's output as\n"
    "\"NAME.xml\" in the folder of its first file (or DIR). An input file is never replaced; an existing\n"
    "output is replaced only with DividingDriver/CB6=1.\n"
    "--preset NAME restores the reconstruction preset NAME first (its settings for this run, its list and\n"
    "rule files copied back into place); --set then overrides single settings. With \"実行で設定保存\"\n"
    "(DividingDriver/CB7=1) the settings of the run are saved as the preset named in DividingDriver/ES2.\n";

int usage(std::ostream& err, const std::string& reason) {
    err << "quippet rebuild: " << reason << '\n' << kRebuildUsage;
    return kExitUsage;
}

/// Takes "--preset NAME" or "--preset=NAME" out of `args`; one preset at most.
int extract_preset_option(std::vector<std::string>& args, std::u16string& name, std::string& error) {
    std::vector<std::string> rest;
    bool seen = false;
    for (size_t i = 0; i < args.size(); ++i) {
        std::string value;
        if (args[i] == "--preset") {
            if (i + 1 >= args.size()) {
                error = "--preset needs a NAME";
                return kExitUsage;
            }
            value = args[++i];
        } else if (args[i].starts_with("--preset=")) {
            value = args[i].substr(9);
        } else {
            rest.push_back(args[i]);
            continue;
        }
        if (seen) {
            error = "--preset given twice";
            return kExitUsage;
        }
        seen = true;
        name = from_utf8(value);
        if (name.empty()) {
            error = "--preset needs a NAME";
            return kExitUsage;
        }
    }
    args = std::move(rest);
    return kExitOk;
}

} // namespace

int run_rebuild_command(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (!args.empty() && args.front() == "--help") {
        out << kRebuildUsage;
        return kExitOk;
    }
    std::vector<std::string> rest = args;
    CSettings settings;
    CFileINI ini;
    load_settings(ini, settings);
    std::string error;
    std::u16string preset;
    if (extract_preset_option(rest, preset, error) != kExitOk) return usage(err, error);
    if (!preset.empty()) {
        // Only the values for now: the files are copied back once the whole command line is known good.
        std::u16string problem;
        switch (load_preset_for_run(settings, preset, problem)) {
        case PresetLoad::kLoaded:
            break;
        case PresetLoad::kBadName:
            return usage(err, to_utf8(problem));
        case PresetLoad::kUnknown:
            return usage(err, "unknown preset " + to_utf8(preset) + " (see quippet preset list)");
        case PresetLoad::kUnreadable:
            err << "quippet rebuild: " << to_utf8(problem) << '\n';
            return kExitFailures;
        }
    }
    if (extract_set_options(rest, settings, error) != kExitOk) return usage(err, error);

    std::u16string out_dir;
    std::vector<std::u16string> files;
    for (size_t i = 0; i < rest.size(); ++i) {
        const std::string& arg = rest[i];
        if (arg == "--out-dir") {
            if (i + 1 >= rest.size()) return usage(err, "--out-dir needs a folder");
            out_dir = from_utf8(rest[++i]);
        } else if (arg.starts_with("--") && arg != "--") {
            return usage(err, "unknown option " + arg);
        } else {
            files.push_back(from_utf8(arg));
        }
    }
    if (files.empty()) return usage(err, "no FILE given");
    if (!out_dir.empty()) {
        std::error_code ec;
        // A missing folder is a mistake in the command line, not something to create silently.
        if (!std::filesystem::is_directory(to_fs_path(out_dir), ec))
            return usage(err, "--out-dir " + to_utf8(out_dir) + " is not a folder");
        while (out_dir.size() > 1 && out_dir.back() == u'/')
            out_dir.pop_back();
    }

    if (report_preset_preparation(prepare_preset_run(settings, preset), settings, preset, "rebuild", out, err) != 0)
        return kExitFailures;

    ReconstructSettings snapshot = reconstruct_settings(settings);
    snapshot.output_folder = out_dir;
    snapshot.lengths = length_provider_for(settings);
    TerminalJob job;
    job.kind = JobKind::kReconstruct;
    job.inputs = files;
    job.body = [settings, snapshot](CWorkThread& worker, JobOutcome& outcome) {
        const ReconstructCounts counts = run_reconstruct_job(worker, settings, snapshot);
        outcome.succeeded = counts.succeeded;
        outcome.total = counts.total;
        outcome.stopped = counts.stopped;
    };
    return run_in_terminal(job, out, err);
}

} // namespace quippet::cli
