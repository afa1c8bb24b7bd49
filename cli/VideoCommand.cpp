#include "cli/VideoCommand.h"

#include <algorithm>
#include <filesystem>
#include <memory>
#include <ostream>

#include "app/JobFrame.h"
#include "app/SettingKeys.h"
#include "app/Settings.h"
#include "app/WorkThread.h"
#include "cli/Cli.h"
#include "cli/CommandArgs.h"
#include "cli/TerminalNetReport.h"
#include "download/Nicowari.h"
#include "download/ParallelVideos.h"
#include "download/Thumbnail.h"
#include "download/VideoDownload.h"
#include "download/VideoInfoSteps.h"
#include "net/NetReport.h"
#include "resources/MessageIds.h"
#include "resources/Messages.h"
#include "text/AppHome.h"
#include "text/Encoding.h"

namespace quippet::cli {
namespace {

constexpr const char* kVideoUsage =
    "Usage: quippet video [--set SECTION/KEY=VALUE]... [--entry N] [--out-dir DIR] [--thumbnail] [--nicowari]\n"
    "                     ID...\n"
    "Gathers each video's information and saves its video file into DIR (default: the current folder) under\n"
    "the save name, as the download job does: delivery session with heartbeats or the older server, resume\n"
    "of partial files, the existing-file rules. Prints ID<TAB>code<TAB>text[<TAB>path] per video; exit 1\n"
    "when any video failed.\n"
    "  --thumbnail  also the thumbnail image (from the list's cache when it has the server's size):\n"
    "               ID<TAB>thumbnail<TAB>code<TAB>text[<TAB>path]\n"
    "  --nicowari   also the video's nicowari clips: ID<TAB>nicowari<TAB>code<TAB>text[<TAB>path]...\n"
    "With \"動画を同時にDLする本数：\" (--set OptionDialog/EN36=N) above 1, up to N videos download at once.\n";

int usage(std::ostream& err, const std::string& reason) {
    err << "quippet video: " << reason << '\n' << kVideoUsage;
    return kExitUsage;
}

} // namespace

int run_video_command(const std::vector<std::string>& given, std::ostream& out, std::ostream& err) {
    std::vector<std::string> args = given;
    if (!args.empty() && args.front() == "--help") {
        out << kVideoUsage;
        return kExitOk;
    }
    CSettings settings;
    std::string error;
    if (load_command_settings(args, settings, error) != kExitOk) return usage(err, error);
    int entry = 0;
    std::u16string dir = u".";
    bool want_thumbnail = false, want_nicowari = false;
    std::vector<std::string> inputs;
    if (!CommandArgs("-")
             .entry("--entry", entry)
             .folder("--out-dir", dir)
             .flag("--thumbnail", want_thumbnail)
             .flag("--nicowari", want_nicowari)
             .parse(args, inputs, error))
        return usage(err, error);
    std::vector<std::u16string> ids;
    for (const auto& input : inputs)
        ids.push_back(from_utf8(input));
    if (ids.empty()) return usage(err, "no video ID given");

    const LoginSettings login = login_settings_from(settings, entry);
    const VideoOptions options = video_options_from(settings);
    const ThumbnailOptions thumbnails = thumbnail_options_from(settings);
    const NicowariOptions nicowari = nicowari_options_from(settings);
    TerminalNetReport report(err, settings.on(OptSwitch::kDebugMode));
    CookieStore store;
    OwedBytes owed;
    const VideoClock clock;
    int failed = 0;
    auto task_of = [&](const std::u16string& id) {
        VideoTask task;
        task.info.id = id;
        gather_video_info(task.info, options.info, store, login, report);
        task.folder = dir;
        task.save_name = save_name(task.info, SaveNameKind::kFile, options.info, false);
        return task;
    };
    // The video's line, then the row's other steps; false when a stop ends the run.
    auto finish_row = [&](VideoTask& task, bool go_on) {
        const VideoResult& result = task.result;
        const std::string id = to_utf8(task.info.id);
        out << id << '\t' << result.code << '\t' << to_utf8(message_text(result.code));
        if (result.saved) out << '\t' << to_utf8(result.path);
        out << '\n';
        if (!result.saved && !result.skipped) ++failed;
        if (!go_on) return false;
        if (want_thumbnail) {
            ThumbnailResult thumb;
            const int rc = save_thumbnail(task.info, dir, task.save_name, thumbnails.large, thumbnails, report, thumb);
            out << id << "\tthumbnail\t" << thumb.code << '\t' << to_utf8(message_text(thumb.code));
            if (thumb.saved) out << '\t' << to_utf8(thumb.path);
            out << '\n';
            if (rc == -1) ++failed;
        }
        if (want_nicowari) {
            NicowariInfo bgm;
            NicowariResult clips;
            int rc = fetch_nicowari_info(task.info.id, nicowari, &store, report, bgm);
            if (rc == 1)
                rc = save_nicowari(bgm, dir, nicowari, owed, clock, &store, report, clips);
            else
                clips.code = bgm.code;
            out << id << "\tnicowari\t" << clips.code << '\t' << to_utf8(message_text(clips.code));
            for (const auto& path : clips.paths)
                out << '\t' << to_utf8(path);
            out << '\n';
            if (rc == -1 || (bgm.state == BgmState::kOk && clips.saved == 0 && clips.code != msg::kNicowariSavedBefore))
                ++failed;
            if (rc == -2) return false;
        }
        return true;
    };

    const int parallel = std::clamp(settings.number(OptNumber::kParallelDownloads), 1, 16);
    if (parallel == 1 || ids.size() == 1) {
        for (const auto& id : ids) {
            VideoTask task = task_of(id);
            const int go_on =
                download_video(task.info, dir, task.save_name, options, owed, clock, &store, report, task.result);
            if (!finish_row(task, go_on != 0)) break;
        }
        return failed ? kExitFailures : kExitOk;
    }
    // Several at once ("動画を同時にDLする本数："): every row's information first, then the videos on the
    // sub-workers of one download job, then the rows' other steps in their order.
    std::vector<VideoTask> tasks;
    for (const auto& id : ids)
        tasks.push_back(task_of(id));
    CJobFrame frame;
    CWorkData data;
    data.kind = JobKind::kDownload;
    data.frame = &frame;
    data.stop_job = &frame.stop_job_flag();
    data.stop_pass = &frame.stop_pass_flag();
    data.stop_download = &frame.stop_download_flag();
    CWorkThread job(data);
    download_videos_parallel(job, tasks, parallel, options, owed, clock, &store,
                             [&](CWorkThread&, const VideoTask&) -> std::unique_ptr<NetReport> {
                                 return std::make_unique<TerminalNetReport>(err, settings.on(OptSwitch::kDebugMode));
                             });
    for (VideoTask& task : tasks)
        if (!finish_row(task, !task.result.stopped)) break;
    return failed ? kExitFailures : kExitOk;
}

} // namespace quippet::cli
