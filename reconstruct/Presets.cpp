#include "reconstruct/Presets.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "app/IniFile.h"
#include "app/Settings.h"
#include "app/SettingsCatalogue.h"
#include "reconstruct/Lists.h"
#include "reconstruct/ReconstructSettingKeys.h"
#include "reconstruct/RuleProgram.h"
#include "resources/Messages.h"
#include "text/AppHome.h"
#include "text/Encoding.h"
#include "text/FileSP.h"

namespace quippet {
namespace {

constexpr std::u16string_view kTabPage = u"XMLの再構成";
constexpr std::u16string_view kDropGroup = u"D＆D";
constexpr std::u16string_view kSplitGroup = u"分割";
constexpr std::u16string_view kCutGroup = u"切り出し";
constexpr std::u16string_view kRecoveredNotice =
    u"同名のプリセットが過去に存在していたので、それを復元しました（現在ダイアログにある設定はまだ保存されていません）";
constexpr std::u16string_view kReadFailed = u"ファイルの読み込みに失敗しました";
// The longest file name most file systems take, in bytes; the longest extension of a preset file is 5.
constexpr size_t kLongestFileName = 255;
constexpr size_t kLongestExtension = 5;

bool is_regular_file(const std::u16string& path) {
    std::error_code ec;
    return std::filesystem::is_regular_file(to_fs_path(path), ec);
}

std::u16string failure_text(int code) {
    const std::u16string_view text = message_text(code);
    return text.empty() ? u"エラー " + from_utf8(std::to_string(code)) : std::u16string(text);
}

/// Copies bytes as they are (the lists are UTF-16 or UTF-8, and either must survive), into a temporary
/// file that replaces the destination only when complete.
int copy_whole_file(const std::u16string& from, const std::u16string& to, std::u16string& failure) {
    CCharM bytes;
    CFileSP file;
    if (file.read(from, bytes) != 0) {
        failure = from + u"：" + failure_text(bytes.error());
        return -1;
    }
    std::error_code ec;
    const std::filesystem::path target = to_fs_path(to);
    if (target.has_parent_path()) std::filesystem::create_directories(target.parent_path(), ec);
    if (file.write(to, bytes.view(), CFileSP::kOverwrite) != 0) {
        failure = to + u"：" + failure_text(file.error());
        return -1;
    }
    return 0;
}

/// A missing source is created as the pass would create it, with its explanatory default text, so that
/// the preset carries every file and a restore never leaves a file of another preset in place.
int ensure_preset_file_source(const CSettings& settings, const PresetFileDef& file, std::u16string& failure) {
    const auto on_failure = [&failure](std::u16string_view message) { failure = message; };
    switch (file.path_setting) {
    case OptText::kNgIdList:
        return ensure_list_file(settings, ListFile::kNgIds, on_failure);
    case OptText::kPriorityIdList:
        return ensure_list_file(settings, ListFile::kPriorityIds, on_failure);
    case OptText::kNgWordFile:
        return ensure_list_file(settings, ListFile::kNgWords, on_failure);
    default:
        return ensure_rule_file(preset_file_source_path(settings, file), file.priority_rules, on_failure);
    }
}

/// The keys a restore leaves as they are.
bool kept_on_restore(const SettingDef& def, bool keep_drop, bool keep_split_cut) {
    if (def.key == key(RcText::kVideoPath)) return true;
    if (def.page != kTabPage || def.key.section != section::kReconstruct) return false;
    if (keep_drop && def.group == kDropGroup) return true;
    return keep_split_cut && (def.group == kSplitGroup || def.group == kCutGroup);
}

/// Reads the preset's ".ini" into `ini`; false with the reason when it is missing or unreadable.
bool open_preset(CFileINI& ini, const CSettings& settings, std::u16string_view name, std::u16string* error) {
    std::u16string problem;
    if (!check_preset_name(name, &problem)) {
        if (error) *error = problem;
        return false;
    }
    const std::u16string path = reconstruct_preset_path(settings, name);
    if (!is_regular_file(path)) {
        if (error) *error = u"プリセット「" + std::u16string(name) + u"」がありません（" + path + u"）";
        return false;
    }
    // The settings file reader takes any unreadable file as empty; a preset that reads as nothing must fail.
    CCharM bytes;
    if (CFileSP().read(path, bytes) != 0) {
        if (error) *error = std::u16string(kReadFailed) + u"：" + path + u"（" + failure_text(bytes.error()) + u"）";
        return false;
    }
    if (ini.switch_to(path) != 0) {
        if (error) *error = std::u16string(kReadFailed) + u"：" + path;
        return false;
    }
    return true;
}

} // namespace

std::u16string reconstruct_preset_folder(const CSettings& settings) {
    std::u16string folder = resolve_in_home(settings.text(OptText::kReconstructPresetFolder));
    while (folder.size() > 1 && folder.ends_with(u'/'))
        folder.pop_back();
    return folder;
}

std::u16string preset_file_source_path(const CSettings& settings, const PresetFileDef& file) {
    const std::u16string& stored = settings.text(file.path_setting);
    return resolve_in_home(file.rule_file ? with_default_extension(stored, u".txt") : stored);
}

bool check_preset_name(std::u16string_view name, std::u16string* error) {
    std::u16string reason;
    if (name.empty()) {
        reason = u"リスト名が入力されてないりゅん";
    } else if (name == u"." || name == u".." || name.find(u'/') != std::u16string_view::npos ||
               name.find(u'\\') != std::u16string_view::npos ||
               std::any_of(name.begin(), name.end(), [](char16_t c) { return c < 0x20 || c == 0x7F; })) {
        reason =
            u"プリセット名に使えない文字があります（「/」「\\」「..」や制御文字は使えません）：" + std::u16string(name);
    } else if (to_utf8(name).size() + kLongestExtension > kLongestFileName) {
        reason = u"プリセット名が長すぎます：" + std::u16string(name);
    }
    if (reason.empty()) return true;
    if (error) *error = std::move(reason);
    return false;
}

std::u16string reconstruct_preset_path(const CSettings& settings, std::u16string_view name,
                                       std::u16string_view extension) {
    std::u16string path = reconstruct_preset_folder(settings);
    if (!path.ends_with(u'/')) path += u'/';
    path.append(name).append(extension);
    return path;
}

std::vector<std::u16string> list_reconstruct_presets(const CSettings& settings) {
    std::vector<std::u16string> names;
    std::error_code ec;
    std::filesystem::directory_iterator it(to_fs_path(reconstruct_preset_folder(settings)), ec);
    for (; !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
        std::error_code type_ec;
        if (!it->is_regular_file(type_ec)) continue;
        const std::u16string file = from_fs_path(it->path().filename());
        if (!file.ends_with(kPresetSettingsExtension)) continue;
        // Only names that can be restored again; a file named by hand with a "\" could not be.
        std::u16string name = file.substr(0, file.size() - kPresetSettingsExtension.size());
        if (check_preset_name(name)) names.push_back(std::move(name));
    }
    std::sort(names.begin(), names.end());
    return names;
}

bool reconstruct_preset_exists(const CSettings& settings, std::u16string_view name) {
    return check_preset_name(name) && is_regular_file(reconstruct_preset_path(settings, name));
}

PresetOutcome save_reconstruct_preset(const CSettings& settings, std::u16string_view name, PresetSaveMode mode) {
    PresetOutcome outcome;
    if (!check_preset_name(name, &outcome.message)) {
        outcome.result = -1;
        return outcome;
    }
    const std::u16string path = reconstruct_preset_path(settings, name);
    const std::u16string deleted = reconstruct_preset_path(settings, name, kPresetDeletedExtension);
    if (mode == PresetSaveMode::kNew && !is_regular_file(path) && is_regular_file(deleted)) {
        std::error_code ec;
        std::filesystem::rename(to_fs_path(deleted), to_fs_path(path), ec);
        if (ec) {
            outcome.result = -1;
            outcome.message = deleted + u"：" + from_utf8(ec.message());
            return outcome;
        }
        outcome.recovered = true;
        outcome.message = kRecoveredNotice;
        return outcome;
    }

    CFileINI ini(app_home());
    if (ini.switch_to(path) != 0 || save_section(ini, settings, section::kReconstruct) != 0) {
        outcome.result = -1;
        outcome.message =
            u"プリセットの保存に失敗しました：" + path + u"（" + from_utf8(std::strerror(ini.error())) + u"）";
        ini.switch_back();
        return outcome;
    }
    ini.switch_back();

    for (const PresetFileDef& file : kPresetFiles) {
        std::u16string failure;
        const std::u16string source = preset_file_source_path(settings, file);
        const std::u16string copy = reconstruct_preset_path(settings, name, file.extension);
        if (ensure_preset_file_source(settings, file, failure) < 0 || copy_whole_file(source, copy, failure) != 0) {
            outcome.result = -1;
            outcome.failures.push_back(std::move(failure));
            continue;
        }
        outcome.notes.push_back(source + u" → " + copy);
    }
    if (outcome.result != 0) outcome.message = u"プリセットの一部のファイルを保存できませんでした：" + path;
    return outcome;
}

PresetOutcome save_preset_on_run(const CSettings& settings) {
    const std::u16string& name = settings.text(RcText::kPresetName);
    if (!settings.on(RcSwitch::kSavePresetOnRun) || name.empty()) return {};
    return save_reconstruct_preset(settings, name, PresetSaveMode::kOverwrite);
}

bool load_reconstruct_preset_settings(CSettings& settings, std::u16string_view name, std::u16string* error) {
    CFileINI ini(app_home());
    if (!open_preset(ini, settings, name, error)) return false;
    CSettings restored = settings;
    load_section(ini, restored, section::kReconstruct);
    ini.switch_back();

    const bool keep_drop = settings.on(OptSwitch::kPresetKeepsDrop);
    const bool keep_split_cut = settings.on(OptSwitch::kPresetKeepsSplitCut);
    for (const SettingDef& def : setting_catalogue()) {
        if (!kept_on_restore(def, keep_drop, keep_split_cut)) continue;
        if (def.is_text())
            restored.set_text(def.key, settings.text(def.key));
        else
            restored.set_number(def.key, settings.number(def.key));
    }
    // The file may have been renamed since it was saved: the name it is restored under is the one that counts.
    restored.set_text(RcText::kPresetName, std::u16string(name));
    settings = std::move(restored);
    return true;
}

PresetOutcome copy_reconstruct_preset_files_back(const CSettings& settings, std::u16string_view name) {
    PresetOutcome outcome;
    if (!check_preset_name(name, &outcome.message)) {
        outcome.result = -1;
        return outcome;
    }
    for (const PresetFileDef& file : kPresetFiles) {
        const std::u16string copy = reconstruct_preset_path(settings, name, file.extension);
        const std::u16string target = preset_file_source_path(settings, file);
        if (!is_regular_file(copy)) {
            // A preset saved without this file (or by hand) leaves the current one in use.
            outcome.notes.push_back(copy + u" がないので " + target + u" はそのまま");
            continue;
        }
        std::u16string failure;
        if (copy_whole_file(copy, target, failure) != 0) {
            outcome.result = -1;
            outcome.failures.push_back(std::move(failure));
            continue;
        }
        outcome.notes.push_back(copy + u" → " + target);
    }
    if (outcome.result != 0) outcome.message = u"プリセットの一部のファイルを戻せませんでした：" + std::u16string(name);
    return outcome;
}

PresetOutcome restore_reconstruct_preset(CSettings& settings, std::u16string_view name) {
    PresetOutcome outcome;
    if (!load_reconstruct_preset_settings(settings, name, &outcome.message)) {
        outcome.result = -1;
        return outcome;
    }
    return copy_reconstruct_preset_files_back(settings, name);
}

bool apply_reconstruct_preset(CSettings& settings, std::u16string_view name, std::u16string* error) {
    std::u16string problem;
    if (!load_reconstruct_preset_settings(settings, name, &problem)) {
        if (error) *error = std::move(problem);
        return false;
    }
    const PresetOutcome copied = copy_reconstruct_preset_files_back(settings, name);
    if (error) {
        error->clear();
        if (copied.result != 0) {
            *error = copied.message;
            for (const std::u16string& failure : copied.failures)
                *error += u"\r\n" + failure;
        }
    }
    return true;
}

bool read_reconstruct_preset_values(const CSettings& settings, std::u16string_view name, std::vector<PresetValue>& out,
                                    std::u16string* error) {
    CFileINI ini(app_home());
    if (!open_preset(ini, settings, name, error)) return false;
    CSettings stored;
    load_section(ini, stored, section::kReconstruct);
    out.clear();
    for (const SettingDef& def : setting_catalogue()) {
        if (def.key.section != section::kReconstruct) continue;
        PresetValue value;
        value.def = &def;
        value.stored = ini.has_key(def.key.section, setting_key_name(def.key));
        value.value = stored.display_value(def);
        out.push_back(std::move(value));
    }
    ini.switch_back();
    return true;
}

PresetLoad load_preset_for_run(CSettings& settings, std::u16string_view name, std::u16string& error) {
    if (!check_preset_name(name, &error)) return PresetLoad::kBadName;
    if (!reconstruct_preset_exists(settings, name)) {
        error = std::u16string(name) + u"という名前のプリセットはありません";
        return PresetLoad::kUnknown;
    }
    return load_reconstruct_preset_settings(settings, name, &error) ? PresetLoad::kLoaded : PresetLoad::kUnreadable;
}

PresetRunPreparation prepare_preset_run(const CSettings& settings, std::u16string_view name) {
    PresetRunPreparation prepared;
    if (!name.empty()) prepared.files = copy_reconstruct_preset_files_back(settings, name);
    if (prepared.files.result == 0) prepared.saved = save_preset_on_run(settings);
    return prepared;
}

} // namespace quippet
