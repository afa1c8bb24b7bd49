#pragma once

#include <chrono>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "net/MovieInfo.h"
#include "net/NetOptions.h"

namespace quippet {

class CSettings;
class CNetCookieSource;
class NetReport;

/// Items of the "画質" drop-down, by their position.
enum class VideoQuality : int {
    kDefault = 0,   ///< "（画質）"
    kOldServer = 1, ///< "旧サーバを使う"
    k1080 = 2,
    k720 = 3,
    k540 = 4,
    k360 = 5,
    k360Low = 6, ///< "360p/600＆低音質"
};

/// "同名でサイズ違いのファイルがすでに保存されている場合の挙動".
enum class OtherSizeRule : int { kSkip = 0, kRenameExisting = 1, kSaveAside = 2 };

/// What the video step reads from a settings snapshot.
struct VideoOptions {
    int quality = 0;
    bool quality_bypass = false;
    bool best_only = false;
    bool skip_low_quality = false;
    long long free_space_mb = 500;
    bool resume = true;
    int retry_wait_s = 10;
    int retry_count = 3;
    int write_chunk_mb = 1;
    int buffer_kb = 64;
    bool force = false;
    std::u16string video_extensions = u"mp4|avi|wmv|mkv|flv|swf";
    bool skip_economy = false;
    bool economy_suffix_on = false;
    std::u16string economy_suffix = u"【エコノミー】";
    bool skip_economy_if_high = false;
    bool fail_without_high = false;
    int other_size_rule = 0;
    std::u16string request_headers;
    std::u16string getflv_url;
    CNetOptions net;
    InfoOptions info;
};
VideoOptions video_options_from(const CSettings& settings);

/// A clock the heartbeat schedule reads; tests drive it instead of waiting.
class VideoClock {
public:
    virtual ~VideoClock() = default;
    virtual long long now_ms() const {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }
};

/// Bytes still to be written by every running video download, so that a free-space check of one also
/// counts what the others will still need. Shared by the downloads of one job.
class OwedBytes {
public:
    void set(const void* download, long long bytes);
    void remove(const void* download);
    long long others(const void* download) const;

private:
    mutable std::mutex mutex_;
    std::map<const void*, long long> owed_;
};

/// The quality the session asks for.
struct QualityChoice {
    std::u16string video; ///< ids as the information lists them (without quotes)
    std::u16string audio;
    bool best = true;     ///< the best listed video and audio were chosen
    std::u16string label; ///< shown in the progress
};
/// The best video and audio within the limits of the drop-down. False when a list is empty.
bool choose_quality(const std::vector<std::u16string>& videos, const std::vector<std::u16string>& audios, int quality,
                    bool bypass, QualityChoice& out);

/// The low-quality mode: the best the page lists within the drop-down's limits against what the session
/// offers now. 0 when the session has it; else 246 (the video) or 247 (the audio), `missing` the id.
int low_quality_check(const std::vector<std::u16string>& site_videos, const std::vector<std::u16string>& site_audios,
                      const QualityChoice& offered, int quality, bool bypass, std::u16string& missing);

/// A delivery session and its heartbeat schedule.
struct DeliverySession {
    std::u16string session_url;
    std::u16string id;
    std::u16string heartbeat_url;
    std::string session_json;
    std::u16string content_uri;
    long long start_ms = 0;
    int lifetime_ms = 120000;
    int sent = 0;
    bool active = false;
};

/// The session request's body, one line of JSON in the order the delivery server has always been sent.
std::string session_request_body(const CWorkMovieInfo& info, const QualityChoice& quality);
/// The session object, heartbeat URL and content URI of an answer. False when one of them is missing.
bool read_session_answer(std::string_view answer, std::u16string_view session_url, DeliverySession& out);
/// CreateSession: 0, or -1 with a code.
int create_session(const CWorkMovieInfo& info, const QualityChoice& quality, const VideoOptions& options,
                   const VideoClock& clock, DeliverySession& out, NetReport& report, int& code);
/// Heartbeat: sends the heartbeats that are due by the clock. The number sent by this call.
int heartbeat(DeliverySession& session, const VideoOptions& options, const VideoClock& clock, NetReport& report);

/// Everything one video's transfer attempts share.
struct VideoTransfer {
    std::u16string url;
    long long expected = -1;
    std::u16string final_path;
    std::u16string work_path;
    bool resuming = false;
    bool resume_allowed = true;
    long long resume_size = 0;
    std::u16string resume_from;
    int attempts = 0;
    bool extended_retries = true;
    std::u16string label;
    DeliverySession* session = nullptr;
    OwedBytes* owed = nullptr;
    const VideoClock* clock = nullptr;
    int code = 0;
    int last_status = 0;
};

/// TransferOnce: 1 done, 0 skipped, -1 failed, -2 cancelled, -3 resume next, -4 retry.
int transfer_once(VideoTransfer& t, const VideoOptions& options, NetReport& report);
/// The attempts of TransferOnce with the renames between them and the final check. 1 saved, -1 failed
/// (code set), -2 cancelled.
int transfer_video(VideoTransfer& t, const VideoOptions& options, NetReport& report);

/// Names of the partial files.
std::u16string partial_name(std::u16string_view final_path, bool stopped, long long size, long long expected);

/// The file extension of the movie type (".mp4", ".flv", ".swf"; ".UnknownMovie", logged, for any other).
std::u16string video_extension(const CWorkMovieInfo& info, NetReport& report);

/// What the video step of one row did.
struct VideoResult {
    int code = 0;
    bool saved = false;
    bool skipped = false;
    bool stopped = false;
    std::u16string path;
    std::u16string quality_label; ///< the quality the delivery server lacked, with 246 and 247
    bool old_server = false;      ///< the file came from the older server
};

/// DownloadVideo: the whole video step of a row into `folder` under `save_name`. 1 when the row may go
/// on, 0 after a stop.
int download_video(CWorkMovieInfo& info, std::u16string_view folder, std::u16string_view save_name,
                   const VideoOptions& options, OwedBytes& owed, const VideoClock& clock, CNetCookieSource* cookies,
                   NetReport& report, VideoResult& result);

} // namespace quippet
