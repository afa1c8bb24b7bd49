#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace quippet::cli {

/// `quippet split (--size N | --auto) [--remainder] [--set SECTION/KEY=VALUE]... FILE...`: writes parts of
/// each comment file beside it. 0 every file succeeded, 1 some failed, 2 usage, 3 stopped.
int run_split_command(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

/// `quippet cut --from N --to M [--set SECTION/KEY=VALUE]... FILE...`: writes the comments numbered N to M
/// of each comment file beside it. Exit codes as for split.
int run_cut_command(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

} // namespace quippet::cli
