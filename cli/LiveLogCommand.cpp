#include "cli/LiveLogCommand.h"

#include "app/IniFile.h"
#include "app/Settings.h"
#include "cli/Cli.h"
#include "cli/JobRunner.h"
#include "cli/SettingsCommand.h"
#include "livelog/LiveLogAids.h"
#include "livelog/LiveLogFiles.h"
#include "livelog/LiveLogJob.h"
#include "livelog/LiveLogSettingKeys.h"
#include "livelog/WcPreset.h"
#include "text/AppHome.h"
#include "text/Encoding.h"

#include <filesystem>
#include <ostream>
#include <system_error>

namespace quippet::cli {
namespace {

constexpr const char* kLiveLogUsage =
    "Usage: quippet livelog [--preset NAME] [--set SECTION/KEY=VALUE]... [--source FILE] [--out-dir DIR]\n"
    "                       [--out-name NAME]\n"
    "Converts a live-thread log into a comment file with the stored live-log settings (section\n"
    "VuzirizIzeroz and the detailed settings), overridden by the preset NAME of the live-log preset folder\n"
    "and then by each --set. --source replaces the source text (UTF-16, UTF-8 or CP932), --out-dir the\n"
    "output folder and --out-name the output name (without extension) for this run.\n";

constexpr const char* kPresetUsage =
    "Usage: quippet livelog-preset list | show NAME | save NAME\n"
    "Lists the live-log presets, prints one, or saves the stored live-log settings under NAME.\n";

int usage(std::ostream& err, const char* command, const std::string& reason, const char* text) {
    err << "quippet " << command << ": " << reason << '\n' << text;
    return kExitUsage;
}

/// A path given on the command line is taken from the working directory, not from the app home.
std::u16string absolute_path(const std::string& arg) {
    std::error_code ec;
    const std::filesystem::path p = std::filesystem::absolute(std::filesystem::path(arg), ec).lexically_normal();
    return from_utf8(ec ? arg : p.string());
}

void load_stored(CSettings& settings) {
    CFileINI ini;
    load_settings(ini, settings);
}

} // namespace

int run_livelog_command(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (!args.empty() && args.front() == "--help") {
        out << kLiveLogUsage;
        return kExitOk;
    }
    CSettings settings;
    load_stored(settings);

    // The preset comes first so that every --set overrides it, whatever the order on the line.
    std::vector<std::string> rest;
    std::u16string preset_name;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] != "--preset") {
            rest.push_back(args[i]);
            continue;
        }
        if (i + 1 >= args.size()) return usage(err, "livelog", "--preset needs a name", kLiveLogUsage);
        const std::u16string name = from_utf8(args[++i]);
        preset_name = name;
        std::u16string error;
        if (WcPreset::read(live_preset_folder(settings), name, settings, &error, board_names(settings)) != 0) {
            err << "quippet livelog: " << to_utf8(WcPreset::path(live_preset_folder(settings), name)) << ": "
                << to_utf8(error) << '\n';
            return kExitFailures;
        }
    }
    std::string error;
    if (extract_set_options(rest, settings, error) != kExitOk) return usage(err, "livelog", error, kLiveLogUsage);

    LiveLogJobOptions options;
    for (size_t i = 0; i < rest.size(); ++i) {
        const std::string& arg = rest[i];
        const bool has_value = i + 1 < rest.size();
        if (arg == "--source") {
            if (!has_value) return usage(err, "livelog", "--source needs a file", kLiveLogUsage);
            settings.set_text(OptText::kLiveSource, absolute_path(rest[++i]));
        } else if (arg == "--out-dir") {
            if (!has_value) return usage(err, "livelog", "--out-dir needs a folder", kLiveLogUsage);
            options.output_folder = absolute_path(rest[++i]);
            std::error_code ec;
            // A missing folder is a mistake in the command line, not something to create silently.
            if (!std::filesystem::is_directory(to_fs_path(options.output_folder), ec))
                return usage(err, "livelog", "--out-dir " + rest[i] + " is not a folder", kLiveLogUsage);
        } else if (arg == "--out-name") {
            if (!has_value) return usage(err, "livelog", "--out-name needs a name", kLiveLogUsage);
            settings.set_text(WcText::kOutputName, from_utf8(rest[++i]));
        } else {
            return usage(err, "livelog", "unknown argument " + arg, kLiveLogUsage);
        }
    }

    // What the tab does when "変換" is pressed; without anyone to ask, the question is answered with OK.
    const auto answer_ok = [&err](std::u16string_view question) {
        err << "quippet livelog: " << to_utf8(question) << " (OK)\n";
        return true;
    };
    const auto report_creation = [&err](std::u16string_view message) { err << to_utf8(message) << '\n'; };
    prepare_live_conversion(settings, preset_name, answer_ok, report_creation);

    TerminalJob job;
    job.kind = JobKind::kLiveLog;
    job.inputs = {live_source_path(settings)};
    job.body = [settings, options](CWorkThread& worker, JobOutcome& outcome) {
        const LiveLogJobResult result = run_livelog_job(worker, settings, options);
        outcome.total = 1;
        outcome.succeeded = result.ok ? 1 : 0;
        outcome.stopped = result.stopped;
    };
    return run_in_terminal(job, out, err);
}

int run_livelog_preset_command(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.empty()) return usage(err, "livelog-preset", "no action given", kPresetUsage);
    const std::string& action = args.front();
    if (action == "--help") {
        out << kPresetUsage;
        return kExitOk;
    }
    CSettings settings;
    load_stored(settings);
    const std::u16string folder = live_preset_folder(settings);
    if (action == "list") {
        if (args.size() != 1) return usage(err, "livelog-preset", "list takes no argument", kPresetUsage);
        for (const std::u16string& name : WcPreset::list(folder))
            out << to_utf8(name) << '\n';
        return kExitOk;
    }
    if (action != "show" && action != "save")
        return usage(err, "livelog-preset", "unknown action " + action, kPresetUsage);
    if (args.size() != 2 || args[1].empty())
        return usage(err, "livelog-preset", action + " needs one NAME", kPresetUsage);
    const std::u16string name = from_utf8(args[1]);
    if (name.find(u'/') != std::u16string::npos)
        return usage(err, "livelog-preset", "a preset name cannot hold \"/\"", kPresetUsage);
    const std::u16string path = WcPreset::path(folder, name);
    if (action == "show") {
        CCharW text;
        if (CFileSP().read_settings_text(path, text) != 0) {
            err << "quippet livelog-preset: " << to_utf8(path) << ": " << to_utf8(u"ファイルの読み込みに失敗しました")
                << '\n';
            return kExitFailures;
        }
        std::u16string shown(text.view());
        for (size_t at = shown.find(u"\r\n"); at != std::u16string::npos; at = shown.find(u"\r\n", at))
            shown.erase(at, 1);
        out << to_utf8(shown);
        return kExitOk;
    }
    std::u16string error;
    if (WcPreset::write(settings, folder, name, &error, board_names(settings)) != 0) {
        err << "quippet livelog-preset: " << to_utf8(error) << '\n';
        return kExitFailures;
    }
    out << to_utf8(path) << '\n';
    return kExitOk;
}

} // namespace quippet::cli
