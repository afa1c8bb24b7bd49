#include "net/ServiceAddress.h"

#include <cstdlib>
#include <optional>

#include "app/Settings.h"
#include "text/AppHome.h"
#include "text/Encoding.h"

namespace quippet {
namespace {

constexpr std::u16string_view kSessionApiDefault = u"https://api.dmc.nico/api/sessions";
constexpr std::u16string_view kAnimeScheduleDefault = u"https://anime.nicovideo.jp/schedule/index.html";

constexpr OptText kServiceAddressSettings[] = {
    OptText::kLoginPage,      OptText::kGetFlvHttp,     OptText::kGetFlvHttps,     OptText::kThreadKeyHttp,
    OptText::kThreadKeyHttps, OptText::kWaybackKeyHttp, OptText::kWaybackKeyHttps, OptText::kThumbInfoApi,
    OptText::kMobileApi,      OptText::kWatchPage,      OptText::kSearchUrl,       OptText::kGetBgm,
};

// "scheme://authority" of a URL; its length, or 0 when the URL has no such part.
size_t origin_length(std::u16string_view url) {
    const size_t slashes = url.find(u"//");
    if (slashes == std::u16string_view::npos) return 0;
    const size_t end = url.find_first_of(u"/?#", slashes + 2);
    return end == std::u16string_view::npos ? url.size() : end;
}

std::u16string env_text(const char* name) {
    const char* value = std::getenv(name);
    return value ? from_utf8(value) : std::u16string();
}

std::optional<std::u16string>& root_override() {
    static std::optional<std::u16string> value;
    return value;
}

std::optional<std::u16string>& ca_override() {
    static std::optional<std::u16string> value;
    return value;
}

} // namespace

bool is_service_root(std::u16string_view root) {
    std::u16string_view rest;
    if (root.starts_with(u"http://"))
        rest = root.substr(7);
    else if (root.starts_with(u"https://"))
        rest = root.substr(8);
    else
        return false;
    rest = rest.substr(0, rest.find_first_of(u"/?#"));
    if (rest.empty()) return false;
    for (char16_t c : rest)
        if (c <= u' ' || c == u'@' || c == u'\\' || c > 0x7e) return false;
    return true;
}

std::u16string rebase_url(std::u16string_view url, std::u16string_view root) {
    const size_t keep_from = origin_length(url);
    const size_t root_origin = origin_length(root);
    if (keep_from == 0 || root_origin == 0) return std::u16string(url);
    std::u16string out(root.substr(0, root_origin));
    out += url.substr(keep_from);
    return out;
}

int apply_service_root(CSettings& settings, std::u16string_view root) {
    if (root.empty()) return 0;
    int changed = 0;
    for (OptText key : kServiceAddressSettings) {
        const std::u16string& current = settings.text(key);
        std::u16string rebased = rebase_url(current, root);
        if (rebased != current) {
            settings.set_text(key, std::move(rebased));
            ++changed;
        }
    }
    return changed;
}

std::u16string session_api_default_url() {
    return service_root().empty() ? std::u16string(kSessionApiDefault) : rebase_url(kSessionApiDefault, service_root());
}

std::u16string anime_schedule_url() {
    return service_root().empty() ? std::u16string(kAnimeScheduleDefault)
                                  : rebase_url(kAnimeScheduleDefault, service_root());
}

const std::u16string& service_root() {
    auto& value = root_override();
    if (!value) value = env_text("QUIPPET_SERVICE_ROOT");
    return *value;
}

void set_service_root(std::u16string root) {
    root_override() = std::move(root);
}

const std::u16string& extra_ca_file() {
    auto& value = ca_override();
    if (!value) value = env_text("QUIPPET_CA_FILE");
    return *value;
}

void set_extra_ca_file(std::u16string path) {
    ca_override() = std::move(path);
}

CNetOptions net_options_from_settings(const CSettings& settings) {
    CNetOptions options;
    options.proxy_mode = settings.number(OptNumber::kProxyMode);
    options.proxy = settings.text(OptText::kProxyAddress);
    options.ca_file = extra_ca_file();
    options.debug = settings.on(OptSwitch::kDebugMode);
    options.debug_folder = app_home();
    return options;
}

} // namespace quippet
