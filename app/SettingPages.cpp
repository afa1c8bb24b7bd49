// The one place that knows every subsystem's settings: it lists their page builders in the order the
// pages are shown. It is compiled into each program that links the core (an interface source of
// quippet_core), so the app layer below the subsystems reaches their pages without including them.
#include "app/SettingsCatalogue.h"
#include "app/SettingsTextFiles.h"
#include "net/NetTextFiles.h"
#include "livelog/LiveLogFiles.h"
#include "lists/BookmarkKeys.h"
#include "lists/ListsTextFiles.h"
#include "livelog/LiveLogSettingPages.h"
#include "net/NetSettingPages.h"
#include "download/DownloadSettingPages.h"
#include "download/DownloadTextFiles.h"
#include "reconstruct/ReconstructSettingPages.h"
#include "reconstruct/SettingsFiles.h"

namespace quippet {

std::span<const AddSettingPages> setting_page_contributions() {
    static constexpr AddSettingPages pages[] = {
        add_reconstruct_setting_pages, add_live_log_setting_pages, add_app_setting_pages,
        add_net_setting_pages,         add_download_setting_pages, add_bookmark_setting_pages,
    };
    return pages;
}

std::vector<const SettingsTextFile*> all_settings_text_files() {
    std::vector<const SettingsTextFile*> files;
    for (const SettingsTextFile& file : reconstruct_settings_text_files())
        files.push_back(&file);
    for (const SettingsTextFile& file : live_settings_text_files())
        files.push_back(&file);
    for (const SettingsTextFile& file : net_settings_text_files())
        files.push_back(&file);
    for (const SettingsTextFile& file : download_settings_text_files())
        files.push_back(&file);
    for (const SettingsTextFile& file : lists_settings_text_files())
        files.push_back(&file);
    return files;
}

} // namespace quippet
