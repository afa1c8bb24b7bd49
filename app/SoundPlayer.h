#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quippet {

/// A player of sound files: the program and the arguments before the file.
struct SoundPlayer {
    std::string program; ///< full path, as found on PATH
    std::vector<std::string> arguments;
};

/// The first of the desktop's usual players (paplay, aplay, pw-play, ffplay) found in the folders of
/// `path_variable` (":"-separated, as PATH). Empty program when there is none.
SoundPlayer find_sound_player(std::string_view path_variable);

/// Plays `file` with the player found on PATH, started apart from this program so that nothing waits
/// for it. False, and nothing started, when the file or a player is missing.
bool play_sound_detached(std::u16string_view file);

} // namespace quippet
