#include "app/SettingsTextFiles.h"

#include "app/Settings.h"
#include "app/SettingsCatalogue.h"
#include "text/AppHome.h"

namespace quippet {

const SettingsTextFile* find_settings_text_file(std::span<const SettingsTextFile> files, std::string_view name) {
    for (const SettingsTextFile& file : files)
        if (file.name == name) return &file;
    return nullptr;
}

std::u16string settings_text_path(const CSettings& settings, OptText setting) {
    return resolve_in_home(with_default_extension(settings.text(setting), u".txt"));
}

SettingsTextFile settings_text_row(std::string_view name, OptText setting, std::u16string (*default_text)()) {
    return {name, key(setting), [setting](const CSettings& s) { return settings_text_path(s, setting); },
            [setting, default_text](const CSettings& s, const CreationFailureHook& hook) {
                return ensure_file_exists(settings_text_path(s, setting), default_text(), hook);
            }};
}

std::u16string settings_text_file_label(const SettingsTextFile& file) {
    const SettingDef* def = find_setting(file.path_setting);
    return def ? def->label : std::u16string();
}

} // namespace quippet
