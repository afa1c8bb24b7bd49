#include "download/NetLengthProvider.h"

#include "net/NetReport.h"
#include "net/ServiceAddress.h"
#include "reconstruct/ReconstructSettingKeys.h"

namespace quippet {
namespace {

CSettings rooted(const CSettings& settings) {
    CSettings copy = settings;
    apply_service_root(copy, service_root());
    return copy;
}

} // namespace

NetLengthProvider::NetLengthProvider(const CSettings& settings) {
    const CSettings snapshot = rooted(settings);
    options_ = info_options_from(snapshot);
    login_ = login_settings_from(snapshot);
}

std::optional<int> NetLengthProvider::from_api(std::u16string_view video_id) {
    return ask(video_id, false);
}

std::optional<int> NetLengthProvider::from_watch_page(std::u16string_view video_id) {
    return ask(video_id, true);
}

std::optional<int> NetLengthProvider::ask(std::u16string_view video_id, bool watch_page) {
    NetReport quiet;
    store_.prepare(login_, quiet);
    CWorkMovieInfo info;
    info.id = video_id;
    int code = 0;
    if (watch_page)
        fetch_watch_page(info, 0, {}, false, options_, &store_, quiet, code);
    else
        fetch_api_info(info, u"", options_, &store_, quiet, code);
    if (info.length_seconds <= 0) return std::nullopt;
    return info.length_seconds * 100;
}

std::shared_ptr<VideoLengthProvider> length_provider_for(const CSettings& settings) {
    if (!settings.on(RcSwitch::kLengthFromNet)) return nullptr;
    return std::make_shared<NetLengthProvider>(settings);
}

} // namespace quippet
