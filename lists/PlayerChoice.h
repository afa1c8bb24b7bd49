#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "lists/PlayerTable.h"

namespace quippet {

class CSettings;

/// The player index of play(): ≥ 0 a player of the table, or one of these.
inline constexpr int kPlayAutomatic = -1;
inline constexpr int kPlayDefaultProgram = -2;

/// What the main window adds to the automatic choice: the "←" button and the pressed mode button.
struct PlayerSelection {
    bool use_selected = false; ///< "←" pressed: the player selected in the list wins over the modes
    int selected_player = -1;  ///< index in the table
    int mode = 0;              ///< pressed mode button, 0–2
};

/// The outcome of the choice: the program to start, or the desktop's default program when `program` is
/// empty. `player` is the table index, -1 for the single-player setting or the default program.
struct PlayerChoice {
    std::u16string program;
    int player = -1;
    /// Lines for the log (the single player's program that is missing).
    std::vector<std::u16string> log;
};

/// The comment files beside a video: `exact` for the video's name + ".xml", `any` for the name + any
/// text + ".xml" (the exact one included). The extension compares without case.
struct CommentFilesBeside {
    bool exact = false;
    bool any = false;
};
CommentFilesBeside comment_files_beside(std::u16string_view video);

/// The player name a mode gives for a video; empty when the mode has no applicable rule.
std::u16string player_name_for(const PlayerMode& mode, std::u16string_view video, const CommentFilesBeside& comments);

/// Chooses the program for `index` (≥ 0, kPlayAutomatic, kPlayDefaultProgram). The single-player setting
/// ("常に同じプレイヤーを使う：") comes first for the automatic choice, then "←", then the pressed mode.
PlayerChoice choose_player(const CSettings& settings, const PlayerTable& table, std::u16string_view video, int index,
                           const PlayerSelection& selection);

} // namespace quippet
