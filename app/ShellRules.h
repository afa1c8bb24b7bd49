#pragma once

#include <span>
#include <string>
#include <string_view>

#include "app/Settings.h"

namespace quippet {

/// The warning for what the last run's shutdown marker means (take_shutdown_marker): empty for a clean
/// shutdown (0), else the text of the message box.
std::u16string shutdown_warning(int shutdown_result);

/// A window rectangle that shows at least a grip of its title bar on one of `screens` (the first being
/// the primary screen's free area) stays; any other is moved into the primary screen, centred and no
/// larger than it. Without screens the rectangle is returned as it is.
WindowRect place_on_screens(const WindowRect& rect, std::span<const WindowRect> screens);

/// The size a tab forces on the window. Each rule is 0 (unchanged), 1 (the minimum size), -1 (to the
/// screen's edge: the bottom, and the right or, growing left, the left) or a size in pixels (at least
/// the minimum). Growing left keeps the right edge where it is.
struct TabSizeRules {
    int height = 0;
    int width = 0;
    bool grows_left = false;
};
bool forces_size(const TabSizeRules& rules);
WindowRect tab_window_rect(const WindowRect& normal, const TabSizeRules& rules, int min_width, int min_height,
                           const WindowRect& screen);

/// Checks the settings file of `home` before anything reads or writes it. A file that is not text of
/// the settings format (bytes that are not UTF-8, NUL bytes) is renamed to a free
/// "QuippetVellichor.ini.broken…" name so that the defaults take over without writing over it.
/// 0 nothing to do (also when there is no file), 1 renamed (`kept_as` gets the new path), -1 broken but
/// could not be renamed.
int set_aside_broken_settings_file(std::u16string_view home, std::u16string* kept_as);

} // namespace quippet
