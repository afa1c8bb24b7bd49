#pragma once

#include <QMetaObject>
#include <QObject>
#include <QString>
#include <QThread>

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
    std::optional<R> result;
    QMetaObject::invokeMethod(
        receiver, [&result, &fn] { result.emplace(fn()); }, Qt::BlockingQueuedConnection);
    return result ? std::move(*result) : std::move(fallback);
}

template <typename Fn> void call_on_owner(const QObject* context, Fn&& fn) {
    auto* receiver = const_cast<QObject*>(context);
    if (QThread::currentThread() == receiver->thread()) {
        std::forward<Fn>(fn)();
        return;
    }
    QMetaObject::invokeMethod(
        receiver, [&fn] { fn(); }, Qt::BlockingQueuedConnection);
}

inline QString to_qstring(std::u16string_view text) {
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

inline std::u16string to_u16(const QString& text) {
    return text.toStdU16String();
}

} // namespace quippet::ui
