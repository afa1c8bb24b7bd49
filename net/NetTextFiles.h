#pragma once

#include <vector>

#include "app/SettingsTextFiles.h"
#include "net/InfoRules.h"

namespace quippet {

/// The settings text files of the network side: the cookie-sharing file and the information rules.
const std::vector<SettingsTextFile>& net_settings_text_files();

/// The information rules the settings name, created with the default text when missing; the built-in rules
/// when the file cannot be read or holds none.
InfoRules load_info_rules(const CSettings& settings);

} // namespace quippet
