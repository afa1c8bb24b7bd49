#include "ui/ClipboardBridge.h"

#include "text/Clipboard.h"
#include "ui/UiCall.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QSemaphore>
#include <QThread>

#include <atomic>
#include <memory>

namespace {

bool on_ui_thread() {
    const QCoreApplication* app = QCoreApplication::instance();
    return app != nullptr && QThread::currentThread() == app->thread();
}

bool write_clipboard(std::u16string_view text) {
    QCoreApplication* app = QCoreApplication::instance();
    if (app == nullptr) return false;
    QString copy = quippet::ui::to_qstring(text);
    if (on_ui_thread()) {
        QGuiApplication::clipboard()->setText(copy);
        return true;
    }
    return QMetaObject::invokeMethod(
        app, [copy = std::move(copy)] { QGuiApplication::clipboard()->setText(copy); }, Qt::QueuedConnection);
}

bool read_clipboard(std::u16string& text) {
    QCoreApplication* app = QCoreApplication::instance();
    if (app == nullptr) return false;
    if (on_ui_thread()) {
        text = quippet::ui::to_u16(QGuiApplication::clipboard()->text());
        return true;
    }
    // Shared with the queued call, which may still run after this thread stopped waiting for it.
    struct Exchange {
        QSemaphore done;
        QString text;
        /// States the hand-over that the semaphore already orders, for race detectors that cannot see it.
        std::atomic<bool> filled{false};
    };
    auto exchange = std::make_shared<Exchange>();
    const bool queued = QMetaObject::invokeMethod(
        app,
        [exchange] {
            exchange->text = QGuiApplication::clipboard()->text();
            exchange->filled.store(true, std::memory_order_release);
            exchange->done.release();
        },
        Qt::QueuedConnection);
    if (!queued || !exchange->done.tryAcquire(1, CClipboardBridge::worker_read_timeout_ms)) return false;
    if (!exchange->filled.load(std::memory_order_acquire)) return false;
    text = quippet::ui::to_u16(exchange->text);
    return true;
}

} // namespace

CClipboardBridge::CClipboardBridge() {
    quippet::set_clipboard_hook(quippet::ClipboardHook{write_clipboard, read_clipboard});
}

CClipboardBridge::~CClipboardBridge() {
    quippet::set_clipboard_hook({});
}
