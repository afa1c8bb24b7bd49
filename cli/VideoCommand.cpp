#include "cli/VideoCommand.h"

#include <filesystem>
#include <ostream>

#include "app/IniFile.h"
#include "app/Settings.h"
#include "cli/Cli.h"
#include "cli/SettingsCommand.h"
#include "cli/TerminalNetReport.h"
#include "download/VideoDownload.h"
#include "download/VideoInfoSteps.h"
#include "net/NetReport.h"
#include "net/ServiceAddress.h"
#include "resources/Messages.h"
#include "text/AppHome.h"
#include "text/Encoding.h"

namespace quippet::cli {
namespace {

constexpr const char* kVideoUsage =
    "Usage: quippet video [--set SECTION/KEY=VALUE]... [--entry N] [--out-dir DIR] ID...\n"
    "Gathers each video's information and saves its video file into DIR (default: the current folder) under\n"
    "the save name, as the download job does: delivery session with heartbeats or the older server, resume\n"
    "of partial files, the existing-file rules. Prints ID<TAB>code<TAB>text[<TAB>path] per video; exit 1\n"
    "when any video failed.\n";

int usage(std::ostream& err, const std::string& reason) {
    err << "quippet video: " << reason << '\n' << kVideoUsage;
    return kExitUsage;
}

} // namespace

int run_video_command(const std::vector<std::string>& given, std::ostream& out, std::ostream& err) {
    std::vector<std::string> args = given;
    if (!args.empty() && args.front() == "--help") {
        out << kVideoUsage;
        return kExitOk;
    }
    CSettings settings;
    CFileINI ini;
    load_settings(ini, settings);
    std::string error;
    if (extract_set_options(args, settings, error) != kExitOk) return usage(err, error);
    apply_service_root(settings, service_root());
    int entry = 0;
    std::u16string dir = u".";
    std::vector<std::u16string> ids;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--entry" && i + 1 < args.size()) {
            const std::string& n = args[++i];
            if (n.empty() || n.size() > 4 || n.find_first_not_of("0123456789") != std::string::npos)
                return usage(err, "--entry needs a number");
            entry = std::stoi(n);
        } else if (args[i] == "--out-dir" && i + 1 < args.size()) {
            std::error_code ec;
            const auto path = std::filesystem::absolute(args[++i], ec);
            if (ec || !std::filesystem::is_directory(path, ec)) return usage(err, args[i] + " is not a folder");
            dir = from_fs_path(path);
        } else if (args[i].starts_with("-")) {
            return usage(err, "unknown argument " + args[i]);
        } else {
            ids.push_back(from_utf8(args[i]));
        }
    }
    if (ids.empty()) return usage(err, "no video ID given");

    const LoginSettings login = login_settings_from(settings, entry);
    const VideoOptions options = video_options_from(settings);
    TerminalNetReport report(err, settings.on(OptSwitch::kDebugMode));
    CookieStore store;
    OwedBytes owed;
    const VideoClock clock;
    int failed = 0;
    for (const auto& id : ids) {
        CWorkMovieInfo info;
        info.id = id;
        gather_video_info(info, options.info, store, login, report);
        const std::u16string name = save_name(info, SaveNameKind::kFile, options.info, false);
        VideoResult result;
        const int go_on = download_video(info, dir, name, options, owed, clock, &store, report, result);
        out << to_utf8(id) << '\t' << result.code << '\t' << to_utf8(message_text(result.code));
        if (result.saved) out << '\t' << to_utf8(result.path);
        out << '\n';
        if (!result.saved && !result.skipped) ++failed;
        if (go_on == 0) break;
    }
    return failed ? kExitFailures : kExitOk;
}

} // namespace quippet::cli
