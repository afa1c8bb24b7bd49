#pragma once

#include <string>
#include <string_view>

namespace quippet::test {

/// The bytes of a wide text file as the program writes it: FF FE and the UTF-16LE units.
inline std::string wide_file_bytes(std::u16string_view text) {
    std::string out = "\xFF\xFE";
    for (char16_t c : text) {
        out += static_cast<char>(c & 0xFF);
        out += static_cast<char>(c >> 8);
    }
    return out;
}

} // namespace quippet::test
