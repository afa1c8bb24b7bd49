#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "cli/Cli.h"

namespace quippet::test {

/// What one in-process run of the command-line front end gave.
struct CommandRun {
    int code;
    std::string out, err;
};

/// Runs `quippet ARGS...` in this process, the way main() does, capturing both streams.
inline CommandRun run_quippet(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    const int code = cli::run(args, out, err);
    return {code, out.str(), err.str()};
}

/// The same inside the app home `home`.
inline CommandRun run_quippet_in(const std::string& home, std::vector<std::string> args) {
    args.insert(args.begin(), {"--home", home});
    return run_quippet(args);
}

} // namespace quippet::test
