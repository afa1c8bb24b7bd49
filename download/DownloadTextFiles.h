#pragma once

#include <optional>
#include <string>
#include <vector>

#include "app/SettingsTextFiles.h"
#include "download/IdPatterns.h"
#include "download/PageRegistration.h"

namespace quippet {

/// The settings text files of the registration: the ID patterns and the search orders.
const std::vector<SettingsTextFile>& download_settings_text_files();

/// The ID pattern file the settings name, created with the default text when missing; nullopt when it
/// cannot be read (the pages then fall back to plain ID recognition).
std::optional<IdPatternFile> load_id_patterns(const CSettings& settings);

/// The search orders of the settings' file (created when missing; the built-in list when unreadable).
std::vector<SearchMethod> load_search_methods(const CSettings& settings);

} // namespace quippet
