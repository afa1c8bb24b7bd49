#include "lists/PlayerStart.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

#include "app/SettingKeys.h"
#include "app/Settings.h"
#include "lists/CommentSubtitles.h"
#include "lists/PlayHistory.h"
#include "resources/MessageIds.h"
#include "resources/Messages.h"
#include "text/AppHome.h"
#include "text/Encoding.h"
#include "text/FileSP.h"
#include "text/OpenErrors.h"

namespace quippet {
namespace {

/// The program's file: as given when it holds a slash, else the first match in PATH.
std::string resolve_program(const std::string& program) {
    if (program.find('/') != std::string::npos) return program;
    const char* path = std::getenv("PATH");
    std::string_view dirs = path ? path : "/usr/local/bin:/usr/bin:/bin";
    while (true) {
        const size_t colon = dirs.find(':');
        const std::string dir(dirs.substr(0, colon));
        const std::string candidate = (dir.empty() ? std::string(".") : dir) + "/" + program;
        if (::access(candidate.c_str(), X_OK) == 0) return candidate;
        if (colon == std::string_view::npos) return {};
        dirs.remove_prefix(colon + 1);
    }
}

void write_debug_file(const LaunchCommand& command, int code) {
    std::u16string text = u"exe:" + (command.argv.empty() ? std::u16string() : command.argv.front()) + u"\r\n";
    text += u"param:" + quoted_parameters(command) + u"\r\n";
    if (code > 32) {
        text += message_text(msg::kPlayStarted);
    } else {
        const std::u16string_view error = open_error_text(code);
        text += error.empty() ? message_text(msg::kPlayFailedNoText) : error;
    }
    text += u"\r\n";
    CFileSP file;
    file.write_wide_text(resolve_in_home(u"デバッグモード：動画再生.txt"), text, CFileSP::kOverwrite);
}

/// mpv shows no comment file by itself: the video's comment file goes to it as subtitles, converted into
/// the cache folder. Empty when there is no comment file or it could not be converted (then the video
/// plays without comments and the log says why).
std::u16string subtitles_for_mpv(const CSettings& settings, std::u16string_view video,
                                 std::vector<std::u16string>& log) {
    const std::filesystem::path path = to_fs_path(video);
    std::filesystem::path comments = path;
    comments.replace_extension(".xml");
    std::error_code ec;
    if (!std::filesystem::is_regular_file(comments, ec)) return {};
    std::u16string folder = settings.text(OptText::kCacheFolder);
    if (folder.empty()) folder = u"cache";
    const std::u16string ass_folder = resolve_in_home(folder) + u"/subtitles";
    std::filesystem::create_directories(to_fs_path(ass_folder), ec);
    const std::u16string ass = ass_folder + u"/" + from_fs_path(path.stem()) + u".ass";
    int error = 0;
    if (write_comment_subtitles(from_fs_path(comments), ass, error) != 0) {
        log.push_back(from_fs_path(comments) + u" : " + decimal_text(error));
        return {};
    }
    return ass;
}

} // namespace

bool is_mpv(std::u16string_view program) {
    return from_fs_path(to_fs_path(program).filename()) == u"mpv";
}

LaunchCommand launch_command(const PlayerChoice& choice, std::u16string_view video, std::u16string_view subtitles) {
    LaunchCommand command;
    if (choice.program.empty()) {
        command.argv = {std::u16string(kDesktopOpener), std::u16string(video)};
        return command;
    }
    command.argv.push_back(choice.program);
    if (!subtitles.empty() && is_mpv(choice.program))
        command.argv.push_back(u"--sub-file=" + std::u16string(subtitles));
    // A video whose name starts with "-" must not read as an option of the player.
    std::u16string argument(video);
    if (argument.starts_with(u'-')) argument = u"./" + argument;
    command.argv.push_back(std::move(argument));
    command.folder = from_fs_path(to_fs_path(choice.program).parent_path());
    return command;
}

std::u16string quoted_parameters(const LaunchCommand& command) {
    std::u16string text;
    for (size_t i = 1; i < command.argv.size(); ++i) {
        if (i > 1) text += u' ';
        text += u'"' + command.argv[i] + u'"';
    }
    return text;
}

int start_detached(const LaunchCommand& command) {
    if (command.argv.empty()) return kOpenUnknownFailure;
    const std::string program = resolve_program(to_utf8(command.argv.front()));
    if (program.empty())
        return open_error_code(command.argv.front() == kDesktopOpener ? OpenFailure::NoHandler
                                                                      : OpenFailure::FileMissing);
    if (::access(program.c_str(), F_OK) != 0) return open_error_code_from_errno(errno, command.argv.front());
    std::vector<std::string> args;
    for (const auto& a : command.argv)
        args.push_back(to_utf8(a));
    args.front() = program;
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    const std::string folder = to_utf8(command.folder);

    // Everything the children need is prepared above: between fork and exec only async-signal-safe
    // calls are made, since the window forks while other threads hold locks.
    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0) return open_error_code(OpenFailure::OutOfMemory);
    const pid_t child = ::fork();
    if (child < 0) {
        ::close(report[0]);
        ::close(report[1]);
        return open_error_code(OpenFailure::OutOfMemory);
    }
    if (child == 0) {
        ::close(report[0]);
        ::setsid();
        const pid_t grandchild = ::fork();
        if (grandchild != 0) ::_exit(grandchild < 0 ? 1 : 0);
        const int null = ::open("/dev/null", O_RDONLY);
        if (null >= 0) {
            ::dup2(null, 0);
            if (null != 0) ::close(null);
        }
        int error = 0;
        // A failed change of folder is sent negated, so that it is told apart from the program's own failure.
        if (!folder.empty() && ::chdir(folder.c_str()) != 0) error = -errno;
        if (error == 0) {
            ::execv(argv[0], argv.data());
            error = errno;
        }
        [[maybe_unused]] const ssize_t n = ::write(report[1], &error, sizeof error);
        ::_exit(127);
    }
    ::close(report[1]);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    int error = 0;
    ssize_t n;
    while ((n = ::read(report[0], &error, sizeof error)) < 0 && errno == EINTR) {
    }
    ::close(report[0]);
    if (n == static_cast<ssize_t>(sizeof error) && error < 0)
        return -error == ENOENT ? open_error_code(OpenFailure::PathMissing)
                                : open_error_code_from_errno(-error, command.folder);
    if (n == static_cast<ssize_t>(sizeof error) && error != 0)
        return open_error_code_from_errno(error, command.argv.front());
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return open_error_code(OpenFailure::OutOfMemory);
    return kOpenSucceeded;
}

PlayOutcome play_video(const CSettings& settings, const PlayerTable& table, std::u16string_view video, int index,
                       const PlayerSelection& selection, bool dry_run, const CommandStarter& starter) {
    PlayOutcome outcome;
    PlayerChoice choice = choose_player(settings, table, video, index, selection);
    outcome.log = std::move(choice.log);
    std::u16string subtitles;
    if (!choice.program.empty() && is_mpv(choice.program)) subtitles = subtitles_for_mpv(settings, video, outcome.log);
    outcome.command = launch_command(choice, video, subtitles);
    if (dry_run) {
        outcome.code = kOpenSucceeded;
        return outcome;
    }
    outcome.code = starter ? starter(outcome.command) : start_detached(outcome.command);
    if (outcome.code <= 32) {
        const std::u16string_view error = open_error_text(outcome.code);
        outcome.log.emplace_back(error.empty() ? message_text(msg::kPlayFailedNoText) : error);
    }
    if (settings.on(OptSwitch::kDebugMode)) write_debug_file(outcome.command, outcome.code);
    if (outcome.code > 32) record_play(play_history_path(settings), video);
    return outcome;
}

} // namespace quippet
