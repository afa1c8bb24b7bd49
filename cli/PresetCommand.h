#pragma once

#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

namespace quippet {
class CSettings;
struct PresetRunPreparation;
} // namespace quippet

namespace quippet::cli {

/// `quippet preset list | save NAME | load NAME | show NAME`: the reconstruction presets of the app home.
/// `save` stores the reconstruction settings of the app home's settings file, `load` restores a preset into
/// that file and copies its list and rule files back. 0 ok, 1 something could not be written, 2 usage
/// (also an unknown preset).
int run_preset_command(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

/// Reports what preparing a run with `preset` (empty: none) did: the files copied back, failures on
/// `err`, the save on run. -1 when the files failed and the job must not run; a failed save only warns.
int report_preset_preparation(const PresetRunPreparation& prepared, const CSettings& settings,
                              std::u16string_view preset, const char* command, std::ostream& out, std::ostream& err);

} // namespace quippet::cli
