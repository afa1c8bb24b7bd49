#pragma once

#include "app/SettingKeys.h"

// Where the playlist tab keeps its three list selections in the settings file (beside the settings store,
// whose catalogue lists them; the tab itself lives in lists/ and ui/playlist).

namespace quippet {

/// The selected folder of the locations file (a row of the folder list).
inline constexpr SettingKey kPlaylistFolderSel{section::kPlaylist, u"DRSel", -1};
/// The selected playlist of that folder (a row of the playlist list, by name order).
inline constexpr SettingKey kPlaylistSel{section::kPlaylist, u"PLSel", -1};
/// The selected row of the loaded playlist.
inline constexpr SettingKey kPlaylistRowSel{section::kPlaylist, u"MVSel", -1};

} // namespace quippet
