#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace quippet::jobtext {

std::u16string decimal(std::int64_t value);
/// Invalid sequences become U+FFFD.
std::string to_utf8(std::u16string_view text);
std::u16string from_utf8(std::string_view text);

} // namespace quippet::jobtext
