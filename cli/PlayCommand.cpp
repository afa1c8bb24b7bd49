#include "cli/PlayCommand.h"

#include <filesystem>
#include <ostream>
#include <system_error>

#include "app/IniFile.h"
#include "app/Settings.h"
#include "cli/Cli.h"
#include "cli/SettingsCommand.h"
#include "lists/CommentSubtitles.h"
#include "lists/ListsTextFiles.h"
#include "lists/PlayerStart.h"
#include "text/AppHome.h"
#include "text/Encoding.h"
#include "text/FileSP.h"

namespace quippet::cli {
namespace {

constexpr const char* kPlayUsage =
    "Usage: quippet play [--set SECTION/KEY=VALUE]... [--player NAME | --mode N | --default] [--dry-run] VIDEO\n"
    "Starts VIDEO in the player the player table chooses, detached from the terminal. Without an option the\n"
    "choice is automatic with the first mode button; \"常に同じプレイヤーを使う：\" still comes first.\n"
    "  --player NAME  the table's player NAME (as the \"←\" button with NAME selected)\n"
    "  --mode N       the automatic choice with mode button N (1-3)\n"
    "  --default      the desktop's default program (xdg-open)\n"
    "  --dry-run      print what would start instead of starting it:\n"
    "                 program<TAB>P, then argument<TAB>A per argument, then folder<TAB>F\n"
    "Log lines go to the error stream; exit 1 when the player did not start.\n";

int usage(std::ostream& err, const std::string& reason) {
    err << "quippet play: " << reason << '\n' << kPlayUsage;
    return kExitUsage;
}

constexpr const char* kAssUsage =
    "Usage: quippet ass [--out FILE] COMMENTS\n"
    "Converts a comment file into ASS subtitles (what mpv is given to show the comments): scrolling comments\n"
    "in lanes, \"ue\" and \"shita\" fixed, sizes and colours from the commands, 3 s or the \"@\" time.\n"
    "Writes to standard output, or into FILE (never the comment file itself).\n";

} // namespace

int run_ass_command(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (!args.empty() && args.front() == "--help") {
        out << kAssUsage;
        return kExitOk;
    }
    std::string input, output;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--out" && i + 1 < args.size()) {
            output = args[++i];
        } else if (args[i].starts_with("--") || !input.empty()) {
            err << "quippet ass: unexpected argument " << args[i] << '\n' << kAssUsage;
            return kExitUsage;
        } else {
            input = args[i];
        }
    }
    if (input.empty()) {
        err << "quippet ass: no comment file given\n" << kAssUsage;
        return kExitUsage;
    }
    std::error_code ec;
    if (!output.empty() && std::filesystem::equivalent(input, output, ec)) {
        err << "quippet ass: " << output << " is the comment file itself\n";
        return kExitUsage;
    }
    std::vector<SubtitleComment> comments;
    int error = 0;
    if (read_subtitle_comments(from_utf8(input), comments, error) != 0) {
        err << input << "\t" << error << '\n';
        return kExitFailures;
    }
    const std::string ass = comments_to_ass(std::move(comments));
    if (output.empty()) {
        out << ass;
        return kExitOk;
    }
    CFileSP file;
    if (file.write(from_utf8(output), ass, CFileSP::kOverwrite) != 0) {
        err << output << "\t" << file.error() << '\n';
        return kExitFailures;
    }
    return kExitOk;
}

int run_play_command(const std::vector<std::string>& given, std::ostream& out, std::ostream& err) {
    std::vector<std::string> args = given;
    if (!args.empty() && args.front() == "--help") {
        out << kPlayUsage;
        return kExitOk;
    }
    CSettings settings;
    CFileINI ini;
    load_settings(ini, settings);
    std::string error;
    if (extract_set_options(args, settings, error) != kExitOk) return usage(err, error);
    const PlayerTable table = load_player_table(settings);

    int index = kPlayAutomatic;
    PlayerSelection selection;
    bool dry_run = false;
    int choices = 0;
    std::string video;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--player" && i + 1 < args.size()) {
            ++choices;
            index = table.find_player(from_utf8(args[++i]));
            if (index < 0) return usage(err, "the player table has no player " + args[i]);
        } else if (a == "--mode" && i + 1 < args.size()) {
            ++choices;
            const std::string& n = args[++i];
            if (n.size() != 1 || n[0] < '1' || n[0] > '3') return usage(err, "--mode needs 1, 2 or 3");
            selection.mode = n[0] - '1';
        } else if (a == "--default") {
            ++choices;
            index = kPlayDefaultProgram;
        } else if (a == "--dry-run") {
            dry_run = true;
        } else if (a.starts_with("--")) {
            return usage(err, "unknown argument " + a);
        } else if (video.empty()) {
            video = a;
        } else {
            return usage(err, "one video at a time");
        }
    }
    if (choices > 1) return usage(err, "--player, --mode and --default exclude each other");
    if (video.empty()) return usage(err, "no video given");
    // The player runs in its own folder, so a relative name would point elsewhere there.
    std::error_code ec;
    const auto absolute = std::filesystem::absolute(std::filesystem::path(video), ec);
    const std::u16string path = ec ? from_utf8(video) : from_fs_path(absolute.lexically_normal());

    const PlayOutcome outcome = play_video(settings, table, path, index, selection, dry_run);
    for (const auto& line : outcome.log)
        err << to_utf8(line) << '\n';
    if (dry_run) {
        out << "program\t" << to_utf8(outcome.command.argv.front()) << '\n';
        for (size_t i = 1; i < outcome.command.argv.size(); ++i)
            out << "argument\t" << to_utf8(outcome.command.argv[i]) << '\n';
        out << "folder\t" << to_utf8(outcome.command.folder) << '\n';
    }
    return outcome.code > 32 ? kExitOk : kExitFailures;
}

} // namespace quippet::cli
