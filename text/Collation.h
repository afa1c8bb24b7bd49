#pragma once

#include <string>
#include <string_view>

namespace quippet {

/// Japanese collation that ignores case, width and hiragana/katakana but not voicing marks or accents:
/// "ｱ", "ア" and "あ" are equal, "A" equals "a", "か" sorts before "が". Negative, 0 or positive.
/// Safe to call from any thread.
int locale_compare(std::u16string_view a, std::u16string_view b);

/// Bytes that compare with memcmp / operator< exactly as locale_compare compares the texts; for sorting
/// many strings, where one key per string is cheaper than collating every comparison.
std::string collation_key(std::u16string_view text);

} // namespace quippet
