#pragma once

#include <string>
#include <string_view>

#include "comments/ChatWriter.h"
#include "download/CommentJoin.h"
#include "download/DownloadTabKeys.h"
#include "net/CookieStore.h"
#include "net/MovieInfo.h"

namespace quippet {

class CSettings;
class NetReport;

/// What the comment step reads from a settings snapshot (the download tab and the detailed settings).
struct CommentOptions {
    bool past_logs = false;
    bool start_point = false; ///< "｢過去ログも取得｣の起点"
    int start_days = 0;
    int start_hours = 0;
    bool limit_on = false; ///< "｢過去ログも取得｣の上限"
    int limit = 1000000;
    CommentMode mode = CommentMode::kByCount;
    bool past_moment = false; ///< "昔"
    long long moment = -1;    ///< seconds since 1970
    int per_request = 1000;
    int interval_ms = 1000;
    int retry_wait_s = 5;
    int retry_count = 3; ///< tries in all
    // Skip rules of the comment-file page.
    bool skip_unchanged = false;
    int skip_increase_below = 1;
    bool skip_by_conditions = false;
    bool cond_last_number = false;
    int last_number_at_least = 1000;
    bool cond_latest_count = false;
    int latest_count_at_most = 1000;
    bool cond_increase = false;
    int increase_at_most = 0;
    bool fuzzy_saved_match = false;
    /// A whole item is skipped (211) when its listed comment count is below this (update checks; -1 off),
    /// optionally only when a saved comment file exists.
    long long minimum_listed_count = -1;
    bool minimum_only_with_saved = false;
    bool add_player_data = false; ///< "BoonSutazioData"
    std::u16string owner_template = u"%TITLE%(%ID%)[Owner]";
    std::u16string video_extensions = u"mp4|avi|wmv|mkv|flv|swf";
    bool want_https = true;
    std::u16string getflv_url;
    std::u16string threadkey_url;
    std::u16string waybackkey_url;
    std::u16string request_headers;
    ChatWriterOptions writer;
    InfoOptions info;
    LoginSettings login;
    CNetOptions net;
};
CommentOptions comment_options_from(const CSettings& settings, int cookie_entry = 0);

/// Seconds since 1970 of a posted date as the information carries it ("2007/03/06 00:33:00", the service's
/// time, nine hours ahead of UTC); -1 when it is no such date.
long long posted_seconds(std::u16string_view posted);

/// GetThreadKey: 0 with the key (and force_184, empty when the answer has none), or -1 with a code.
int get_thread_key(std::u16string_view thread, const CommentOptions& options, CNetCookieSource* cookies,
                   std::u16string& threadkey, std::u16string& force_184, int& code);
/// GetWaybackKey: 0 with the key, or -1 with a code (74 when the answer lacks it).
int get_wayback_key(std::u16string_view thread, const CommentOptions& options, CNetCookieSource* cookies,
                    std::u16string& waybackkey, int& code);

/// The skip rules against a saved file whose last comment number is `saved_last`, with the current comment
/// count `current` (-1 while unknown). A code (193, 194, 212, 213, 214) or 0.
int comment_skip_code(const CommentOptions& options, long long saved_last, long long current);

/// A saved comment file of the item in `folder`: the save name + ".xml", or with the fuzzy match any comment
/// file whose name begins with the save name or holds the ID. Empty when there is none.
std::u16string find_saved_comment_file(std::u16string_view folder, std::u16string_view save_name,
                                       std::u16string_view id, const CommentOptions& options);

/// What the comment step of one item did: the item's three codes (a getflv network failure sets all of
/// them) and where the file went.
struct CommentResult {
    int code = 0;
    int video_code = 0;
    int secondary_code = 0;
    bool saved = false;
    bool skipped = false; ///< a skip rule decided; counts as success
    bool stopped = false;
    long long written = 0; ///< comments in the saved file
    std::u16string path;
};

/// GetFlv for the comment step: getflv, and after 160 with login details an automatic login and getflv
/// again; the threadkey when the thread needs one. `request` receives the thread, the user and the keys.
/// 0, -1 with the result's codes, -2 stopped.
int prepare_comment_thread(CWorkMovieInfo& info, std::u16string_view folder, std::u16string_view save_name,
                           const CommentOptions& options, CookieStore* cookies, NetReport& report,
                           CommentResult& result, ThreadRequest& request);

/// FetchComments: the whole comment step of one item, saved as folder + "/" + save name + ".xml". 1 saved
/// or skipped, -1 failed (codes set), -2 stopped.
int fetch_comments(CWorkMovieInfo& info, std::u16string_view folder, std::u16string_view save_name,
                   const CommentOptions& options, CookieStore* cookies, NetReport& report, CommentResult& result);

/// FetchOwnerComments: the uploader's comments as folder + "/" + name (by the uploader-comment template) +
/// ".xml". 1 saved, 0 none exist (78), -1 failed (code set), -2 stopped. getflv runs first unless the
/// information already names the comment server.
int fetch_owner_comments(CWorkMovieInfo& info, std::u16string_view folder, const CommentOptions& options,
                         CookieStore* cookies, NetReport& report, CommentResult& result);

} // namespace quippet
