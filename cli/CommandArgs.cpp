#include "cli/CommandArgs.h"

#include <filesystem>

#include "app/IniFile.h"
#include "app/Settings.h"
#include "cli/Cli.h"
#include "cli/SettingsCommand.h"
#include "net/ServiceAddress.h"
#include "text/AppHome.h"
#include "text/Encoding.h"

namespace quippet::cli {

int load_command_settings(std::vector<std::string>& args, CSettings& settings, std::string& error) {
    CFileINI ini;
    load_settings(ini, settings);
    if (extract_set_options(args, settings, error) != kExitOk) return kExitUsage;
    apply_service_root(settings, service_root());
    return kExitOk;
}

CommandArgs& CommandArgs::flag(std::string name, bool& target) {
    return flag(std::move(name), [&target] { target = true; });
}

CommandArgs& CommandArgs::flag(std::string name, std::function<void()> on_flag) {
    options_.push_back({std::move(name), std::move(on_flag), {}});
    return *this;
}

CommandArgs& CommandArgs::value(std::string name, ValueHandler take) {
    options_.push_back({std::move(name), {}, std::move(take)});
    return *this;
}

CommandArgs& CommandArgs::text(std::string name, std::u16string& target) {
    return value(std::move(name), [&target](const std::string& v, std::string&) {
        target = from_utf8(v);
        return true;
    });
}

CommandArgs& CommandArgs::entry(std::string name, int& target) {
    return value(name, [&target, name](const std::string& v, std::string& error) {
        if (v.empty() || v.size() > 4 || v.find_first_not_of("0123456789") != std::string::npos) {
            error = name + " needs a number";
            return false;
        }
        target = std::stoi(v);
        return true;
    });
}

CommandArgs& CommandArgs::folder(std::string name, std::u16string& target) {
    return value(std::move(name), [&target](const std::string& v, std::string& error) {
        std::error_code ec;
        const auto path = std::filesystem::absolute(v, ec);
        if (ec || !std::filesystem::is_directory(path, ec)) {
            error = v + " is not a folder";
            return false;
        }
        target = from_fs_path(path);
        return true;
    });
}

bool CommandArgs::parse(const std::vector<std::string>& args, std::vector<std::string>& inputs,
                        std::string& error) const {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const Option* option = nullptr;
        for (const Option& o : options_)
            if (o.name == a && (o.on_flag || i + 1 < args.size())) {
                option = &o;
                break;
            }
        if (option && option->on_flag) {
            option->on_flag();
        } else if (option) {
            if (!option->take(args[++i], error)) return false;
        } else if (!pass_unknown_ && a.starts_with(prefix_)) {
            error = "unknown argument " + a;
            return false;
        } else {
            inputs.push_back(a);
        }
    }
    return true;
}

} // namespace quippet::cli
