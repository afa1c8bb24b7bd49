#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace quippet::cli {

/// `quippet register [--set K=V]... [--save FILE] [--form FORM] INPUT...`: fills a download list from IDs,
/// addresses, list files, folders, history selections and search words, as the download tab does; prints
/// the rows added (ID, save name, folder, comments, posted, views), saves the list when asked.
int run_register_command(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

/// `quippet search [--set K=V]... [--method LABEL] [--start-page N] [--pages N] [--save FILE] WORDS...`.
int run_search_command(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

/// `quippet serial --from N --to M [--folder DIR] [--save FILE]`: "連番登録".
int run_serial_command(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

} // namespace quippet::cli
