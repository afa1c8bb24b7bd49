#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace quippet::cli {

/// Exit codes of the command-line front end.
enum ExitCode : int {
    kExitOk = 0,
    kExitFailures = 1, ///< the job ended, but some items failed
    kExitUsage = 2,
    kExitStopped = 3, ///< interrupted (SIGINT): the job ended through its stopped path
};

/// Runs the front end on already split arguments (without the program name).
int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

} // namespace quippet::cli
