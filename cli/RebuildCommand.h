#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace quippet::cli {

/// `quippet rebuild [--preset NAME] [--set SECTION/KEY=VALUE]... [--out-dir DIR] FILE...`: the
/// reconstruction job on the files in the given order, merged as the settings say. The preset is restored
/// before the --set overrides; with "実行で設定保存" the run's settings are saved as the current preset
/// before the job starts. 0 every unit succeeded, 1 some failed, 2 usage, 3 stopped.
int run_rebuild_command(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

} // namespace quippet::cli
