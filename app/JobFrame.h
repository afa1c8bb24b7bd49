#pragma once

#include "app/JobKinds.h"
#include "app/JobSinks.h"
#include "app/WorkData.h"

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <string_view>
#include <thread>
#include <utility>

namespace quippet {

class CWorkThread;

/// A job's body; it runs on its own thread with the worker object of that thread.
using JobFunction = std::function<void(CWorkThread&)>;

enum class LogMode {
    new_line = 0,          ///< line break before the text unless the box is empty
    continue_line = 1,     ///< appended to the current line
    replace_last_line = 2, ///< counters and countdowns overwrite the line they own
    blank_line = 3,        ///< an empty line before the text unless the box is empty
};

/// Running jobs per kind and jobs started but not yet admitted.
class CJobSlots {
public:
    void add_pending();
    /// Withdraws a pending job that will never ask for admission.
    void drop_pending();
    /// Admits a job of `kind` when the kind rules allow it now.
    bool try_admit(JobKind kind);
    /// Lowers the running count of the kind numbered `kind`; false when none was counted.
    bool finish(int kind);
    /// Any job running or pending.
    bool busy() const;
    int running(JobKind kind) const;
    int pending() const;

private:
    mutable std::mutex mutex_;
    std::array<int, job_kind_count> running_{};
    int pending_ = 0;
};

struct JobFrameOptions {
    /// How often a job that may not start yet asks again.
    std::chrono::milliseconds admission_poll{250};
    /// Pauses that workers take between requests. Empty: really sleep.
    std::function<void(std::chrono::milliseconds)> sleep;
    /// Hands a finished job to the thread that owns the window, which then calls end_of_job.
    /// Empty: end_of_job runs at once on the worker's thread.
    std::function<void(int kind, bool notify)> post_end;
};

/// Text shown when a job of the kind numbered `kind` ends; none for a display refresh while other jobs go on.
std::optional<JobEndNotice> make_end_notice(int kind, bool others_active, bool notify);

/// Kind carried by an end message as decimal text (a trailing NUL allowed); -1 when unreadable.
int parse_job_kind(std::u16string_view payload);

/// The window's side of the jobs: starts them on threads, decides when they may run, owns what
/// they share (stop flags, shared counter, the locks of the log boxes and list views) and shows
/// their end. Workers reach it through their CWorkData.
class CJobFrame {
public:
    static constexpr std::size_t log_trim_threshold = 15000;
    static constexpr std::size_t log_trim_count = 5000;

    explicit CJobFrame(NoticeSink* notice = nullptr, JobFrameOptions options = {});
    /// Asks running jobs to stop and waits for them.
    ~CJobFrame();
    CJobFrame(const CJobFrame&) = delete;
    CJobFrame& operator=(const CJobFrame&) = delete;

    void set_ready(bool ready) { ready_.store(ready); }
    bool ready() const { return ready_.load(); }

    /// The window's record, filled by the window before start_job. Only the window's thread uses it.
    CWorkData& job_data() { return record_; }

    /// Starts `job` of `kind` reporting to `target`, on a copy of the window's record. -1 when the
    /// frame is not ready, the kind has no slot or there is no job; the job itself may still wait for
    /// admission. The record's inputs are emptied for the next start.
    int start_job(JobFunction job, JobTarget target, JobKind kind);

    /// Acknowledges the end of a job: lowers its running count and shows its end notice. The kind is the
    /// number its end message carried (−1 when that was unreadable).
    void end_of_job(int kind, bool notify);

    /// Waits until every started job's thread has finished. Not for use on a worker thread.
    void wait_all();
    bool busy() const { return slots_.busy(); }
    CJobSlots& slots() { return slots_; }

    std::atomic<int>& stop_job_flag() { return stop_job_; }
    std::atomic<int>& stop_pass_flag() { return stop_pass_; }
    std::atomic<int>& stop_download_flag() { return stop_download_; }
    void request_stop_all();

    /// Raises the shared counter; it wraps to 0 instead of reaching 2,147,483,646.
    int next_shared_number();
    void set_shared_number(int value);

    /// Writes into a log box following the line modes; keeps the box from growing past the trim
    /// threshold.
    void log(LogBox* box, std::u16string_view text, LogMode mode);

    /// Runs `fn(list)` under the list lock; `fallback` when there is no list.
    template <typename R, typename Fn> R with_list(ListView* list, R fallback, Fn&& fn) {
        if (list == nullptr) return fallback;
        std::lock_guard lock(list_mutex_);
        return std::forward<Fn>(fn)(*list);
    }
    template <typename Fn> void with_list(ListView* list, Fn&& fn) {
        if (list == nullptr) return;
        std::lock_guard lock(list_mutex_);
        std::forward<Fn>(fn)(*list);
    }

    BoxAnswer message_box(const MessageBoxRequest& request);
    void play_sound(std::u16string_view file);
    void pause(std::chrono::milliseconds duration);

private:
    struct Worker {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> done;
    };

    void run_job(CWorkData data, const JobFunction& job);
    bool wait_for_admission(JobKind kind);
    void reap_finished();

    NoticeSink* notice_;
    JobFrameOptions options_;
    std::atomic<bool> ready_{false};
    std::atomic<bool> closing_{false};
    CJobSlots slots_;
    CWorkData record_;

    std::atomic<int> stop_job_{0};
    std::atomic<int> stop_pass_{0};
    std::atomic<int> stop_download_{0};

    std::mutex log_mutex_;
    std::mutex list_mutex_;
    std::mutex data_mutex_;
    int shared_number_ = 0;

    std::mutex workers_mutex_;
    std::list<Worker> workers_;
};

} // namespace quippet
