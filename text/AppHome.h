#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace quippet {

/// The folder that holds the settings texts, lists and caches: `$QUIPPET_HOME`, else
/// `~/.local/share/QuippetVellichor`, unless the front end chose another with set_app_home (--home).
/// Set it at start-up, before jobs run: the reference returned by app_home stays valid until the next set.
const std::u16string& app_home();
void set_app_home(std::u16string home);

/// Relative paths are taken inside the app home; absolute ones are returned as they are. "/" separates.
std::u16string resolve_in_home(std::u16string_view path);

/// File names travel as UTF-16 through the program and as UTF-8 bytes to the system.
std::filesystem::path to_fs_path(std::u16string_view path);
std::u16string from_fs_path(const std::filesystem::path& path);

} // namespace quippet
