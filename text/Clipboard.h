#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace quippet {

/// The core has no clipboard of its own: the GUI installs these, headless runs leave them empty.
struct ClipboardHook {
    std::function<bool(std::u16string_view)> write;
    std::function<bool(std::u16string&)> read;
};

void set_clipboard_hook(ClipboardHook hook);
/// 0 on success, -1 when there is no clipboard or it refused.
int clipboard_write(std::u16string_view text);
int clipboard_read(std::u16string& text);

} // namespace quippet
