#pragma once

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>

#include <chrono>
#include <functional>

namespace quippet::test {

/// Runs the UI thread's events until `done` holds; false when it did not within `timeout`.
inline bool pump_until(const std::function<bool()>& done,
                       std::chrono::milliseconds timeout = std::chrono::seconds(20)) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    }
    return true;
}

} // namespace quippet::test
