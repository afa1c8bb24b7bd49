#include "cli/Commands.h"

#include "cli/BookmarksCommand.h"
#include "cli/CommentsCommand.h"
#include "cli/DownloadCommand.h"
#include "cli/FetchCommand.h"
#include "cli/FilesCommand.h"
#include "cli/LiveLogCommand.h"
#include "cli/WarehouseCommand.h"
#include "cli/NetCommands.h"
#include "cli/PlayCommand.h"
#include "cli/PresetCommand.h"
#include "cli/RebuildCommand.h"
#include "cli/RegisterCommand.h"
#include "cli/ScanCommand.h"
#include "cli/SettingsCommand.h"
#include "cli/SplitCutCommands.h"
#include "cli/VideoCommand.h"

namespace quippet::cli {

std::span<const Command> commands() {
    static const std::vector<Command> table = {
        {"scan", "read comment files and report their size, comment count and ranges", run_scan_command},
        {"settings", "list, get or set settings (settings list | get SECTION/KEY | set SECTION/KEY VALUE)",
         run_settings_command},
        {"split", "split comment files into parts of N comments (split (--size N | --auto) [--remainder] FILE...)",
         run_split_command},
        {"cut", "cut out the comments numbered N to M (cut --from N --to M FILE...)", run_cut_command},
        {"rebuild", "reconstruct comment files ([--preset NAME] [--set SECTION/KEY=VALUE]... [--out-dir DIR] FILE...)",
         run_rebuild_command},
        {"preset", "reconstruction presets (preset list | save NAME | load NAME | show NAME)", run_preset_command},
        {"files", "settings text files (files list | init [NAME...])", run_files_command},
        {"livelog", "convert a live-thread log ([--preset NAME] [--set K=V]... [--source FILE] [--out-dir DIR])",
         run_livelog_command},
        {"warehouse", "search a board's past-log warehouse (--board NAME --at \"YYYY-MM-DD HH:MM\" [--send ENTRY])",
         run_warehouse_command},
        {"livelog-preset", "live-log presets (livelog-preset list | show NAME | save NAME)",
         run_livelog_preset_command},
        {"fetch", "one request through the HTTP client (fetch [--out FILE] [--service] URL)", run_fetch_command},
        {"login",
         "log in to the service and print who is logged in (login [--set K=V]... [--entry N] [--cookie VALUE])",
         run_login_command},
        {"info", "video information as key<TAB>value lines (info [--set K=V]... [--entry N] [--write DIR] ID...)",
         run_info_command},
        {"video", "save video files as the download job does (video [--set K=V]... [--out-dir DIR] ID...)",
         run_video_command},
        {"comments",
         "save comment files as the download job does (comments [--set K=V]... [--past-logs] [--owner-comments] "
         "[--folder DIR] ID...)",
         run_comments_command},
        {"register",
         "fill a download list from IDs, addresses, list files and words (register [--set K=V]... [--save FILE] "
         "[--form FORM] INPUT...)",
         run_register_command},
        {"search", "register the videos of search pages (search [--method LABEL] [--start-page N] [--pages N] WORDS)",
         run_search_command},
        {"play", "play a video in the chosen player (play [--player NAME | --mode N | --default] [--dry-run] VIDEO)",
         run_play_command},
        {"ass", "comment file as ASS subtitles (ass [--out FILE] COMMENTS)", run_ass_command},
        {"serial", "register sm<N> … sm<M> (serial --from N --to M [--folder DIR] [--save FILE])", run_serial_command},
        {"download",
         "register inputs and download them as the download tab does (download [--folder DIR] [--video] "
         "[--thumbnail] [--nicowari] [--info] [--comments] [--past-logs] [--owner-comments] INPUT...)",
         run_download_command},
        {"chain", "the chain download from a video ID (chain [the options of download] ID)", run_chain_command},
        {"bookmarks", "the bookmark tree (bookmarks list | check [--folder DIR] [--save FILE])", run_bookmarks_command},
    };
    return table;
}

} // namespace quippet::cli
