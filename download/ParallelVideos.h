#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "download/VideoDownload.h"
#include "net/NetReport.h"

namespace quippet {

class CWorkThread;
class CNetCookieSource;

/// One video of a batch and, afterwards, what became of it.
struct VideoTask {
    CWorkMovieInfo info;
    std::u16string folder;
    std::u16string save_name;
    int row = -1; ///< the list row it belongs to (the job's reports use it), -1 none
    VideoResult result;
    bool started = false;
};

/// The reports of one task, made on the sub-worker that runs it (a report is used by one thread only).
using VideoTaskReport = std::function<std::unique_ptr<NetReport>(CWorkThread& worker, const VideoTask& task)>;

/// Where a download row reports on a job's worker: log and debug lines (debug only with `debug`) into the
/// job's log, progress into the row's detail cell, the job's stop flags, and the frame's pauses.
class WorkerNetReport : public NetReport {
public:
    static constexpr int kDetailColumn = 3;
    WorkerNetReport(CWorkThread& worker, int row, bool debug) : worker_(worker), row_(row), debug_(debug) {}
    void log(std::u16string_view text) override;
    void debug(std::u16string_view text) override;
    void progress(std::u16string_view text) override;
    bool stop_requested() const override;
    void sleep_ms(int ms) override;

private:
    CWorkThread& worker_;
    int row_;
    bool debug_;
};

/// The video step of every task, at most `parallel` (1 to 16) at once on sub-workers of `parent`, all
/// sharing `owed`, so that each free-space check counts what the others still have to write. A stop
/// lets the running transfers keep their partial files and starts no further task (those are marked
/// stopped). `cookies` is only read while the batch runs. The number of videos saved.
int download_videos_parallel(CWorkThread& parent, std::vector<VideoTask>& tasks, int parallel,
                             const VideoOptions& options, OwedBytes& owed, const VideoClock& clock,
                             CNetCookieSource* cookies, const VideoTaskReport& make_report);

} // namespace quippet
