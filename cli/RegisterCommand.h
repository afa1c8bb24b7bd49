#pragma once

#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

namespace quippet {
class CSettings;
class CListDownload;
} // namespace quippet

namespace quippet::cli {

/// `quippet register [--set K=V]... [--save FILE] [--form FORM] INPUT...`: fills a download list from IDs,
/// addresses, list files, folders, history selections and search words, as the download tab does; prints
/// the rows added (ID, save name, folder, comments, posted, views), saves the list when asked.
int run_register_command(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

/// `quippet search [--set K=V]... [--method LABEL] [--start-page N] [--pages N] [--save FILE] WORDS...`.
int run_search_command(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

/// `quippet serial --from N --to M [--folder DIR] [--save FILE]`: "連番登録".
/// Registers each input into `list` as the download tab's input box does (IDs, addresses, list files,
/// folders, history selections, search words), then each of `search_words` as a search; new rows go to
/// `folder` (relative to the home; empty: "download"). Progress on `err`. The number of inputs that failed.
int register_inputs(const CSettings& settings, std::u16string_view folder, const std::vector<std::string>& inputs,
                    const std::vector<std::string>& search_words, CListDownload& list, std::ostream& err);

int run_serial_command(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

} // namespace quippet::cli
