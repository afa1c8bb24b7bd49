#pragma once

#include <optional>
#include <string>

#include "text/CharBuffer.h"

namespace quippet {

/// Paths in settings and list files name the per-user folders through these macros, so that they survive a
/// change of home folder. Both are recognised in any letter case.
inline constexpr std::u16string_view kRoamingMacro = u"%APPDATA%";
inline constexpr std::u16string_view kLocalMacro = u"%LOCAL_APPDATA%";

/// $XDG_CONFIG_HOME, else ~/.config; without a trailing "/". nullopt without a usable home.
std::optional<std::u16string> roaming_app_data_folder();
/// $XDG_DATA_HOME, else ~/.local/share; without a trailing "/". nullopt without a usable home.
std::optional<std::u16string> local_app_data_folder();

/// Replaces the macros by their folders. -1, path unchanged, when a folder it names cannot be found.
int expand_folder_macros(CCharW& path);
/// Replaces either folder, where a path begins with it, by its macro (the more specific folder wins when one
/// lies inside the other), so that expand_folder_macros gives the path back. -1, unchanged, when the folders
/// cannot be found.
int collapse_folder_macros(CCharW& path);

} // namespace quippet
