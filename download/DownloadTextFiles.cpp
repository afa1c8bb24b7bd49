#include "download/DownloadTextFiles.h"

#include "app/Settings.h"
#include "text/AppHome.h"

namespace quippet {
namespace {

std::u16string setting_path(const CSettings& s, OptText setting) {
    return resolve_in_home(with_default_extension(s.text(setting), u".txt"));
}

SettingsTextFile row(std::string_view name, OptText setting, const std::u16string& (*text)()) {
    return {name, key(setting), [setting](const CSettings& s) { return setting_path(s, setting); },
            [setting, text](const CSettings& s, const CreationFailureHook& hook) {
                return ensure_file_exists(setting_path(s, setting), text(), hook);
            }};
}

} // namespace

const std::vector<SettingsTextFile>& download_settings_text_files() {
    static const std::vector<SettingsTextFile> files = {
        row("id-patterns", OptText::kIdPatterns, &default_id_pattern_text),
        row("search-order", OptText::kSearchOrder, &default_search_order_text),
    };
    return files;
}

std::optional<IdPatternFile> load_id_patterns(const CSettings& settings) {
    const std::u16string path = setting_path(settings, OptText::kIdPatterns);
    ensure_file_exists(path, default_id_pattern_text(), [](std::u16string_view) {});
    CFileSP file;
    CCharW text;
    if (file.read_settings_text(path, text) != 0) return std::nullopt;
    return IdPatternFile::parse(text.view());
}

std::vector<SearchMethod> load_search_methods(const CSettings& settings) {
    const std::u16string path = setting_path(settings, OptText::kSearchOrder);
    ensure_file_exists(path, default_search_order_text(), [](std::u16string_view) {});
    CFileSP file;
    CCharW text;
    std::vector<SearchMethod> methods;
    if (file.read_settings_text(path, text) == 0)
        methods = parse_search_methods(text.view(), settings.text(OptText::kSearchUrl));
    if (methods.empty())
        methods = parse_search_methods(default_search_order_text(), settings.text(OptText::kSearchUrl));
    return methods;
}

} // namespace quippet
