#pragma once

#include <string>

namespace quippet {

// Built-in texts of the settings files of the command vocabulary and the rule stages, written when a file
// is missing. Each is UTF-16 with CR LF line ends and a final line break, as settings texts are stored.

/// "設定：コマンドの基本.txt"
const std::u16string& default_command_vocabulary_text();
/// "設定：コマンドの変換1.txt", "…2.txt" and "…3.txt" share one text.
const std::u16string& default_command_rules_text();
/// "設定：優先条件.txt"
const std::u16string& default_priority_rules_text();

} // namespace quippet
