#include "livelog/LiveLogPlay.h"

#include "app/Settings.h"
#include "livelog/LiveLogSettingKeys.h"
#include "text/AppHome.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <vector>

namespace quippet {

std::u16string live_output_folder(const CSettings& settings) {
    const bool place = settings.on(WcSwitch::kPlace) && !settings.text(WcText::kPlaceFolder).empty();
    std::u16string folder =
        resolve_in_home(place ? settings.text(WcText::kPlaceFolder) : settings.text(OptText::kLiveOutputFolder));
    if (folder.empty() || folder.back() != u'/') folder += u'/';
    return folder;
}

std::u16string live_video_to_play(const CSettings& settings) {
    const std::u16string& name = settings.text(WcText::kOutputName);
    if (name.empty()) return {};
    std::vector<std::u16string> found;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(to_fs_path(live_output_folder(settings)), ec), end; !ec && it != end;
         it.increment(ec)) {
        std::error_code entry_ec;
        if (!it->is_regular_file(entry_ec)) continue;
        const std::u16string stem = it->path().stem().u16string();
        std::u16string ext = it->path().extension().u16string();
        for (char16_t& c : ext)
            if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
        if (stem == name && ext != u".xml" && ext != u".txt" && !ext.empty()) found.push_back(from_fs_path(it->path()));
    }
    if (found.empty()) return {};
    return *std::min_element(found.begin(), found.end());
}

} // namespace quippet
