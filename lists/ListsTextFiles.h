#pragma once

#include <vector>

#include "app/SettingsTextFiles.h"
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

} // namespace quippet
