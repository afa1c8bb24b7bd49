#pragma once

#include "app/JobFrame.h"
#include "app/MemorySinks.h"
#include "app/WorkThread.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace quippet::test {

/// One-shot signal between a test and a job thread. Waits are bounded so that a broken frame fails
/// the test instead of hanging it.
class Gate {
public:
    void open() {
        std::lock_guard lock(mutex_);
        open_ = true;
        cv_.notify_all();
    }
    bool wait(std::chrono::milliseconds limit = std::chrono::seconds(5)) {
        std::unique_lock lock(mutex_);
        return cv_.wait_for(lock, limit, [this] { return open_; });
    }

private:
    std::mutex mutex_;
    std::condition_variable cv_;
    bool open_ = false;
};

/// Polls `condition` until it holds or the limit passes.
inline bool eventually(const std::function<bool()>& condition,
                       std::chrono::milliseconds limit = std::chrono::seconds(5)) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

inline JobFrameOptions fast_options() {
    JobFrameOptions options;
    options.admission_poll = std::chrono::milliseconds(1);
    return options;
}

/// Job data for a worker built directly on the test's thread.
inline CWorkData data_for(CJobFrame& frame, LogBox* log, ListView* list = nullptr, JobKind kind = JobKind::kSplit) {
    CWorkData data;
    data.kind = kind;
    data.frame = &frame;
    data.target = {log, list};
    data.stop_job = &frame.stop_job_flag();
    data.stop_pass = &frame.stop_pass_flag();
    data.stop_download = &frame.stop_download_flag();
    return data;
}

/// Log box that also keeps every line it was asked to replace.
class RecordingLogBox : public MemoryLogBox {
public:
    void replace_last_line(std::u16string_view text) override {
        {
            std::lock_guard lock(mutex_);
            replaced_.emplace_back(text);
        }
        MemoryLogBox::replace_last_line(text);
    }
    std::vector<std::u16string> replaced() {
        std::lock_guard lock(mutex_);
        return replaced_;
    }

private:
    std::mutex mutex_;
    std::vector<std::u16string> replaced_;
};

} // namespace quippet::test
