#include "download/DownloadJob.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <system_error>

#include "app/SettingKeys.h"
#include "app/WorkThread.h"
#include "download/DownloadList.h"
#include "download/DownloadTabKeys.h"
#include "download/ListFile.h"
#include "download/VideoInfoSteps.h"
#include "net/MovieInfo.h"
#include "reconstruct/Presets.h"
#include "reconstruct/ReconstructJob.h"
#include "resources/MessageIds.h"
#include "resources/Messages.h"
#include "text/AppHome.h"
#include "text/Ascii.h"
#include "text/Encoding.h"
#include "text/FileSP.h"

namespace quippet {
namespace {

// The network layer's code for a TLS connection that could not be set up; old systems without TLS 1.2
// end there, which the advice in the log explains.
constexpr int kTlsConnectFailure = 55;

std::u16string msg_text(int id) {
    return std::u16string(message_text(id));
}

/// The folder of a row without its trailing "/", so that the steps can add "/" + name.
std::u16string folder_of_cell(std::u16string folder) {
    while (folder.size() > 1 && folder.back() == u'/')
        folder.pop_back();
    return folder;
}

bool any_code(const RowCodes& c, int code) {
    return c.comment == code || c.video == code || c.info == code || c.owner_comments == code || c.thumbnail == code ||
           c.nicowari == code || c.secondary == code;
}

} // namespace

SavedFileRenames rename_saved_files(std::u16string_view folder, std::u16string_view old_name,
                                    std::u16string_view new_name) {
    SavedFileRenames out;
    if (old_name.empty() || new_name.empty() || old_name == new_name ||
        new_name.find(u'/') != std::u16string_view::npos)
        return out;
    // The endings a row's steps give their files: ".xml", ".mp4", ".jpg", ".txt", a partial video's
    // ".mp4[…]", and the uploader comments' "[Owner].xml". A bracket followed by a title of its own
    // ("[…](sm5).xml") belongs to another video.
    auto ending_of_ours = [](std::u16string_view rest) {
        if (rest.empty()) return false;
        if (rest[0] == u'.') return true;
        if (rest[0] != u'[') return false;
        const size_t close = rest.find(u']');
        return close != std::u16string_view::npos && close + 1 < rest.size() && rest[close + 1] == u'.' &&
               rest.find(u'(') == std::u16string_view::npos;
    };
    std::vector<std::u16string> endings;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(to_fs_path(folder), ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code type_ec;
        if (!it->is_regular_file(type_ec)) continue;
        const std::u16string file = from_fs_path(it->path().filename());
        if (file.size() > old_name.size() && std::u16string_view(file).starts_with(old_name) &&
            ending_of_ours(std::u16string_view(file).substr(old_name.size())))
            endings.push_back(file.substr(old_name.size()));
    }
    std::sort(endings.begin(), endings.end());
    const std::u16string base = std::u16string(folder) + u"/";
    for (const auto& ending : endings) {
        const std::u16string from = base + std::u16string(old_name) + ending;
        const std::u16string to = base + std::u16string(new_name) + ending;
        const int err = rename_no_replace(from, to);
        if (err == 0) {
            ++out.renamed;
            continue;
        }
        ++out.failed;
        out.problems.push_back(from + u" → " + to + u" : " + msg_text(err == EEXIST ? 124 : 221));
    }
    return out;
}

/// A row whose video runs with the next batch, and what its other steps left.
struct CDownloadJob::Pending {
    VideoTask task;
    RowCodes codes;
    std::u16string comment_file;
};

CDownloadJob::CDownloadJob(CWorkThread& worker, const CSettings& settings, DownloadHooks hooks)
    : worker_(worker), settings_(settings), hooks_(std::move(hooks)), wanted_(wanted_steps_from(settings)),
      comments_(comment_options_from(settings)), video_(video_options_from(settings)),
      thumbnails_(thumbnail_options_from(settings)), nicowari_(nicowari_options_from(settings)),
      pacer_(settings.number(OptNumber::kDownloadWait), settings.number(OptNumber::kThumbApiInterval),
             std::clamp(settings.number(OptNumber::kParallelDownloads), 1, 16) > 1, settings.on(OptSwitch::kDebugMode)),
      parallel_(std::clamp(settings.number(OptNumber::kParallelDownloads), 1, 16)),
      debug_(settings.on(OptSwitch::kDebugMode)) {
    if (!hooks_.clock) hooks_.clock = &steady_clock_;
}

CDownloadJob::~CDownloadJob() = default;

NetReport& CDownloadJob::report_for(int row) {
    if (!report_ || report_row_ != row) {
        report_ = hooks_.make_report ? hooks_.make_report(worker_, row)
                                     : std::make_unique<WorkerNetReport>(worker_, row, debug_);
        report_row_ = row;
    }
    return *report_;
}

bool CDownloadJob::stopping() {
    return worker_.stop_requested() || worker_.download_stop_requested() || (report_ && report_->stop_requested());
}

int CDownloadJob::run_video_step(CWorkMovieInfo& info, const std::u16string& folder, const std::u16string& name,
                                 RowCodes& codes, RowResultContext& context, NetReport& report) {
    VideoResult result;
    const int go_on = download_video(info, folder, name, video_, owed_, *hooks_.clock, &cookies_, report, result);
    codes.video = result.code;
    context.old_server = result.old_server;
    context.quality_label = result.quality_label;
    return go_on;
}

int CDownloadJob::ProcessRow(int row) {
    NetReport& report = report_for(row);
    if (stopping()) return -2;
    // 1. What the row says.
    CWorkMovieInfo info;
    info.id = worker_.cell(row, dlcol::kId);
    std::u16string folder = folder_of_cell(worker_.cell(row, dlcol::kFolder));
    if (folder.empty()) folder = folder_of_cell(resolve_in_home(settings_.text(DlText::kFolder)));
    worker_.header.clear();
    worker_.body.clear();
    worker_.footer.clear();
    last_description_.clear();
    RowCodes codes;
    RowResultContext context;
    if (!wanted_.any()) {
        finish_row(row, codes, context, {});
        return row;
    }

    // The row wait: the first rows of a job go at once, later ones further apart.
    if (pacer_.wait(report) == -2 || stopping()) return -2;

    // 3 to 6. The information, with its follow-ups.
    const InfoGathered gathered =
        gather_video_info(info, comments_.info, cookies_, comments_.login, report,
                          !(settings_.on(OptSwitch::kInfoFileWithoutWatchPage) && wanted_.info && !wanted_.video &&
                            !wanted_.comments && !wanted_.owner_comments && !wanted_.nicowari && !wanted_.thumbnail));
    last_description_ = info.description.empty() ? info.description_short : info.description;
    if (stopping()) return -2;

    NicowariInfo bgm;
    if (wanted_.nicowari) {
        report.debug(msg_text(msg::kGetbgmAccess));
        report.progress(msg_text(msg::kNicowariInfoFetching));
        if (fetch_nicowari_info(info.id, nicowari_, &cookies_, report, bgm) != 1) codes.nicowari = bgm.code;
        if (stopping()) return -2;
    }

    // 7. The row as the information has it now.
    std::u16string name = worker_.cell(row, dlcol::kSaveName);
    const std::u16string fresh = save_name(info, SaveNameKind::kFile, comments_.info, false);
    if (!fresh.empty() && fresh != name) {
        // A name starting with "*" is a placeholder of registration; nothing was saved under it.
        if (settings_.on(DlSwitch::kRenameOnNameChange) && !name.empty() && name[0] != u'*')
            follow_new_name(folder, name, fresh);
        name = fresh;
    }
    worker_.set_cell(row, dlcol::kSaveName, name);
    worker_.set_cell(row, dlcol::kFolder, folder_with_slash(folder));
    if (info.comments >= 0) worker_.set_cell(row, dlcol::kComments, decimal_text(info.comments));
    if (info.views >= 0) worker_.set_cell(row, dlcol::kViews, decimal_text(info.views));
    if (!info.posted.empty()) worker_.set_cell(row, dlcol::kPosted, info.posted);

    // Without an ID nothing the comment and video steps need can be had.
    const bool usable = !info.id.empty();
    if (!usable) {
        if (wanted_.comments) codes.comment = gathered.code != 0 ? gathered.code : msg::kApiInfoFailed;
        if (wanted_.video) codes.video = gathered.code != 0 ? gathered.code : msg::kApiInfoFailed;
    }

    // 8. Nicowari, video and uploader comments, comments with their past logs.
    if (usable && wanted_.nicowari && bgm.state == BgmState::kOk) {
        NicowariResult clips;
        const int rc = save_nicowari(bgm, folder, nicowari_, owed_, *hooks_.clock, &cookies_, report, clips);
        codes.nicowari = clips.code;
        if (rc == -2 || stopping()) return -2;
    }
    bool video_pending = false;
    if (usable && wanted_.video) {
        if (parallel_ > 1) {
            // Several at once: the video joins the batch, the row's other steps go on meanwhile.
            video_pending = true;
        } else {
            if (run_video_step(info, folder, name, codes, context, report) == 0 || stopping()) return -2;
        }
    }
    if (usable && wanted_.owner_comments) {
        CommentResult uploader;
        const int rc = fetch_owner_comments(info, folder, comments_, &cookies_, report, uploader);
        codes.owner_comments = uploader.code;
        if (rc == -2 || stopping()) return -2;
    }
    std::u16string comment_file;
    if (usable && wanted_.comments) {
        CommentResult result;
        const int rc = fetch_comments(info, folder, name, comments_, &cookies_, report, result);
        codes.comment = result.code != 0 ? result.code : result.secondary_code;
        codes.secondary = result.secondary_code;
        if (result.video_code != 0 && codes.video == 0 && wanted_.video && !video_pending)
            codes.video = result.video_code;
        if (result.saved) comment_file = result.path;
        if (rc == -2 || stopping()) return -2;
    }

    // 9. The information file.
    if (wanted_.info) {
        report.progress(msg_text(msg::kInfoFileProgress));
        int code = 0;
        const int rc = write_info_file(info, folder, save_name(info, SaveNameKind::kInfoFile, comments_.info, false),
                                       comments_.info, code);
        codes.info = rc == 0 ? 68 : rc == 1 ? (gathered.code != 0 ? gathered.code : 196) : code;
        if (stopping()) return -2;
    }

    // 10. The thumbnail.
    if (wanted_.thumbnail) {
        report.progress(msg_text(msg::kThumbnailProgress));
        ThumbnailResult thumb;
        save_thumbnail(info, folder, name, thumbnails_.large, thumbnails_, report, thumb);
        codes.thumbnail = thumb.code;
        if (stopping()) return -2;
    }

    // 11. The row's ending, or its place in the batch of videos.
    if (video_pending) {
        Pending p;
        p.task.info = std::move(info);
        p.task.folder = folder;
        p.task.save_name = name;
        p.task.row = row;
        p.codes = codes;
        p.comment_file = std::move(comment_file);
        pending_.push_back(std::move(p));
        if (static_cast<int>(pending_.size()) >= parallel_) flush_videos();
        return stopping() ? -2 : row;
    }
    finish_row(row, codes, context, comment_file);
    return row;
}

void CDownloadJob::follow_new_name(const std::u16string& folder, const std::u16string& old_name,
                                   const std::u16string& new_name) {
    const SavedFileRenames renames = rename_saved_files(folder, old_name, new_name);
    for (const auto& line : renames.problems)
        worker_.log(line);
    if (renames.renamed > 0) worker_.log(decimal_text(renames.renamed) + msg_text(msg::kRenamedFiles));
    if (renames.failed > 0) worker_.log(decimal_text(renames.failed) + msg_text(msg::kRenameFilesFailed));
}

void CDownloadJob::flush_videos() {
    if (pending_.empty()) return;
    std::vector<VideoTask> tasks;
    for (auto& p : pending_)
        tasks.push_back(p.task);
    const bool debug = debug_;
    download_videos_parallel(worker_, tasks, parallel_, video_, owed_, *hooks_.clock, &cookies_,
                             [debug](CWorkThread& sub, const VideoTask& task) -> std::unique_ptr<NetReport> {
                                 return std::make_unique<WorkerNetReport>(sub, task.row, debug);
                             });
    for (size_t i = 0; i < pending_.size(); ++i) {
        Pending& p = pending_[i];
        p.codes.video = tasks[i].result.code;
        RowResultContext context;
        context.stopped = tasks[i].result.stopped || !tasks[i].started;
        context.old_server = tasks[i].result.old_server;
        context.quality_label = tasks[i].result.quality_label;
        finish_row(p.task.row, p.codes, context, p.comment_file);
    }
    pending_.clear();
}

void CDownloadJob::finish_row(int row, const RowCodes& codes, const RowResultContext& context,
                              const std::u16string& comments) {
    const RowResult result = row_result(codes, wanted_, context);
    worker_.set_cell(row, dlcol::kMark, result.mark);
    worker_.set_cell(row, dlcol::kDetail, result.text);
    worker_.log(worker_.cell(row, dlcol::kId) + u"：" + result.text);
    ++totals_.tried;
    if (result.failed)
        ++totals_.failed;
    else
        ++totals_.succeeded;
    if (!result.failed && settings_.on(DlSwitch::kUncheckDone)) worker_.set_checked(row, false);
    if (any_code(codes, kTlsConnectFailure) && !totals_.tls_advice) {
        for (const auto& line : tls_advice_lines())
            worker_.log(line);
        totals_.tls_advice = true;
    }
    if (context.stopped || !wanted_.any()) return;

    DownloadRow copy;
    for (int c = 0; c < dlcol::kCount; ++c)
        copy.cells[static_cast<size_t>(c)] = worker_.cell(row, c);
    copy.codes = codes;
    int code = 0;
    if (!history_loaded_) {
        history_loaded_ = true;
        const std::u16string path = resolve_in_home(settings_.text(OptText::kDownloadHistory));
        std::error_code ec;
        std::filesystem::create_directories(to_fs_path(path).parent_path(), ec);
        if (history_.load(path, settings_.number(OptNumber::kHistoryLines), code) != 0) worker_.log(msg_text(code));
    }
    if (history_.add(history_line_of(copy, wanted_), code) != 0) worker_.log(msg_text(code));

    if (!comments.empty() && settings_.on(DlSwitch::kReconstructAfter)) hand_to_reconstruct(comments);
}

void CDownloadJob::hand_to_reconstruct(const std::u16string& file) {
    worker_.log(msg_text(msg::kHandedToReconstruct) + file);
    if (hooks_.reconstruct) {
        hooks_.reconstruct(worker_, file);
        return;
    }
    // The reconstruction runs as its own job would, on a worker of its own that reports into this job's
    // log and has no list, so that it never writes into the download rows.
    CSettings snapshot = settings_;
    const std::u16string& preset = settings_.text(DlText::kReconstructPreset);
    if (!preset.empty()) {
        std::u16string problem;
        if (load_preset_for_run(snapshot, preset, problem) != PresetLoad::kLoaded) {
            worker_.log(problem.empty() ? preset : problem);
            return;
        }
    }
    CWorkData data = worker_.data();
    data.kind = JobKind::kReconstruct;
    data.target.list = nullptr;
    data.inputs() = {file};
    CWorkThread sub(data);
    run_reconstruct_job(sub, snapshot, reconstruct_settings(snapshot));
}

void CDownloadJob::keep_start_snapshot(int rows) {
    // Taken before the rows are checked and their marks reset: the list as the user left it.
    // Rows are copied as they stand, an ID typed into two rows included.
    CListDownload copy;
    for (int r = 0; r < rows; ++r) {
        copy.insert_row(r, worker_.cell(r, 0));
        for (int c = 1; c < dlcol::kCount; ++c)
            copy.set_cell(r, c, worker_.cell(r, c));
        copy.set_checked(r, worker_.is_checked(r));
    }
    const std::u16string folder = list_snapshot_folder(settings_);
    int code = 0;
    if (save_list_snapshot(folder, kListAtDownloadStart, copy, code) != 0)
        worker_.log(std::u16string(kListAtDownloadStart) + u" : " + msg_text(code));
    // Until the list has been filtered once, the list before filtering is the list as it first ran.
    std::error_code ec;
    if (!std::filesystem::exists(to_fs_path(list_snapshot_path(folder, kListBeforeFilter)), ec) &&
        save_list_snapshot(folder, kListBeforeFilter, copy, code) != 0)
        worker_.log(std::u16string(kListBeforeFilter) + u" : " + msg_text(code));
}

int CDownloadJob::RunDownload() {
    worker_.job_begin();
    const int rows = worker_.row_count();
    if (rows == 0) {
        worker_.log_message(msg::kDownloadListEmpty);
        return 0;
    }
    keep_start_snapshot(rows);
    if (worker_.first_checked_row() < 0)
        for (int r = 0; r < rows; ++r)
            worker_.set_checked(r, true);
    // The rows of this run show "－" until they are done, so that a stop leaves the rest visibly untried.
    for (int r = 0; r < rows; ++r)
        if (worker_.is_checked(r)) worker_.set_cell(r, dlcol::kMark, kMarkNotRun);
    int stopped_row = -1;
    for (int r = 0; r < rows; ++r) {
        if (!worker_.is_checked(r)) continue;
        worker_.scroll_into_view(r);
        if (ProcessRow(r) == -2) {
            stopped_row = r;
            break;
        }
    }
    if (stopped_row < 0 && !stopping()) flush_videos();
    if (stopped_row >= 0 || stopping()) {
        totals_.stopped = true;
        // The rows of a batch that never ran show the stop as the row cut short does.
        for (auto& p : pending_) {
            worker_.set_cell(p.task.row, dlcol::kMark, kMarkNotRun);
            worker_.set_cell(p.task.row, dlcol::kDetail, msg_text(msg::kStoppedByUser));
        }
        pending_.clear();
        if (stopped_row >= 0) {
            worker_.set_cell(stopped_row, dlcol::kMark, kMarkNotRun);
            worker_.set_cell(stopped_row, dlcol::kDetail, msg_text(msg::kStoppedByUser));
        }
    }
    for (const auto& line : download_end_lines(totals_.tried, totals_.succeeded, totals_.failed))
        worker_.log(line);
    if (totals_.stopped) worker_.job_stopped();
    if (settings_.on(OptSwitch::kPlayEndSound)) {
        const std::u16string& sound =
            settings_.text(totals_.failed == 0 ? OptText::kEndSoundSuccess : OptText::kEndSoundFailure);
        if (!sound.empty()) worker_.frame().play_sound(resolve_in_home(sound));
    }
    return totals_.tried;
}

DownloadTotals run_download_job(CWorkThread& worker, const CSettings& settings, DownloadHooks hooks) {
    CDownloadJob job(worker, settings, std::move(hooks));
    job.RunDownload();
    return job.totals();
}

} // namespace quippet
