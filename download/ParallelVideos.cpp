#include "download/ParallelVideos.h"

#include <algorithm>
#include <atomic>
#include <chrono>

#include "app/WorkThread.h"

namespace quippet {

void WorkerNetReport::log(std::u16string_view text) {
    worker_.log(text);
}

void WorkerNetReport::debug(std::u16string_view text) {
    if (debug_) worker_.log(text);
}

void WorkerNetReport::progress(std::u16string_view text) {
    if (row_ >= 0) worker_.set_cell(row_, kDetailColumn, text);
}

bool WorkerNetReport::stop_requested() const {
    return worker_.stop_requested() || worker_.download_stop_requested();
}

void WorkerNetReport::sleep_ms(int ms) {
    // In pieces, so that a stop ends a long wait early.
    for (int left = ms; left > 0 && !stop_requested(); left -= 100)
        worker_.frame().pause(std::chrono::milliseconds(std::min(left, 100)));
}

int download_videos_parallel(CWorkThread& parent, std::vector<VideoTask>& tasks, int parallel,
                             const VideoOptions& options, OwedBytes& owed, const VideoClock& clock,
                             CNetCookieSource* cookies, const VideoTaskReport& make_report) {
    const int workers = std::clamp(parallel, 1, 16);
    std::atomic<size_t> next{0};
    std::atomic<bool> stopped{false};
    std::atomic<int> saved{0};
    auto work = [&](CWorkThread& worker) {
        for (;;) {
            const size_t i = next.fetch_add(1);
            if (i >= tasks.size()) return;
            VideoTask& task = tasks[i];
            std::unique_ptr<NetReport> report = make_report ? make_report(worker, task) : nullptr;
            NetReport fallback;
            NetReport& r = report ? *report : fallback;
            if (stopped || r.stop_requested()) {
                task.result = {};
                task.result.stopped = true;
                stopped = true;
                continue;
            }
            task.started = true;
            if (download_video(task.info, task.folder, task.save_name, options, owed, clock, cookies, r, task.result) ==
                0)
                stopped = true;
            if (task.result.saved) ++saved;
        }
    };
    const int count = static_cast<int>(std::min<size_t>(static_cast<size_t>(workers), tasks.size()));
    int started = 0;
    for (int w = 0; w < count; ++w)
        if (parent.start_sub_worker(work) == 0) ++started;
    // Without a thread to spare, the batch still runs: on the job's own worker.
    if (started == 0 && !tasks.empty()) work(parent);
    parent.wait_sub_workers();
    return saved.load();
}

} // namespace quippet
