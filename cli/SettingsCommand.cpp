#include "cli/SettingsCommand.h"

#include <cstring>
#include <ostream>

#include "app/IniFile.h"
#include "app/Settings.h"
#include "app/SettingsCatalogue.h"
#include "cli/Cli.h"
#include "text/Encoding.h"

namespace quippet::cli {
namespace {

void print_usage(std::ostream& err) {
    err << "Usage: quippet settings list\n"
           "       quippet settings get SECTION/KEY\n"
           "       quippet settings set SECTION/KEY VALUE\n"
           "       quippet settings docs\n";
}

} // namespace

std::string tsv_field(std::u16string_view text) {
    std::string out;
    for (char c : to_utf8(text)) {
        if (c == '\t')
            out += "\\t";
        else if (c == '\r')
            out += "\\r";
        else if (c == '\n')
            out += "\\n";
        else
            out += c;
    }
    return out;
}

namespace {

std::u16string default_text(const SettingDef& def) {
    return def.is_text() ? def.default_text : from_utf8(std::to_string(def.default_number));
}

int list(std::ostream& out) {
    CFileINI ini;
    CSettings settings;
    load_settings(ini, settings);
    for (const SettingDef& def : setting_catalogue()) {
        std::u16string current = settings.display_value(def);
        // A listing ends up in terminals and logs; the password is shown only when asked for by name.
        if (def.type == SettingType::kProtected && !current.empty()) current = u"********";
        out << to_utf8(def.key.section) << '\t' << to_utf8(setting_key_name(def.key)) << '\t' << setting_type_text(def)
            << '\t' << tsv_field(current) << '\t' << tsv_field(default_text(def)) << '\t' << tsv_field(def.group)
            << '\t' << tsv_field(def.label) << '\n';
    }
    return kExitOk;
}

const SettingDef* named_setting(std::string_view name, std::ostream& err) {
    const SettingDef* def = find_setting_by_name(from_utf8(name));
    if (!def) err << "quippet settings: unknown setting " << name << " (see quippet settings list)\n";
    return def;
}

int get(std::string_view name, std::ostream& out, std::ostream& err) {
    const SettingDef* def = named_setting(name, err);
    if (!def) return kExitUsage;
    CFileINI ini;
    const std::u16string key = setting_key_name(def->key);
    if (def->type == SettingType::kProtected)
        out << tsv_field(ini.read_protected(key, def->default_text)) << '\n';
    else if (def->is_text())
        out << tsv_field(ini.read_text(def->key.section, key, def->default_text)) << '\n';
    else
        out << ini.read_number(def->key.section, key, def->default_number) << '\n';
    return kExitOk;
}

int set(std::string_view name, std::string_view value, std::ostream& err) {
    const SettingDef* def = named_setting(name, err);
    if (!def) return kExitUsage;
    ParsedSettingValue parsed;
    std::string error;
    if (!parse_setting_value(*def, from_utf8(value), parsed, error)) {
        err << "quippet settings: " << error << "\n";
        return kExitUsage;
    }
    CFileINI ini;
    const std::u16string key = setting_key_name(def->key);
    int result = 0;
    if (def->type == SettingType::kProtected)
        result = ini.write_protected(key, parsed.text);
    else if (def->is_text())
        result = ini.write_text(def->key.section, key, parsed.text);
    else
        result = ini.write_number(def->key.section, key, parsed.number);
    if (result != 0) {
        err << "quippet settings: could not write " << to_utf8(ini.path()) << " (" << std::strerror(ini.error())
            << ")\n";
        return kExitFailures;
    }
    return kExitOk;
}

} // namespace

int run_settings_command(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.size() == 1 && args[0] == "list") return list(out);
    if (args.size() == 1 && args[0] == "docs") {
        out << render_settings_markdown();
        return kExitOk;
    }
    if (args.size() == 2 && args[0] == "get") return get(args[1], out, err);
    if (args.size() == 3 && args[0] == "set") return set(args[1], args[2], err);
    print_usage(err);
    return kExitUsage;
}

int apply_set_option(CSettings& settings, std::string_view section_key_eq_value, std::string& error) {
    const size_t eq = section_key_eq_value.find('=');
    if (eq == std::string_view::npos) {
        error = "--set needs SECTION/KEY=VALUE, not \"" + std::string(section_key_eq_value) + "\"";
        return kExitUsage;
    }
    const std::string_view name = section_key_eq_value.substr(0, eq);
    const SettingDef* def = find_setting_by_name(from_utf8(name));
    if (!def) {
        error = "unknown setting " + std::string(name) + " (see quippet settings list)";
        return kExitUsage;
    }
    ParsedSettingValue parsed;
    if (!parse_setting_value(*def, from_utf8(section_key_eq_value.substr(eq + 1)), parsed, error)) return kExitUsage;
    if (def->is_text())
        settings.set_text(def->key, std::move(parsed.text));
    else
        settings.set_number(def->key, parsed.number);
    return kExitOk;
}

int extract_set_options(std::vector<std::string>& args, CSettings& settings, std::string& error) {
    std::vector<std::string> rest;
    CSettings changed = settings;
    for (size_t i = 0; i < args.size(); ++i) {
        std::string_view value;
        if (args[i] == "--set") {
            if (i + 1 >= args.size()) {
                error = "--set needs SECTION/KEY=VALUE";
                return kExitUsage;
            }
            value = args[++i];
        } else if (args[i].starts_with("--set=")) {
            value = std::string_view(args[i]).substr(6);
        } else {
            rest.push_back(args[i]);
            continue;
        }
        if (apply_set_option(changed, value, error) != kExitOk) return kExitUsage;
    }
    args = std::move(rest);
    settings = std::move(changed);
    return kExitOk;
}

} // namespace quippet::cli
