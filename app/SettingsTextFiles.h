#pragma once

#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "app/SettingKeys.h"
#include "text/FileSP.h"

namespace quippet {

class CSettings;

/// A settings text file of the program (list, rule file, vocabulary, table): the files the user edits in a
/// text editor and that are created with their built-in text when missing. Each subsystem contributes the
/// rows of its own files, so that the front ends can list and create them without knowing their formats.
struct SettingsTextFile {
    /// Short, stable ASCII name for command lines ("ngid", "rules-pre").
    std::string_view name;
    /// The detailed setting that holds the file's path; its catalogue label describes the file.
    SettingKey path_setting;
    /// The file's full path under the given settings.
    std::function<std::u16string(const CSettings&)> path;
    /// Creates the file with its default text when it is missing: 1 created, 0 there already, -1 failed
    /// (the message "<path>の新規作成に失敗しました" went to the hook).
    std::function<int(const CSettings&, const CreationFailureHook&)> ensure;
};

/// Every subsystem's settings text files, in the order the front ends list them. Defined beside the list
/// of settings pages (app/SettingPages.cpp), where all the subsystems are known.
std::vector<const SettingsTextFile*> all_settings_text_files();

/// The row named `name` (compared exactly), or nullptr.
const SettingsTextFile* find_settings_text_file(std::span<const SettingsTextFile> files, std::string_view name);

/// The full path of the text file that a file-name setting names: inside the app home when relative, with
/// ".txt" when the name has no extension.
std::u16string settings_text_path(const CSettings& settings, OptText setting);
/// The row of a file named by `setting` and created with the text `default_text` gives.
SettingsTextFile settings_text_row(std::string_view name, OptText setting, std::u16string (*default_text)());

/// The catalogue label of the row's path setting ("ID削除リスト"); empty when the catalogue has none.
std::u16string settings_text_file_label(const SettingsTextFile& file);

} // namespace quippet
