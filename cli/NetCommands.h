#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace quippet::cli {

/// `quippet login [--set K=V]... [--entry N] [--cookie VALUE]`: the explicit login; prints the login status
/// line. Exit 0 when logged in, 1 otherwise.
int run_login_command(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

/// `quippet info [--set K=V]... [--entry N] [--write DIR] ID...`: each video's information as key<TAB>value
/// lines, one block per video (blocks separated by a blank line). Exit 1 when any video failed.
int run_info_command(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

} // namespace quippet::cli
