#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quippet {

struct Player {
    std::u16string name;
    std::u16string path; ///< empty: the desktop's default program for the file
};

/// One selection mode of the player table: its caption and its key → player-name rules in file order.
struct PlayerMode {
    std::u16string title;
    std::vector<std::pair<std::u16string, std::u16string>> rules;

    /// The player name of the first rule whose key is `key` (an extension compares without case), or null.
    const std::u16string* find(std::u16string_view key) const;
};

/// The player table: the first section lists the players, the next three are the selection modes; later
/// sections are ignored. Text before the first section and "//" lines carry nothing.
struct PlayerTable {
    static constexpr int kModeCount = 3;

    std::u16string players_title;
    std::vector<Player> players;
    std::vector<PlayerMode> modes; ///< at most kModeCount

    static PlayerTable parse(std::u16string_view text);
    static std::u16string default_text();

    /// Index in `players` of the player called `name`, or -1 (a name like "既定" that names no player).
    int find_player(std::u16string_view name) const;
    /// The caption of mode button `mode` (0–2): the section's title, or "未設定" for a missing mode.
    std::u16string mode_caption(int mode) const;
};

struct PlaylistPlace {
    std::u16string name;
    std::u16string folder;
};

/// The playlist folders, one "name<TAB>folder" line each; lines without a tab or with an empty folder are
/// skipped.
std::vector<PlaylistPlace> parse_playlist_places(std::u16string_view text);
/// The folders where the players of this desktop keep their playlists, and the app home's own folder.
std::u16string default_playlist_places_text();

/// Splits text into lines at LF, dropping a CR before it: the files are written with CR LF, but an editor
/// may have saved them with LF alone.
std::vector<std::u16string_view> text_lines(std::u16string_view text);

} // namespace quippet
