#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/Settings.h"
#include "download/CommentDownload.h"
#include "download/DownloadHistory.h"
#include "download/DownloadPacing.h"
#include "download/DownloadReport.h"
#include "download/Nicowari.h"
#include "download/ParallelVideos.h"
#include "download/Thumbnail.h"
#include "download/VideoDownload.h"
#include "net/CookieStore.h"

namespace quippet {

class CWorkThread;

/// What a download job may have replaced for it: the reports of its rows, the clock of the heartbeats and
/// where a saved comment file goes when a reconstruction follows the download. Empty members take the
/// job's own: reports over the worker, the steady clock, the reconstruction job run on the worker.
struct DownloadHooks {
    std::function<std::unique_ptr<NetReport>(CWorkThread& worker, int row)> make_report;
    const VideoClock* clock = nullptr;
    std::function<void(CWorkThread& worker, const std::u16string& comment_file)> reconstruct;
};

/// What a download job did.
struct DownloadTotals {
    int tried = 0;
    int succeeded = 0;
    int failed = 0;
    bool stopped = false;
    bool tls_advice = false; ///< a connection failed with code 55 and the advice was logged
};

/// The download job over the worker's list (a CListDownload, reached through the frame's list access):
/// the options of every step taken once from the settings snapshot, one cookie store, one pacer and one
/// history file for all rows.
class CDownloadJob {
public:
    CDownloadJob(CWorkThread& worker, const CSettings& settings, DownloadHooks hooks = {});
    ~CDownloadJob();
    CDownloadJob(const CDownloadJob&) = delete;
    CDownloadJob& operator=(const CDownloadJob&) = delete;

    /// ProcessRow: the pipeline of one row. The row, or -2 when the user stopped the job.
    int ProcessRow(int row);
    /// RunDownload: the checked rows from top to bottom (every row when none is checked), the end lines
    /// and the end sound. The number of rows tried.
    int RunDownload();

    const DownloadTotals& totals() const { return totals_; }
    const WantedSteps& wanted() const { return wanted_; }
    /// The description of the video of the row processed last (the chain download follows its IDs).
    const std::u16string& last_description() const { return last_description_; }

private:
    struct Pending;
    NetReport& report_for(int row);
    bool stopping();
    int run_video_step(int row, CWorkMovieInfo& info, const std::u16string& folder, const std::u16string& name,
                       RowCodes& codes, NetReport& report);
    void finish_row(int row, const RowCodes& codes, const RowResultContext& context, const std::u16string& comments);
    void flush_videos();
    void hand_to_reconstruct(const std::u16string& file);

    CWorkThread& worker_;
    CSettings settings_;
    DownloadHooks hooks_;
    WantedSteps wanted_;
    CommentOptions comments_;
    VideoOptions video_;
    ThumbnailOptions thumbnails_;
    NicowariOptions nicowari_;
    CookieStore cookies_;
    OwedBytes owed_;
    VideoClock steady_clock_;
    DownloadPacer pacer_;
    CDownloadHistoryFile history_;
    bool history_loaded_ = false;
    int parallel_ = 1;
    bool debug_ = false;
    std::unique_ptr<NetReport> report_;
    int report_row_ = -1;
    std::vector<Pending> pending_; ///< rows whose video waits for the next batch of parallel downloads
    DownloadTotals totals_;
    std::u16string last_description_;
};

/// The whole download job on `worker`: CDownloadJob over the worker's list.
DownloadTotals run_download_job(CWorkThread& worker, const CSettings& settings, DownloadHooks hooks = {});

} // namespace quippet
