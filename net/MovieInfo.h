#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "net/InfoRules.h"
#include "net/NetOptions.h"

namespace quippet {

class CSettings;
class CNetCookieSource;
class NetReport;

/// What the information request of a video found out.
enum class InfoStatus : int {
    kUnknown = 0,
    kNetworkFailure = 1,
    kOk = 2,
    kDeleted = 3, ///< deleted, but its information is kept
    kNotFound = 4,
    kCommunity = 5,
    kOtherError = 6,
    kUnexpectedFormat = 7,
    kNotInMobileApi = 8,
};

/// Everything learnt about one video, from up to four sources. A field once filled is never overwritten
/// by a later source: the fill_* helpers are the only way the sources write.
class CWorkMovieInfo {
public:
    virtual ~CWorkMovieInfo() = default;

    // identity
    std::u16string id;        ///< as listed
    std::u16string source_id; ///< as the service reports it
    std::u16string name;      ///< [name] of an existing information file
    std::u16string source_name;
    // threads
    std::u16string thread_id;
    std::u16string default_thread_id;
    std::u16string channel_thread_id;
    bool needs_key = false;
    std::u16string message_server;
    std::u16string user_id;
    std::u16string nickname;
    int premium = -1;
    std::u16string ng_up;
    // text
    std::u16string title;
    std::u16string posted;
    std::u16string description_short;
    std::u16string description;
    std::vector<std::u16string> tags;
    std::vector<std::u16string> replace_words;
    std::vector<std::u16string> unknown_sections; ///< lines of sections this program does not know
    // numbers (-1 unknown)
    long long views = -1;
    long long comments = -1;
    long long channel_comments = -1;
    long long mylists = -1;
    int length_seconds = -1;
    long long size_high = -1;
    long long size_low = -1;
    // the video file
    std::u16string movie_type;
    std::u16string thumbnail_url;
    std::u16string old_server_url;
    bool economy = false;
    // status
    InfoStatus status = InfoStatus::kUnknown;
    int not_logged_in = -1; ///< seen on the watch page: 1 not logged in, 0 logged in
    std::u16string owner_id;
    std::u16string owner_nickname;
    // the delivery session
    std::vector<std::u16string> video_qualities; ///< what the session offers now
    std::vector<std::u16string> audio_qualities;
    std::vector<std::u16string> site_video_qualities; ///< what the page says the video has
    std::vector<std::u16string> site_audio_qualities;
    std::u16string player_id, signature, token, service_user_id, recipe_id;
    std::u16string content_id = u"\"out1\"";
    std::u16string content_key_timeout = u"600000";
    std::u16string heartbeat_lifetime = u"120000";
    std::u16string priority = u"0.8";
    std::u16string transfer_preset = u"\"\"";
    std::u16string auth_type = u"\"ht2\"";
    std::u16string session_url;
    int well_known_port = 1;
    int ssl = 1;

    /// Fillers that keep what an earlier source put there.
    static void fill(std::u16string& field, std::u16string_view value);
    static void fill(long long& field, long long value);
    static void fill(int& field, int value);
    void add_tag(std::u16string_view tag);
};

/// A posted date as the information file and the list carry it, "2007/03/06 00:33:00", from the forms the
/// service uses (ISO 8601 with an offset, "2007/03/06 00:33:00", or seconds since 1970). Empty when the
/// text is none of them.
std::u16string normalize_posted_date(std::u16string_view text);
/// A length "m:ss", "h:mm:ss" or a plain number of seconds; -1 when it is none of them.
int length_to_seconds(std::u16string_view text);

/// The options of the information steps, from a settings snapshot.
struct InfoOptions {
    std::u16string thumbinfo_url;
    std::u16string mobile_url;
    std::u16string watch_url;
    std::u16string request_headers;
    bool foreign_tags = false;
    bool referer_retry = false;
    std::u16string referer_markers; ///< "|"-separated texts of the page
    std::u16string referers;        ///< "|"-separated referers, by the markers' positions
    bool append_length = false;     ///< "再生時間付加"
    std::u16string length_open = u"【";
    std::u16string length_close = u"】";
    int length_width = 2;
    std::u16string name_template = u"%TITLE%(%ID%)";
    bool cache_sections = false;
    bool keep_old_description = false;
    CNetOptions net;
    InfoRules rules;
};
InfoOptions info_options_from(const CSettings& settings);

/// FetchApiInfo: the thumbnail-info API (prefix empty) or the mobile API (prefix "V"). 0, -2 (the service
/// reported an error: see the status) or -1 with a result code in `code` (the code is also set for 0 when
/// the answer lacked something).
int fetch_api_info(CWorkMovieInfo& info, std::u16string_view prefix, const InfoOptions& options,
                   CNetCookieSource* cookies, NetReport& report, int& code);
/// The same over an answer already in memory (fuzzing, tests).
int read_api_answer(CWorkMovieInfo& info, std::u16string_view prefix, std::u16string_view answer,
                    const InfoOptions& options, int& code);

/// FetchWatchPage: mode 3 only fetches (a login check). 0, or -1 with a code.
int fetch_watch_page(CWorkMovieInfo& info, int mode, std::u16string_view referer, bool flash_cookie,
                     const InfoOptions& options, CNetCookieSource* cookies, NetReport& report, int& code);
/// The page's part of it, over a page in memory.
int read_watch_page(CWorkMovieInfo& info, std::u16string_view page, const InfoOptions& options, int& code);
/// The "data-api-data" JSON, key by key.
void read_watch_json(CWorkMovieInfo& info, std::u16string_view json);

/// The label of a video without a title, by its status.
std::u16string status_label(const CWorkMovieInfo& info);

/// Kinds of save name.
enum class SaveNameKind : int { kFile = 0, kInfoFile = 1 };
/// SaveName: the title (or the status label), the length in its brackets when asked, through the template.
std::u16string save_name(const CWorkMovieInfo& info, SaveNameKind kind, const InfoOptions& options, bool with_length);

/// WriteInfoFile: the save name + ".txt" in `folder`, merged with an existing file. 0, 1 when there was
/// nothing to write, -1 with a file error code in `code`.
int write_info_file(CWorkMovieInfo& info, std::u16string_view folder, std::u16string_view save_name,
                    const InfoOptions& options, int& code);

/// getflv's "key=value&…" answer, URL-decoded; at most 512 pairs are read.
std::vector<std::pair<std::string, std::string>> parse_flv_pairs(std::string_view answer);
/// ParseGetflv: the keys of a getflv answer into the information. Returns the value of "closed" (-1 when
/// missing); `error` receives the "error" value; false when a required key is missing.
bool parse_getflv(CWorkMovieInfo& info, std::string_view answer, int& closed, std::string& error);

/// GetFlv: 0 ok; -1 failure (code set); -2 login needed.
int get_flv(CWorkMovieInfo& info, bool want_https, const std::u16string& getflv_url,
            const std::u16string& request_headers, bool have_login, const CNetOptions& net, CNetCookieSource* cookies,
            NetReport& report, int& code);

} // namespace quippet
