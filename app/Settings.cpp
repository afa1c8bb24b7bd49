#include "app/Settings.h"

#include <algorithm>

#include "text/Encoding.h"

namespace quippet {
namespace {

struct Slot {
    bool text = false;
    size_t index = 0;
};

/// Slot numbers of the families: numbers and texts are numbered separately, in family order.
struct Layout {
    std::vector<size_t> first_slot; // per family
    size_t numbers = 0;
    size_t texts = 0;
};

const Layout& layout() {
    static const Layout l = [] {
        Layout out;
        for (const SettingFamily& f : setting_families()) {
            size_t& counter = f.text ? out.texts : out.numbers;
            out.first_slot.push_back(counter);
            counter += static_cast<size_t>(f.count);
        }
        return out;
    }();
    return l;
}

std::optional<Slot> find_slot(const SettingKey& k) {
    const auto families = setting_families();
    for (size_t i = 0; i < families.size(); ++i) {
        const SettingFamily& f = families[i];
        if (f.section != k.section || f.prefix != k.prefix) continue;
        if (f.first < 0) {
            if (k.index < 0) return Slot{f.text, layout().first_slot[i]};
        } else if (k.index >= f.first && k.index < f.first + f.count) {
            return Slot{f.text, layout().first_slot[i] + static_cast<size_t>(k.index - f.first)};
        }
    }
    return std::nullopt;
}

const std::u16string& empty_text() {
    static const std::u16string empty;
    return empty;
}

template <class Visit> void for_each_key(const SettingFamily& f, Visit visit) {
    if (f.first < 0) {
        visit(SettingKey{f.section, f.prefix, -1});
        return;
    }
    for (int i = f.first; i < f.first + f.count; ++i)
        visit(SettingKey{f.section, f.prefix, i});
}

void load_family(const CFileINI& ini, CSettings& settings, const SettingFamily& f) {
    for_each_key(f, [&](const SettingKey& k) {
        const std::u16string name = setting_key_name(k);
        if (k.prefix == u"AN") {
            settings.set_text(k, ini.read_protected(name, settings.text(k)));
        } else if (f.text) {
            settings.set_text(k, ini.read_text(k.section, name, settings.text(k)));
        } else {
            settings.set_number(k, ini.read_number(k.section, name, settings.number(k)));
        }
    });
}

void save_family(CFileINI& ini, const CSettings& settings, const SettingFamily& f, int& result) {
    for_each_key(f, [&](const SettingKey& k) {
        const std::u16string name = setting_key_name(k);
        int r = 0;
        if (k.prefix == u"AN")
            r = ini.write_protected(name, settings.text(k));
        else if (f.text)
            r = ini.write_text(k.section, name, settings.text(k));
        else
            r = ini.write_number(k.section, name, settings.number(k));
        if (r != 0) result = -1;
    });
}

bool is_detailed_family(const SettingFamily& f) {
    return f.section == section::kOption && f.first >= 0;
}

} // namespace

CSettings::CSettings() : numbers_(layout().numbers, 0), texts_(layout().texts) {
    for (const SettingDef& def : setting_catalogue()) {
        if (def.is_text())
            set_text(def.key, def.default_text);
        else
            set_number(def.key, def.default_number);
    }
}

int CSettings::number(const SettingKey& k) const {
    const std::optional<Slot> slot = find_slot(k);
    return slot && !slot->text ? numbers_[slot->index] : 0;
}

const std::u16string& CSettings::text(const SettingKey& k) const {
    const std::optional<Slot> slot = find_slot(k);
    return slot && slot->text ? texts_[slot->index] : empty_text();
}

bool CSettings::set_number(const SettingKey& k, int value) {
    const std::optional<Slot> slot = find_slot(k);
    if (!slot || slot->text) return false;
    numbers_[slot->index] = value;
    return true;
}

bool CSettings::set_text(const SettingKey& k, std::u16string value) {
    const std::optional<Slot> slot = find_slot(k);
    if (!slot || !slot->text) return false;
    texts_[slot->index] = std::move(value);
    return true;
}

std::u16string CSettings::display_value(const SettingDef& def) const {
    if (def.is_text()) return text(def.key);
    return from_utf8(std::to_string(number(def.key)));
}

void load_detailed(const CFileINI& ini, CSettings& settings) {
    for (const SettingFamily& f : setting_families())
        if (is_detailed_family(f)) load_family(ini, settings, f);
}

int save_detailed(CFileINI& ini, const CSettings& settings) {
    int result = 0;
    CFileINI::Batch batch(ini);
    for (const SettingFamily& f : setting_families())
        if (is_detailed_family(f)) save_family(ini, settings, f, result);
    return batch.commit() != 0 ? -1 : result;
}

void load_section(const CFileINI& ini, CSettings& settings, std::u16string_view section) {
    for (const SettingFamily& f : setting_families())
        if (f.section == section) load_family(ini, settings, f);
}

int save_section(CFileINI& ini, const CSettings& settings, std::u16string_view section) {
    int result = 0;
    CFileINI::Batch batch(ini);
    for (const SettingFamily& f : setting_families())
        if (f.section == section) save_family(ini, settings, f, result);
    return batch.commit() != 0 ? -1 : result;
}

void load_settings(const CFileINI& ini, CSettings& settings) {
    for (const SettingFamily& f : setting_families())
        load_family(ini, settings, f);
}

int save_settings(CFileINI& ini, const CSettings& settings) {
    int result = 0;
    CFileINI::Batch batch(ini);
    for (const SettingFamily& f : setting_families())
        save_family(ini, settings, f, result);
    return batch.commit() != 0 ? -1 : result;
}

int shutdown_result(int stored_marker) {
    switch (stored_marker) {
    case kMarkerRunning:
        return 1;
    case kMarkerShutdownBegun:
    case kMarkerLiveLogSaving:
    case kMarkerLiveLogSaved:
        return stored_marker;
    default:
        return 0;
    }
}

int take_shutdown_marker(CFileINI& ini) {
    const std::u16string name = setting_key_name(kShutdownMarker);
    const int stored = ini.read_number(kShutdownMarker.section, name, -1);
    ini.write_number(kShutdownMarker.section, name, kMarkerRunning);
    return shutdown_result(stored);
}

int write_shutdown_marker(CFileINI& ini, int marker) {
    return ini.write_number(kShutdownMarker.section, setting_key_name(kShutdownMarker), marker);
}

std::optional<WindowRect> geometry_to_save(const WindowRect& window, const std::optional<ForcedSize>& forced,
                                           int min_width, int min_height) {
    WindowRect out = window;
    if (forced) {
        if (forced->grows_left) out.left = window.left + window.width - forced->normal_width;
        out.width = forced->normal_width;
        out.height = forced->normal_height;
    }
    if (out.left < -255 || out.top < -255) return std::nullopt;
    out.width = std::max(out.width, min_width);
    out.height = std::max(out.height, min_height);
    return out;
}

int save_geometry(CFileINI& ini, const WindowRect& window, const std::optional<ForcedSize>& forced, int min_width,
                  int min_height) {
    const std::optional<WindowRect> rect = geometry_to_save(window, forced, min_width, min_height);
    if (!rect) return 0;
    CFileINI::Batch batch(ini);
    ini.write_number(section::kWindow, kWindowLeft.prefix, rect->left);
    ini.write_number(section::kWindow, kWindowTop.prefix, rect->top);
    ini.write_number(section::kWindow, kWindowWidth.prefix, rect->width);
    ini.write_number(section::kWindow, kWindowHeight.prefix, rect->height);
    return batch.commit();
}

RestoredGeometry restore_geometry(const WindowRect& stored, int initial_width, int initial_height, int screen_width,
                                  int screen_height) {
    constexpr int kUnset = -255;
    auto clamp_position = [](int v) { return v < -3840 || v > 32766 ? 0 : v; };
    RestoredGeometry out;
    out.rect = {clamp_position(stored.left), clamp_position(stored.top), stored.width, stored.height};
    if (out.rect.left != kUnset && out.rect.top != kUnset) {
        // The window can never be smaller than its initial size, whatever a damaged file says.
        out.rect.width = std::max(out.rect.width, initial_width);
        out.rect.height = std::max(out.rect.height, initial_height);
        out.apply = true;
        return out;
    }
    if (out.rect.left == kUnset && out.rect.top == kUnset && stored.width == initial_width &&
        stored.height == initial_height) {
        const int width = std::min(initial_width + 216, screen_width);
        const int height = std::min(initial_height + 118, screen_height);
        out.rect = {(screen_width - width) / 2, (screen_height - height) / 2, width, height};
        out.apply = true;
        out.first_run = true;
    }
    return out;
}

RestoredGeometry load_geometry(const CFileINI& ini, int initial_width, int initial_height, int screen_width,
                               int screen_height) {
    const WindowRect stored{ini.read_number(section::kWindow, kWindowLeft.prefix, -255),
                            ini.read_number(section::kWindow, kWindowTop.prefix, -255),
                            ini.read_number(section::kWindow, kWindowWidth.prefix, initial_width),
                            ini.read_number(section::kWindow, kWindowHeight.prefix, initial_height)};
    return restore_geometry(stored, initial_width, initial_height, screen_width, screen_height);
}

int initial_tab(int first_tab_choice, int stored_tab, bool playlist_shown) {
    const int tab = first_tab_choice == kFirstTabLastUsed ? stored_tab : first_tab_choice;
    if (tab < kTabReconstruct || tab > kTabPlaylist) return kTabDownload;
    if (tab == kTabPlaylist && !playlist_shown) return kTabDownload;
    return tab;
}

int load_initial_tab(const CFileINI& ini, int first_tab_choice, bool playlist_shown) {
    const int stored = first_tab_choice == kFirstTabLastUsed
                           ? ini.read_number(section::kWindow, kWindowTab.prefix, kTabDownload)
                           : kTabDownload;
    return initial_tab(first_tab_choice, stored, playlist_shown);
}

int save_selected_tab(CFileINI& ini, int tab) {
    return ini.write_number(section::kWindow, kWindowTab.prefix, tab);
}

CommonFolderView split_common_folder(std::u16string_view stored, std::u16string_view common_folder) {
    std::u16string folder(common_folder);
    while (folder.ends_with(u'/'))
        folder.pop_back();
    // Only a whole leading folder counts: "settings/a.txt" is not inside "setting".
    if (!folder.empty() && stored.size() > folder.size() + 1 && stored.starts_with(folder) &&
        stored[folder.size()] == u'/')
        return {true, std::u16string(stored.substr(folder.size() + 1))};
    return {false, std::u16string(stored)};
}

std::u16string join_common_folder(const CommonFolderView& view, std::u16string_view common_folder) {
    if (!view.inside || view.shown.starts_with(u'/') || common_folder.empty()) return view.shown;
    std::u16string out(common_folder);
    if (!out.ends_with(u'/')) out += u'/';
    return out + view.shown;
}

} // namespace quippet
