#include "net/MovieInfo.h"
#include "net/Net.h"
#include "net/NetReport.h"
#include "net/NetResponse.h"
#include "resources/MessageIds.h"
#include "resources/Messages.h"
#include "text/Ascii.h"
#include "text/Encoding.h"
#include "text/UrlCoding.h"

namespace quippet {
namespace {

constexpr size_t kMaxPairs = 512;

std::u16string value_of(const std::vector<std::pair<std::string, std::string>>& pairs, std::string_view key,
                        bool* present = nullptr) {
    for (const auto& [k, v] : pairs) {
        if (k == key) {
            if (present) *present = true;
            return from_utf8(v);
        }
    }
    if (present) *present = false;
    return {};
}

int int_of(const std::u16string& text) {
    return static_cast<int>(ascii_decimal(text, 9).value_or(-1));
}

} // namespace

std::vector<std::pair<std::string, std::string>> parse_flv_pairs(std::string_view answer) {
    std::vector<std::pair<std::string, std::string>> pairs;
    while (!answer.empty() && pairs.size() < kMaxPairs) {
        const size_t amp = answer.find('&');
        const std::string_view pair = answer.substr(0, amp);
        answer.remove_prefix(amp == std::string_view::npos ? answer.size() : amp + 1);
        const size_t eq = pair.find('=');
        if (eq == std::string_view::npos || eq == 0) continue;
        std::string value = url_decoded(pair.substr(eq + 1));
        // A decoded value is text: bytes that are no UTF-8 are dropped rather than carried into names.
        if (!is_valid_utf8(value)) value = to_utf8(from_utf8(value));
        pairs.emplace_back(url_decoded(pair.substr(0, eq)), std::move(value));
    }
    return pairs;
}

bool parse_getflv(CWorkMovieInfo& info, std::string_view answer, int& closed, std::string& error) {
    const auto pairs = parse_flv_pairs(answer);
    closed = int_of(value_of(pairs, "closed"));
    error = to_utf8(value_of(pairs, "error"));
    if (value_of(pairs, "needs_key") == u"1") info.needs_key = true;
    bool thread = false, url = false, ms = false, user = false, nick = false;
    const std::u16string thread_id = value_of(pairs, "thread_id", &thread);
    const std::u16string video_url = value_of(pairs, "url", &url);
    const std::u16string server = value_of(pairs, "ms", &ms);
    const std::u16string user_id = value_of(pairs, "user_id", &user);
    if (!thread || !url || !ms || !user || thread_id.empty()) return false;
    CWorkMovieInfo::fill(info.thread_id, thread_id);
    CWorkMovieInfo::fill(info.old_server_url, video_url);
    if (info.old_server_url.ends_with(u"low")) info.economy = true;
    info.message_server = server;
    info.user_id = user_id;
    info.nickname = value_of(pairs, "nickname", &nick);
    if (!nick) info.nickname = u"？（ニックネーム取得失敗）";
    info.premium = int_of(value_of(pairs, "is_premium"));
    const std::u16string length = value_of(pairs, "l");
    if (const int l = int_of(length); l >= 0) CWorkMovieInfo::fill(info.length_seconds, l);
    const std::u16string ng_up = value_of(pairs, "ng_up");
    info.ng_up = ng_up;
    if (!ng_up.empty()) {
        // The uploader's replacement words: "&"-separated items, each URL-encoded once more.
        std::string_view rest;
        const std::string bytes = to_utf8(ng_up);
        rest = bytes;
        while (!rest.empty()) {
            const size_t amp = rest.find('&');
            const std::u16string word = from_utf8(url_decoded(rest.substr(0, amp)));
            if (!word.empty()) info.replace_words.push_back(word);
            rest.remove_prefix(amp == std::string_view::npos ? rest.size() : amp + 1);
        }
    }
    return true;
}

int get_flv(CWorkMovieInfo& info, bool want_https, const std::u16string& getflv_url,
            const std::u16string& request_headers, bool have_login, const CNetOptions& net_options,
            CNetCookieSource* cookies, NetReport& report, int& code) {
    code = 0;
    std::u16string query = info.thread_id;
    if (query.empty()) {
        report.debug(message_text(msg::kGetflvNoThreadId));
        query = info.id;
    }
    if (info.movie_type == u"swf") query += u"?as3=1";
    if (want_https) query += (query.find(u'?') == std::u16string::npos ? u"?" : u"&") + std::u16string(u"is_https=1");
    CNet net(net_options);
    std::string answer;
    if (net.fetch(getflv_url + query, u"", request_headers, u"GET", {}, cookies, answer) != 0) {
        code = net.code();
        return -1;
    }
    // An error page is the server's failure, not an answer that lacks the keys.
    if (const int status_code = netresp::status_class_code(net.last_status()); status_code != 0) {
        code = status_code;
        return -1;
    }
    {
        std::string dump = answer;
        for (size_t at = dump.find('&'); at != std::string::npos; at = dump.find('&', at + 2))
            dump.replace(at, 1, "\r\n");
        net_debug_dump(net_options, u"getflvから取得した情報.txt", dump);
    }
    int closed = -1;
    std::string error;
    const bool complete = parse_getflv(info, answer, closed, error);
    if (closed == 1) {
        code = msg::kLoginNotShared;
        return have_login ? -2 : -1;
    }
    if (complete) return 0;
    if (error.empty())
        code = msg::kGetflvIncomplete;
    else if (error == "invalid_thread")
        code = msg::kProbablyNoSuchVideo;
    else if (error != "invalid_v1")
        code = msg::kGetflvError;
    else if (!info.title.empty() && info.length_seconds >= 0)
        code = msg::kNoRightOrMissing;
    else if (info.id.starts_with(u"so"))
        code = msg::kApiThreadIdProbably;
    else if (info.status == InfoStatus::kCommunity)
        code = msg::kCommunityNumericIdFailed;
    else
        code = msg::kNoRightOrMissing;
    return -1;
}

} // namespace quippet
