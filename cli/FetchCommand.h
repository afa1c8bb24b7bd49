#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace quippet::cli {

/// `quippet fetch [--out FILE] [--service] URL`: one request through the program's HTTP client, with the
/// proxy and header settings of the app home; the body goes to stdout, or with --out into FILE through a
/// temporary name. --service moves the URL onto --service-root as the service's addresses are.
int run_fetch_command(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

} // namespace quippet::cli
