#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace quippet {
class CSettings;
}

namespace quippet::cli {

/// `quippet preset list | save NAME | load NAME | show NAME`: the reconstruction presets of the app home.
/// `save` stores the reconstruction settings of the app home's settings file, `load` restores a preset into
/// that file and copies its list and rule files back. 0 ok, 1 something could not be written, 2 usage
/// (also an unknown preset).
int run_preset_command(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

/// "実行で設定保存" for the jobs of the reconstruction tab: saves the run's settings under the current
/// preset name when the switch is on. A failed save is reported on `err` and never stops the run.
void save_preset_before_run(const CSettings& settings, const char* command, std::ostream& out, std::ostream& err);

} // namespace quippet::cli
