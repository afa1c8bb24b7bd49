#include "text/Clipboard.h"

#include <mutex>

#include "text/CharBuffer.h"

namespace quippet {
namespace {
std::mutex hook_mutex;
ClipboardHook& installed_hook() {
    static ClipboardHook hook;
    return hook;
}
} // namespace

void set_clipboard_hook(ClipboardHook hook) {
    std::lock_guard lock(hook_mutex);
    installed_hook() = std::move(hook);
}

// The hook runs outside the lock: a GUI hook may wait for the UI thread, which may itself be using
// the clipboard at that moment.
ClipboardHook current_hook() {
    std::lock_guard lock(hook_mutex);
    return installed_hook();
}

int clipboard_write(std::u16string_view text) {
    const ClipboardHook hook = current_hook();
    return hook.write && hook.write(text) ? 0 : -1;
}

int clipboard_read(std::u16string& text) {
    const ClipboardHook hook = current_hook();
    return hook.read && hook.read(text) ? 0 : -1;
}

} // namespace quippet

int CCharW::copy_to_clipboard() const {
    return quippet::clipboard_write(view());
}

int CCharW::read_from_clipboard() {
    std::u16string text;
    if (quippet::clipboard_read(text) != 0) return -1;
    assign(text);
    return 0;
}
