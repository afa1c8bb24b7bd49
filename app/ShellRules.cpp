#include "app/ShellRules.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#include "resources/MessageIds.h"
#include "resources/Messages.h"
#include "text/AppHome.h"
#include "text/Encoding.h"
#include "text/FileSP.h"

namespace quippet {
namespace {

/// How much of the title bar must show for the user to be able to drag the window back.
constexpr int kGripWidth = 100;
constexpr int kGripHeight = 20;

int overlap(int a_start, int a_length, int b_start, int b_length) {
    return std::max(0, std::min(a_start + a_length, b_start + b_length) - std::max(a_start, b_start));
}

int size_by_rule(int rule, int normal, int minimum, int to_edge) {
    switch (rule) {
    case 0:
        return normal;
    case 1:
        return minimum;
    case -1:
        return std::max(minimum, to_edge);
    default:
        return std::max(minimum, rule);
    }
}

} // namespace

std::u16string shutdown_warning(int shutdown_result) {
    switch (shutdown_result) {
    case 1:
        return std::u16string(message_text(msg::kUncleanShutdown));
    case 2:
    case 3:
    case 4:
        return std::u16string(message_text(msg::kStoppedBeforeLiveLog + shutdown_result - 2)) +
               std::u16string(message_text(msg::kStoppedTail));
    default:
        return {};
    }
}

WindowRect place_on_screens(const WindowRect& rect, std::span<const WindowRect> screens) {
    if (screens.empty()) return rect;
    const int grip_width = std::min(kGripWidth, std::max(1, rect.width));
    const int grip_height = std::min(kGripHeight, std::max(1, rect.height));
    for (const WindowRect& screen : screens) {
        if (overlap(rect.left, rect.width, screen.left, screen.width) >= grip_width &&
            overlap(rect.top, grip_height, screen.top, screen.height) >= grip_height)
            return rect;
    }
    const WindowRect& primary = screens.front();
    WindowRect out = rect;
    out.width = std::min(rect.width, primary.width);
    out.height = std::min(rect.height, primary.height);
    out.left = primary.left + (primary.width - out.width) / 2;
    out.top = primary.top + (primary.height - out.height) / 2;
    return out;
}

bool forces_size(const TabSizeRules& rules) {
    return rules.height != 0 || rules.width != 0;
}

WindowRect tab_window_rect(const WindowRect& normal, const TabSizeRules& rules, int min_width, int min_height,
                           const WindowRect& screen) {
    WindowRect out = normal;
    const int right = normal.left + normal.width;
    out.height = size_by_rule(rules.height, normal.height, min_height, screen.top + screen.height - normal.top);
    const int to_edge = rules.grows_left ? right - screen.left : screen.left + screen.width - normal.left;
    out.width = size_by_rule(rules.width, normal.width, min_width, to_edge);
    if (rules.grows_left) out.left = right - out.width;
    return out;
}

int set_aside_broken_settings_file(std::u16string_view home, std::u16string* kept_as) {
    std::u16string path(home);
    if (!path.empty() && !path.ends_with(u'/')) path += u'/';
    const std::u16string folder = path;
    path += u"QuippetVellichor.ini";
    std::string bytes;
    try {
        std::error_code ec;
        const std::filesystem::path fs_path = to_fs_path(path);
        if (!std::filesystem::exists(fs_path, ec)) return 0;
        if (std::filesystem::is_regular_file(fs_path, ec)) {
            std::ifstream in(fs_path, std::ios::binary);
            bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
            std::string_view text(bytes);
            if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
            if (text.find('\0') == std::string_view::npos && is_valid_utf8(text)) return 0;
        }
    } catch (const std::exception&) {
        // Unreadable counts as broken: set aside below.
    }
    for (int n = 1; n < 1000; ++n) {
        std::u16string target = folder + u"QuippetVellichor.ini.broken";
        if (n > 1) target += from_utf8("-" + std::to_string(n));
        const int err = rename_no_replace(path, target);
        if (err == 0) {
            if (kept_as) *kept_as = target;
            return 1;
        }
        if (err != EEXIST) return -1;
    }
    return -1;
}

} // namespace quippet
