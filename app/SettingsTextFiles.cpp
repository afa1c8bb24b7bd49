#include "app/SettingsTextFiles.h"

#include "app/SettingsCatalogue.h"

namespace quippet {

const SettingsTextFile* find_settings_text_file(std::span<const SettingsTextFile> files, std::string_view name) {
    for (const SettingsTextFile& file : files)
        if (file.name == name) return &file;
    return nullptr;
}

std::u16string settings_text_file_label(const SettingsTextFile& file) {
    const SettingDef* def = find_setting(file.path_setting);
    return def ? def->label : std::u16string();
}

} // namespace quippet
