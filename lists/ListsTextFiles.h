#pragma once

#include <vector>

#include "app/SettingsTextFiles.h"
#include "lists/BookmarkMenu.h"
#include "lists/PlayerTable.h"

namespace quippet {

class CSettings;

/// The player table and the playlist locations.
const std::vector<SettingsTextFile>& lists_settings_text_files();

/// The player table of the settings, created with its default text when missing. A file that cannot be
/// read gives the default table, so that play always has its modes.
PlayerTable load_player_table(const CSettings& settings);
/// The playlist folders of the settings, the file created when missing.
std::vector<PlaylistPlace> load_playlist_places(const CSettings& settings);

/// The bookmark tree a new home starts with: the item of the saved lists.
std::u16string default_bookmark_tree_text();
/// The tree file of the settings, in the home.
std::u16string bookmark_tree_path(const CSettings& settings);
/// The tree's right-click menu, the file created when missing; the defaults when it cannot be read.
BmMenu load_bookmark_menu(const CSettings& settings);

} // namespace quippet
