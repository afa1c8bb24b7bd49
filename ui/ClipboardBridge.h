#pragma once

/// Lends the system clipboard to the core for as long as it lives; the core's clipboard calls fail
/// again afterwards. Create it on the UI thread while the QApplication exists.
///
/// The core calls the clipboard under a lock of its own. A worker thread that waited for the UI
/// thread under that lock would hang both threads as soon as the UI thread used the core's clipboard
/// at the same moment, so a worker's write is handed over without waiting and a worker's read waits
/// only a bounded time.
class CClipboardBridge {
public:
    CClipboardBridge();
    ~CClipboardBridge();
    CClipboardBridge(const CClipboardBridge&) = delete;
    CClipboardBridge& operator=(const CClipboardBridge&) = delete;

    /// How long a worker's read waits for the UI thread before it counts as refused.
    static constexpr int worker_read_timeout_ms = 5000;
};
