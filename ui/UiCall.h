#pragma once

#include <QMetaObject>
#include <QObject>
#include <QString>
#include <QThread>

#include <atomic>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace quippet::ui {

/// Runs `fn` on the thread that owns `context` and returns its result. A caller on another thread
/// waits until the owner has run it; a caller on the owner's thread runs it at once, because a
/// blocking hand-over to its own queue would wait for itself. `fallback` is returned when the call
/// never ran (the owner was destroyed with the call still queued).
template <typename R, typename Fn> R call_on_owner(const QObject* context, R fallback, Fn&& fn) {
    // Qt wants a mutable receiver even for calls that only read it.
    auto* receiver = const_cast<QObject*>(context);
    if (QThread::currentThread() == receiver->thread()) return std::forward<Fn>(fn)();
    // Qt's queue and wait order the call and its result already; the two flags state those hand-overs in
    // this file too, so that a race detector, which cannot see into Qt, sees them as well.
    std::optional<R> result;
    std::atomic<bool> sent{false};
    std::atomic<bool> ran{false};
    sent.store(true, std::memory_order_release);
    QMetaObject::invokeMethod(
        receiver,
        [&result, &fn, &sent, &ran] {
            (void)sent.load(std::memory_order_acquire);
            result.emplace(fn());
            ran.store(true, std::memory_order_release);
        },
        Qt::BlockingQueuedConnection);
    return ran.load(std::memory_order_acquire) && result ? std::move(*result) : std::move(fallback);
}

template <typename Fn> void call_on_owner(const QObject* context, Fn&& fn) {
    auto* receiver = const_cast<QObject*>(context);
    if (QThread::currentThread() == receiver->thread()) {
        std::forward<Fn>(fn)();
        return;
    }
    std::atomic<bool> sent{false};
    std::atomic<bool> ran{false};
    sent.store(true, std::memory_order_release);
    QMetaObject::invokeMethod(
        receiver,
        [&fn, &sent, &ran] {
            (void)sent.load(std::memory_order_acquire);
            fn();
            ran.store(true, std::memory_order_release);
        },
        Qt::BlockingQueuedConnection);
    (void)ran.load(std::memory_order_acquire);
}

inline QString to_qstring(std::u16string_view text) {
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

inline std::u16string to_u16(const QString& text) {
    return text.toStdU16String();
}

} // namespace quippet::ui
