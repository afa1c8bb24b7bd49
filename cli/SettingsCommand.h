#pragma once

#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

namespace quippet {
class CSettings;
}

namespace quippet::cli {

/// `quippet settings list | get SECTION/KEY | set SECTION/KEY VALUE | docs`, on the settings file of
/// the app home. `args` are the words after "settings". 0 ok, 1 the file could not be written, 2 usage.
int run_settings_command(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

/// One field of a tab-separated output line (UTF-8): a tab or line break, which would start a new field or
/// line, is written as a backslash followed by t, r or n.
std::string tsv_field(std::u16string_view text);

/// Applies one "SECTION/KEY=VALUE" to `settings` for the current run only. 0, or 2 (usage error) with
/// the reason in `error` for an unknown key, a malformed text or a value outside the setting's range.
int apply_set_option(CSettings& settings, std::string_view section_key_eq_value, std::string& error);

/// Takes every "--set SECTION/KEY=VALUE" and "--set=SECTION/KEY=VALUE" out of `args` and applies it.
/// 0, or 2 with the reason in `error` (the first bad option; `args` is then left as it was).
int extract_set_options(std::vector<std::string>& args, CSettings& settings, std::string& error);

} // namespace quippet::cli
