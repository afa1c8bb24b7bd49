#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace quippet::cli {

/// `quippet warehouse --board NAME --at "YYYY-MM-DD HH:MM" [--back H] [--forward H] [--min-posts N]
/// [--words A|B] [--send ENTRY] [--set SECTION/KEY=VALUE]...`: searches the board's current list and
/// past-log warehouse and prints what was found; with --send the threads go to the browser of the
/// browser-table entry ENTRY. 0 found, 1 nothing found, 2 usage, 3 stopped.
int run_warehouse_command(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

} // namespace quippet::cli
