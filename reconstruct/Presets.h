#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "app/SettingKeys.h"

namespace quippet {

class CSettings;
struct SettingDef;

/// A reconstruction preset ("設定保存") is name + ".ini" in the preset folder, holding the tab's section
/// ("DividingDriver") in the format of the settings file, and beside it copies of the lists and rule files
/// that belong to one set of settings. The common files ("共通", "共") are shared by every preset and are
/// never copied.
inline constexpr std::u16string_view kPresetSettingsExtension = u".ini";
/// A preset deleted with the ".bak" option; "新規保存" of its name brings it back.
inline constexpr std::u16string_view kPresetDeletedExtension = u".bak";

/// One individual file of a preset: the detailed setting that holds the file's path, and the extension
/// of its copy beside the preset's ".ini".
struct PresetFileDef {
    OptText path_setting;
    std::u16string_view extension;
    /// A rule file gets ".txt" when its name has none (as the rule loader does).
    bool rule_file = false;
    bool priority_rules = false;
};

inline constexpr PresetFileDef kPresetFiles[] = {
    {OptText::kNgIdList, u".ngid"},
    {OptText::kPriorityIdList, u".okid"},
    {OptText::kNgWordFile, u".word"},
    {OptText::kCommandConvert3, u".kcd", true, false},
    {OptText::kPriorityConditions, u".ycd", true, true},
};

/// The preset folder ("XMLの再構成のプリセット設定の保存場所"), inside the app home when relative.
std::u16string reconstruct_preset_folder(const CSettings& settings);
/// Where the individual file lives now (the file the pass reads), inside the app home when relative.
std::u16string preset_file_source_path(const CSettings& settings, const PresetFileDef& file);

/// false, with the reason in `error`, for a name that is empty or would leave the preset folder ("/",
/// "\", "." or ".."), holds a control character, or is too long for a file name.
bool check_preset_name(std::u16string_view name, std::u16string* error = nullptr);
/// Path of name + `extension` in the preset folder (the name is not checked).
std::u16string reconstruct_preset_path(const CSettings& settings, std::u16string_view name,
                                       std::u16string_view extension = kPresetSettingsExtension);

/// The names of the ".ini" files in the preset folder, sorted; empty when the folder is missing.
std::vector<std::u16string> list_reconstruct_presets(const CSettings& settings);
bool reconstruct_preset_exists(const CSettings& settings, std::u16string_view name);

/// What a save or a restore did. `result` is 0, or -1 when something was not done; `message` is the
/// line for the log (the failure, or the notice of a recovered preset); `notes` say, file by file, what
/// was copied and what was left alone, `failures` which copies failed and why.
struct PresetOutcome {
    int result = 0;
    bool recovered = false;
    std::u16string message;
    std::vector<std::u16string> notes;
    std::vector<std::u16string> failures;
};

enum class PresetSaveMode {
    /// "新規保存": when only name + ".bak" exists, that preset gets its name back instead, and the
    /// current settings are not written.
    kNew,
    /// "上書保存" and "実行で設定保存": the current settings are written, whatever exists.
    kOverwrite,
};

/// Writes the tab's section of `settings` into the preset and copies the individual files beside it.
/// A missing individual file is first created with its default text, so that the preset always carries
/// all of them. Every file is replaced atomically.
PresetOutcome save_reconstruct_preset(const CSettings& settings, std::u16string_view name, PresetSaveMode mode);

/// "実行で設定保存": with the switch on and a preset name set, saves under that name. Nothing (result 0,
/// no message) otherwise.
PresetOutcome save_preset_on_run(const CSettings& settings);

/// The settings of a restore, without touching any file: the preset's section over `settings`, except
/// the drop settings and the split/cut settings when the interface settings keep them, and the video
/// field, which names an input rather than a setting. The preset name becomes `name`. false, with the
/// reason in `error` and `settings` unchanged, when the preset is missing or unreadable.
bool load_reconstruct_preset_settings(CSettings& settings, std::u16string_view name, std::u16string* error = nullptr);

/// Copies the preset's individual files over the files the settings name; a missing copy leaves the
/// current file alone, a failing copy does not stop the others.
PresetOutcome copy_reconstruct_preset_files_back(const CSettings& settings, std::u16string_view name);

/// Both steps, as double-clicking the name on the tab does. The files are copied only when the settings
/// could be read.
PresetOutcome restore_reconstruct_preset(CSettings& settings, std::u16string_view name);

/// Loads the reconstruction preset `name` (from the reconstruction preset folder) into `settings` and copies
/// its individual list files back into place, as double-clicking the name on the tab does. false, with the
/// reason in `error`, when the preset cannot be read; `settings` is then unchanged. After a successful load,
/// `error` describes the individual files that could not be copied back (empty when all went well).
bool apply_reconstruct_preset(CSettings& settings, std::u16string_view name, std::u16string* error = nullptr);

// Running a job of the reconstruction tab with a named preset, in the steps every front end takes: the
// preset's values first, so that the front end can lay its own changes over them, and its files only once
// the job is sure to run.

enum class PresetLoad {
    kLoaded,
    kBadName,    ///< not a name a preset can have
    kUnknown,    ///< no preset of that name
    kUnreadable, ///< there, but its values could not be read
};
/// Step 1: checks `name` and loads the preset's values over `settings` (unchanged unless kLoaded), with the
/// reason in `error` otherwise.
PresetLoad load_preset_for_run(CSettings& settings, std::u16string_view name, std::u16string& error);

struct PresetRunPreparation {
    /// The preset's own files copied back; result -1 means the job must not run on half-restored lists.
    PresetOutcome files;
    /// "実行で設定保存"; a failure here only warns, since it must not cost the user the run.
    PresetOutcome saved;
};
/// Step 2, right before the job starts: the files of preset `name` back into place (nothing when `name` is
/// empty), then the save on run. The save is skipped when the files failed.
PresetRunPreparation prepare_preset_run(const CSettings& settings, std::u16string_view name);

/// One setting of the tab as a preset holds it.
struct PresetValue {
    const SettingDef* def = nullptr;
    std::u16string value;
    /// false: the preset has no such key, and a restore keeps the current value.
    bool stored = false;
};
/// The values of the tab's settings stored in the preset, in catalogue order. false, with the reason in
/// `error`, when the preset is missing or unreadable.
bool read_reconstruct_preset_values(const CSettings& settings, std::u16string_view name, std::vector<PresetValue>& out,
                                    std::u16string* error = nullptr);

} // namespace quippet
