#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quippet {

// The watch page's JSON is read key by key, as a search, not parsed as a document: the page is hostile input
// whose shape changes, and a key that went missing must not cost the keys that are still there. Every scan is
// linear and stops at the end of the text, whatever quotes or brackets are left open.

/// The raw text of the value of the first `"key":` in `json` (a string with its quotes, a number, an object
/// or array with its brackets); nullopt when the key is missing or its value does not end.
std::optional<std::u16string_view> json_raw_value(std::u16string_view json, std::u16string_view key);
/// A raw string value without its quotes and with its escapes resolved; a raw number or literal as it is.
std::u16string json_text(std::u16string_view raw);
/// The raw items of a raw array value.
std::vector<std::u16string_view> json_array_items(std::u16string_view raw);
/// The raw extent of the value starting at `text[0]`; nullopt when it does not end.
std::optional<std::u16string_view> json_value_extent(std::u16string_view text);

} // namespace quippet
