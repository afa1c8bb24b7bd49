#pragma once

#include "app/SettingKeys.h"

// Where the bookmark tree and the seasonal-anime window keep their settings. The numbers are the keys of
// every stored settings file: never renumber them.

namespace quippet {

class CatalogueBuilder;

/// Detailed switches of the bookmark tree ("OptionDialog" "CB"): numbers past the classic file's, so
/// that they never meet a switch of another tab.
inline constexpr SettingKey kBmAddSubfolders{section::kOption, u"CB", 200};
inline constexpr SettingKey kBmNewFolderOnDisk{section::kOption, u"CB", 201};

/// The seasonal-anime window ("NextPage").
inline constexpr SettingKey kAnimeLabelWithStart{section::kAnime, u"CB", 0};   ///< the start time in the label
inline constexpr SettingKey kAnimeScheduleAddress{section::kAnime, u"ES", 0};  ///< empty: the default
inline constexpr SettingKey kAnimeChannelAddress{section::kAnime, u"ES", 1};   ///< empty: the default
inline constexpr SettingKey kAnimeSaveFolder{section::kAnime, u"ComboStr", 0}; ///< given to the new bookmarks

/// The settings pages of the bookmark tree and the seasonal-anime window.
void add_bookmark_setting_pages(CatalogueBuilder& b);

} // namespace quippet
