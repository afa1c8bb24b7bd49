#pragma once

#include <string>
#include <string_view>

namespace quippet {

class CSettings;

/// Loads the reconstruction preset `name` (from the reconstruction preset folder) into `settings` and copies
/// its individual list files back into place, as double-clicking the name on the tab does. false, with the
/// reason in `error`, when the preset cannot be read; `settings` is then unchanged.
bool apply_reconstruct_preset(CSettings& settings, std::u16string_view name, std::u16string* error = nullptr);

} // namespace quippet
