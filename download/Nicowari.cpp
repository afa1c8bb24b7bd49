#include "download/Nicowari.h"

#include <filesystem>
#include <optional>
#include <set>
#include <system_error>

#include "app/SettingKeys.h"
#include "app/Settings.h"
#include "net/MovieInfo.h"
#include "net/Net.h"
#include "net/NetCodes.h"
#include "net/NetReport.h"
#include "resources/MessageIds.h"
#include "resources/Messages.h"
#include "text/AppHome.h"
#include "text/CharBuffer.h"
#include "text/Encoding.h"
#include "text/Entities.h"

namespace quippet {
namespace fs = std::filesystem;

namespace {

/// Answers of getbgm are a few kilobytes; anything far larger is not one.
constexpr long long kMaxBgmAnswer = 1 << 20;
constexpr size_t kMaxEntries = 256;

/// The user's rules where they have the key, the built-in ones otherwise: a rules file written before the
/// program read getbgm must not turn every nicowari into an unexpected answer.
const InfoRules& rules_for(const InfoRules& rules, std::u16string_view key) {
    return rules.has(key) ? rules : InfoRules::defaults();
}

std::optional<std::u16string_view> rule_value(const InfoRules& rules, std::u16string_view key,
                                              std::u16string_view text) {
    return rules_for(rules, key).apply(key, text);
}

std::u16string_view constant(const InfoRules& rules, std::u16string_view key) {
    return rules_for(rules, key).constant(key);
}

std::u16string trimmed(std::u16string_view text) {
    while (!text.empty() &&
           (text.front() == u' ' || text.front() == u'\n' || text.front() == u'\r' || text.front() == u'\t'))
        text.remove_prefix(1);
    while (!text.empty() &&
           (text.back() == u' ' || text.back() == u'\n' || text.back() == u'\r' || text.back() == u'\t'))
        text.remove_suffix(1);
    return std::u16string(text);
}

/// An ID names files and requests: letters and digits only, as the service's IDs are.
bool plain_id(std::u16string_view id) {
    if (id.empty() || id.size() > 32) return false;
    for (char16_t c : id)
        if (!((c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'))) return false;
    return true;
}

long long size_or_missing(const std::u16string& path) {
    std::error_code ec;
    const auto size = fs::file_size(to_fs_path(path), ec);
    return ec ? -1 : static_cast<long long>(size);
}

} // namespace

NicowariOptions nicowari_options_from(const CSettings& settings) {
    NicowariOptions o;
    o.getbgm_url = settings.text(OptText::kGetBgm);
    o.video = video_options_from(settings);
    return o;
}

std::u16string getbgm_address(std::u16string_view setting, std::u16string_view id) {
    std::u16string url(setting);
    url += id;
    url += setting.find(u'?') == std::u16string_view::npos ? u"?as3=1" : u"&as3=1";
    return url;
}

int read_getbgm_answer(std::u16string_view answer, const InfoRules& rules, NicowariInfo& out) {
    out = {};
    const auto status = rule_value(rules, u"BGMﾚｽ", answer);
    if (status && *status == constant(rules, u"BGM失敗")) {
        const std::u16string_view error = rule_value(rules, u"BGM失区", answer).value_or(answer);
        const std::u16string code = trimmed(rule_value(rules, u"BGMｺｰﾄﾞ", error).value_or(u""));
        if (code == constant(rules, u"BGM無C")) {
            out.state = BgmState::kNone;
            out.code = msg::kNoNicowari;
        } else if (code == constant(rules, u"BGM不C")) {
            out.state = BgmState::kNoneByParamError;
            out.code = msg::kNoNicowariProbably;
        } else {
            out.state = BgmState::kNotDownloadable;
            out.code = msg::kNicowariUndeliverable;
        }
        return 0;
    }
    if (!status || *status != constant(rules, u"BGM成功")) {
        out.state = BgmState::kUnexpected;
        out.code = msg::kBgmUnexpected;
        return -1;
    }
    out.state = BgmState::kOk;
    const std::u16string_view head = constant(rules, u"BGM頭");
    const std::u16string_view tail = constant(rules, u"BGM尾");
    std::set<std::u16string> seen;
    size_t from = head.empty() ? std::u16string_view::npos : answer.find(head);
    while (from != std::u16string_view::npos && out.entries.size() < kMaxEntries) {
        const size_t body = from + head.size();
        const size_t end = tail.empty() ? std::u16string_view::npos : answer.find(tail, body);
        if (end == std::u16string_view::npos) break;
        const std::u16string_view range = answer.substr(body, end - body);
        from = answer.find(head, end + tail.size());
        const std::u16string id = trimmed(rule_value(rules, u"BGMid", range).value_or(u""));
        CCharW url(trimmed(rule_value(rules, u"BGMurl", range).value_or(u"")));
        unescape_basic(url);
        const std::u16string_view address = url.view();
        if (!plain_id(id) || !(address.starts_with(u"http://") || address.starts_with(u"https://"))) continue;
        if (!seen.insert(id).second) continue;
        out.entries.push_back({id, std::u16string(address)});
    }
    if (out.entries.empty()) {
        out.state = BgmState::kNoId;
        out.code = msg::kBgmNoId;
        return -1;
    }
    return 1;
}

int fetch_nicowari_info(std::u16string_view video_id, const NicowariOptions& options, CNetCookieSource* cookies,
                        NetReport& report, NicowariInfo& out) {
    out = {};
    CNetOptions net_options = options.video.net;
    net_options.max_body_bytes = kMaxBgmAnswer;
    CNet net(net_options);
    std::string body;
    net.open_url(getbgm_address(options.getbgm_url, video_id), {}, cookies);
    int rc = net.send_request(CNet::kFlagReload, options.video.request_headers);
    if (rc == 0) rc = net.send();
    // An error page is a failure of the request, not an answer of getbgm to be read.
    if (rc == 0) rc = net.status_code() / 100 == 2 ? net.read_all(body) : -1;
    net.close();
    if (rc < 0) {
        out.state = BgmState::kNetworkFailure;
        out.code = net.code() != 0 ? net.code() : net_code::kStatusOther;
        return -1;
    }
    net_debug_dump(options.video.net, u"getbgmの反応.txt", body);
    const std::u16string answer = from_utf8(body);
    rc = read_getbgm_answer(answer, options.video.info.rules, out);
    if (rc < 0) report.debug(std::u16string(message_text(out.code)));
    return rc;
}

int save_nicowari(const NicowariInfo& info, std::u16string_view folder, const NicowariOptions& options, OwedBytes& owed,
                  const VideoClock& clock, CNetCookieSource* cookies, NetReport& report, NicowariResult& result) {
    result = {};
    report.progress(message_text(msg::kNicowariProgress));
    int failure = 0;
    bool aside_any = false, existing_any = false;
    for (const NicowariEntry& entry : info.entries) {
        if (report.stop_requested()) {
            result.stopped = true;
            break;
        }
        CWorkMovieInfo clip;
        clip.id = entry.id;
        int code = 0;
        (void)fetch_api_info(clip, u"", options.video.info, cookies, report, code);
        if (clip.status == InfoStatus::kDeleted || clip.status == InfoStatus::kNotFound) {
            // getbgm listed a clip that its own information says is gone.
            failure = msg::kNicowariUnstable;
            continue;
        }
        if (clip.title.empty()) clip.title = std::u16string(message_text(msg::kNicowariTitle));
        const std::u16string name = save_name(clip, SaveNameKind::kFile, options.video.info, false);
        const std::u16string ext = clip.movie_type.empty() ? std::u16string(u".swf") : video_extension(clip, report);
        const std::u16string base = std::u16string(folder) + u"/" + name;
        const long long expected = clip.size_high > 0 ? clip.size_high : -1;

        std::u16string target = base + ext;
        bool aside = false;
        if (const long long saved = size_or_missing(target); saved >= 0) {
            const std::u16string other = base + u"：既存ファイルと別名で保存" + ext;
            if (saved == expected || size_or_missing(other) == expected) {
                existing_any = true;
                continue;
            }
            target = other;
            aside = true;
        }
        report.progress(message_text(msg::kNicowariDownloading));
        VideoTransfer t;
        t.url = entry.url;
        t.final_path = target;
        t.expected = expected;
        t.label = entry.id;
        t.owed = &owed;
        t.clock = &clock;
        const int rc = transfer_video(t, options.video, report);
        if (rc == -2) {
            result.stopped = true;
            break;
        }
        if (rc != 1) {
            report.log(std::u16string(message_text(msg::kNicowariFailed)) + entry.id);
            failure = t.code != 0 ? t.code : msg::kSomeDownloadError;
            continue;
        }
        report.log(std::u16string(message_text(msg::kNicowariDone)) + t.final_path);
        ++result.saved;
        aside_any = aside_any || aside;
        result.paths.push_back(t.final_path);
    }
    if (failure != 0)
        result.code = failure;
    else if (aside_any)
        result.code = msg::kNicowariSavedAside;
    else if (result.saved > 0)
        result.code = msg::kNicowariSaved;
    else if (existing_any)
        result.code = msg::kNicowariSavedBefore;
    return result.stopped ? -2 : 0;
}

} // namespace quippet
