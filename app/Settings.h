#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/IniFile.h"
#include "app/SettingKeys.h"
#include "app/SettingsCatalogue.h"

namespace quippet {

template <class K>
concept SettingKeyLike = requires(K k) {
    { key(k) } -> std::convertible_to<SettingKey>;
};

/// Every value of the settings file in memory: the detailed settings (numbers, texts, switches,
/// protected texts in plain text) and the sections of the tabs and the window. A fresh object holds the
/// defaults of the catalogue. Jobs take a copy when they start and read it by key, never by raw index:
///
///     if (settings.on(RcSwitch::kDuplicates)) window = settings.number(RcNumber::kDupWindow);
class CSettings {
public:
    CSettings();
    CSettings(const CSettings&) = default;
    CSettings(CSettings&&) = default;
    CSettings& operator=(const CSettings&) = default;
    CSettings& operator=(CSettings&&) = default;
    virtual ~CSettings() = default;

    /// 0 for a key that holds text or that the settings file has no place for.
    int number(const SettingKey& k) const;
    bool on(const SettingKey& k) const { return number(k) != 0; }
    /// Empty for a key that holds a number or that the settings file has no place for.
    const std::u16string& text(const SettingKey& k) const;
    /// Ignored for keys of the other kind or without a place; returns whether the value was taken.
    bool set_number(const SettingKey& k, int value);
    bool set_text(const SettingKey& k, std::u16string value);

    template <SettingKeyLike K> int number(K k) const { return number(key(k)); }
    template <SettingKeyLike K> bool on(K k) const { return on(key(k)); }
    template <SettingKeyLike K> const std::u16string& text(K k) const { return text(key(k)); }
    template <SettingKeyLike K> bool set_number(K k, int value) { return set_number(key(k), value); }
    template <SettingKeyLike K> bool set_text(K k, std::u16string value) { return set_text(key(k), std::move(value)); }

    /// The value of a catalogue setting as `quippet settings` shows it.
    std::u16string display_value(const SettingDef& def) const;

    friend bool operator==(const CSettings&, const CSettings&) = default;

private:
    std::vector<int> numbers_;
    std::vector<std::u16string> texts_;
};

/// Detailed settings: "EN" 0 … 145, "ES" 0 … 134, "CB" 0 … 218, then "AN" 0 and 1, in that order.
/// Missing keys take the catalogue's defaults.
void load_detailed(const CFileINI& ini, CSettings& settings);
int save_detailed(CFileINI& ini, const CSettings& settings);
/// Every key of one section (a tab, "Window", "VovezurBase", or "OptionDialog" as a whole).
void load_section(const CFileINI& ini, CSettings& settings, std::u16string_view section);
int save_section(CFileINI& ini, const CSettings& settings, std::u16string_view section);
/// Every section.
void load_settings(const CFileINI& ini, CSettings& settings);
int save_settings(CFileINI& ini, const CSettings& settings);

/// Shutdown stages written to "VovezurBase/EndOfWorld".
enum ShutdownMarker : int {
    kMarkerRunning = 0,       ///< written at start-up
    kMarkerClean = 1,         ///< the last tab has saved its state
    kMarkerShutdownBegun = 2, ///< before any tab saves
    kMarkerLiveLogSaving = 3, ///< the live-log tab begins saving
    kMarkerLiveLogSaved = 4,  ///< the live-log tab has saved
};
/// What the marker left by the last run means: 0 clean, 1 the run never reached its shutdown's end,
/// 2, 3, 4 the shutdown stopped at that stage.
int shutdown_result(int stored_marker);
/// Reads the marker (missing reads −1), resets it to 0 for this run and returns shutdown_result.
int take_shutdown_marker(CFileINI& ini);
int write_shutdown_marker(CFileINI& ini, int marker);

struct WindowRect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    friend bool operator==(const WindowRect&, const WindowRect&) = default;
};
/// A tab that forces another window size: the size to store instead, and whether the window grows to
/// the left (then the stored left edge is computed back from the right edge).
struct ForcedSize {
    int normal_width = 0;
    int normal_height = 0;
    bool grows_left = false;
};
/// The geometry to store for the window rectangle, or nullopt for a minimised window (an edge below
/// −255). Width and height are at least the minimum size.
std::optional<WindowRect> geometry_to_save(const WindowRect& window, const std::optional<ForcedSize>& forced,
                                           int min_width, int min_height);
int save_geometry(CFileINI& ini, const WindowRect& window, const std::optional<ForcedSize>& forced, int min_width,
                  int min_height);

struct RestoredGeometry {
    WindowRect rect;
    bool apply = false;     ///< move and size the window to rect
    bool first_run = false; ///< rect is the enlarged, centred first-run placement
};
/// The stored values (positions −255 and the initial size when missing) turned into a placement.
/// Positions outside −3840 … 32766 become 0; sizes below the initial (minimum) size are raised to it.
RestoredGeometry restore_geometry(const WindowRect& stored, int initial_width, int initial_height, int screen_width,
                                  int screen_height);
RestoredGeometry load_geometry(const CFileINI& ini, int initial_width, int initial_height, int screen_width,
                               int screen_height);

inline constexpr int kTabReconstruct = 0;
inline constexpr int kTabLiveLog = 1;
inline constexpr int kTabDownload = 2;
inline constexpr int kTabPlaylist = 3;
/// The "最初に選ぶタブ" item that asks for the tab of the last run.
inline constexpr int kFirstTabLastUsed = 4;
/// The tab to select at start: the start-up choice, or the stored tab when it asks for the last one.
/// The playlist tab falls back to the download tab when it is hidden, and so does any stored value that
/// names no tab.
int initial_tab(int first_tab_choice, int stored_tab, bool playlist_shown);
int load_initial_tab(const CFileINI& ini, int first_tab_choice, bool playlist_shown);
int save_selected_tab(CFileINI& ini, int tab);

/// How the file-name page shows a path: inside the common settings folder (flag set, path shown
/// relative to it) or as stored.
struct CommonFolderView {
    bool inside = false;
    std::u16string shown;
};
CommonFolderView split_common_folder(std::u16string_view stored, std::u16string_view common_folder);
/// The path stored when the page is confirmed; an absolute path loses the flag.
std::u16string join_common_folder(const CommonFolderView& view, std::u16string_view common_folder);

} // namespace quippet
