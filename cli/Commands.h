#pragma once

#include <functional>
#include <iosfwd>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quippet::cli {

struct Command {
    std::string_view name;
    std::string_view summary;
    std::function<int(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)> run;
};

/// Every subcommand, in the order the help lists them.
std::span<const Command> commands();

} // namespace quippet::cli
