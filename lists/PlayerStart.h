#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "lists/PlayerChoice.h"

namespace quippet {

class CSettings;

/// A started program: argv[0] is the program, the rest are its arguments, each passed as it is (no shell
/// ever sees them); `folder` is its working folder.
struct LaunchCommand {
    std::vector<std::u16string> argv;
    std::u16string folder;
};

/// The program that opens a file with the desktop's default program.
inline constexpr std::u16string_view kDesktopOpener = u"xdg-open";

/// The command for a chosen player: the program with the video as its one argument and the program's
/// folder as working folder, or the desktop opener with the video. `subtitles` (may be empty) is handed
/// to mpv, which shows no comment file by itself, as "--sub-file=".
LaunchCommand launch_command(const PlayerChoice& choice, std::u16string_view video, std::u16string_view subtitles = {});

/// True when the program is mpv (by its file name), the one player given the comments as subtitles.
bool is_mpv(std::u16string_view program);

/// Starts the command detached from this process (its own session; it outlives us and leaves no zombie).
/// A bare program name is looked up in PATH. Returns an open-result code (text/OpenErrors.h): above 32
/// when the program started, else the reason its start failed.
int start_detached(const LaunchCommand& command);

/// The parameters as the debug file shows them: each argument after the program in double quotes.
std::u16string quoted_parameters(const LaunchCommand& command);

/// What a start of a video did, for the log and the debug file.
struct PlayOutcome {
    int code = 0; ///< open-result code, above 32 for a start that worked
    LaunchCommand command;
    std::vector<std::u16string> log;
};

/// What starts a command: start_detached unless a front end knows better (the window opens a file with
/// the desktop's default program through the desktop itself). Returns an open-result code.
using CommandStarter = std::function<int(const LaunchCommand&)>;

/// Everything play() does for a video: chooses, converts the comment file for mpv (into the cache
/// folder), starts (unless `dry_run`) through `starter` (empty: start_detached), writes the debug file
/// in debug mode and records the video in the playback history when it started.
PlayOutcome play_video(const CSettings& settings, const PlayerTable& table, std::u16string_view video, int index,
                       const PlayerSelection& selection, bool dry_run, const CommandStarter& starter = {});

} // namespace quippet
