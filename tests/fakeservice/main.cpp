// The replacement of the video service that the network tests, the benchmark and the demo talk to: a real
// HTTP/1.1 server on 127.0.0.1 (plain, TLS with a certificate made at start, and TLS with a certificate
// nobody trusts), answering the service's requests from a generated catalogue, with faults that the tests
// switch on per path and counters they read back, all through /__control/ on the same sockets.
//
//   quippet_fakeservice --port 0 --state-dir DIR [--max-seconds N]
//
// prints "PORT", "https PORT" and "untrusted PORT" lines, writes DIR/ca.pem (the certificate to trust) and
// serves until SIGTERM, /__control/shutdown or the lifetime ends.
#include <httplib.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <deque>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <netinet/in.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include "Catalogue.h"
#include "Cert.h"

namespace fakeservice {
namespace {

// --- stopping -----------------------------------------------------------------------------------------

std::mutex g_stop_mutex;
std::condition_variable g_stop_cv;
std::atomic<bool> g_stopping{false};

void request_stop() {
    g_stopping = true;
    g_stop_cv.notify_all();
}

/// Sleeps, but never past the service's own end.
void pause_ms(long long ms) {
    std::unique_lock lock(g_stop_mutex);
    g_stop_cv.wait_for(lock, std::chrono::milliseconds(ms), [] { return g_stopping.load(); });
}

// --- faults and counters -------------------------------------------------------------------------------

enum class FaultKind {
    kStall,
    kStallBody,
    kReset,
    kTruncate,
    kStatus,
    kPartial,
    kNotModified,
    kSlow,
    kWrongLength,
    kEmptyPastLog,
    kGarbage
};

struct Fault {
    FaultKind kind;
    long long param = 0; // ms, bytes or a status, by kind
    int count = 1;       // requests it still applies to
};

std::optional<FaultKind> fault_kind(const std::string& name) {
    static const std::map<std::string, FaultKind> kinds = {{"stall", FaultKind::kStall},
                                                           {"stall-body", FaultKind::kStallBody},
                                                           {"reset", FaultKind::kReset},
                                                           {"truncate", FaultKind::kTruncate},
                                                           {"status", FaultKind::kStatus},
                                                           {"partial", FaultKind::kPartial},
                                                           {"not-modified", FaultKind::kNotModified},
                                                           {"slow", FaultKind::kSlow},
                                                           {"wrong-length", FaultKind::kWrongLength},
                                                           {"empty-pastlog", FaultKind::kEmptyPastLog},
                                                           {"garbage", FaultKind::kGarbage}};
    const auto it = kinds.find(name);
    if (it == kinds.end()) return std::nullopt;
    return it->second;
}

class State {
public:
    void add_fault(const std::string& path, Fault fault) {
        std::lock_guard lock(mutex_);
        faults_[path].push_back(fault);
    }
    /// The fault for this request, if one is armed for its path (exact, or a prefix given with "*").
    std::optional<Fault> take_fault(const std::string& path) {
        std::lock_guard lock(mutex_);
        for (auto& [key, list] : faults_) {
            const bool match = key.ends_with("*") ? path.starts_with(key.substr(0, key.size() - 1)) : key == path;
            if (!match || list.empty()) continue;
            Fault f = list.front();
            if (--list.front().count <= 0) list.pop_front();
            return f;
        }
        return std::nullopt;
    }
    void count(const std::string& name, long long by = 1) {
        std::lock_guard lock(mutex_);
        counters_[name] += by;
    }
    std::string counters_text() {
        std::lock_guard lock(mutex_);
        std::string out;
        for (const auto& [name, value] : counters_)
            out += name + "\t" + std::to_string(value) + "\n";
        return out;
    }
    long long counter(const std::string& name) {
        std::lock_guard lock(mutex_);
        const auto it = counters_.find(name);
        return it == counters_.end() ? 0 : it->second;
    }
    void reset() {
        std::lock_guard lock(mutex_);
        faults_.clear();
        counters_.clear();
        sessions_.clear();
    }
    std::string new_session(const std::string& video_id) {
        std::lock_guard lock(mutex_);
        const std::string id = "sess-" + video_id + "-" + std::to_string(++session_serial_);
        sessions_[id] = video_id;
        return id;
    }
    std::optional<std::string> session_video(const std::string& id) {
        std::lock_guard lock(mutex_);
        const auto it = sessions_.find(id);
        if (it == sessions_.end()) return std::nullopt;
        return it->second;
    }

private:
    std::mutex mutex_;
    std::map<std::string, std::deque<Fault>> faults_;
    std::map<std::string, long long> counters_;
    std::map<std::string, std::string> sessions_;
    long long session_serial_ = 0;
};

State g_state;

// --- replies -------------------------------------------------------------------------------------------

/// What a route answers, before faults and ranges are applied.
struct Reply {
    int status = 200;
    std::string type = "text/plain; charset=utf-8";
    std::string body;
    std::vector<std::pair<std::string, std::string>> headers;
    long long generated_size = -1; // >= 0: the body is `generate`d, not `body`
    std::function<void(long long, char*, size_t)> generate;
    bool ranges = false; // "Range: bytes=" honoured
};

Reply text_reply(int status, std::string body, std::string type = "text/plain; charset=utf-8") {
    Reply r;
    r.status = status;
    r.body = std::move(body);
    r.type = std::move(type);
    return r;
}

std::string origin(const httplib::Request& req, bool tls) {
    return std::string(tls ? "https://" : "http://") + req.get_header_value("Host");
}

std::string url_encode(std::string_view text) {
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : text) {
        if (std::isalnum(c) || c == '-' || c == '_' || c == '.' || c == '~') {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

/// The "user_session" cookie of the one account, as the login hands it out.
constexpr const char* kSessionCookie = "user_session_12345_0123456789abcdef0123456789abcdef";
constexpr const char* kMail = "quippet@example.invalid";
constexpr const char* kPassword = "vellichor";

bool logged_in(const httplib::Request& req) {
    return req.get_header_value("Cookie").find(std::string("user_session=") + kSessionCookie) != std::string::npos;
}

std::string attribute(std::string_view text, std::string_view name) {
    const std::string key = " " + std::string(name) + "=\"";
    const size_t at = text.find(key);
    if (at == std::string_view::npos) return {};
    const size_t from = at + key.size();
    const size_t end = text.find('"', from);
    return end == std::string_view::npos ? std::string() : std::string(text.substr(from, end - from));
}

long long number_or(const std::string& text, long long fallback) {
    if (text.empty() || text.size() > 18) return fallback;
    char* end = nullptr;
    const long long n = std::strtoll(text.c_str(), &end, 10);
    return end && *end == '\0' ? n : fallback;
}

std::string length_text(int seconds) {
    return std::to_string(seconds / 60) + ":" + (seconds % 60 < 10 ? "0" : "") + std::to_string(seconds % 60);
}

std::string iso_date(long long t) {
    const std::time_t jst = static_cast<std::time_t>(t + 9 * 3600);
    std::tm tm{};
    gmtime_r(&jst, &tm);
    char buf[40];
    std::strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%S+09:00", &tm);
    return buf;
}

// --- the service's answers -----------------------------------------------------------------------------

Reply thumbinfo(const std::string& id, const std::string& root) {
    Video v;
    const std::string head = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    auto fail = [&](const char* code, const char* text) {
        return text_reply(200,
                          head + "<nicovideo_thumb_response status=\"fail\">\n<error>\n<code>" + code +
                              "</code>\n<description>" + text +
                              "</description>\n</error>\n"
                              "</nicovideo_thumb_response>",
                          "text/xml; charset=utf-8");
    };
    if (!find_video(id, v) || v.kind == Kind::kNotFound) return fail("NOT_FOUND", "not found or invalid");
    if (v.kind == Kind::kDeleted) return fail("DELETED", "deleted");
    if (v.kind == Kind::kCommunity) return fail("COMMUNITY", "community");
    std::string x = head + "<nicovideo_thumb_response status=\"ok\">\n<thumb>\n";
    x += "<video_id>" + v.id + "</video_id>\n<title>" + xml_escape(v.title) + "</title>\n";
    x += "<description>" + xml_escape("説明文 " + v.id + " sm" + std::to_string(v.number + 1)) + "</description>\n";
    x += "<thumbnail_url>" + root + "/thumb/" + std::to_string(v.number) + "</thumbnail_url>\n";
    x += "<first_retrieve>" + iso_date(v.posted) + "</first_retrieve>\n<length>" + length_text(v.length_seconds) +
         "</length>\n<movie_type>" + v.movie_type + "</movie_type>\n<size_high>" + std::to_string(v.size) +
         "</size_high>\n<size_low>" + std::to_string(v.size / 2) + "</size_low>\n";
    x += "<view_counter>" + std::to_string(v.number * 31) + "</view_counter>\n<comment_num>" +
         std::to_string(v.comments) + "</comment_num>\n<mylist_counter>" + std::to_string(v.number * 3) +
         "</mylist_counter>\n<last_res_body>コメント</last_res_body>\n";
    x += "<watch_url>" + root + "/watch/" + v.id +
         "</watch_url>\n<thumb_type>video</thumb_type>\n"
         "<embeddable>1</embeddable>\n<no_live_play>0</no_live_play>\n";
    x += "<tags domain=\"jp\">\n<tag lock=\"1\">テスト</tag>\n<tag>タグ" + std::to_string(v.number % 7) +
         "</tag>\n</tags>\n<tags domain=\"tw\">\n<tag>foreign</tag>\n</tags>\n";
    x += "<user_id>" + std::to_string(100 + v.number) + "</user_id>\n<user_nickname>投稿者" + std::to_string(v.number) +
         "</user_nickname>\n</thumb>\n</nicovideo_thumb_response>";
    return text_reply(200, x, "text/xml; charset=utf-8");
}

Reply video_array(const std::string& id, const std::string& root) {
    Video v;
    const std::string head = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<nicovideo_video_response status=\"ok\">";
    if (!find_video(id, v) || v.kind == Kind::kNotFound)
        return text_reply(200, head + "<count>0</count></nicovideo_video_response>", "text/xml; charset=utf-8");
    std::string x = head + "<count>1</count><video_info><video><id>" + v.id + "</id><deleted>" +
                    (v.kind == Kind::kDeleted ? "1" : "0") + "</deleted><title>" + xml_escape(v.title) +
                    "</title><description>" + xml_escape("説明文 " + v.id) + "</description><length_in_seconds>" +
                    std::to_string(v.length_seconds) + "</length_in_seconds><size_low>" + std::to_string(v.size / 2) +
                    "</size_low><movie_type>" + v.movie_type + "</movie_type><thumbnail_url>" + root + "/thumb/" +
                    std::to_string(v.number) + "</thumbnail_url><first_retrieve>" + iso_date(v.posted) +
                    "</first_retrieve><default_thread>" + std::to_string(v.thread) + "</default_thread><view_counter>" +
                    std::to_string(v.number * 31) + "</view_counter><mylist_counter>" + std::to_string(v.number * 3) +
                    "</mylist_counter><option_flag_community>" + (v.kind == Kind::kCommunity ? "1" : "0") +
                    "</option_flag_community></video><thread><id>" + std::to_string(v.thread) + "</id><num_res>" +
                    std::to_string(v.comments) +
                    "</num_res></thread><tags><tag_info><tag>テスト</tag><area>jp</area>"
                    "</tag_info><tag_info><tag>foreign</tag><area>tw</area></tag_info></tags></video_info>"
                    "</nicovideo_video_response>";
    return text_reply(200, x, "text/xml; charset=utf-8");
}

std::string entity_json(std::string_view json) {
    return xml_escape(json);
}

Reply watch_page(const httplib::Request& req, const std::string& id, const std::string& root) {
    Video v;
    if (!find_video(id, v) || v.kind == Kind::kNotFound || v.kind == Kind::kDeleted)
        return text_reply(
            404, "<html><head><title>ニコニコ動画</title></head><body>お探しの動画は視聴できません</body></html>",
            "text/html; charset=utf-8");
    const bool session = v.kind != Kind::kOldServerOnly;
    const bool smile = v.kind != Kind::kSessionOnly;
    std::string json =
        "{\"video\":{\"id\":\"" + v.id + "\",\"title\":\"テスト動画 " + std::to_string(v.number) +
        "\",\"originalDescription\":\"説明文 \\\"" + v.id + "\\\"\",\"duration\":" + std::to_string(v.length_seconds) +
        ",\"postedDateTime\":\"" + iso_date(v.posted) + "\",\"viewCount\":" + std::to_string(v.number * 31) +
        ",\"mylistCount\":" + std::to_string(v.number * 3) + ",\"movieType\":\"" + v.movie_type +
        "\",\"smileInfo\":{\"url\":\"" + (smile ? root + "\\/smile?v=" + v.id : std::string()) + "\"},\"dmcInfo\":";
    if (session) {
        json += "{\"thread\":{\"thread_id\":" + std::to_string(v.thread) +
                "},\"quality\":{\"videos\":[{\"id\":\"archive_h264_1080p\"},{\"id\":\"archive_h264_720p\"},"
                "{\"id\":\"archive_h264_360p\"}],\"audios\":[{\"id\":\"archive_aac_192kbps\"},{\"id\":\"archive_aac_"
                "64kbps\"}]},"
                "\"session_api\":{\"recipe_id\":\"nicovideo-" +
                v.id + "\",\"player_id\":\"player-" + v.id +
                "\",\"videos\":[\"archive_h264_1080p\",\"archive_h264_720p\",\"archive_h264_360p\"],\"audios\":"
                "[\"archive_aac_192kbps\",\"archive_aac_64kbps\"],\"protocols\":[\"http\"],\"auth_types\":{\"http\":"
                "\"ht2\"},\"service_user_id\":\"12345\",\"token\":\"{\\\"service_id\\\":\\\"nicovideo\\\"}\","
                "\"signature\":\"sig" +
                std::to_string(v.number) +
                "\",\"content_id\":\"out1\",\"heartbeat_lifetime\":"
                "120000,\"content_key_timeout\":600000,\"priority\":0.8,\"transfer_presets\":[],\"urls\":[{\"url\":\"" +
                root + "\\/api\\/sessions\",\"is_well_known_port\":true,\"is_ssl\":" +
                (root.starts_with("https") ? "true" : "false") + "}]}}";
    } else {
        json += "null";
    }
    json += "},\"thread\":{\"ids\":{\"default\":\"" + std::to_string(v.thread) +
            "\"}},\"tags\":[{\"name\":\"テスト\"},"
            "{\"name\":\"タグ" +
            std::to_string(v.number % 7) + "\"}],\"owner\":{\"id\":" + std::to_string(100 + v.number) +
            ",\"nickname\":\"投稿者" + std::to_string(v.number) + " さん\"}}";
    const std::string login = logged_in(req) ? "<a href=\"" + root + "/secure/logout\">ログアウト</a>"
                                             : "<a href=\"" + root + "/login\">ログイン</a>";
    std::string html = "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>テスト動画 " +
                       std::to_string(v.number) + " - ニコニコ動画</title></head><body>" + login +
                       "<div id=\"js-initial-watch-data\" data-api-data=\"" + entity_json(json) +
                       "\" data-environment=\"{}\"></div></body></html>";
    return text_reply(200, html, "text/html; charset=utf-8");
}

Reply getflv(const httplib::Request& req, const std::string& id, const std::string& root) {
    Video v;
    if (!find_video(id, v) || v.kind == Kind::kNotFound) return text_reply(200, "error=invalid_thread&done=true");
    if (!logged_in(req)) return text_reply(200, "closed=1&done=true");
    if (v.kind == Kind::kDeleted) return text_reply(200, "error=invalid_v1&deleted=1&done=true");
    std::string a = "thread_id=" + std::to_string(v.thread) + "&l=" + std::to_string(v.length_seconds) +
                    "&url=" + url_encode(v.kind == Kind::kSessionOnly ? std::string() : root + "/smile?v=" + v.id) +
                    "&ms=" + url_encode(root + "/api/") + "&ms_sub=" + url_encode(root + "/api/") +
                    "&user_id=12345&is_premium=1&nickname=" + url_encode("テスト会員") +
                    "&time=" + std::to_string(v.posted + 86400) + "&done=true";
    if (v.kind == Kind::kNeedsKey) a += "&needs_key=1";
    if (v.kind == Kind::kOwnerComments) a += "&ng_up=" + url_encode("a=b&c=d");
    return text_reply(200, a);
}

/// The comment server: a single thread (res_from, when + waybackkey, fork) or a packet with thread_leaves.
Reply comments(const std::string& request, bool empty_pastlog) {
    const bool packet = request.find("<thread_leaves") != std::string::npos;
    const std::string thread_text = attribute(request, "thread");
    Video v;
    const std::string head = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><packet>";
    if (!find_video(thread_text, v) || v.kind == Kind::kNotFound)
        return text_reply(200, head + "<thread resultcode=\"1\" thread=\"" + xml_escape(thread_text) + "\"/></packet>",
                          "text/xml; charset=UTF-8");
    const bool fork = attribute(request, "fork") == "1";
    const long long when = number_or(attribute(request, "when"), -1);
    long long res_from = number_or(attribute(request, "res_from"), -1000);
    int resultcode = 0;
    if (v.kind == Kind::kNeedsKey && attribute(request, "threadkey") != "tk" + std::to_string(v.thread)) resultcode = 9;
    if (when >= 0 && attribute(request, "waybackkey") != "wbk" + std::to_string(v.thread)) resultcode = 11;

    long long last = v.comments; // highest number visible at `when`
    if (when >= 0) {
        last = when < v.posted ? 0 : std::min<long long>(v.comments, (when - v.posted) / 60);
    }
    long long first = 1;
    long long count = 0;
    if (fork) {
        last = v.kind == Kind::kOwnerComments ? 3 : 0;
    } else if (packet) {
        const long long per_minute = 100, minutes = v.length_seconds / 60 + 1;
        count =
            std::min<long long>(last, per_minute * minutes + (request.find(",1000") != std::string::npos ? 1000 : 0));
        first = last - count + 1;
    } else if (res_from < 0) {
        count = std::min<long long>(last, -res_from);
        first = last - count + 1;
    } else {
        first = std::max<long long>(1, res_from);
    }
    if (fork) first = 1;
    if (first < 1) first = 1;
    // One answer never holds more than 1000 comments, as the real server's answers never do.
    if (last - first + 1 > 1000) first = last - 999;
    if (resultcode != 0 || (empty_pastlog && when >= 0)) first = last + 1;

    std::string out = head + "<thread resultcode=\"" + std::to_string(resultcode) + "\" thread=\"" +
                      std::to_string(v.thread) + "\" last_res=\"" + std::to_string(fork ? last : v.comments) +
                      "\" ticket=\"0x" + std::to_string(v.number) + "\" revision=\"1\" server_time=\"" +
                      std::to_string(v.posted + 86400 * 30) + "\"/>";
    if (packet) out += "<leaf thread=\"" + std::to_string(v.thread) + "\" count=\"" + std::to_string(count) + "\"/>";
    for (long long no = first; no <= last; ++no)
        out += chat_element(v, no, fork);
    out += "</packet>";
    return text_reply(200, out, "text/xml; charset=UTF-8");
}

Reply getbgm(const std::string& id, const std::string& root) {
    Video v;
    const std::string head = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    if (!find_video(id, v) || v.kind == Kind::kNotFound)
        return text_reply(200, head + "<bgm_video status=\"fail\"><error><code>PARAMERROR</code></error></bgm_video>",
                          "text/xml");
    if (v.kind != Kind::kNicowari)
        return text_reply(200, head + "<bgm_video status=\"fail\"><error><code>NONEXIST</code></error></bgm_video>",
                          "text/xml");
    std::string x = head + "<bgm_video status=\"ok\">";
    for (int id2 : {90001, 90001, 90002}) {
        x += "<bgm><id>sm" + std::to_string(id2) + "</id><bgm_type>cm</bgm_type><url>" + root + "/smile?v=sm" +
             std::to_string(id2) + "</url><movie_type>swf</movie_type></bgm>";
    }
    x += "</bgm_video>";
    return text_reply(200, x, "text/xml");
}

Reply video_file(const Video& v) {
    Reply r;
    r.type = v.movie_type == "flv" ? "video/x-flv" : "video/mp4";
    r.generated_size = v.size;
    r.generate = [v](long long offset, char* out, size_t n) { video_bytes(v, offset, out, n); };
    r.ranges = true;
    return r;
}

Reply thumbnail(const std::string& name) {
    const bool large = name.ends_with(".L");
    Video v;
    if (!find_video(large ? name.substr(0, name.size() - 2) : name, v) || v.kind == Kind::kNotFound ||
        v.kind == Kind::kDeleted || (large && v.number % 2 == 1))
        return text_reply(404, "not found");
    Reply r;
    r.type = "image/jpeg";
    const long long size = 2000 + v.number * 13 + (large ? 5000 : 0);
    r.generated_size = size;
    r.generate = [size](long long offset, char* out, size_t n) {
        pattern_bytes(offset, out, n);
        static constexpr unsigned char kHead[] = {0xFF, 0xD8, 0xFF, 0xE0};
        for (size_t i = 0; i < n; ++i) {
            const long long at = offset + static_cast<long long>(i);
            if (at < 4) out[i] = static_cast<char>(kHead[at]);
            if (at == size - 2) out[i] = static_cast<char>(0xFF);
            if (at == size - 1) out[i] = static_cast<char>(0xD9);
        }
    };
    r.ranges = true;
    return r;
}

/// Search, tag, ranking and mylist pages (HTML, or RSS 2.0 with "rss=2.0"): 30 videos a page, 4 pages.
Reply list_page(const httplib::Request& req, const std::string& kind, const std::string& words,
                const std::string& root) {
    if (kind == "mylist" && words == "0")
        return text_reply(403, "<html><body><p class=\"att\">非公開です</p></body></html>", "text/html; charset=utf-8");
    long long page = number_or(req.get_param_value("page"), 1);
    if (page < 1) page = 1;
    const int seed = static_cast<int>(std::hash<std::string>{}(kind + words) % 1000);
    const bool rss = req.get_param_value("rss") == "2.0";
    std::string items;
    for (int i = 0; page <= 4 && i < 30; ++i) {
        const int number = 100 + seed * 200 + static_cast<int>(page - 1) * 30 + i;
        const std::string id = "sm" + std::to_string(number);
        if (rss) {
            items += "<item><title>テスト動画 " + std::to_string(number) + "</title><link>" + root + "/watch/" + id +
                     "</link><pubDate>Tue, 06 Mar 2007 00:33:00 +0900</pubDate></item>\n";
        } else {
            items += "<li class=\"item\" data-video-id=\"" + id + "\"><a href=\"/watch/" + id +
                     "\" title=\"テスト動画 " + std::to_string(number) + "\">テスト動画 " + std::to_string(number) +
                     "</a><span class=\"count comment\">" + std::to_string(number % 1000) + "</span></li>\n";
        }
    }
    if (rss)
        return text_reply(200,
                          "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<rss version=\"2.0\"><channel><title>" +
                              xml_escape(kind + " " + words) + "</title>\n" + items + "</channel></rss>",
                          "application/rss+xml; charset=utf-8");
    std::string html = "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>" + xml_escape(kind + " " + words) +
                       "</title></head><body><span class=\"searchTotal\">120</span><ul>\n" + items + "</ul>";
    if (page < 4) html += "<a href=\"?page=" + std::to_string(page + 1) + "\">次へ</a>";
    html += "</body></html>";
    return text_reply(200, html, "text/html; charset=utf-8");
}

/// 2ch board pages: the current thread list and the past-log warehouse (index and pages).
Reply board_page(const std::string& folder, const std::string& rest) {
    const long long base = 1'293'800'000; // keys around 2010-12-31
    if (rest == "subback.html") {
        std::string html =
            "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=UTF-8\"></head><body>";
        for (int i = 0; i < 10; ++i) {
            const long long key = base + 50'000 + i * 3600;
            html += "<a href=\"" + std::to_string(key) + "/l50\">" + std::to_string(i + 1) + ": 実況スレ" +
                    std::to_string(i) + " (" + std::to_string(100 + i * 90) + ")</a>\n";
        }
        return text_reply(200, html + "</body></html>", "text/html; charset=utf-8");
    }
    if (rest == "kako/" || rest == "kako/index.html") {
        std::string html =
            "<html><body><p class=\"menu_here\">" + std::to_string(base) + "-" + std::to_string(base + 39'999) + "</p>";
        for (int p = 0; p < 3; ++p) {
            const long long first = base - 40'000 + p * 40'000;
            html += "<p class=\"menu_link\"><a href=\"./kako" + std::to_string(p) + ".html\">kako" + std::to_string(p) +
                    ".html</a> " + std::to_string(first) + "-" + std::to_string(first + 39'999) + "</p>";
        }
        return text_reply(200, html + "</body></html>", "text/html; charset=utf-8");
    }
    if (rest.starts_with("kako/kako") && rest.ends_with(".html")) {
        const long long p = number_or(rest.substr(9, rest.size() - 14), -1);
        if (p < 0 || p > 2) return text_reply(404, "not found");
        std::string html = "<html><body><table>";
        for (int i = 0; i < 20; ++i) {
            const long long key = base - 40'000 + p * 40'000 + i * 2000;
            html += "<tr><td><span class=\"filename\">" + std::to_string(key) +
                    ".dat</span></td><td><a href=\"/test/read.cgi/" + folder + "/" + std::to_string(key) +
                    "/\">倉庫スレ" + std::to_string(key) + "</a></td><td><span class=\"lines\">" +
                    std::to_string(50 + i * 60) + "</span></td></tr>\n";
        }
        return text_reply(200, html + "</table></body></html>", "text/html; charset=utf-8");
    }
    return text_reply(404, "not found");
}

Reply create_session(const httplib::Request& req, const std::string& root) {
    const std::string recipe = [&] {
        const std::string key = "\"recipe_id\":\"";
        const size_t at = req.body.find(key);
        if (at == std::string::npos) return std::string();
        const size_t end = req.body.find('"', at + key.size());
        return end == std::string::npos ? std::string() : req.body.substr(at + key.size(), end - at - key.size());
    }();
    Video v;
    if (!recipe.starts_with("nicovideo-") || !find_video(recipe.substr(10), v) || v.kind == Kind::kOldServerOnly)
        return text_reply(400, "{\"meta\":{\"status\":400,\"message\":\"bad request\"}}", "application/json");
    const std::string id = g_state.new_session(v.id);
    g_state.count("sessions");
    const std::string session = "{\"id\":\"" + id + "\",\"recipe_id\":\"" + recipe + "\",\"content_uri\":\"" + root +
                                "/deliver/" + id +
                                "?ht2_nicovideo=1\",\"keep_method\":{\"heartbeat\":{\"lifetime\":120000}}}";
    return text_reply(201, "{\"meta\":{\"status\":201,\"message\":\"created\"},\"data\":{\"session\":" + session + "}}",
                      "application/json");
}

Reply route(const httplib::Request& req, bool tls) {
    const std::string root = origin(req, tls);
    const std::string& path = req.path;
    auto after = [&](std::string_view prefix) { return path.substr(prefix.size()); };

    if (path == "/secure/login" && req.method == "POST") {
        g_state.count("logins");
        const bool ok = req.get_param_value("mail") == kMail && req.get_param_value("password") == kPassword;
        Reply r = text_reply(302, "");
        r.headers.emplace_back("Location", ok ? root + "/" : root + "/login?message=cant_login");
        if (ok) r.headers.emplace_back("Set-Cookie", std::string("user_session=") + kSessionCookie + "; Path=/");
        return r;
    }
    if (path.starts_with("/api/getthumbinfo/")) return thumbinfo(after("/api/getthumbinfo/"), root);
    if (path == "/v3/video.array" || path == "/nicoapi/v1/video.array")
        return video_array(req.get_param_value("v"), root);
    if (path.starts_with("/watch/")) return watch_page(req, after("/watch/"), root);
    if (path.starts_with("/api/getflv/")) return getflv(req, after("/api/getflv/"), root);
    if (path == "/api/getthreadkey") {
        Video v;
        const std::string t = req.get_param_value("thread");
        if (!find_video(t, v)) return text_reply(200, "");
        return text_reply(200, v.kind == Kind::kNeedsKey ? "threadkey=tk" + std::to_string(v.thread) + "&force_184=1"
                                                         : std::string("threadkey=&force_184="));
    }
    if (path == "/api/getwaybackkey") {
        Video v;
        if (!logged_in(req) || !find_video(req.get_param_value("thread"), v)) return text_reply(200, "waybackkey=");
        return text_reply(200, "waybackkey=wbk" + std::to_string(v.thread));
    }
    if ((path == "/api/" || path == "/api") && req.method == "POST")
        return comments(req.body, req.has_header("X-Quippet-Empty-Pastlog"));
    if (path == "/api/getbgm") return getbgm(req.get_param_value("v"), root);
    if (path == "/api/sessions" && req.method == "POST") return create_session(req, root);
    if (path.starts_with("/api/sessions/") && req.method == "POST") {
        if (req.get_param_value("_method") != "PUT" || !g_state.session_video(after("/api/sessions/")))
            return text_reply(404, "{\"meta\":{\"status\":404}}", "application/json");
        g_state.count("heartbeats");
        return text_reply(200,
                          "{\"meta\":{\"status\":200,\"message\":\"ok\"},\"data\":{\"session\":{\"id\":\"" +
                              after("/api/sessions/") + "\"}}}",
                          "application/json");
    }
    if (path.starts_with("/deliver/")) {
        const auto video_id = g_state.session_video(after("/deliver/"));
        Video v;
        if (!video_id || !find_video(*video_id, v)) return text_reply(403, "forbidden");
        return video_file(v);
    }
    if (path == "/smile") {
        Video v;
        if (!find_video(req.get_param_value("v"), v) || v.kind == Kind::kSessionOnly || v.kind == Kind::kDeleted)
            return text_reply(404, "not found");
        if (req.get_header_value("Cookie").find("watch_flash=1") == std::string::npos)
            return text_reply(403, "forbidden");
        return video_file(v);
    }
    if (path.starts_with("/thumb/")) return thumbnail(after("/thumb/"));
    if (path.starts_with("/bytes/")) {
        const long long size = number_or(after("/bytes/"), -1);
        if (size < 0 || size > (64LL << 30)) return text_reply(400, "bad size");
        Reply r;
        r.type = "application/octet-stream";
        r.generated_size = size;
        r.generate = pattern_bytes;
        r.ranges = true;
        return r;
    }
    if (path.starts_with("/text/")) {
        // Pages in the encodings a fetched page may declare.
        const std::string name = after("/text/");
        if (name == "eucjp")
            return text_reply(200,
                              "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; "
                              "charset=euc-jp\"></head><body>\xC6\xFC\xCB\xDC</body></html>",
                              "text/html");
        if (name == "sjis")
            return text_reply(200, "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?><a>\x93\xfa\x96\x7b</a>", "text/xml");
        if (name == "utf8") return text_reply(200, "<?xml version=\"1.0\" encoding=\"utf-8\"?><a>日本</a>", "text/xml");
        return text_reply(404, "not found");
    }
    for (const char* kind : {"search", "tag", "ranking", "mylist", "user", "series"}) {
        const std::string prefix = std::string("/") + kind;
        if (path == prefix || path.starts_with(prefix + "/"))
            return list_page(req, kind, path.size() > prefix.size() ? path.substr(prefix.size() + 1) : "", root);
    }
    if (path == "/schedule/index.html")
        return text_reply(
            200, "<html><body><a href=\"/watch/sm9\">アニメ</a><a href=\"/watch/sm20\">アニメ</a></body></html>",
            "text/html; charset=utf-8");
    if (path == "/" || path.empty())
        return text_reply(200, "<html><body>QuippetVellichor replacement service</body></html>", "text/html");
    if (path == "/echo") {
        std::string out = req.method + " " + req.target + "\n";
        for (const auto& [name, value] : req.headers)
            out += name + ": " + value + "\n";
        out += "\n" + req.body;
        return text_reply(200, out);
    }
    // Board pages: /<folder>/subback.html, /<folder>/kako/…
    if (const size_t slash = path.find('/', 1); slash != std::string::npos && path.starts_with("/live"))
        return board_page(path.substr(1, slash - 1), path.substr(slash + 1));
    return text_reply(404, "not found");
}

// --- sending with faults -------------------------------------------------------------------------------

/// Resets the connection of the request's peer now: its socket is found among our descriptors, its linger
/// time set to 0 and the descriptor closed by putting a fresh, unconnected socket in its place, so that the
/// kernel sends RST (a plain close would follow the library's graceful FIN) and the library's own later
/// shutdown and close act on the stand-in.
void reset_connection(int remote_port) {
    for (int fd = 3; fd < 4096; ++fd) {
        sockaddr_in peer{};
        socklen_t len = sizeof peer;
        if (getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &len) != 0 || peer.sin_family != AF_INET) continue;
        if (ntohs(peer.sin_port) != remote_port) continue;
        linger l{1, 0};
        setsockopt(fd, SOL_SOCKET, SO_LINGER, &l, sizeof l);
        const int stand_in = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (stand_in >= 0) {
            dup2(stand_in, fd);
            ::close(stand_in);
        }
    }
}

/// Writes raw bytes in place of an HTTP answer and ends the connection.
void send_garbage(int remote_port) {
    for (int fd = 3; fd < 4096; ++fd) {
        sockaddr_in peer{};
        socklen_t len = sizeof peer;
        if (getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &len) != 0 || peer.sin_family != AF_INET) continue;
        if (ntohs(peer.sin_port) != remote_port) continue;
        static constexpr char kJunk[] = "SSH-2.0-not-http\r\nthis is no answer\r\n\r\n";
        (void)!::send(fd, kJunk, sizeof kJunk - 1, MSG_NOSIGNAL);
        ::shutdown(fd, SHUT_RDWR);
    }
}

/// "bytes=A-" or "bytes=A-B" within `size`; false when there is no usable range.
bool parse_range(const std::string& header, long long size, long long& from, long long& to) {
    if (!header.starts_with("bytes=")) return false;
    const std::string range = header.substr(6);
    const size_t dash = range.find('-');
    if (dash == std::string::npos || range.find(',') != std::string::npos) return false;
    from = number_or(range.substr(0, dash), -1);
    to = dash + 1 < range.size() ? number_or(range.substr(dash + 1), -1) : size - 1;
    if (from < 0 || to < from) return false;
    if (to >= size) to = size - 1;
    return from < size;
}

void send_reply(const httplib::Request& req, httplib::Response& res, Reply reply, const std::optional<Fault>& fault) {
    const std::string key = "requests " + req.path;
    g_state.count(key);
    if (fault && fault->kind == FaultKind::kStatus)
        reply = text_reply(static_cast<int>(fault->param),
                           "<html><body>error " + std::to_string(fault->param) + "</body></html>", "text/html");
    if (fault && fault->kind == FaultKind::kNotModified) reply = text_reply(304, "");

    // Every answer becomes a generated body, so that faults cut and pace them all alike.
    if (reply.generated_size < 0) {
        auto body = std::make_shared<std::string>(std::move(reply.body));
        reply.generated_size = static_cast<long long>(body->size());
        reply.generate = [body](long long offset, char* out, size_t n) { std::memcpy(out, body->data() + offset, n); };
    }
    long long from = 0, to = reply.generated_size - 1;
    bool partial = false;
    if (reply.ranges && req.has_header("Range")) {
        g_state.count("range_requests");
        if (parse_range(req.get_header_value("Range"), reply.generated_size, from, to)) {
            partial = true;
        } else if (reply.generated_size > 0) {
            res.status = 416;
            res.set_header("Content-Range", "bytes */" + std::to_string(reply.generated_size));
            return;
        }
    }
    if (fault && fault->kind == FaultKind::kPartial && reply.status == 200) partial = true;
    res.status = partial ? 206 : reply.status;
    for (const auto& [name, value] : reply.headers)
        res.set_header(name, value);
    if (partial)
        res.set_header("Content-Range", "bytes " + std::to_string(from) + "-" + std::to_string(to) + "/" +
                                            std::to_string(reply.generated_size));
    if (res.status == 304 || res.status == 204) return;
    if (reply.ranges) res.set_header("Accept-Ranges", "bytes");

    const long long length = to - from + 1;
    long long declared = length;
    long long cut = length;  // bytes actually sent
    long long stall_at = -1; // stall once this many were sent
    long long pace_ms = 0;   // wait per 16 KiB
    bool reset = false;
    if (fault) {
        const long long p = fault->param;
        switch (fault->kind) {
        case FaultKind::kTruncate:
            cut = p > 0 ? std::min(p, length) : length / 2;
            break;
        case FaultKind::kReset:
            cut = std::min(p, length);
            reset = true;
            break;
        case FaultKind::kWrongLength:
            declared = cut = p > 0 ? std::min(p, length) : length / 2;
            break;
        case FaultKind::kStallBody:
            stall_at = std::min(p, length);
            break;
        case FaultKind::kSlow:
            pace_ms = p > 0 ? p : 20;
            break;
        default:
            break;
        }
        if (fault->kind != FaultKind::kSlow && fault->kind != FaultKind::kStallBody)
            res.set_header("Connection", "close");
    }
    auto generate = reply.generate;
    const int remote_port = req.remote_port;
    res.set_content_provider(static_cast<size_t>(declared), reply.type,
                             [=](size_t offset, size_t, httplib::DataSink& sink) {
                                 const long long at = static_cast<long long>(offset);
                                 if (at >= cut) {
                                     if (reset) reset_connection(remote_port);
                                     return false; // ends the connection short of the announced length
                                 }
                                 if (stall_at >= 0 && at >= stall_at) pause_ms(5000);
                                 if (pace_ms > 0) pause_ms(pace_ms);
                                 long long n = std::min<long long>(256 * 1024, cut - at);
                                 if (stall_at > at) n = std::min(n, stall_at - at);
                                 if (pace_ms > 0) n = std::min<long long>(n, 16 * 1024);
                                 std::string piece(static_cast<size_t>(n), '\0');
                                 generate(from + at, piece.data(), piece.size());
                                 if (!sink.write(piece.data(), piece.size())) return false;
                                 g_state.count("bytes_served", n);
                                 return true;
                             });
}

// --- control -------------------------------------------------------------------------------------------

bool control(const httplib::Request& req, httplib::Response& res) {
    if (req.path == "/__control/ping") {
        res.set_content("pong", "text/plain");
    } else if (req.path == "/__control/reset") {
        g_state.reset();
        res.set_content("ok", "text/plain");
    } else if (req.path == "/__control/counters") {
        res.set_content(g_state.counters_text(), "text/plain");
    } else if (req.path == "/__control/counter") {
        res.set_content(std::to_string(g_state.counter(req.get_param_value("name"))), "text/plain");
    } else if (req.path == "/__control/fault") {
        const auto kind = fault_kind(req.get_param_value("kind"));
        const std::string path = req.get_param_value("path");
        if (!kind || path.empty()) {
            res.status = 400;
            res.set_content("kind and path needed", "text/plain");
            return true;
        }
        Fault f{*kind, number_or(req.get_param_value("param"), 0),
                static_cast<int>(std::clamp<long long>(number_or(req.get_param_value("count"), 1), 1, 1000))};
        g_state.add_fault(path, f);
        res.set_content("ok", "text/plain");
    } else if (req.path == "/__control/shutdown") {
        res.set_content("bye", "text/plain");
        request_stop();
    } else {
        return false;
    }
    return true;
}

void install(httplib::Server& server, bool tls) {
    server.new_task_queue = [] { return new httplib::ThreadPool(32); };
    server.set_keep_alive_max_count(1000);
    server.set_read_timeout(5, 0);
    server.set_write_timeout(5, 0);
    server.set_payload_max_length(16u << 20);
    // Routes, not the pre-routing hook: only routed requests have their body read.
    const auto handler = [tls](const httplib::Request& req, httplib::Response& res) {
        if (req.path.starts_with("/__control/")) {
            if (!control(req, res)) res.status = 404;
            return;
        }
        // Ranges are answered by send_reply, which must see the whole body to cut it where a fault says; the
        // library would otherwise apply the range a second time.
        const_cast<httplib::Request&>(req).ranges.clear();
        const std::optional<Fault> fault = g_state.take_fault(req.path);
        if (fault && fault->kind == FaultKind::kStall) pause_ms(fault->param > 0 ? fault->param : 3000);
        if (fault && fault->kind == FaultKind::kGarbage) {
            g_state.count("requests " + req.path);
            send_garbage(req.remote_port);
            return;
        }
        httplib::Request copy = req;
        if (fault && fault->kind == FaultKind::kEmptyPastLog) copy.headers.emplace("X-Quippet-Empty-Pastlog", "1");
        send_reply(req, res, route(copy, tls), fault);
    };
    server.Get(".*", handler);
    server.Post(".*", handler);
    server.Put(".*", handler);
    server.Delete(".*", handler);
}

} // namespace
} // namespace fakeservice

int main(int argc, char** argv) {
    using namespace fakeservice;
    int port = 0;
    std::string state_dir;
    long long max_seconds = 3600;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        if (option == "--port")
            port = std::atoi(argv[i + 1]);
        else if (option == "--state-dir")
            state_dir = argv[i + 1];
        else if (option == "--max-seconds")
            max_seconds = std::atoll(argv[i + 1]);
        else {
            std::cerr << "usage: quippet_fakeservice --port N --state-dir DIR [--max-seconds N]\n";
            return 2;
        }
    }
    if (state_dir.empty()) {
        std::cerr << "quippet_fakeservice: --state-dir is needed\n";
        return 2;
    }
    // A test that dies must not leave its service behind.
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    std::signal(SIGPIPE, SIG_IGN);

    SelfSigned trusted = make_self_signed("quippet-fakeservice");
    SelfSigned untrusted = make_self_signed("quippet-untrusted");
    if (!trusted.cert || !untrusted.cert) {
        std::cerr << "quippet_fakeservice: cannot make certificates\n";
        return 1;
    }
    {
        std::ofstream ca(state_dir + "/ca.pem", std::ios::binary | std::ios::trunc);
        ca << trusted.pem;
        if (!ca) {
            std::cerr << "quippet_fakeservice: cannot write " << state_dir << "/ca.pem\n";
            return 1;
        }
    }
    httplib::Server http;
    httplib::SSLServer https(trusted.cert.get(), trusted.key.get());
    httplib::SSLServer bad(untrusted.cert.get(), untrusted.key.get());
    install(http, false);
    install(https, true);
    install(bad, true);
    const int http_port =
        port > 0 ? (http.bind_to_port("127.0.0.1", port) ? port : -1) : http.bind_to_any_port("127.0.0.1");
    const int https_port = https.bind_to_any_port("127.0.0.1");
    const int bad_port = bad.bind_to_any_port("127.0.0.1");
    if (http_port <= 0 || https_port <= 0 || bad_port <= 0) {
        std::cerr << "quippet_fakeservice: cannot bind\n";
        return 1;
    }
    std::thread t1([&] { http.listen_after_bind(); });
    std::thread t2([&] { https.listen_after_bind(); });
    std::thread t3([&] { bad.listen_after_bind(); });
    std::cout << http_port << "\nhttps " << https_port << "\nuntrusted " << bad_port << std::endl;

    static std::atomic<bool>* stop_flag = &g_stopping;
    std::signal(SIGTERM, [](int) { *stop_flag = true; });
    std::signal(SIGINT, [](int) { *stop_flag = true; });
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(max_seconds);
    while (!g_stopping && std::chrono::steady_clock::now() < end) {
        std::unique_lock lock(g_stop_mutex);
        g_stop_cv.wait_for(lock, std::chrono::milliseconds(100));
    }
    request_stop();
    http.stop();
    https.stop();
    bad.stop();
    // Worker threads may sit in a keep-alive read for seconds; nothing is left to flush, so end here.
    std::cout.flush();
    _exit(0);
}
