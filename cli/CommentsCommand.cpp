#include "cli/CommentsCommand.h"

#include <filesystem>
#include <ostream>

#include "app/Settings.h"
#include "cli/Cli.h"
#include "cli/CommandArgs.h"
#include "cli/TerminalNetReport.h"
#include "download/CommentDownload.h"
#include "download/VideoInfoSteps.h"
#include "net/NetReport.h"
#include "resources/Messages.h"
#include "text/AppHome.h"
#include "text/Encoding.h"

namespace quippet::cli {
namespace {

constexpr const char* kCommentsUsage =
    "Usage: quippet comments [--set SECTION/KEY=VALUE]... [--entry N] [--past-logs] [--owner-comments]\n"
    "                        [--folder DIR] ID...\n"
    "Gathers each video's information and saves its comment file into DIR (default: the current folder) as\n"
    "the download job does: the latest comments, with --past-logs back through every past log, the skip\n"
    "rules of the settings. --owner-comments also saves the uploader's comments. Prints\n"
    "ID<TAB>code<TAB>text[<TAB>path] per file (\"ID[Owner]\" for the uploader's); exit 1 when any failed.\n";

int usage(std::ostream& err, const std::string& reason) {
    err << "quippet comments: " << reason << '\n' << kCommentsUsage;
    return kExitUsage;
}

void print(std::ostream& out, const std::string& label, const CommentResult& r) {
    const int code = r.code != 0 ? r.code : r.secondary_code;
    out << label << '\t' << code << '\t' << to_utf8(message_text(code));
    if (r.saved) out << '\t' << to_utf8(r.path);
    out << '\n';
}

} // namespace

int run_comments_command(const std::vector<std::string>& given, std::ostream& out, std::ostream& err) {
    std::vector<std::string> args = given;
    if (!args.empty() && args.front() == "--help") {
        out << kCommentsUsage;
        return kExitOk;
    }
    CSettings settings;
    std::string error;
    if (load_command_settings(args, settings, error) != kExitOk) return usage(err, error);
    int entry = 0;
    bool past_logs = false, owner = false;
    std::u16string dir = u".";
    std::vector<std::string> inputs;
    if (!CommandArgs("-")
             .entry("--entry", entry)
             .folder("--folder", dir)
             .flag("--past-logs", past_logs)
             .flag("--owner-comments", owner)
             .parse(args, inputs, error))
        return usage(err, error);
    std::vector<std::u16string> ids;
    for (const auto& input : inputs)
        ids.push_back(from_utf8(input));
    if (ids.empty()) return usage(err, "no video ID given");

    CommentOptions options = comment_options_from(settings, entry);
    if (past_logs) options.past_logs = true;
    TerminalNetReport report(err, settings.on(OptSwitch::kDebugMode));
    CookieStore store;
    int failed = 0;
    for (const auto& id : ids) {
        CWorkMovieInfo info;
        info.id = id;
        gather_video_info(info, options.info, store, options.login, report);
        const std::u16string name = save_name(info, SaveNameKind::kFile, options.info, false);
        CommentResult result;
        const int rc = fetch_comments(info, dir, name, options, &store, report, result);
        print(out, to_utf8(id), result);
        if (rc == -1) ++failed;
        if (rc == -2) break;
        if (owner) {
            CommentResult uploader;
            const int orc = fetch_owner_comments(info, dir, options, &store, report, uploader);
            print(out, to_utf8(id) + "[Owner]", uploader);
            if (orc == -1) ++failed;
            if (orc == -2) break;
        }
    }
    return failed ? kExitFailures : kExitOk;
}

} // namespace quippet::cli
