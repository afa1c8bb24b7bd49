#include "download/VideoDownload.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "app/SettingKeys.h"
#include "app/Settings.h"
#include "net/CookieStore.h"
#include "net/Net.h"
#include "net/NetCodes.h"
#include "net/NetReport.h"
#include "net/ServiceAddress.h"
#include "resources/MessageIds.h"
#include "resources/Messages.h"
#include "text/AppHome.h"
#include "text/Encoding.h"

namespace quippet {
namespace fs = std::filesystem;

namespace {

constexpr int kSeam = 1024;
constexpr std::u16string_view kWorking = u"：DL中のファイル";
constexpr std::u16string_view kStopped = u"：DLを中止した不完全ファイル";

std::u16string msg_text(int id) {
    return std::u16string(message_text(id));
}

long long file_size_or(const std::u16string& path, long long fallback = -1) {
    std::error_code ec;
    const auto size = fs::file_size(to_fs_path(path), ec);
    return ec ? fallback : static_cast<long long>(size);
}

bool exists(const std::u16string& path) {
    std::error_code ec;
    return fs::is_regular_file(to_fs_path(path), ec);
}

bool rename_file(const std::u16string& from, const std::u16string& to) {
    std::error_code ec;
    fs::rename(to_fs_path(from), to_fs_path(to), ec);
    return !ec;
}

/// The leading number of an id part such as "archive_h264_720p" before `unit`; -1 when there is none.
long long number_before(std::u16string_view id, std::u16string_view unit) {
    size_t at = id.find(unit);
    while (at != std::u16string_view::npos) {
        size_t from = at;
        while (from > 0 && id[from - 1] >= u'0' && id[from - 1] <= u'9')
            --from;
        if (from < at && at - from <= 9) {
            long long n = 0;
            for (size_t i = from; i < at; ++i)
                n = n * 10 + (id[i] - u'0');
            return n;
        }
        at = id.find(unit, at + 1);
    }
    return -1;
}

std::string json_quoted(std::u16string_view id) {
    return "\"" + to_utf8(id) + "\"";
}

/// The JSON value of `key` in `text` (a string without its quotes, or the bare token); empty when absent.
std::string json_value(std::string_view text, std::string_view key) {
    const std::string marker = "\"" + std::string(key) + "\"";
    size_t at = text.find(marker);
    if (at == std::string_view::npos) return {};
    at = text.find(':', at + marker.size());
    if (at == std::string_view::npos) return {};
    ++at;
    while (at < text.size() && text[at] == ' ')
        ++at;
    if (at < text.size() && text[at] == '"') {
        const size_t end = text.find('"', at + 1);
        if (end == std::string_view::npos) return {};
        return std::string(text.substr(at + 1, end - at - 1));
    }
    size_t end = at;
    while (end < text.size() && text[end] != ',' && text[end] != '}')
        ++end;
    return std::string(text.substr(at, end - at));
}

std::u16string folder_of(std::u16string_view path) {
    const size_t slash = path.find_last_of(u'/');
    return slash == std::u16string_view::npos ? std::u16string(u".") : std::u16string(path.substr(0, slash));
}

std::u16string file_name_of(std::u16string_view path) {
    const size_t slash = path.find_last_of(u'/');
    return std::u16string(slash == std::u16string_view::npos ? path : path.substr(slash + 1));
}

/// The partial files of a final name, in the order a directory listing gives them.
std::vector<std::u16string> partial_candidates(const std::u16string& final_path) {
    std::vector<std::u16string> out;
    const std::u16string base = file_name_of(final_path);
    const std::u16string folder = folder_of(final_path);
    std::error_code ec;
    fs::directory_iterator it(to_fs_path(folder), ec);
    if (ec) return out;
    int seen = 0;
    for (const auto& entry : it) {
        if (++seen > 100000) break;
        if (!entry.is_regular_file(ec)) continue;
        const std::u16string name = from_utf8(entry.path().filename().string());
        if (!name.starts_with(base)) continue;
        const std::u16string_view rest = std::u16string_view(name).substr(base.size());
        if (rest.starts_with(kWorking) || rest.starts_with(kStopped)) out.push_back(folder + u"/" + name);
    }
    std::sort(out.begin(), out.end());
    return out;
}

bool read_file_part(const std::u16string& path, long long offset, std::string& out) {
    std::ifstream in(to_fs_path(path), std::ios::binary);
    if (!in) return false;
    in.seekg(offset);
    out.assign(kSeam, '\0');
    in.read(out.data(), kSeam);
    return in.gcount() == kSeam;
}

std::u16string megabytes(long long bytes) {
    char buffer[48];
    std::snprintf(buffer, sizeof buffer, "%.3f", static_cast<double>(bytes) / 1048.0 / 1000.0);
    return from_utf8(buffer);
}

} // namespace

VideoOptions video_options_from(const CSettings& s) {
    VideoOptions o;
    o.quality = s.number(OptNumber::kVideoQuality);
    o.quality_bypass = s.on(OptSwitch::kQualityCheckBypass);
    o.best_only = s.on(OptSwitch::kNewServerBestOnly);
    o.skip_low_quality = s.on(OptSwitch::kNewServerSkipLowQuality);
    const int free_mb = s.number(OptNumber::kVideoFreeSpaceMb);
    o.free_space_mb = free_mb < 0 ? s.number(OptNumber::kFreeSpaceMb) : free_mb;
    o.resume = s.on(OptSwitch::kResume);
    o.retry_wait_s = s.number(OptNumber::kVideoRetryWait);
    o.retry_count = s.number(OptNumber::kVideoRetryCount);
    o.write_chunk_mb = std::max(1, s.number(OptNumber::kWriteChunkMb));
    o.buffer_kb = std::max(1, s.number(OptNumber::kBufferKb));
    o.force = s.on(OptSwitch::kForceDownload);
    o.video_extensions = s.text(OptText::kVideoExtensions);
    o.skip_economy = s.on(OptSwitch::kOldServerSkipEconomy);
    o.economy_suffix_on = s.on(OptSwitch::kOldServerEconomySuffix);
    o.economy_suffix = s.text(OptText::kEconomySuffix);
    o.skip_economy_if_high = s.on(OptSwitch::kOldServerSkipEconomyIfHigh);
    o.fail_without_high = s.on(OptSwitch::kOldServerFailWithoutHigh);
    o.other_size_rule = s.number(OptNumber::kOtherSizeRule);
    o.info = info_options_from(s);
    o.net = o.info.net;
    o.request_headers = o.info.request_headers;
    o.getflv_url = login_settings_from(s).getflv_url;
    return o;
}

void OwedBytes::set(const void* download, long long bytes) {
    std::lock_guard lock(mutex_);
    owed_[download] = std::max(0LL, bytes);
}

void OwedBytes::remove(const void* download) {
    std::lock_guard lock(mutex_);
    owed_.erase(download);
}

long long OwedBytes::others(const void* download) const {
    std::lock_guard lock(mutex_);
    long long sum = 0;
    for (const auto& [who, bytes] : owed_)
        if (who != download) sum += bytes;
    return sum;
}

bool choose_quality(const std::vector<std::u16string>& videos, const std::vector<std::u16string>& audios, int quality,
                    bool bypass, QualityChoice& out) {
    if (videos.empty() || audios.empty()) return false;
    out = {};
    const bool as_listed = quality == static_cast<int>(VideoQuality::kOldServer) ||
                           (quality == static_cast<int>(VideoQuality::kDefault) && bypass);
    if (as_listed) {
        out.video = videos.front();
        out.audio = audios.front();
        out.label = msg_text(msg::kBestQualityLabel);
        return true;
    }
    long long max_height = 100000, max_video_rate = 10000000, max_audio_rate = 10000000;
    switch (static_cast<VideoQuality>(quality)) {
    case VideoQuality::k1080:
        max_height = 1080;
        break;
    case VideoQuality::k720:
        max_height = 720;
        break;
    case VideoQuality::k540:
        max_height = 540;
        break;
    case VideoQuality::k360:
        max_height = 360;
        break;
    case VideoQuality::k360Low:
        max_height = 360;
        max_video_rate = 600;
        max_audio_rate = 64;
        break;
    default:
        break;
    }
    // The best is the highest picture, then the highest bitrate; an id without a number ranks lowest.
    auto pick = [](const std::vector<std::u16string>& ids, auto fits, auto rank) {
        int best = -1;
        std::pair<long long, long long> best_rank{-2, -2};
        for (size_t i = 0; i < ids.size(); ++i) {
            if (!fits(ids[i])) continue;
            const auto r = rank(ids[i]);
            if (best < 0 || r > best_rank) {
                best = static_cast<int>(i);
                best_rank = r;
            }
        }
        return best;
    };
    auto video_rank = [](const std::u16string& id) {
        return std::pair{number_before(id, u"p"), number_before(id, u"kbps")};
    };
    auto audio_rank = [](const std::u16string& id) { return std::pair{number_before(id, u"kbps"), 0LL}; };
    const int v = pick(
        videos,
        [&](const std::u16string& id) {
            return number_before(id, u"p") <= max_height && number_before(id, u"kbps") <= max_video_rate;
        },
        video_rank);
    const int a = pick(
        audios, [&](const std::u16string& id) { return number_before(id, u"kbps") <= max_audio_rate; }, audio_rank);
    if (v < 0 || a < 0) return false;
    out.video = videos[static_cast<size_t>(v)];
    out.audio = audios[static_cast<size_t>(a)];
    const int best_v = pick(
        videos, [](const std::u16string&) { return true; }, video_rank);
    const int best_a = pick(
        audios, [](const std::u16string&) { return true; }, audio_rank);
    out.best = v == best_v && a == best_a;
    out.label = out.best ? msg_text(msg::kBestQualityLabel) : out.video + u"/" + out.audio;
    return true;
}

int low_quality_check(const std::vector<std::u16string>& site_videos, const std::vector<std::u16string>& site_audios,
                      const QualityChoice& offered, int quality, bool bypass, std::u16string& missing) {
    missing.clear();
    QualityChoice site;
    if (!choose_quality(site_videos, site_audios, quality, bypass, site)) return 0;
    if (site.video != offered.video) {
        missing = site.video;
        return msg::kLowQualityVideo;
    }
    if (site.audio != offered.audio) {
        missing = site.audio;
        return msg::kLowQualityAudio;
    }
    return 0;
}

std::string session_request_body(const CWorkMovieInfo& info, const QualityChoice& q) {
    auto u = [](const std::u16string& s) { return to_utf8(s); };
    std::string b;
    b.reserve(1024);
    b += "{\"session\":{\"client_info\":{\"player_id\":" + u(info.player_id) + "},";
    b += "\"content_auth\":{\"auth_type\":" + u(info.auth_type) +
         ",\"content_key_timeout\":" + u(info.content_key_timeout) +
         ",\"service_id\":\"nicovideo\",\"service_user_id\":" + u(info.service_user_id) + "},";
    b += "\"content_id\":" + u(info.content_id) + ",";
    b += "\"content_src_id_sets\":[{\"content_src_ids\":[{\"src_id_to_mux\":{\"audio_src_ids\":[" +
         json_quoted(q.audio) + "],\"video_src_ids\":[" + json_quoted(q.video) + "]}}]}],";
    b += "\"content_type\":\"movie\",\"content_uri\":\"\",";
    b += "\"keep_method\":{\"heartbeat\":{\"lifetime\":" + u(info.heartbeat_lifetime) + "}},";
    b += "\"priority\":" + u(info.priority) + ",";
    b += "\"protocol\":{\"name\":\"http\",\"parameters\":{\"http_parameters\":{\"parameters\":{\"http_output_"
         "download_parameters\":{\"use_ssl\":";
    b += info.ssl ? "\"yes\"" : "\"no\"";
    b += ",\"use_well_known_port\":";
    b += info.well_known_port ? "\"yes\"" : "\"no\"";
    b += ",\"transfer_preset\":" + u(info.transfer_preset) + "}}}}},";
    b += "\"recipe_id\":" + u(info.recipe_id) + ",";
    b += "\"session_operation_auth\":{\"session_operation_auth_by_signature\":{\"signature\":" + u(info.signature) +
         ",\"token\":" + u(info.token) + "}},";
    b += "\"timing_constraint\":\"unlimited\"}}";
    return b;
}

bool read_session_answer(std::string_view answer, std::u16string_view session_url, DeliverySession& out) {
    const size_t data = answer.find("\"data\"");
    if (data == std::string_view::npos) return false;
    const size_t session = answer.find("\"session\"", data);
    if (session == std::string_view::npos) return false;
    // The object ends where its braces balance: cutting at the answer's last brace would carry the brace
    // of "data" along and send the server unbalanced JSON in every heartbeat.
    const size_t open = answer.find('{', session);
    if (open == std::string_view::npos) return false;
    int depth = 0;
    bool in_string = false;
    size_t end = std::string_view::npos;
    for (size_t i = open; i < answer.size(); ++i) {
        const char c = answer[i];
        if (in_string) {
            if (c == '\\')
                ++i;
            else if (c == '"')
                in_string = false;
        } else if (c == '"') {
            in_string = true;
        } else if (c == '{') {
            ++depth;
        } else if (c == '}' && --depth == 0) {
            end = i;
            break;
        }
    }
    if (end == std::string_view::npos) return false;
    out.session_json = "{" + std::string(answer.substr(session, end + 1 - session)) + "}";
    const std::string id = json_value(out.session_json, "id");
    std::string uri = json_value(out.session_json, "content_uri");
    if (id.empty() || uri.empty()) return false;
    uri.erase(std::remove(uri.begin(), uri.end(), '\\'), uri.end());
    out.id = from_utf8(id);
    out.session_url = std::u16string(session_url);
    out.heartbeat_url = out.session_url + u"/" + out.id + u"?_format=json&_method=PUT";
    out.content_uri = from_utf8(uri);
    return true;
}

int create_session(const CWorkMovieInfo& info, const QualityChoice& quality, const VideoOptions& options,
                   const VideoClock& clock, DeliverySession& out, NetReport& report, int& code) {
    const std::string body = session_request_body(info, quality);
    net_debug_dump(options.net, u"SessionApiへの要求（本体）.txt", body);
    CNet net(options.net);
    std::string answer;
    int rc = net.open_url(info.session_url, u"?_format=json");
    if (rc == 0) rc = net.send_request(0, options.request_headers, u"POST");
    if (rc == 0) rc = net.post_json(body);
    if (rc == 0) {
        const int status = net.status_code();
        rc = net.read_all(answer);
        if (rc >= 0 && (status < 200 || status >= 300)) rc = -1;
    }
    net_debug_dump(options.net, u"SessionApiの反応（ヘッダ）.txt", net.response_headers());
    net_debug_dump(options.net, u"SessionApiの反応（本体）.txt", answer);
    code = net.code();
    net.close();
    if (rc < 0 || !read_session_answer(answer, info.session_url, out)) {
        if (code == 0) code = msg::kVideoUrlFailed;
        report.debug(from_utf8(net.response_headers().substr(0, 200)));
        return -1;
    }
    code = 0;
    out.start_ms = clock.now_ms();
    const long long lifetime = number_before(info.heartbeat_lifetime + u"ms", u"ms");
    out.lifetime_ms = lifetime > 0 && lifetime < 100000000 ? static_cast<int>(lifetime) : 120000;
    out.sent = 0;
    out.active = true;
    return 0;
}

int heartbeat(DeliverySession& s, const VideoOptions& options, const VideoClock& clock, NetReport& report) {
    if (!s.active) return 0;
    const long long step = static_cast<long long>(s.lifetime_ms / 1000 / 3) * 2;
    const long long elapsed = (clock.now_ms() - s.start_ms) / 1000;
    int sent = 0;
    // One heartbeat per call: a clock that jumps far ahead must not flood the server with the missed ones.
    if (elapsed >= step * s.sent) {
        CNet net(options.net);
        std::string answer;
        int rc = net.open_url(s.heartbeat_url);
        if (rc == 0) rc = net.send_request(0, options.request_headers, u"POST");
        if (rc == 0) rc = net.post_json(s.session_json);
        if (rc == 0) (void)net.read_all(answer);
        if (s.sent == 0) {
            net_debug_dump(options.net, u"ハートビートを送信したURL.txt", to_utf8(s.heartbeat_url));
            net_debug_dump(options.net, u"ハートビートで送信したJSON.txt", s.session_json);
            net_debug_dump(options.net, u"ハートビートの反応（ヘッダ）.txt", net.response_headers());
            net_debug_dump(options.net, u"ハートビートの反応（本体）.txt", answer);
        }
        const std::string& h = net.response_headers();
        const std::string first = h.substr(0, std::min(h.find("\r\n"), h.size()));
        report.debug(decimal_text(s.sent) + msg_text(msg::kHeartbeatSent) + from_utf8(first));
        ++s.sent;
        sent = 1;
    }
    return sent;
}

std::u16string partial_name(std::u16string_view final_path, bool stopped, long long size, long long expected) {
    return std::u16string(final_path) + std::u16string(stopped ? kStopped : kWorking) + u"(" + decimal_text(size) +
           u"／" + decimal_text(expected) + u")";
}

int transfer_once(VideoTransfer& t, const VideoOptions& options, NetReport& report) {
    ++t.attempts;
    if (t.attempts > 1) {
        for (int left = options.retry_wait_s; left > 0; --left) {
            if (report.stop_requested()) return -2;
            report.progress(msg_text(msg::kWaitingLeft) + decimal_text(left) + u"秒）");
            report.sleep_ms(1000);
        }
    }
    if (report.stop_requested()) return -2;
    if (t.work_path.empty()) t.work_path = t.final_path + std::u16string(kWorking);
    const std::u16string folder = folder_of(t.final_path);

    // Free space: what this file still needs, what the others still need, and the margin of the settings.
    if (t.expected > 0) {
        std::error_code ec;
        const auto space = fs::space(to_fs_path(folder), ec);
        const long long need = t.expected - (t.resuming ? t.resume_size : 0) + (t.owed ? t.owed->others(&t) : 0) +
                               options.free_space_mb * 1024 * 1024;
        if (!ec && static_cast<long long>(space.available) < need) {
            t.code = msg::kFreeSpaceShort;
            return -1;
        }
    }

    CNet net(options.net);
    std::u16string headers = options.request_headers;
    if (t.resuming) headers += u"Range: bytes=" + decimal_text(t.resume_size - kSeam) + u"-\r\n";
    int rc = net.open_url(t.url);
    if (rc == 0) rc = net.send_request(CNet::kFlagReload, headers);
    if (rc == 0) rc = net.send();
    if (rc != 0) {
        t.code = net.code();
        return -4;
    }
    const int status = net.status_code();
    t.last_status = status;
    if (!t.resuming && status == 200) {
        report.debug(msg_text(msg::kStatusOk200));
    } else if (t.resuming && status == 206) {
        report.debug(msg_text(msg::kStatusOk206));
    } else if (t.resuming && status == 200) {
        // The server ignored the range: going on would append the whole file to the partial one.
        report.log(msg_text(msg::kStatus200OnResume));
        t.resuming = false;
        t.resume_allowed = false;
        t.code = 0;
        return -3;
    } else {
        report.log(msg_text(msg::kAnswerStatus) + decimal_text(status));
        t.code = net.code() != 0 ? net.code() : net_code::kStatusOther;
        return -1;
    }
    const long long length = net.content_length();
    if (!t.resuming) {
        if (length >= 0 && t.expected < 0) t.expected = length;
        net.set_code(0);
    }

    std::ios::openmode mode = std::ios::binary | std::ios::out;
    if (!t.resuming && options.resume && t.resume_allowed && t.expected > kSeam) {
        std::string head;
        if (net.read_head(head) == 0 && static_cast<int>(head.size()) == kSeam) {
            for (const auto& candidate : partial_candidates(t.final_path)) {
                const long long size = file_size_or(candidate);
                if (size < kSeam || size > t.expected) continue;
                if (CNet::file_head_equals(candidate, head) != 1) continue;
                report.progress(msg_text(msg::kResuming));
                t.resuming = true;
                t.resume_size = size;
                t.resume_from = candidate;
                return -3;
            }
        }
        net.set_code(0);
    }
    long long written = 0;
    if (t.resuming) {
        report.progress(msg_text(msg::kSeeking));
        std::string seam(kSeam, '\0');
        const int n = net.read_chunk(seam.data(), kSeam);
        std::string tail;
        const bool read_ok = read_file_part(t.resume_from, t.resume_size - kSeam, tail);
        int verdict = 0;
        if (n != kSeam)
            verdict = msg::kResumeNetFailed;
        else if (!read_ok)
            verdict = msg::kResumeReadFailed;
        else if (tail != seam)
            verdict = msg::kResumeMismatch;
        if (verdict != 0) {
            report.log(msg_text(verdict));
            t.resuming = false;
            t.resume_allowed = false;
            return -3;
        }
        report.debug(msg_text(msg::kResumeSeamOk));
        if (t.resume_from != t.work_path && !rename_file(t.resume_from, t.work_path)) {
            report.log(file_name_of(t.resume_from) + msg_text(msg::kRenameFailedSuffix));
            t.resuming = false;
            t.resume_allowed = false;
            return -3;
        }
        report.progress(msg_text(msg::kPreparingWrite));
        std::error_code ec;
        fs::resize_file(to_fs_path(t.work_path), static_cast<uintmax_t>(t.resume_size), ec);
        mode |= std::ios::app;
        written = t.resume_size;
    } else {
        mode |= std::ios::trunc;
    }
    std::ofstream out(to_fs_path(t.work_path), mode);
    if (!out) {
        t.code = net_code::kCannotOpenFile;
        return -1;
    }

    // Owed from the first byte on: a free-space check of another download must count this one at once, not
    // only after its first counter update.
    if (t.owed) t.owed->set(&t, t.expected - written);
    report.progress(msg_text(msg::kAccessing));
    const size_t chunk = static_cast<size_t>(options.buffer_kb) * 1024;
    const size_t capacity = std::max(chunk, static_cast<size_t>(options.write_chunk_mb) * 1024 * 1024);
    std::vector<char> buffer(capacity);
    size_t filled = 0;
    long long this_attempt = 0;
    long long last_progress = -1000;
    int updates = 0;
    const VideoClock fallback;
    const VideoClock& clock = t.clock ? *t.clock : fallback;
    auto flush = [&] {
        if (filled > 0) out.write(buffer.data(), static_cast<std::streamsize>(filled));
        filled = 0;
        return static_cast<bool>(out);
    };
    int result = 1;
    for (;;) {
        if (t.session) heartbeat(*t.session, options, clock, report);
        if (report.stop_requested()) {
            flush();
            result = -2;
            break;
        }
        const size_t want = std::min(chunk, capacity - filled);
        const int n = net.read_chunk(buffer.data() + filled, static_cast<int>(want));
        if (n < 0) {
            flush();
            t.code = net.code() != 0 ? net.code() : msg::kTransferEndedEarly;
            result = this_attempt > 0 ? -3 : -1;
            break;
        }
        if (n == 0) {
            flush();
            if (t.expected > 0 && written < t.expected) {
                t.code = msg::kTransferEndedEarly;
                report.debug(msg_text(msg::kShortReadRetry) + decimal_text(n));
                result = this_attempt > 0 ? -3 : -1;
            }
            break;
        }
        filled += static_cast<size_t>(n);
        written += n;
        this_attempt += n;
        if (filled == capacity && !flush()) {
            t.code = msg::kWriteFailed;
            result = -1;
            break;
        }
        const long long now = clock.now_ms();
        if (now - last_progress >= 100) {
            last_progress = now;
            report.progress(megabytes(written) + u"/" + megabytes(t.expected) + u"MB " + t.label);
            if (++updates % 50 == 0 && t.owed) t.owed->set(&t, t.expected - written);
        }
    }
    out.close();
    if (!out && result == 1) {
        t.code = msg::kWriteFailed;
        result = -1;
    }
    if (t.owed) t.owed->set(&t, t.expected - written);
    t.resuming = false;
    return result;
}

namespace {

/// A small body that is the server's error page rather than the video: the status it names, 0 otherwise.
int error_page_status(const std::u16string& path) {
    std::ifstream in(to_fs_path(path), std::ios::binary);
    std::string text(4096, '\0');
    in.read(text.data(), 4096);
    text.resize(static_cast<size_t>(std::max<std::streamsize>(0, in.gcount())));
    const size_t tag = text.find("<html");
    if (tag == std::string::npos && text.find("<HTML") == std::string::npos) return 0;
    for (int status : {403, 404, 503})
        if (text.find(std::to_string(status)) != std::string::npos) return status;
    return 0;
}

} // namespace

int transfer_video(VideoTransfer& t, const VideoOptions& options, NetReport& report) {
    if (t.url.empty()) {
        t.code = msg::kVideoUrlFailed;
        return -1;
    }
    const int m = std::max(1, options.retry_count);
    int failures = 0, resumes = 0;
    bool stopped = false;
    std::u16string last_partial;
    for (int round = 0; round < 20 * m + 4; ++round) {
        const int rc = transfer_once(t, options, report);
        if (rc == 1 || rc == 0) break;
        if (rc == -4) {
            if (++failures >= m || (!t.extended_retries && failures >= 2)) break;
            continue;
        }
        if (t.code == msg::kFreeSpaceShort) {
            if (t.owed) t.owed->remove(&t);
            return -1;
        }
        if (rc == -3 && t.code == 0) {
            if (++resumes > 10 * m) break;
            continue; // a resume decided, or a resume refused: the next request follows at once
        }
        const long long size = file_size_or(t.work_path);
        if (size >= 0) {
            const std::u16string to = partial_name(t.final_path, rc == -2, size, t.expected);
            if (rename_file(t.work_path, to))
                last_partial = to;
            else
                report.log(file_name_of(t.work_path) + msg_text(msg::kRenameFailedSuffix));
        }
        if (rc == -2) {
            stopped = true;
            break;
        }
        if (rc == -3) {
            if (++resumes > 10 * m) break;
        } else if (++failures >= m) {
            break;
        }
        if (t.last_status == 403) break; // a fresh URL is the caller's to find
        t.code = 0;
    }
    if (t.owed) t.owed->remove(&t);
    if (stopped) return -2;
    // After failed attempts the file is under its partial name; the checks below look at it there.
    std::u16string got = t.work_path;
    if (!exists(got) && !last_partial.empty() && exists(last_partial)) got = last_partial;
    if (!exists(got)) {
        if (t.code == 0) t.code = msg::kDownloadedVideoMissing;
        return -1;
    }
    const long long size = file_size_or(got);
    if (got != t.work_path) {
        // A partial file that a later run can resume stays under its name, with the reason of the failure.
        if (size > kSeam && (t.expected < 0 || size < t.expected)) {
            if (t.code == 0) t.code = msg::kSomeDownloadError;
            return -1;
        }
        if (!rename_file(got, t.work_path)) {
            t.code = msg::kBadSizeRenameFailed;
            return -1;
        }
    }
    if (size == t.expected && size > kSeam) {
        if (t.work_path != t.final_path && !rename_file(t.work_path, t.final_path)) {
            t.code = msg::kTempRenameFailed;
            return -1;
        }
        t.code = 0;
        return 1;
    }
    const int page = size <= 4096 ? error_page_status(t.work_path) : 0;
    if (page != 0) {
        std::error_code ec;
        fs::remove(to_fs_path(t.work_path), ec);
        t.code = page == 403 ? net_code::kStatus403 : page == 404 ? net_code::kStatus404 : net_code::kStatus503;
        return -1;
    }
    if (!rename_file(t.work_path, t.final_path + u"：ファイルサイズ異常")) {
        t.code = msg::kBadSizeRenameFailed;
        return -1;
    }
    t.code = size <= kSeam ? msg::kVideoTooSmall : msg::kVideoSizeDiffers;
    return -1;
}

} // namespace quippet

namespace quippet {

std::u16string video_extension(const CWorkMovieInfo& info, NetReport& report) {
    if (info.movie_type == u"mp4") return u".mp4";
    if (info.movie_type == u"flv") return u".flv";
    if (info.movie_type == u"swf") return u".swf";
    report.log(msg_text(msg::kUnknownMovieType));
    return u".UnknownMovie";
}

namespace {

std::vector<std::u16string> split_bar(std::u16string_view text) {
    std::vector<std::u16string> out;
    size_t from = 0;
    while (from <= text.size() && out.size() < 64) {
        const size_t bar = text.find(u'|', from);
        const auto part = text.substr(from, bar == std::u16string_view::npos ? text.size() - from : bar - from);
        if (!part.empty()) out.emplace_back(part);
        if (bar == std::u16string_view::npos) break;
        from = bar + 1;
    }
    return out;
}

bool any_video_file(std::u16string_view base, const VideoOptions& options) {
    for (const auto& ext : split_bar(options.video_extensions))
        if (exists(std::u16string(base) + u"." + ext)) return true;
    return false;
}

/// The existing-file rules: 1 download to `target`, 0 skip (code set, `failed` for the "×" variants).
int decide_existing(const std::u16string& base, const std::u16string& ext, bool economy, const CWorkMovieInfo& info,
                    const VideoOptions& options, NetReport& report, std::u16string& target, int& code, bool& failed) {
    auto say = [&](int id) { report.log(msg_text(id)); };
    const std::u16string plain = base + ext;
    const std::u16string suffixed = base + options.economy_suffix + ext;
    const long long high = info.size_high;
    const long long expected = economy ? info.size_low : info.size_high;
    target = plain;
    if (info.movie_type.empty()) say(msg::kMovieTypeUnknownCheck);
    if (economy) {
        const long long saved = file_size_or(plain);
        const bool high_saved = high > 0 && saved == high;
        const bool high_saved_suffixed = high > 0 && file_size_or(suffixed) == high;
        if (high_saved_suffixed) say(msg::kHighUnderEconomyName);
        if ((high_saved || high_saved_suffixed) && options.skip_economy_if_high) {
            say(high_saved ? msg::kType1 : msg::kType1Irregular);
            code = msg::kNonEconomySaved;
            return 0;
        }
        if (options.skip_economy) {
            say(high_saved_suffixed ? msg::kType2Irregular : msg::kType2B);
            code = msg::kEconomyNotDownloaded;
            return 0;
        }
        if (high_saved || options.economy_suffix_on) {
            if (options.economy_suffix_on) report.log(msg_text(msg::kEconomySuffixAdded));
            target = suffixed;
            if (high_saved) {
                if (file_size_or(suffixed) == expected) {
                    say(msg::kType5_1);
                    code = msg::kEconomySaved;
                    return 0;
                }
                say(msg::kType5_2);
                code = msg::kEconomySavedAside;
            }
        }
        failed = options.fail_without_high;
    } else if (info.size_low > 0 && info.size_low != high && file_size_or(plain) == info.size_low) {
        say(msg::kType6);
        if (rename_file(plain, suffixed)) {
            code = msg::kEconomyRenamed;
        } else {
            say(msg::kType6RenameFailed);
            target = base + u"：既存ファイルと別名で保存" + ext;
            return 1;
        }
    }
    const long long saved = file_size_or(target);
    if (saved < 0) {
        say(failed ? msg::kType3_2 : msg::kType3_1);
        return 1;
    }
    if (saved == expected && expected > 0) {
        say(failed ? msg::kType4_2 : msg::kType4_1);
        code = msg::kVideoSavedBefore;
        return 0;
    }
    const std::u16string aside = base + u"：既存ファイルと別名で保存" + ext;
    if (expected > 0 && file_size_or(aside) == expected) {
        say(msg::kType7_1);
        code = msg::kVideoSavedBefore;
        return 0;
    }
    switch (static_cast<OtherSizeRule>(options.other_size_rule)) {
    case OtherSizeRule::kRenameExisting:
        say(msg::kType7_3);
        if (!rename_file(target, base + u"：同名別サイズ動画の保存時にリネーム" + ext)) {
            code = msg::kExistingRenameFailed;
            return 0;
        }
        code = msg::kOtherSizeRenamed;
        return 1;
    case OtherSizeRule::kSaveAside:
        say(msg::kType7_4);
        target = aside;
        code = msg::kSavedAside;
        return 1;
    default:
        say(msg::kType7_2);
        code = msg::kOtherSizeSkipped;
        return 0;
    }
}

} // namespace

int download_video(CWorkMovieInfo& info, std::u16string_view folder, std::u16string_view save_name,
                   const VideoOptions& options, OwedBytes& owed, const VideoClock& clock, CNetCookieSource* cookies,
                   NetReport& report, VideoResult& result) {
    result = {};
    const std::u16string base = std::u16string(folder) + u"/" + std::u16string(save_name);
    const bool have_file = any_video_file(base, options);
    const bool streaming = info.old_server_url.starts_with(u"rtmp");
    const bool has_session = !info.session_url.empty() && !info.video_qualities.empty();
    const bool has_url = !info.old_server_url.empty() && !streaming;
    if (!options.force) {
        int code = 0;
        if (info.status == InfoStatus::kDeleted)
            code = have_file ? msg::kDeletedSameNameSaved : msg::kVideoDeleted;
        else if (streaming)
            code = have_file ? msg::kStreamingSameName : msg::kStreaming;
        else if (!has_session && !has_url)
            code = have_file ? msg::kUndeliverableSameName
                             : (info.status == InfoStatus::kNotFound ? msg::kVideoNotFound : msg::kApiInfoFailed);
        if (code != 0) {
            result.code = code;
            return 1;
        }
    }

    VideoTransfer t;
    t.owed = &owed;
    t.clock = &clock;
    DeliverySession session;
    QualityChoice quality;
    const bool use_session = has_session && options.quality != static_cast<int>(VideoQuality::kOldServer);
    if (use_session) {
        if (!choose_quality(info.video_qualities, info.audio_qualities, options.quality, options.quality_bypass,
                            quality)) {
            result.code = msg::kVideoUrlFailed;
            return 1;
        }
        if (options.net.debug) {
            auto lines = [](const std::vector<std::u16string>& ids) {
                std::u16string text;
                for (const auto& id : ids)
                    text += id + u"\r\n";
                return to_utf8(text);
            };
            net_debug_dump(options.net, u"video一覧（サイトに存在）.txt", lines(info.site_video_qualities));
            net_debug_dump(options.net, u"audio一覧（サイトに存在）.txt", lines(info.site_audio_qualities));
            net_debug_dump(options.net, u"video一覧（視聴可能）.txt", lines(info.video_qualities));
            net_debug_dump(options.net, u"audio一覧（視聴可能）.txt", lines(info.audio_qualities));
        }
        if (!quality.best && options.best_only) {
            result.code = have_file ? msg::kNotBestSameName : msg::kNotBestSkipped;
            result.skipped = true;
            return 1;
        }
        std::u16string missing;
        if (options.skip_low_quality) {
            if (const int low = low_quality_check(info.site_video_qualities, info.site_audio_qualities, quality,
                                                  options.quality, options.quality_bypass, missing)) {
                // The id, then the text that says why: "…_1080pが低画質モードでDL不可", "(…_192kbps)が…".
                report.log((low == msg::kLowQualityAudio ? u"(" + missing : missing) + msg_text(low));
                result.quality_label = missing;
                result.code = !have_file                     ? low
                              : low == msg::kLowQualityAudio ? msg::kLowQualityAudioSameName
                                                             : msg::kLowQualityVideoSameName;
                result.skipped = true;
                return 1;
            }
        }
        report.progress(u"POST...");
        int code = 0;
        if (create_session(info, quality, options, clock, session, report, code) != 0)
            report.log(std::u16string(save_name) + msg_text(msg::kSessionFailed));
    }
    bool economy = false;
    const bool from_old_server = !session.active;
    if (session.active) {
        report.debug(std::u16string(save_name) + msg_text(msg::kTryingSession));
        report.progress(u"DMC...");
        t.url = session.content_uri;
        t.session = &session;
        t.label = quality.label;
        t.expected = info.size_high > 0 ? info.size_high : -1;
    } else {
        report.log(std::u16string(save_name) + msg_text(msg::kTryingOldServer));
        report.progress(u"Smile...");
        t.url = info.old_server_url;
        economy = info.economy || t.url.ends_with(u"low");
        if (economy) report.log(msg_text(msg::kEconomyDetected));
        // The older server serves the file only after the watch page set its cookie.
        CWorkMovieInfo page = info;
        int code = 0;
        (void)fetch_watch_page(page, 3, {}, true, options.info, cookies, report, code);
        t.label = msg_text(msg::kOldServerLabel);
        const long long size = economy ? info.size_low : info.size_high;
        t.expected = size > 0 ? size : -1;
    }
    net_debug_dump(options.net, u"ダウンロードを試みる動画のURL.txt", to_utf8(t.url));
    if (t.url.empty()) {
        result.code = msg::kVideoUrlFailed;
        return 1;
    }

    const std::u16string ext = video_extension(info, report);
    bool failed = false;
    int decided = 0;
    std::u16string target;
    if (decide_existing(base, ext, economy, info, options, report, target, decided, failed) == 0) {
        result.code = decided;
        result.skipped = !failed;
        return 1;
    }
    t.final_path = target;
    int rc = transfer_video(t, options, report);
    if (rc == -1 && t.code == net_code::kStatus403) {
        // Once with a fresh address: a new session, or getflv's answer for the older server.
        std::u16string fresh;
        if (session.active) {
            DeliverySession again;
            int code = 0;
            if (create_session(info, quality, options, clock, again, report, code) == 0) {
                session = again;
                fresh = session.content_uri;
            }
        } else {
            CWorkMovieInfo flv;
            flv.id = info.id;
            int code = 0;
            if (!options.getflv_url.empty() &&
                get_flv(flv, !options.getflv_url.starts_with(u"http:"), options.getflv_url, options.request_headers,
                        true, options.net, cookies, report, code) == 0 &&
                flv.old_server_url.starts_with(u"http")) {
                fresh = flv.old_server_url;
                report.log(msg_text(msg::kGetflvAgain) + fresh);
            } else {
                if (t.url.starts_with(u"https:"))
                    fresh = u"http:" + t.url.substr(6);
                else if (t.url.starts_with(u"http:"))
                    fresh = u"https:" + t.url.substr(5);
                if (!fresh.empty()) {
                    report.log(msg_text(msg::kUrlRewritten) + fresh);
                    net_debug_dump(options.net, u"Smileサーバで再挑戦したURL.txt", to_utf8(fresh));
                }
            }
        }
        if (!fresh.empty()) {
            t.url = fresh;
            t.attempts = 0;
            t.code = 0;
            rc = transfer_video(t, options, report);
        }
    }
    session.active = false;
    if (rc == -2) {
        result.stopped = true;
        result.code = 0;
        return 0;
    }
    if (rc != 1) {
        result.code = t.code != 0 ? t.code : msg::kSomeDownloadError;
        return 1;
    }
    result.saved = !failed;
    result.old_server = from_old_server;
    result.path = t.final_path;
    result.code = decided != 0 ? decided : msg::kVideoSaved;
    return 1;
}

} // namespace quippet
