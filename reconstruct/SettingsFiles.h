#pragma once

#include <vector>

#include "app/SettingsTextFiles.h"

namespace quippet {

/// The settings text files of the reconstruction: its lists, the fuzzy rules, the four rule files and the
/// command vocabulary, in the order the tab's buttons show them.
const std::vector<SettingsTextFile>& reconstruct_settings_text_files();

} // namespace quippet
