#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace quippet::cli {

/// `quippet download [--folder DIR] [--video] [--thumbnail] [--nicowari] [--info] [--comments] [--past-logs]
/// [--owner-comments] [--search WORDS]... INPUT...`: registers the inputs as the download tab does and runs
/// the download job over the rows; one "mark<TAB>ID<TAB>save name<TAB>result" line per row.
/// Exit 0 when every row ended "○", 1 otherwise, 3 when stopped.
int run_download_command(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

/// `quippet chain [the options of download] ID`: the chain download from ID.
int run_chain_command(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

} // namespace quippet::cli
