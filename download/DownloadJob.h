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
    int run_video_step(CWorkMovieInfo& info, const std::u16string& folder, const std::u16string& name, RowCodes& codes,
                       RowResultContext& context, NetReport& report);
    void follow_new_name(const std::u16string& folder, const std::u16string& old_name, const std::u16string& new_name);
    void keep_start_snapshot(int rows);
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

/// What following a new save name did to the files of a row.
struct SavedFileRenames {
    int renamed = 0;
    int failed = 0;
    std::vector<std::u16string> problems; ///< one log line per file left under its old name
};

/// Renames the files a row saved under `old_name` in `folder` (the name followed by an extension, or by a
/// bracketed suffix and an extension as the uploader comments have it) to `new_name` with the same ending.
/// A file of the new name is never replaced: the old one stays and counts as failed.
SavedFileRenames rename_saved_files(std::u16string_view folder, std::u16string_view old_name,
                                    std::u16string_view new_name);

/// The whole download job on `worker`: CDownloadJob over the worker's list.
DownloadTotals run_download_job(CWorkThread& worker, const CSettings& settings, DownloadHooks hooks = {});

} // namespace quippet
