#include "cli/FilesCommand.h"

#include <algorithm>
#include <filesystem>
#include <ostream>
#include <system_error>

#include "app/IniFile.h"
#include "app/Settings.h"
#include "cli/Cli.h"
#include "cli/SettingsCommand.h"
#include "livelog/LiveLogFiles.h"
#include "reconstruct/SettingsFiles.h"
#include "text/AppHome.h"
#include "text/Encoding.h"

namespace quippet::cli {
namespace {

constexpr const char* kFilesUsage = "Usage: quippet files list\n"
                                    "       quippet files init [NAME...]\n"
                                    "Lists the settings text files (NAME, exists or missing, path, label), or\n"
                                    "creates the missing ones (all, or those NAMEd) with their default text.\n";

int usage(std::ostream& err, const std::string& reason) {
    err << "quippet files: " << reason << '\n' << kFilesUsage;
    return kExitUsage;
}

bool exists(const std::u16string& path) {
    std::error_code ec;
    return std::filesystem::exists(to_fs_path(path), ec);
}

CSettings stored_settings() {
    CFileINI ini;
    CSettings settings;
    load_settings(ini, settings);
    return settings;
}

int list(std::ostream& out) {
    const CSettings settings = stored_settings();
    for (const SettingsTextFile* file : all_settings_text_files()) {
        const std::u16string path = file->path(settings);
        out << file->name << '\t' << (exists(path) ? "exists" : "missing") << '\t' << tsv_field(path) << '\t'
            << tsv_field(settings_text_file_label(*file)) << '\n';
    }
    return kExitOk;
}

int init(const std::vector<std::string>& names, std::ostream& out, std::ostream& err) {
    const std::vector<const SettingsTextFile*> all = all_settings_text_files();
    std::vector<const SettingsTextFile*> chosen;
    for (const std::string& name : names) {
        const auto it =
            std::find_if(all.begin(), all.end(), [&name](const SettingsTextFile* f) { return f->name == name; });
        if (it == all.end()) {
            std::string known;
            for (const SettingsTextFile* f : all)
                known += (known.empty() ? "" : ", ") + std::string(f->name);
            return usage(err, "unknown file " + name + " (one of " + known + ")");
        }
        if (std::find(chosen.begin(), chosen.end(), *it) == chosen.end()) chosen.push_back(*it);
    }
    if (names.empty()) chosen = all;

    const CSettings settings = stored_settings();
    int created = 0;
    int failed = 0;
    for (const SettingsTextFile* file : chosen) {
        std::u16string failure;
        const int r = file->ensure(settings, [&failure](std::u16string_view message) { failure = message; });
        if (r > 0) {
            ++created;
            out << "created\t" << file->name << '\t' << tsv_field(file->path(settings)) << '\n';
        } else if (r < 0) {
            ++failed;
            err << "quippet files: " << file->name << ": "
                << to_utf8(failure.empty() ? file->path(settings) + u"の新規作成に失敗しました" : failure) << '\n';
        }
    }
    if (created == 0 && failed == 0) out << "nothing to create: every file exists\n";
    return failed > 0 ? kExitFailures : kExitOk;
}

} // namespace

int run_files_command(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.size() == 1 && args[0] == "--help") {
        out << kFilesUsage;
        return kExitOk;
    }
    if (args.size() == 1 && args[0] == "list") return list(out);
    if (!args.empty() && args[0] == "init") return init({args.begin() + 1, args.end()}, out, err);
    return usage(err, args.empty() ? "no subcommand given" : "unknown subcommand " + args[0]);
}

} // namespace quippet::cli
