#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace quippet::cli {

/// `quippet livelog [--preset NAME] [--set SECTION/KEY=VALUE]... [--source FILE] [--out-dir DIR]
/// [--out-name NAME]`: converts the live-thread log with the stored live-log settings, overridden by the
/// preset and then by the options. 0 written, 1 failed, 2 usage, 3 stopped.
int run_livelog_command(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

/// `quippet livelog-preset list | show NAME | save NAME`: the presets of the live-log preset folder.
int run_livelog_preset_command(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

} // namespace quippet::cli
