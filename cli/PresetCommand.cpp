#include "cli/PresetCommand.h"

#include <cstring>
#include <filesystem>
#include <ostream>
#include <system_error>

#include "app/IniFile.h"
#include "app/Settings.h"
#include "app/SettingsCatalogue.h"
#include "cli/Cli.h"
#include "cli/SettingsCommand.h"
#include "reconstruct/Presets.h"
#include "reconstruct/ReconstructSettingKeys.h"
#include "text/AppHome.h"
#include "text/Encoding.h"

namespace quippet::cli {
namespace {

constexpr const char* kPresetUsage = "Usage: quippet preset list\n"
                                     "       quippet preset save NAME\n"
                                     "       quippet preset load NAME\n"
                                     "       quippet preset show NAME\n"
                                     "The reconstruction presets (\"設定保存\") in the preset folder\n"
                                     "(OptionDialog/ES24): NAME.ini with the settings of the XMLの再構成 tab and,\n"
                                     "beside it, copies of the NGID, priority-ID and NG-word lists and of the\n"
                                     "individual and priority rule files.\n";

int usage(std::ostream& err, const std::string& reason) {
    err << "quippet preset: " << reason << '\n' << kPresetUsage;
    return kExitUsage;
}

void print_notes(std::ostream& out, const PresetOutcome& outcome) {
    for (const std::u16string& note : outcome.notes)
        out << "  " << to_utf8(note) << '\n';
}

void print_failures(std::ostream& err, const PresetOutcome& outcome) {
    err << "quippet preset: " << to_utf8(outcome.message) << '\n';
    for (const std::u16string& failure : outcome.failures)
        err << "  " << to_utf8(failure) << '\n';
}

/// The name checks every subcommand but list shares; 0 when the name may be used.
int checked_name(const std::string& name, std::u16string& out, std::ostream& err) {
    out = from_utf8(name);
    std::u16string problem;
    if (!check_preset_name(out, &problem)) return usage(err, to_utf8(problem));
    return kExitOk;
}

int unknown_preset(const CSettings& settings, const std::u16string& name, std::ostream& err) {
    std::string reason = "unknown preset " + to_utf8(name) + " (see quippet preset list)";
    std::error_code ec;
    if (std::filesystem::is_regular_file(to_fs_path(reconstruct_preset_path(settings, name, kPresetDeletedExtension)),
                                         ec))
        reason += "; a deleted preset of that name is kept as " + to_utf8(name) +
                  ".bak: quippet preset save NAME brings it back";
    return usage(err, reason);
}

int list(std::ostream& out) {
    CFileINI ini;
    CSettings settings;
    load_settings(ini, settings);
    for (const std::u16string& name : list_reconstruct_presets(settings))
        out << to_utf8(name) << '\n';
    return kExitOk;
}

int save(const std::u16string& name, std::ostream& out, std::ostream& err) {
    CFileINI ini;
    CSettings settings;
    load_settings(ini, settings);
    const PresetOutcome saved = save_reconstruct_preset(settings, name, PresetSaveMode::kNew);
    if (saved.recovered) {
        out << to_utf8(saved.message) << '\n'
            << "(" << to_utf8(reconstruct_preset_path(settings, name))
            << " is back; save again to store the current settings under this name)\n";
        return kExitOk;
    }
    if (saved.result != 0) {
        print_failures(err, saved);
        return kExitFailures;
    }
    out << "saved " << to_utf8(reconstruct_preset_path(settings, name)) << '\n';
    print_notes(out, saved);
    return kExitOk;
}

int load(const std::u16string& name, std::ostream& out, std::ostream& err) {
    CFileINI ini;
    CSettings settings;
    load_settings(ini, settings);
    if (!reconstruct_preset_exists(settings, name)) return unknown_preset(settings, name, err);
    std::u16string problem;
    if (!load_reconstruct_preset_settings(settings, name, &problem)) {
        err << "quippet preset: " << to_utf8(problem) << '\n';
        return kExitFailures;
    }
    if (save_section(ini, settings, section::kReconstruct) != 0) {
        err << "quippet preset: could not write " << to_utf8(ini.path()) << " (" << std::strerror(ini.error()) << ")\n";
        return kExitFailures;
    }
    const PresetOutcome copied = copy_reconstruct_preset_files_back(settings, name);
    out << "restored " << to_utf8(reconstruct_preset_path(settings, name)) << " into " << to_utf8(ini.path()) << '\n';
    print_notes(out, copied);
    if (copied.result != 0) {
        print_failures(err, copied);
        return kExitFailures;
    }
    return kExitOk;
}

int show(const std::u16string& name, std::ostream& out, std::ostream& err) {
    CFileINI ini;
    CSettings settings;
    load_settings(ini, settings);
    if (!reconstruct_preset_exists(settings, name)) return unknown_preset(settings, name, err);
    std::vector<PresetValue> values;
    std::u16string problem;
    if (!read_reconstruct_preset_values(settings, name, values, &problem)) {
        err << "quippet preset: " << to_utf8(problem) << '\n';
        return kExitFailures;
    }
    for (const PresetValue& v : values) {
        // A key the preset lacks keeps the current value on restore, so it has no value of its own to show.
        if (!v.stored) continue;
        out << to_utf8(v.def->key.section) << '\t' << to_utf8(setting_key_name(v.def->key)) << '\t'
            << setting_type_text(*v.def) << '\t' << tsv_field(v.value) << '\t' << tsv_field(v.def->group) << '\t'
            << tsv_field(v.def->label) << '\n';
    }
    for (const PresetFileDef& file : kPresetFiles) {
        const std::u16string copy = reconstruct_preset_path(settings, name, file.extension);
        std::error_code ec;
        const bool present = std::filesystem::is_regular_file(to_fs_path(copy), ec);
        out << "file\t" << to_utf8(file.extension) << '\t' << (present ? "present" : "missing") << '\t'
            << tsv_field(copy) << '\n';
    }
    return kExitOk;
}

} // namespace

int run_preset_command(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.size() == 1 && args[0] == "--help") {
        out << kPresetUsage;
        return kExitOk;
    }
    if (args.size() == 1 && args[0] == "list") return list(out);
    if (args.size() != 2 || (args[0] != "save" && args[0] != "load" && args[0] != "show"))
        return usage(err, args.empty() ? "no subcommand given" : "unknown or incomplete subcommand");
    std::u16string name;
    if (const int code = checked_name(args[1], name, err); code != kExitOk) return code;
    if (args[0] == "save") return save(name, out, err);
    if (args[0] == "load") return load(name, out, err);
    return show(name, out, err);
}

int report_preset_preparation(const PresetRunPreparation& prepared, const CSettings& settings,
                              std::u16string_view preset, const char* command, std::ostream& out, std::ostream& err) {
    for (const std::u16string& note : prepared.files.notes)
        out << "preset " << to_utf8(preset) << ": " << to_utf8(note) << '\n';
    for (const PresetOutcome* outcome : {&prepared.files, &prepared.saved}) {
        if (outcome->result == 0) continue;
        err << "quippet " << command << ": " << to_utf8(outcome->message) << '\n';
        for (const std::u16string& failure : outcome->failures)
            err << "  " << to_utf8(failure) << '\n';
    }
    if (prepared.files.result != 0) return -1;
    if (prepared.saved.result == 0 && !prepared.saved.notes.empty())
        out << "preset " << to_utf8(settings.text(RcText::kPresetName)) << ": saved (実行で設定保存)\n";
    return 0;
}

} // namespace quippet::cli
