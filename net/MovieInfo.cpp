#include "net/MovieInfo.h"

#include <algorithm>
#include <ctime>

#include "app/Settings.h"
#include "net/NetTextFiles.h"
#include "net/Net.h"
#include "net/NetReport.h"
#include "net/ServiceAddress.h"
#include "resources/MessageIds.h"
#include "resources/Messages.h"
#include "text/AppHome.h"
#include "text/Ascii.h"
#include "text/DateText.h"
#include "text/Encoding.h"
#include "text/Entities.h"
#include "text/FileSP.h"
#include "text/NameTemplate.h"

namespace quippet {
namespace {

/// Information answers are pages of a few hundred kilobytes; anything far larger is not one.
constexpr long long kMaxInfoAnswerBytes = 32ll << 20;

std::optional<long long> parse_count(std::u16string_view text) {
    while (!text.empty() && (text.front() == u' ' || text.front() == u'\n' || text.front() == u'\r'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == u' ' || text.back() == u'\n' || text.back() == u'\r'))
        text.remove_suffix(1);
    if (text.empty() || text.size() > 18) return std::nullopt;
    long long n = 0;
    for (char16_t c : text) {
        if (c == u',') continue; // "1,234" as pages print counts
        if (!is_ascii_digit(c)) return std::nullopt;
        n = n * 10 + (c - u'0');
    }
    return n;
}

std::u16string plain_text(std::u16string_view text) {
    CCharW t(text);
    unescape_all(t);
    return std::u16string(t.view());
}

/// Descriptions keep their lines, with CR LF between them.
std::u16string description_text(std::u16string_view text) {
    CCharW t(text);
    unescape_all(t);
    t.replace_all(u"\r\n", u"\n");
    t.replace_all(u"\r", u"\n");
    t.replace_all(u"\n", u"\r\n");
    return std::u16string(t.view());
}

std::vector<std::u16string_view> split_bars(std::u16string_view text) {
    std::vector<std::u16string_view> out;
    while (!text.empty()) {
        const size_t bar = text.find(u'|');
        if (bar != 0) out.push_back(text.substr(0, bar));
        if (bar == std::u16string_view::npos) break;
        text.remove_prefix(bar + 1);
    }
    return out;
}

/// The values of the information keys as one answer holds them: each key read in its own range (the
/// ranges "区切B" … "区切D" and the keys their "要素" lists name) or in the main range.
class ApiReader {
public:
    ApiReader(const InfoRules& rules, std::u16string_view prefix, std::u16string_view main)
        : rules_(rules), prefix_(prefix), main_(main) {
        for (std::u16string_view part : {u"B", u"C", u"D"}) {
            // A key read inside a range that the answer lacks has no value: it must not be read in the
            // main range instead, where an element of the same name means something else.
            const auto range = rules_.apply(key(std::u16string(u"区切") + std::u16string(part)), main_);
            for (std::u16string_view name :
                 split_bars(rules_.constant(key(std::u16string(u"要素") + std::u16string(part)))))
                ranges_.emplace_back(std::u16string(name), range);
        }
    }

    std::u16string key(std::u16string_view name) const { return std::u16string(prefix_) + std::u16string(name); }

    std::optional<std::u16string_view> get(std::u16string_view name) const {
        const std::u16string full = key(name);
        for (const auto& [k, range] : ranges_)
            if (k == full) return range ? rules_.apply(full, *range) : std::nullopt;
        return rules_.apply(full, main_);
    }

private:
    const InfoRules& rules_;
    std::u16string_view prefix_;
    std::u16string_view main_;
    std::vector<std::pair<std::u16string, std::optional<std::u16string_view>>> ranges_;
};

void read_tags(CWorkMovieInfo& info, const InfoRules& rules, std::u16string_view prefix, std::u16string_view main,
               bool foreign) {
    const std::u16string p(prefix);
    std::optional<std::u16string_view> range;
    if (foreign) range = rules.apply(p + u"ﾀｸﾞ範海", main);
    if (!range) range = rules.apply(p + u"ﾀｸﾞ範囲", main);
    if (!range) return;
    if (!rules.has(p + u"ﾀｸﾞ要素範囲")) {
        for (std::u16string_view tag : rules.apply_all(p + u"ﾀｸﾞ要素", *range))
            info.add_tag(plain_text(tag));
        return;
    }
    const std::u16string_view home = rules.constant(p + u"ﾀｸﾞ国内条件");
    for (std::u16string_view item : rules.apply_all(p + u"ﾀｸﾞ要素範囲", *range)) {
        if (!foreign) {
            const auto area = rules.apply(p + u"ﾀｸﾞ地域", item);
            if (area && !ascii_equal_nocase(*area, home)) continue;
        }
        if (const auto tag = rules.apply(p + u"ﾀｸﾞ要素", item)) info.add_tag(plain_text(*tag));
    }
}

int flag_value(const ApiReader& reader, std::u16string_view name) {
    const auto text = reader.get(name);
    if (!text) return 0;
    const auto n = parse_count(*text);
    if (n) return *n > 0 ? 1 : 0;
    return *text == u"true" ? 1 : 0;
}

} // namespace

// --- the record --------------------------------------------------------------------------------------------

void CWorkMovieInfo::fill(std::u16string& field, std::u16string_view value) {
    if (field.empty()) field = value;
}

void CWorkMovieInfo::fill(long long& field, long long value) {
    if (field < 0) field = value;
}

void CWorkMovieInfo::fill(int& field, int value) {
    if (field < 0) field = value;
}

void CWorkMovieInfo::add_tag(std::u16string_view tag) {
    if (tag.empty()) return;
    if (std::find(tags.begin(), tags.end(), tag) == tags.end()) tags.emplace_back(tag);
}

std::u16string normalize_posted_date(std::u16string_view text) {
    while (!text.empty() && (text.front() == u' ' || text.front() == u'"'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == u' ' || text.back() == u'"'))
        text.remove_suffix(1);
    if (text.empty() || text.size() > 40) return {};
    // Seconds since 1970.
    if (std::all_of(text.begin(), text.end(), [](char16_t c) { return is_ascii_digit(c); })) {
        CCharW t(text);
        return format_unix_time(t) == 0 ? std::u16string(t.view()) : std::u16string();
    }
    // "2007-03-06T00:33:00+09:00" or "2007/03/06 00:33:00": the service's local time as written.
    auto digits = [&](size_t at, size_t n) -> int {
        if (at + n > text.size()) return -1;
        int v = 0;
        for (size_t i = at; i < at + n; ++i) {
            if (!is_ascii_digit(text[i])) return -1;
            v = v * 10 + (text[i] - u'0');
        }
        return v;
    };
    const int year = digits(0, 4), month = digits(5, 2), day = digits(8, 2);
    if (year < 0 || month < 1 || month > 12 || day < 1 || day > 31) return {};
    if ((text[4] != u'-' && text[4] != u'/') || text[7] != text[4]) return {};
    int hour = 0, minute = 0, second = 0;
    if (text.size() > 10) {
        if (text[10] != u'T' && text[10] != u' ') return {};
        hour = digits(11, 2);
        minute = digits(14, 2);
        second = text.size() >= 19 ? digits(17, 2) : 0;
        if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 60) return {};
    }
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d/%02d/%02d %02d:%02d:%02d", year, month, day, hour, minute, second);
    return from_utf8(buf);
}

int length_to_seconds(std::u16string_view text) {
    while (!text.empty() && text.front() == u' ')
        text.remove_prefix(1);
    while (!text.empty() && text.back() == u' ')
        text.remove_suffix(1);
    if (text.empty() || text.size() > 16) return -1;
    long long total = 0;
    long long part = -1;
    int colons = 0;
    for (char16_t c : text) {
        if (c == u':') {
            if (part < 0 || ++colons > 2) return -1;
            total = total * 60 + part;
            part = -1;
        } else if (is_ascii_digit(c)) {
            part = (part < 0 ? 0 : part * 10) + (c - u'0');
            if (part > 100'000'000) return -1;
        } else if (c == u'.' && colons == 0) {
            break; // "duration": 123.4 in some answers; the fraction is dropped
        } else {
            return -1;
        }
    }
    if (part < 0) return -1;
    total = total * 60 + part;
    return total > 100'000'000 ? -1 : static_cast<int>(total);
}

InfoOptions info_options_from(const CSettings& settings) {
    InfoOptions o;
    o.thumbinfo_url = settings.text(OptText::kThumbInfoApi);
    o.mobile_url = settings.text(OptText::kMobileApi);
    o.watch_url = settings.text(OptText::kWatchPage);
    o.request_headers = settings.text(OptText::kRequestHeaders);
    o.foreign_tags = settings.on(OptSwitch::kForeignTags);
    o.referer_retry = settings.on(OptSwitch::kWatchRefererRetry);
    o.referer_markers = settings.text(OptText::kRefererMarkers);
    o.referers = settings.text(OptText::kReferers);
    o.append_length = settings.on(OptSwitch::kAppendLength);
    o.length_open = settings.text(OptText::kNameFrameBefore);
    o.length_close = settings.text(OptText::kNameFrameAfter);
    o.length_width = std::clamp(settings.number(OptNumber::kNameNumberWidth), 1, 9);
    o.name_template = settings.text(OptText::kNameTemplate);
    o.cache_sections = settings.on(OptSwitch::kInfoCacheSections);
    o.keep_old_description = settings.on(OptSwitch::kKeepOldDescription);
    o.net = net_options_from_settings(settings);
    o.net.max_body_bytes = kMaxInfoAnswerBytes;
    o.rules = load_info_rules(settings);
    return o;
}

// --- the two APIs ------------------------------------------------------------------------------------------

int read_api_answer(CWorkMovieInfo& info, std::u16string_view prefix, std::u16string_view answer,
                    const InfoOptions& options, int& code) {
    const InfoRules& rules = options.rules;
    const std::u16string p(prefix);
    const bool mobile = !prefix.empty();
    code = 0;
    const auto response = rules.apply(p + u"ﾚｽﾎﾟﾝｽ", answer);
    if (!response) {
        info.status = InfoStatus::kUnexpectedFormat;
        code = msg::kApiUnexpectedFormat;
        return -1;
    }
    if (!rules.constant(p + u"失敗時").empty() && *response == rules.constant(p + u"失敗時")) {
        const std::u16string_view error = rules.apply(p + u"区切失", answer).value_or(answer);
        const std::u16string_view err_code = rules.apply(p + u"ｴﾗｰｺｰﾄﾞ", error).value_or(u"");
        const std::u16string_view err_text = rules.apply(p + u"ｴﾗｰ記述", error).value_or(u"");
        auto is = [&](std::u16string_view c, std::u16string_view d) {
            return (!rules.constant(p + std::u16string(c)).empty() &&
                    err_code == rules.constant(p + std::u16string(c))) ||
                   (!rules.constant(p + std::u16string(d)).empty() &&
                    err_text == rules.constant(p + std::u16string(d)));
        };
        if (is(u"削除C", u"削除D"))
            info.status = InfoStatus::kDeleted;
        else if (is(u"存在C", u"存在D"))
            info.status = InfoStatus::kNotFound;
        else if (is(u"権限C", u"権限D"))
            info.status = InfoStatus::kCommunity;
        else
            info.status = InfoStatus::kOtherError;
        return -2;
    }
    if (*response != rules.constant(p + u"成功時")) {
        info.status = InfoStatus::kUnexpectedFormat;
        code = msg::kApiUnexpectedFormat;
        return -1;
    }
    info.status = InfoStatus::kOk;
    const std::u16string_view main = rules.apply(p + u"区切成", answer).value_or(answer);
    const ApiReader r(rules, prefix, main);

    auto text = [&](std::u16string_view name) { return r.get(name).value_or(u""); };
    auto count = [&](std::u16string_view name) -> long long {
        const auto t = r.get(name);
        return t ? parse_count(*t).value_or(-1) : -1;
    };
    if (!mobile) {
        if (const auto v = element_content(main, u"user_id")) CWorkMovieInfo::fill(info.owner_id, plain_text(*v));
        if (const auto v = element_content(main, u"user_nickname"))
            CWorkMovieInfo::fill(info.owner_nickname, plain_text(*v));
    }
    CWorkMovieInfo::fill(info.thread_id, text(u"ｽﾚID"));
    CWorkMovieInfo::fill(info.thread_id, text(u"ｽﾚID2"));
    CWorkMovieInfo::fill(info.default_thread_id, text(u"ﾃﾞﾌｫID"));
    CWorkMovieInfo::fill(info.channel_thread_id, text(u"chID"));
    CWorkMovieInfo::fill(info.source_id, plain_text(text(u"ｿｰｽID")));
    CWorkMovieInfo::fill(info.title, plain_text(text(u"動画名")));
    if (const std::u16string_view url = text(u"ｻﾑﾈURL"); url.find(u"deleted.jpg") == std::u16string_view::npos)
        CWorkMovieInfo::fill(info.thumbnail_url, plain_text(url));
    CWorkMovieInfo::fill(info.movie_type, plain_text(text(u"m_type")));
    CWorkMovieInfo::fill(info.size_high, count(u"s_high"));
    CWorkMovieInfo::fill(info.size_low, count(u"s_low"));
    CWorkMovieInfo::fill(info.comments, count(u"ｺﾒﾝﾄ数"));
    CWorkMovieInfo::fill(info.channel_comments, count(u"chｺﾒ数"));
    CWorkMovieInfo::fill(info.views, count(u"再生数"));
    CWorkMovieInfo::fill(info.mylists, count(u"ﾏｲﾘｽ数"));
    CWorkMovieInfo::fill(info.posted, normalize_posted_date(text(u"投稿日")));
    if (const auto length = r.get(u"長さ")) CWorkMovieInfo::fill(info.length_seconds, length_to_seconds(*length));
    CWorkMovieInfo::fill(info.description_short, description_text(text(u"説明文S")));
    CWorkMovieInfo::fill(info.description, description_text(text(u"説明文L")));
    read_tags(info, rules, prefix, main, options.foreign_tags);

    if (flag_value(r, u"旗コミ") > 0) info.status = InfoStatus::kCommunity;
    if (flag_value(r, u"旗削除") > 0) info.status = InfoStatus::kDeleted;
    if (mobile && answer.size() < 256 && answer.find(u"<count>0</count>") != std::u16string_view::npos)
        info.status = InfoStatus::kNotInMobileApi;

    if (info.title.empty())
        code = msg::kApiNoTitle;
    else if (info.posted.empty())
        code = msg::kApiNoPostedDate;
    else if (info.comments < 0)
        code = msg::kApiNoCommentCount;
    else if (info.views < 0)
        code = msg::kApiNoViewCount;
    else if (info.length_seconds < 0)
        code = msg::kApiNoLength;
    return 0;
}

int fetch_api_info(CWorkMovieInfo& info, std::u16string_view prefix, const InfoOptions& options,
                   CNetCookieSource* cookies, NetReport& report, int& code) {
    (void)report;
    const bool mobile = !prefix.empty();
    const std::u16string url = (mobile ? options.mobile_url : options.thumbinfo_url) + info.id;
    CNet net(options.net);
    std::u16string answer;
    if (net.get_text(3, answer, url, u"", options.request_headers, cookies) != 0) {
        code = net.code();
        info.status = InfoStatus::kNetworkFailure;
        return -1;
    }
    net_debug_dump(options.net, mobile ? u"iOS用のAPIから取得した情報.txt" : u"getthumbinfoから取得した情報.txt",
                   to_utf8(answer));
    return read_api_answer(info, prefix, answer, options, code);
}

// --- names --------------------------------------------------------------------------------------------------

std::u16string status_label(const CWorkMovieInfo& info) {
    switch (info.status) {
    case InfoStatus::kDeleted:
        return std::u16string(message_text(msg::kDeletedWithInfo));
    case InfoStatus::kNotFound:
        return std::u16string(message_text(msg::kNoSuchVideo));
    case InfoStatus::kCommunity:
        return std::u16string(message_text(msg::kCommunityVideoLabel));
    case InfoStatus::kNotInMobileApi:
        return std::u16string(message_text(msg::kDeletedWithoutInfo));
    default:
        return std::u16string(message_text(msg::kTitleNotFetched));
    }
}

std::u16string save_name(const CWorkMovieInfo& info, SaveNameKind kind, const InfoOptions& options, bool with_length) {
    std::u16string title = info.title;
    if (title.empty())
        title =
            kind == SaveNameKind::kInfoFile ? std::u16string(message_text(msg::kInfoFileNoTitle)) : status_label(info);
    if (with_length && options.append_length && info.length_seconds >= 0) {
        const std::u16string length =
            options.length_open + duration_text(info.length_seconds * 100, options.length_width) + options.length_close;
        if (title.find(length) == std::u16string::npos) title += length;
    }
    const std::u16string& id = info.name.empty() ? info.id : info.name;
    const std::u16string& tmpl =
        options.name_template.empty() ? std::u16string(kDefaultTemplate) : options.name_template;
    return expand_template(tmpl, title, id);
}

} // namespace quippet
