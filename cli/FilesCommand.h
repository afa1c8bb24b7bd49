#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "app/SettingsTextFiles.h"

namespace quippet::cli {

/// `quippet files list | init [NAME...]`: the settings text files of the app home, and the creation of the
/// missing ones with their default text. 0 ok, 1 a file could not be created, 2 usage (also an unknown NAME).
int run_files_command(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

} // namespace quippet::cli
