#include "net/JsonScan.h"
#include "net/MovieInfo.h"
#include "net/Net.h"
#include "net/NetReport.h"
#include "net/ServiceAddress.h"
#include "resources/MessageIds.h"
#include "resources/Messages.h"
#include "text/Ascii.h"
#include "text/Encoding.h"
#include "text/Entities.h"

namespace quippet {
namespace {

bool is_blank(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n';
}

/// End of the string that starts with the quote at `text[at]`: the position of its closing quote.
std::optional<size_t> string_end(std::u16string_view text, size_t at) {
    for (size_t i = at + 1; i < text.size(); ++i) {
        if (text[i] == u'\\') {
            ++i;
        } else if (text[i] == u'"') {
            return i;
        }
    }
    return std::nullopt;
}

std::u16string trimmed(std::u16string_view text) {
    while (!text.empty() && is_blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && is_blank(text.back()))
        text.remove_suffix(1);
    return std::u16string(text);
}

/// The text of a value found by a rule on an older page: entities resolved, the quotes of a JSON string
/// removed.
std::u16string page_value(std::u16string_view raw) {
    CCharW t(trimmed(raw));
    unescape_all(t);
    std::u16string s(t.view());
    if (s.size() >= 2 && s.front() == u'"' && s.back() == u'"') s = s.substr(1, s.size() - 2);
    CCharW j(s);
    decode_json_string(j);
    return std::u16string(j.view());
}

long long count_of(std::u16string_view raw) {
    return ascii_decimal(json_text(raw)).value_or(-1);
}

/// The GINZA generation of the page: the rules cut the API data container and its video details.
void read_ginza_page(CWorkMovieInfo& info, std::u16string_view page, const InfoRules& rules) {
    const std::u16string_view container = rules.apply(u"区切閲X1", page).value_or(page);
    const std::u16string_view detail = rules.apply(u"区切閲X2", container).value_or(container);
    auto get = [&](std::u16string_view key) { return rules.apply(key, detail); };
    if (auto v = get(u"ｽﾚｯﾄﾞIDX")) CWorkMovieInfo::fill(info.thread_id, page_value(*v));
    if (auto v = get(u"ｿｰｽIDX")) CWorkMovieInfo::fill(info.source_id, page_value(*v));
    if (auto v = get(u"動画名X")) CWorkMovieInfo::fill(info.title, page_value(*v));
    if (info.title.empty())
        if (auto v = rules.apply(u"動画名X2", page)) CWorkMovieInfo::fill(info.title, page_value(*v));
    if (auto v = get(u"ｺﾒﾝﾄ数X")) CWorkMovieInfo::fill(info.comments, count_of(page_value(*v)));
    if (auto v = get(u"再生数X")) CWorkMovieInfo::fill(info.views, count_of(page_value(*v)));
    if (auto v = get(u"ﾏｲﾘｽ数X")) CWorkMovieInfo::fill(info.mylists, count_of(page_value(*v)));
    if (auto v = get(u"投稿日X")) CWorkMovieInfo::fill(info.posted, normalize_posted_date(page_value(*v)));
    if (auto v = get(u"長さX")) CWorkMovieInfo::fill(info.length_seconds, length_to_seconds(page_value(*v)));
    if (auto v = get(u"説明文X")) CWorkMovieInfo::fill(info.description, page_value(*v));
    if (auto tags = get(u"タグX")) {
        const std::u16string_view before = rules.constant(u"タグX前"), after = rules.constant(u"タグX後");
        std::u16string_view rest = *tags;
        while (!before.empty()) {
            const auto tag = cut_between(rest, before, after);
            if (!tag) break;
            info.add_tag(page_value(*tag));
            rest.remove_prefix(static_cast<size_t>(tag->data() - rest.data()) + tag->size());
        }
    }
}

/// The oldest generation: a script object with the video's fields and the page's tag anchors.
void read_old_page(CWorkMovieInfo& info, std::u16string_view page, const InfoRules& rules) {
    const std::u16string_view block = rules.apply(u"区切閲", page).value_or(u"");
    auto get = [&](std::u16string_view key) { return rules.apply(key, block); };
    if (auto v = get(u"ｽﾚｯﾄﾞID")) CWorkMovieInfo::fill(info.thread_id, page_value(*v));
    if (auto v = rules.apply(u"区切ス1", page)) CWorkMovieInfo::fill(info.thread_id, page_value(*v));
    if (auto v = get(u"ｿｰｽID2")) CWorkMovieInfo::fill(info.source_id, page_value(*v));
    if (auto v = get(u"動画名2")) CWorkMovieInfo::fill(info.title, page_value(*v));
    if (auto v = rules.apply(u"動画名3", page)) CWorkMovieInfo::fill(info.title, page_value(*v));
    if (auto v = get(u"再生数2")) CWorkMovieInfo::fill(info.views, count_of(page_value(*v)));
    if (auto v = get(u"ｺﾒﾝﾄ数2")) CWorkMovieInfo::fill(info.comments, count_of(page_value(*v)));
    if (auto v = get(u"ﾏｲﾘｽ数2")) CWorkMovieInfo::fill(info.mylists, count_of(page_value(*v)));
    if (auto v = get(u"投稿日2")) CWorkMovieInfo::fill(info.posted, normalize_posted_date(page_value(*v)));
    if (auto v = get(u"長さ2")) CWorkMovieInfo::fill(info.length_seconds, length_to_seconds(page_value(*v)));
    if (auto v = get(u"説明文")) CWorkMovieInfo::fill(info.description, page_value(*v));
    if (const auto body = rules.apply(u"区切タ", page)) {
        for (std::u16string_view tag : rules.apply_all(u"ﾀｸﾞ抽出", *body))
            info.add_tag(page_value(tag));
    }
}

std::vector<std::u16string> ids_of(std::u16string_view raw_array, bool skip_kbps) {
    std::vector<std::u16string> ids;
    for (std::u16string_view item : json_array_items(raw_array)) {
        std::u16string id;
        if (!item.empty() && item.front() == u'{') {
            if (auto v = json_raw_value(item, u"id")) id = json_text(*v);
        } else {
            id = json_text(item);
        }
        if (id.empty() || (skip_kbps && id.find(u"kbps") != std::u16string::npos)) continue;
        ids.push_back(std::move(id));
    }
    return ids;
}

void read_session_api(CWorkMovieInfo& info, std::u16string_view session) {
    auto raw = [&](std::u16string_view key, std::u16string& field) {
        if (auto v = json_raw_value(session, key)) field = trimmed(*v);
    };
    raw(u"player_id", info.player_id);
    raw(u"signature", info.signature);
    raw(u"token", info.token);
    raw(u"service_user_id", info.service_user_id);
    raw(u"recipe_id", info.recipe_id);
    raw(u"content_key_timeout", info.content_key_timeout);
    raw(u"content_id", info.content_id);
    raw(u"heartbeat_lifetime", info.heartbeat_lifetime);
    raw(u"priority", info.priority);
    if (auto v = json_raw_value(session, u"videos")) info.video_qualities = ids_of(*v, false);
    if (auto v = json_raw_value(session, u"audios")) info.audio_qualities = ids_of(*v, false);
    if (auto v = json_raw_value(session, u"transfer_presets")) {
        const auto items = json_array_items(*v);
        if (!items.empty()) info.transfer_preset = trimmed(items.front());
    }
    if (auto auth = json_raw_value(session, u"auth_types"))
        if (auto http = json_raw_value(*auth, u"http")) info.auth_type = trimmed(*http);
    info.session_url = session_api_default_url();
    if (auto urls = json_raw_value(session, u"urls")) {
        const auto items = json_array_items(*urls);
        if (!items.empty()) {
            if (auto u = json_raw_value(items.front(), u"url")) info.session_url = json_text(*u);
            if (auto p = json_raw_value(items.front(), u"is_well_known_port"))
                info.well_known_port = json_text(*p) == u"true";
            if (auto s = json_raw_value(items.front(), u"is_ssl")) info.ssl = json_text(*s) == u"true";
        }
    }
}

} // namespace

// --- the JSON scan ----------------------------------------------------------------------------------------

std::optional<std::u16string_view> json_value_extent(std::u16string_view text) {
    size_t start = 0;
    while (start < text.size() && is_blank(text[start]))
        ++start;
    if (start >= text.size()) return std::nullopt;
    const char16_t first = text[start];
    if (first == u'"') {
        const auto end = string_end(text, start);
        if (!end) return std::nullopt;
        return text.substr(start, *end - start + 1);
    }
    if (first == u'{' || first == u'[') {
        // Depth is a counter, not a stack: a mismatched bracket inside hostile text cannot recurse.
        long depth = 0;
        for (size_t i = start; i < text.size(); ++i) {
            const char16_t c = text[i];
            if (c == u'"') {
                const auto end = string_end(text, i);
                if (!end) return std::nullopt;
                i = *end;
            } else if (c == u'{' || c == u'[') {
                ++depth;
            } else if (c == u'}' || c == u']') {
                if (--depth == 0) return text.substr(start, i - start + 1);
            }
        }
        return std::nullopt;
    }
    size_t end = start;
    while (end < text.size() && text[end] != u',' && text[end] != u'}' && text[end] != u']' && !is_blank(text[end]))
        ++end;
    return text.substr(start, end - start);
}

std::optional<std::u16string_view> json_raw_value(std::u16string_view json, std::u16string_view key) {
    std::u16string quoted = u"\"";
    quoted += key;
    quoted += u'"';
    for (size_t at = json.find(quoted); at != std::u16string_view::npos; at = json.find(quoted, at + 1)) {
        size_t i = at + quoted.size();
        while (i < json.size() && is_blank(json[i]))
            ++i;
        if (i >= json.size() || json[i] != u':') continue;
        return json_value_extent(json.substr(i + 1));
    }
    return std::nullopt;
}

std::u16string json_text(std::u16string_view raw) {
    std::u16string t = trimmed(raw);
    if (t.size() >= 2 && t.front() == u'"' && t.back() == u'"') {
        CCharW s(std::u16string_view(t).substr(1, t.size() - 2));
        decode_json_string(s);
        return std::u16string(s.view());
    }
    return t == u"null" ? std::u16string() : t;
}

std::vector<std::u16string_view> json_array_items(std::u16string_view raw) {
    std::vector<std::u16string_view> items;
    size_t i = 0;
    while (i < raw.size() && is_blank(raw[i]))
        ++i;
    if (i >= raw.size() || raw[i] != u'[') return items;
    ++i;
    while (i < raw.size()) {
        while (i < raw.size() && (is_blank(raw[i]) || raw[i] == u','))
            ++i;
        if (i >= raw.size() || raw[i] == u']') break;
        const auto item = json_value_extent(raw.substr(i));
        if (!item || item->empty()) break;
        items.push_back(*item);
        i = static_cast<size_t>(item->data() - raw.data()) + item->size();
    }
    return items;
}

// --- the page ---------------------------------------------------------------------------------------------

void read_watch_json(CWorkMovieInfo& info, std::u16string_view json) {
    using F = CWorkMovieInfo;
    const std::u16string_view video = json_raw_value(json, u"video").value_or(json);
    if (auto v = json_raw_value(video, u"id")) F::fill(info.source_id, json_text(*v));
    if (auto v = json_raw_value(video, u"postedDateTime")) F::fill(info.posted, normalize_posted_date(json_text(*v)));
    if (auto v = json_raw_value(video, u"mylistCount")) F::fill(info.mylists, count_of(*v));
    if (auto v = json_raw_value(video, u"viewCount")) F::fill(info.views, count_of(*v));
    if (auto v = json_raw_value(video, u"duration")) F::fill(info.length_seconds, length_to_seconds(json_text(*v)));
    if (auto v = json_raw_value(video, u"title")) F::fill(info.title, json_text(*v));
    if (auto v = json_raw_value(video, u"originalDescription")) {
        CCharW d(json_text(*v));
        unescape_all(d);
        F::fill(info.description, d.view());
    }
    if (auto smile = json_raw_value(video, u"smileInfo"))
        if (auto url = json_raw_value(*smile, u"url")) {
            std::u16string u = json_text(*url);
            std::erase(u, u'\\');
            F::fill(info.old_server_url, u);
        }
    if (auto dmc = json_raw_value(video, u"dmcInfo")) {
        if (auto thread = json_raw_value(*dmc, u"thread"))
            if (auto id = json_raw_value(*thread, u"thread_id")) F::fill(info.thread_id, json_text(*id));
        if (auto quality = json_raw_value(*dmc, u"quality")) {
            if (auto v = json_raw_value(*quality, u"videos")) info.site_video_qualities = ids_of(*v, false);
            if (auto a = json_raw_value(*quality, u"audios")) info.site_audio_qualities = ids_of(*a, false);
            if (auto v = json_raw_value(*quality, u"videos"); v && info.video_qualities.empty())
                info.video_qualities = ids_of(*v, false);
            if (auto a = json_raw_value(*quality, u"audios"); a && info.audio_qualities.empty())
                info.audio_qualities = ids_of(*a, true);
        }
    }
    if (auto thread = json_raw_value(json, u"thread"))
        if (auto ids = json_raw_value(*thread, u"ids"))
            if (auto def = json_raw_value(*ids, u"default")) F::fill(info.default_thread_id, json_text(*def));
    if (auto tags = json_raw_value(json, u"tags")) {
        for (std::u16string_view item : json_array_items(*tags))
            if (auto name = json_raw_value(item, u"name")) info.add_tag(json_text(*name));
    }
    if (auto owner = json_raw_value(json, u"owner")) {
        if (auto nick = json_raw_value(*owner, u"nickname")) {
            std::u16string n = json_text(*nick);
            if (n.ends_with(u" さん")) n.resize(n.size() - 3);
            F::fill(info.owner_nickname, n);
        }
        if (auto id = json_raw_value(*owner, u"id")) F::fill(info.owner_id, json_text(*id));
    }
    // The session data is taken from the first "session_api" object wherever the page put it.
    constexpr std::u16string_view kSessionKey = u"\"session_api\":";
    if (const size_t at = json.find(kSessionKey); at != std::u16string_view::npos)
        if (auto session = json_value_extent(json.substr(at + kSessionKey.size()));
            session && session->starts_with(u"{"))
            read_session_api(info, *session);
}

int read_watch_page(CWorkMovieInfo& info, std::u16string_view page, const InfoOptions& options, int& code) {
    const InfoRules& rules = options.rules;
    code = 0;
    const bool has_login =
        page.find(u"/login\"") != std::u16string_view::npos || page.find(u"/login?") != std::u16string_view::npos;
    const bool has_logout = page.find(u"/secure/logout") != std::u16string_view::npos;
    info.not_logged_in = has_login && !has_logout ? 1 : 0;

    const std::u16string_view ginza = rules.constant(u"零判定");
    const bool is_ginza = !ginza.empty() && page.find(ginza) != std::u16string_view::npos;
    constexpr std::u16string_view kData = u"data-api-data=\"";
    if (is_ginza) {
        read_ginza_page(info, page, rules);
    } else if (const size_t at = page.find(kData); at != std::u16string_view::npos) {
        std::u16string_view attr = page.substr(at + kData.size());
        const size_t end_div = attr.find(u"</div>");
        if (end_div != std::u16string_view::npos) attr = attr.substr(0, end_div);
        // The attribute ends at its quote; an attribute without one runs to the end of its element.
        if (const size_t quote = attr.find(u'"'); quote != std::u16string_view::npos) attr = attr.substr(0, quote);
        CCharW json(attr);
        unescape_all(json);
        read_watch_json(info, json.view());
    } else {
        read_old_page(info, page, rules);
    }
    if (info.title.empty()) {
        code = info.thread_id.empty() ? msg::kHtmlFailedDeleted : msg::kHtmlFailedTitle;
        return -1;
    }
    if (info.description.empty() && info.description_short.empty())
        code = msg::kDescriptionEmpty;
    else if (info.tags.empty())
        code = msg::kTagsNotFound;
    return 0;
}

int fetch_watch_page(CWorkMovieInfo& info, int mode, std::u16string_view referer, bool flash_cookie,
                     const InfoOptions& options, CNetCookieSource* cookies, NetReport& report, int& code) {
    const std::u16string url = options.watch_url + info.id;
    std::u16string headers = options.request_headers;
    if (!referer.empty()) {
        if (!headers.empty() && !headers.ends_with(u"\r\n")) headers += u"\r\n";
        headers += u"Referer: " + std::u16string(referer) + u"\r\n";
        report.log(std::u16string(message_text(msg::kRefererRetry)) + std::u16string(referer) +
                   std::u16string(message_text(msg::kRefererRetryTail)));
    }
    const CNetCookie flash{u"watch_flash", flash_cookie ? u"1" : u"0"};
    std::u16string page;
    CNet net(options.net);
    if (net.get_text(3, page, url, u"", headers, cookies, &flash) != 0) {
        code = net.code();
        return -1;
    }
    if (referer.empty() && options.referer_retry) {
        const auto markers = split_view(options.referer_markers, u'|');
        std::u16string_view refs = options.referers;
        for (size_t i = 0; i < markers.size(); ++i) {
            const size_t bar = refs.find(u'|');
            const std::u16string_view ref = refs.substr(0, bar);
            refs.remove_prefix(bar == std::u16string_view::npos ? refs.size() : bar + 1);
            if (!markers[i].empty() && !ref.empty() && page.find(markers[i]) != std::u16string::npos)
                return fetch_watch_page(info, mode, ref, flash_cookie, options, cookies, report, code);
        }
    }
    if (mode == 3) return 0;
    net_debug_dump(options.net, u"動画閲覧ページのソース.txt", to_utf8(page));
    const int result = read_watch_page(info, page, options, code);
    if (options.net.debug) {
        net_debug_dump(options.net, u"動画閲覧ページのvideo_dmcInfo_session_api.txt",
                       to_utf8(info.player_id + u"\r\n" + info.recipe_id + u"\r\n" + info.session_url));
        std::u16string qualities;
        for (const auto& q : info.video_qualities)
            qualities += q + u"\r\n";
        net_debug_dump(options.net, u"動画閲覧ページのvideo_dmcInfo_video.txt", to_utf8(qualities));
    }
    return result;
}

} // namespace quippet
