#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace quippet::cli {

/// `quippet scan FILE...`: reads comment files and reports their size, comment count and ranges.
int run_scan_command(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

} // namespace quippet::cli
