#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace quippet::cli {

/// `quippet bookmarks list` prints the bookmark tree (depth, check mark, label, target, options);
/// `quippet bookmarks check [--folder DIR] [--save FILE]` runs the update check over the checked bookmarks
/// and prints the rows it added, as `register` does.
int run_bookmarks_command(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

} // namespace quippet::cli
