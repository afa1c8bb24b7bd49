#include "download/CommentDownload.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "app/SettingKeys.h"
#include "app/Settings.h"
#include "comments/ChatScan.h"
#include "net/Net.h"
#include "net/NetCodes.h"
#include "net/NetReport.h"
#include "net/NetResponse.h"
#include "resources/MessageIds.h"
#include "resources/Messages.h"
#include "text/AppHome.h"
#include "text/Ascii.h"
#include "text/Encoding.h"
#include "text/FileSP.h"

namespace quippet {
namespace fs = std::filesystem;

namespace {

constexpr std::string_view kDeclaration = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>";
/// Retries of a past-log answer that brought nothing older, and the longest wait before one.
constexpr int kEmptyAnswerRetries = 2;
constexpr int kEmptyAnswerWaitCap = 60;

std::u16string msg_text(int id) {
    return std::u16string(message_text(id));
}

bool is_file(const std::u16string& path) {
    std::error_code ec;
    return fs::is_regular_file(to_fs_path(path), ec);
}

/// Codes getflv sets from its answer; any other code of a failed getflv is the request's own.
bool is_getflv_answer_code(int code) {
    switch (code) {
    case msg::kGetflvIncomplete:
    case msg::kLoginNotShared:
    case msg::kProbablyNoSuchVideo:
    case msg::kNoRightOrMissing:
    case msg::kGetflvError:
    case msg::kApiThreadIdProbably:
    case msg::kCommunityNumericIdFailed:
        return true;
    default:
        return false;
    }
}

/// The countdown of a retry: 0, or -2 when the user stopped during it.
int countdown(int seconds, NetReport& report) {
    for (int left = seconds; left > 0; --left) {
        if (report.stop_requested()) return -2;
        report.progress(msg_text(msg::kWaitingLeft) + decimal_text(left) + u"秒）");
        report.sleep_ms(1000);
    }
    return report.stop_requested() ? -2 : 0;
}

/// One POST to the comment server. 0 with the answer, or -1 with the code in the client.
int post_once(CNet& net, const std::u16string& server, const std::string& body, const CommentOptions& o,
              CNetCookieSource* cookies, std::string& answer) {
    answer.clear();
    net.open_url(server, u"", cookies);
    if (net.send_request(CNet::kFlagReload, o.request_headers, u"POST") != 0) return -1;
    if (net.send(body) != 0) return -1;
    const int status = net.status_code();
    if (status < 200 || status > 299) {
        if (net.code() == 0) net.set_code(net_code::kStatusOther);
        net.close();
        return -1;
    }
    if (net.read_all(answer) < 0) return -1;
    net.close();
    return 0;
}

/// The request with the retries of the settings: 0 with the answer, -1 with the code, -2 stopped.
int post_with_retries(CNet& net, const std::u16string& server, const std::string& body, const CommentOptions& o,
                      CNetCookieSource* cookies, NetReport& report, std::u16string_view retry_progress,
                      std::string& answer, int& code) {
    net_debug_dump(o.net, u"ここのコメントが欲しいんですけど.txt", body);
    const int tries = std::max(1, o.retry_count);
    for (int attempt = 1;; ++attempt) {
        if (report.stop_requested()) return -2;
        if (post_once(net, server, body, o, cookies, answer) == 0) {
            net_debug_dump(o.net, u"このコメントですね。はいどうぞ.txt", answer);
            return 0;
        }
        code = net.code() != 0 ? net.code() : net_code::kSendFailed;
        if (attempt >= tries) return -1;
        if (!retry_progress.empty()) report.progress(retry_progress);
        if (countdown(o.retry_wait_s, report) != 0) return -2;
    }
}

/// A GET of one of the key APIs, as "key=value&…" pairs.
int get_pairs(std::u16string_view url, std::u16string_view thread, const CommentOptions& o, CNetCookieSource* cookies,
              std::vector<std::pair<std::string, std::string>>& pairs, int& code) {
    CNet net(o.net);
    std::string answer;
    if (net.fetch(url, thread, o.request_headers, u"GET", {}, cookies, answer) != 0) {
        code = net.code() != 0 ? net.code() : net_code::kSendFailed;
        return -1;
    }
    if (const int status_code = netresp::status_class_code(net.last_status()); status_code != 0) {
        code = status_code;
        return -1;
    }
    pairs = parse_flv_pairs(answer);
    return 0;
}

const std::string* pair_value(const std::vector<std::pair<std::string, std::string>>& pairs, std::string_view key) {
    for (const auto& [k, v] : pairs)
        if (k == key) return &v;
    return nullptr;
}

/// The comment numbers of a saved file: its largest `no`. -1 when the file cannot be read.
long long saved_last_number(const std::u16string& path) {
    CFileSP file;
    CCharM bytes;
    if (file.read(path, bytes) != 0) return -1;
    const std::string_view text = bytes.view();
    const size_t end = comments_end(text);
    return scan_numbers(text.substr(0, end == std::string_view::npos ? text.size() : end)).max;
}

bool video_file_exists(std::u16string_view folder, std::u16string_view save_name, const CommentOptions& o) {
    const std::u16string base = std::u16string(folder) + u"/" + std::u16string(save_name) + u".";
    for (std::u16string_view ext : split_view(o.video_extensions, u'|'))
        if (!ext.empty() && is_file(base + std::u16string(ext))) return true;
    return false;
}

/// Everything the requests of one item share.
struct ThreadContext {
    CWorkMovieInfo& info;
    const CommentOptions& o;
    CookieStore* cookies;
    NetReport& report;
    ThreadRequest request;
    CNet net;

    ThreadContext(CWorkMovieInfo& i, const CommentOptions& options, CookieStore* c, NetReport& r)
        : info(i), o(options), cookies(c), report(r), net(options.net) {}

    /// getflv and the keys. 0, -1 with the result's codes, -2 stopped.
    int open(std::u16string_view folder, std::u16string_view save_name, CommentResult& result) {
        const int rc = prepare_comment_thread(info, folder, save_name, o, cookies, report, result, request);
        result.stopped = rc == -2;
        return rc;
    }

    /// One request for comments, read. 0, -1 with `code`, -2 stopped.
    int ask(const std::string& body, std::string& answer, CommentAnswer& read, int& code,
            std::u16string_view retry_progress = {}) {
        const int rc =
            post_with_retries(net, info.message_server, body, o, cookies, report, retry_progress, answer, code);
        if (rc == 0) read = read_comment_answer(answer);
        return rc;
    }
};

/// The latest comments (or those at the moment of "昔") into `pieces`. 0, -1 with the code, -2 stopped.
int fetch_latest(ThreadContext& c, CommentPieces& pieces, CommentResult& result, long long& current) {
    const CommentOptions& o = c.o;
    ThreadRequest request = c.request;
    if (o.past_moment && !o.past_logs) {
        const long long posted = posted_seconds(c.info.posted);
        if (o.moment < 0 || (posted >= 0 && o.moment < posted)) {
            result.code = msg::kMomentBeforePosting;
            return -1;
        }
        int code = 0;
        if (get_wayback_key(request.thread, o, c.cookies, request.waybackkey, code) != 0) {
            result.code = code;
            return -1;
        }
        request.when = o.moment;
    }
    c.report.progress(msg_text(msg::kCommentsProgress));
    std::string body;
    if (o.mode == CommentMode::kByCount || o.past_logs) {
        body = thread_request_body(request);
    } else if (c.info.length_seconds < 0) {
        result.secondary_code = msg::kLengthUnknownByCount;
        c.report.log(msg_text(msg::kLengthUnknownByCount));
        body = thread_request_body(request);
    } else if (c.info.length_seconds == 0 || c.info.length_seconds > 100 * 24 * 3600) {
        result.code = msg::kLengthFailed;
        return -1;
    } else {
        body = packet_request_body(request, (c.info.length_seconds + 59) / 60, o.mode == CommentMode::kBoth);
    }
    std::string answer;
    CommentAnswer read;
    int code = 0;
    if (const int rc = c.ask(body, answer, read, code); rc != 0) {
        result.code = rc == -1 ? code : 0;
        return rc;
    }
    if (!read.has_packet) {
        result.code = msg::kNoPacketTag;
        return -1;
    }
    const long long resultcode = read.resultcode;
    const long long last_res = read.last_res;
    pieces.add(std::move(answer), read);
    if (pieces.empty()) {
        if (resultcode > 0 && resultcode < 1000)
            result.code = static_cast<int>(resultcode);
        else
            result.code = c.info.comments > 0 ? msg::kZeroComments : msg::kZeroCommentsProbably;
        return -1;
    }
    // A last_res below what the answer itself holds is not believed.
    current = std::max<long long>(last_res, pieces.highest());
    return 0;
}

/// The walk back through the past logs. `wanted` receives the lowest number kept. 0, -1, -2.
int walk_past_logs(ThreadContext& c, CommentPieces& latest, int& wanted, CommentResult& result) {
    const CommentOptions& o = c.o;
    NetReport& report = c.report;
    report.progress(msg_text(msg::kPastLogsProgress));
    if (latest.empty()) {
        result.code = msg::kNoValidRange;
        return -1;
    }
    auto lowest_wanted = [&](const CommentPieces& p) {
        return o.limit_on ? std::max<long long>(1, static_cast<long long>(p.highest()) - o.limit + 1) : 1;
    };
    wanted = static_cast<int>(lowest_wanted(latest));
    if (!o.start_point && wanted >= latest.lowest()) return 0;

    ThreadRequest request = c.request;
    int code = 0;
    if (get_wayback_key(request.thread, o, c.cookies, request.waybackkey, code) != 0) {
        result.code = msg::kPastLogFailed;
        return -1;
    }
    CommentPieces walked;
    CommentPieces* held = &latest;
    std::string answer;
    CommentAnswer read;
    if (o.start_point) {
        long long base = posted_seconds(c.info.posted);
        if (base < 0 && latest.first_answer()) base = latest.first_answer()->thread;
        request.when = std::max(0LL, base) + o.start_days * 86400LL + o.start_hours * 3600LL;
        if (const int rc = c.ask(thread_request_body(request), answer, read, code); rc != 0) {
            result.code = rc == -1 ? code : 0;
            return rc;
        }
        walked.add(std::move(answer), read);
        if (walked.empty()) return 0; // nothing was posted by then: the latest comments stand alone
        held = &walked;
        wanted = static_cast<int>(lowest_wanted(walked));
        if (wanted >= walked.lowest()) {
            latest.absorb(std::move(walked));
            return 0;
        }
        report.sleep_ms(o.interval_ms);
    }

    const long long span = std::max<long long>(1, held->highest() - wanted + 1);
    // Every pass either lowers the lowest number held or counts a retry, so the walk ends.
    for (;;) {
        if (report.stop_requested()) return -2;
        if (held->lowest() < 1 || held->lowest_date() < 0) {
            result.code = msg::kUnexpectedFormatB;
            return -1;
        }
        request.when = held->lowest_date() + 1;
        const std::string body = thread_request_body(request);
        int retries = 0;
        int kept = 0;
        for (;;) {
            if (const int rc = c.ask(body, answer, read, code); rc != 0) {
                result.code = rc == -1 ? code : 0;
                return rc;
            }
            kept = held->add_older(std::move(answer), read, held->lowest());
            if (kept < 0) {
                result.code = msg::kUnexpectedFormatC;
                return -1;
            }
            if (kept > 0) break;
            if (++retries > kEmptyAnswerRetries) {
                result.code = msg::kPastLogAbnormal;
                return -1;
            }
            report.log(msg_text(msg::kPastLogRetry) + decimal_text(retries) + u"/" + decimal_text(kEmptyAnswerRetries) +
                       msg_text(msg::kPastLogRetryTail));
            if (countdown(std::min(o.retry_wait_s, kEmptyAnswerWaitCap), report) != 0) return -2;
        }
        report.progress(msg_text(msg::kPastLogsProgress) + decimal_text(held->count()) + u"/" + decimal_text(span));
        if (wanted >= held->last_added_lowest()) break;
        if (report.stop_requested()) return -2;
        report.sleep_ms(o.interval_ms);
    }
    report.progress(msg_text(msg::kPastLogsJoining));
    if (held != &latest) latest.absorb(std::move(walked));
    return 0;
}

/// The joined thread through the writer. 0, or -1 with the code.
int save_thread(CommentPieces& pieces, int wanted, const CWorkMovieInfo& info, std::u16string_view folder,
                std::u16string_view save_name, const CommentOptions& o, CommentResult& result) {
    std::string header = pieces.header();
    std::string footer = pieces.footer();
    std::string body;
    const long long written = pieces.join(wanted, body);
    if (header.find("<packet") == std::string::npos) {
        result.code = msg::kNoPacketTag;
        return -1;
    }
    if (written == 0) {
        result.code = msg::kZeroCommentsProbably;
        return -1;
    }
    CommentTexts texts{header, body, footer};
    if (o.add_player_data) {
        ChatHeaderRecord record;
        parse_header(header, record, o.writer.id_separator);
        record.add_player_data(info.id);
        std::string rebuilt;
        write_header(record, o.writer, header.ends_with('\n') ? "\n" : "", rebuilt);
        header = std::move(rebuilt);
    } else {
        ensure_header(texts, o.writer);
    }
    ensure_footer(texts, o.writer);
    SaveRequest request;
    request.naming.base = std::u16string(folder) + u"/" + std::u16string(save_name);
    request.naming.extension = u".xml";
    request.policy = CFileSP::kOverwrite;
    request.protect_inputs = false;
    int error = 0;
    std::u16string written_as;
    if (save_comment_file(texts, request, &error, &written_as) != 0) {
        result.code = error == 21 ? msg::kCommentsSavedBefore : (error != 0 ? error : msg::kWriteFailed);
        return -1;
    }
    result.saved = true;
    result.written = written;
    result.path = written_as.empty() ? request.naming.base + u".xml" : written_as;
    result.code = msg::kCommentsDone;
    return 0;
}

} // namespace

CommentOptions comment_options_from(const CSettings& s, int cookie_entry) {
    CommentOptions o;
    o.past_logs = s.on(key(DlSwitch::kPastLogs));
    o.start_point = s.on(key(DlSwitch::kPastLogStart));
    o.limit_on = s.on(key(DlSwitch::kPastLogLimit));
    o.past_moment = s.on(key(DlSwitch::kPastMoment));
    o.moment = ascii_decimal(s.text(kDlPastMoment), 12).value_or(-1);
    o.mode = static_cast<CommentMode>(std::clamp(s.number(key(DlNumber::kCommentMode)), 0, 2));
    o.start_days = std::max(0, s.number(OptNumber::kPastLogStartDays));
    o.start_hours = std::max(0, s.number(OptNumber::kPastLogStartHours));
    o.limit = std::max(1, s.number(OptNumber::kPastLogLimit));
    o.per_request = std::max(1, s.number(OptNumber::kCommentsPerRequest));
    o.interval_ms = std::max(0, s.number(OptNumber::kPastLogInterval));
    o.retry_wait_s = std::max(0, s.number(OptNumber::kCommentRetryWait));
    o.retry_count = std::max(1, s.number(OptNumber::kCommentRetryCount));
    o.skip_unchanged = s.on(OptSwitch::kSkipUnchangedComments);
    o.skip_increase_below = s.number(OptNumber::kSkipIncreaseBelow);
    o.skip_by_conditions = s.on(OptSwitch::kSkipByConditions);
    o.cond_last_number = s.on(OptSwitch::kSkipCondLastNumber);
    o.last_number_at_least = s.number(OptNumber::kSkipLastNumberAtLeast);
    o.cond_latest_count = s.on(OptSwitch::kSkipCondLatestCount);
    o.latest_count_at_most = s.number(OptNumber::kSkipLatestCountAtMost);
    o.cond_increase = s.on(OptSwitch::kSkipCondIncrease);
    o.increase_at_most = s.number(OptNumber::kSkipIncreaseAtMost);
    o.fuzzy_saved_match = s.on(OptSwitch::kFuzzySavedMatch);
    o.add_player_data = s.on(OptSwitch::kAddBoonData);
    if (const std::u16string& t = s.text(OptText::kOwnerNameTemplate); !t.empty()) o.owner_template = t;
    o.video_extensions = s.text(OptText::kVideoExtensions);
    o.info = info_options_from(s);
    o.net = o.info.net;
    o.request_headers = o.info.request_headers;
    o.login = login_settings_from(s, cookie_entry);
    o.getflv_url = o.login.getflv_url;
    o.want_https = !o.getflv_url.starts_with(u"http:");
    o.threadkey_url = s.text(o.want_https ? OptText::kThreadKeyHttps : OptText::kThreadKeyHttp);
    o.waybackkey_url = s.text(o.want_https ? OptText::kWaybackKeyHttps : OptText::kWaybackKeyHttp);
    // Only the header and footer of a downloaded file go through the writer; its comments stay as served.
    o.writer.join_header_values = s.on(OptSwitch::kJoinHeaderValues);
    o.writer.always_write_ticket = s.on(OptSwitch::kAlwaysWriteTicket);
    o.writer.drop_num_click = s.on(OptSwitch::kDropNumClick);
    o.writer.rebuild_footer = s.on(OptSwitch::kRebuildFooter);
    if (const std::u16string& sep = s.text(OptText::kIdSeparator); !sep.empty()) o.writer.id_separator = sep;
    return o;
}

long long posted_seconds(std::u16string_view posted) {
    // "YYYY/MM/DD hh:mm:ss"
    if (posted.size() != 19 || posted[4] != u'/' || posted[7] != u'/' || posted[10] != u' ') return -1;
    auto number = [&](size_t at, size_t n) -> long long { return ascii_decimal(posted.substr(at, n), n).value_or(-1); };
    const long long y = number(0, 4), m = number(5, 2), d = number(8, 2);
    const long long hh = number(11, 2), mm = number(14, 2), ss = number(17, 2);
    if (y < 1970 || m < 1 || m > 12 || d < 1 || d > 31 || hh < 0 || hh > 23 || mm < 0 || mm > 59 || ss < 0 || ss > 60)
        return -1;
    // Days from the civil date (proleptic Gregorian).
    const long long yy = y - (m <= 2 ? 1 : 0);
    const long long era = yy / 400;
    const long long yoe = yy - era * 400;
    const long long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    const long long days = era * 146097 + doe - 719468;
    return days * 86400 + hh * 3600 + mm * 60 + ss - 9 * 3600;
}

int get_thread_key(std::u16string_view thread, const CommentOptions& o, CNetCookieSource* cookies,
                   std::u16string& threadkey, std::u16string& force_184, int& code) {
    std::vector<std::pair<std::string, std::string>> pairs;
    if (get_pairs(o.threadkey_url, thread, o, cookies, pairs, code) != 0) return -1;
    const std::string* key = pair_value(pairs, "threadkey");
    if (!key) {
        code = msg::kThreadKeyMissing;
        return -1;
    }
    threadkey = from_utf8(*key);
    const std::string* force = pair_value(pairs, "force_184");
    force_184 = force ? from_utf8(*force) : std::u16string();
    return 0;
}

int get_wayback_key(std::u16string_view thread, const CommentOptions& o, CNetCookieSource* cookies,
                    std::u16string& waybackkey, int& code) {
    std::vector<std::pair<std::string, std::string>> pairs;
    if (get_pairs(o.waybackkey_url, thread, o, cookies, pairs, code) != 0) return -1;
    const std::string* key = pair_value(pairs, "waybackkey");
    if (!key || key->empty()) {
        code = msg::kWaybackKeyMissing;
        return -1;
    }
    waybackkey = from_utf8(*key);
    return 0;
}

int comment_skip_code(const CommentOptions& o, long long saved_last, long long current) {
    if (saved_last < 0) return 0;
    if (o.skip_unchanged && current >= 0) {
        const long long increase = current - saved_last;
        if (increase < o.skip_increase_below) return increase < 1 ? msg::kNoNewComments : msg::kFewNewComments;
    }
    if (!o.skip_by_conditions || !(o.cond_last_number || o.cond_latest_count || o.cond_increase)) return 0;
    if (o.cond_last_number && !o.cond_latest_count && !o.cond_increase)
        return saved_last >= o.last_number_at_least ? msg::kSkipManySaved : 0;
    if (current < 0) return 0;
    const bool all = (!o.cond_last_number || saved_last >= o.last_number_at_least) &&
                     (!o.cond_latest_count || current <= o.latest_count_at_most) &&
                     (!o.cond_increase || current - saved_last <= o.increase_at_most);
    if (!all) return 0;
    return o.cond_latest_count ? msg::kSkipFewLatest : msg::kSkipNotIncreased;
}

std::u16string find_saved_comment_file(std::u16string_view folder, std::u16string_view save_name,
                                       std::u16string_view id, const CommentOptions& o) {
    const std::u16string exact = std::u16string(folder) + u"/" + std::u16string(save_name) + u".xml";
    if (is_file(exact)) return exact;
    if (!o.fuzzy_saved_match) return {};
    std::error_code ec;
    fs::directory_iterator it(to_fs_path(folder), ec);
    if (ec) return {};
    std::vector<std::u16string> found;
    int seen = 0;
    for (const auto& entry : it) {
        if (++seen > 100000) break;
        if (!entry.is_regular_file(ec)) continue;
        const std::u16string name = from_fs_path(entry.path().filename());
        if (name.size() < 5 || !ascii_equal_nocase(std::u16string_view(name).substr(name.size() - 4), u".xml"))
            continue;
        const std::u16string_view stem = std::u16string_view(name).substr(0, name.size() - 4);
        // The uploader's comments are a file of another kind.
        if (stem.ends_with(u"[Owner]")) continue;
        bool id_match = false;
        for (size_t at = id.empty() ? std::u16string_view::npos : stem.find(id); at != std::u16string_view::npos;
             at = stem.find(id, at + 1)) {
            const size_t after = at + id.size();
            if (after >= stem.size() || !is_ascii_digit(stem[after])) {
                id_match = true;
                break;
            }
        }
        if (stem.starts_with(save_name) || id_match) found.push_back(std::u16string(folder) + u"/" + name);
    }
    if (found.empty()) return {};
    std::sort(found.begin(), found.end());
    return found.front();
}

int prepare_comment_thread(CWorkMovieInfo& info, std::u16string_view folder, std::u16string_view save_name,
                           const CommentOptions& o, CookieStore* cookies, NetReport& report, CommentResult& result,
                           ThreadRequest& request) {
    if (report.stop_requested()) return -2;
    const bool have_login = !o.login.mail.empty() && !o.login.password.empty();
    int code = 0;
    int rc = get_flv(info, o.want_https, o.getflv_url, o.request_headers, have_login, o.net, cookies, report, code);
    if (rc == -2) {
        rc = -1;
        if (cookies && cookies->auto_login(o.login, report) == 0 && !report.stop_requested()) {
            rc = get_flv(info, o.want_https, o.getflv_url, o.request_headers, have_login, o.net, cookies, report, code);
            if (rc == -2) rc = -1;
        }
    }
    if (rc != 0) {
        if (report.stop_requested()) return -2;
        result.code = code;
        if (!is_getflv_answer_code(code)) result.video_code = result.secondary_code = code;
        if (video_file_exists(folder, save_name, o)) {
            result.code = 0;
            result.secondary_code = msg::kUndeliverableSameName;
        }
        return -1;
    }
    request = {};
    request.thread = info.thread_id;
    request.user_id = info.user_id;
    request.res_from = o.per_request;
    if (info.needs_key) {
        report.progress(msg_text(msg::kThreadKeyProgress));
        if (get_thread_key(info.thread_id, o, cookies, request.threadkey, request.force_184, code) != 0) {
            result.code = code;
            return -1;
        }
    }
    return 0;
}

int fetch_comments(CWorkMovieInfo& info, std::u16string_view folder, std::u16string_view save_name,
                   const CommentOptions& o, CookieStore* cookies, NetReport& report, CommentResult& result) {
    result = {};
    if (report.stop_requested()) {
        result.stopped = true;
        return -2;
    }
    const bool moment = o.past_moment && !o.past_logs;
    // A saved file is looked for (and read) only for a rule that asks about it.
    const bool rules = o.skip_unchanged || o.skip_by_conditions;
    const std::u16string saved = rules || (o.minimum_listed_count >= 0 && o.minimum_only_with_saved)
                                     ? find_saved_comment_file(folder, save_name, info.id, o)
                                     : std::u16string();
    if (o.minimum_listed_count >= 0 && info.comments >= 0 && info.comments < o.minimum_listed_count &&
        (!o.minimum_only_with_saved || !saved.empty())) {
        result.code = msg::kFewCommentsSkipAll;
        result.skipped = true;
        return 1;
    }
    const long long saved_last = moment || !rules || saved.empty() ? -1 : saved_last_number(saved);
    if (const int skip = comment_skip_code(o, saved_last, info.comments); skip != 0) {
        result.code = skip;
        result.skipped = true;
        return 1;
    }

    ThreadContext c(info, o, cookies, report);
    if (const int rc = c.open(folder, save_name, result); rc != 0) return rc;

    CommentPieces pieces;
    long long current = -1;
    if (const int rc = fetch_latest(c, pieces, result, current); rc != 0) {
        result.stopped = rc == -2;
        return rc;
    }
    if (const int skip = comment_skip_code(o, saved_last, current); skip != 0) {
        result.code = skip;
        result.skipped = true;
        return 1;
    }
    int wanted = 1;
    if (o.past_logs) {
        if (const int rc = walk_past_logs(c, pieces, wanted, result); rc != 0) {
            result.stopped = rc == -2;
            return rc;
        }
    }
    if (report.stop_requested()) {
        result.stopped = true;
        return -2;
    }
    return save_thread(pieces, wanted, info, folder, save_name, o, result) == 0 ? 1 : -1;
}

int fetch_owner_comments(CWorkMovieInfo& info, std::u16string_view folder, const CommentOptions& o,
                         CookieStore* cookies, NetReport& report, CommentResult& result) {
    result = {};
    InfoOptions naming = o.info;
    naming.name_template = o.owner_template;
    const std::u16string name = save_name(info, SaveNameKind::kFile, naming, false);
    ThreadContext c(info, o, cookies, report);
    if (const int rc = c.open(folder, save_name(info, SaveNameKind::kFile, o.info, false), result); rc != 0) return rc;
    c.request.fork = true;
    report.progress(msg_text(msg::kOwnerCommentsProgress));
    std::string answer;
    CommentAnswer read;
    int code = 0;
    // Only a failed request is tried again: an answer the server gave stands.
    if (const int rc = c.ask(thread_request_body(c.request), answer, read, code, msg_text(msg::kOwnerRetryProgress));
        rc != 0) {
        result.stopped = rc == -2;
        result.code = rc == -1 ? code : 0;
        return rc;
    }
    if (!answer.starts_with(kDeclaration) || answer.find("</packet>") == std::string::npos) {
        result.code = msg::kOwnerFetchFailed;
        return -1;
    }
    if (answer.find("<chat ") == std::string::npos) {
        result.code = msg::kOwnerNone;
        return 0;
    }
    std::string header, footer;
    SaveRequest request;
    request.naming.base = std::u16string(folder) + u"/" + name;
    request.naming.extension = u".xml";
    request.policy = CFileSP::kOverwrite;
    request.protect_inputs = false;
    int error = 0;
    std::u16string written_as;
    if (save_comment_file(CommentTexts{header, answer, footer}, request, &error, &written_as) != 0) {
        result.code = msg::kOwnerWriteFailed;
        result.secondary_code = error;
        return -1;
    }
    result.saved = true;
    result.written = static_cast<long long>(read.chats.size());
    result.path = written_as.empty() ? request.naming.base + u".xml" : written_as;
    result.code = msg::kOwnerDone;
    return 1;
}

} // namespace quippet
