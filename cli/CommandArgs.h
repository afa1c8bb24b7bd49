#pragma once

#include <functional>
#include <string>
#include <vector>

namespace quippet {
class CSettings;
}

namespace quippet::cli {

/// The settings a command starts from: the settings file of the home, then the command's --set options
/// (taken out of `args`), then the service root of the run.
int load_command_settings(std::vector<std::string>& args, CSettings& settings, std::string& error);

/// The options of one command, read in the order given. A valued option that is the last argument, and any
/// other argument that starts with the command's option prefix, is an unknown argument; the rest are the
/// command's inputs, in their order.
class CommandArgs {
public:
    /// Takes the value; false with `error` set refuses it (the command shows its usage).
    using ValueHandler = std::function<bool(const std::string& value, std::string& error)>;

    /// `option_prefix`: what marks an option ("--", or "-" where no input may begin with a dash).
    explicit CommandArgs(std::string option_prefix = "--") : prefix_(std::move(option_prefix)) {}

    CommandArgs& flag(std::string name, bool& target);
    CommandArgs& flag(std::string name, std::function<void()> on_flag);
    CommandArgs& value(std::string name, ValueHandler take);
    /// The value as UTF-16 text, unchecked.
    CommandArgs& text(std::string name, std::u16string& target);
    /// "--entry N": the login entry, at most four digits.
    CommandArgs& entry(std::string name, int& target);
    /// A folder that must exist, made absolute.
    CommandArgs& folder(std::string name, std::u16string& target);
    /// Unknown options go to the inputs instead of being refused (for a first pass of options that several
    /// commands share).
    CommandArgs& pass_unknown() {
        pass_unknown_ = true;
        return *this;
    }

    /// Reads `args`; the inputs go to `inputs`. False with `error` set on a refused argument.
    bool parse(const std::vector<std::string>& args, std::vector<std::string>& inputs, std::string& error) const;

private:
    struct Option {
        std::string name;
        std::function<void()> on_flag; ///< set for flags
        ValueHandler take;             ///< set for valued options
    };
    std::string prefix_;
    std::vector<Option> options_;
    bool pass_unknown_ = false;
};

} // namespace quippet::cli
