#include "net/NetTextFiles.h"

#include "app/Settings.h"
#include "net/CookieStore.h"
#include "text/AppHome.h"

namespace quippet {
namespace {

std::u16string info_rules_text() {
    return InfoRules::default_text();
}

} // namespace

const std::vector<SettingsTextFile>& net_settings_text_files() {
    static const std::vector<SettingsTextFile> files = {
        settings_text_row("cookie-sharing", OptText::kCookieSharing, &default_cookie_sharing_text),
        settings_text_row("info-rules", OptText::kVideoInfoRules, &info_rules_text),
    };
    return files;
}

InfoRules load_info_rules(const CSettings& settings) {
    const std::u16string path = settings_text_path(settings, OptText::kVideoInfoRules);
    ensure_file_exists(path, InfoRules::default_text(), [](std::u16string_view) {});
    CFileSP file;
    CCharW text;
    if (file.read_settings_text(path, text) == 0) {
        InfoRules rules = InfoRules::parse(text.view());
        if (!rules.rules().empty()) return rules;
    }
    return InfoRules::defaults();
}

} // namespace quippet
