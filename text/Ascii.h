#pragma once

#include <cstddef>
#include <optional>
#include <string_view>
#include <vector>

// ASCII-only character tests and case folding. Names, keys, options and markup of this program's files
// are ASCII; folding them must not touch full-width or other letters, which locale folding would.

namespace quippet {

template <typename Ch> constexpr Ch ascii_lower(Ch c) {
    return c >= Ch('A') && c <= Ch('Z') ? static_cast<Ch>(c - Ch('A') + Ch('a')) : c;
}

template <typename Ch> constexpr bool is_ascii_digit(Ch c) {
    return c >= Ch('0') && c <= Ch('9');
}

/// Equal when folded to ASCII lower case.
template <typename Ch> constexpr bool ascii_equal_nocase(std::basic_string_view<Ch> a, std::basic_string_view<Ch> b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (ascii_lower(a[i]) != ascii_lower(b[i])) return false;
    return true;
}
constexpr bool ascii_equal_nocase(std::u16string_view a, std::u16string_view b) {
    return ascii_equal_nocase<char16_t>(a, b);
}
constexpr bool ascii_equal_nocase(std::string_view a, std::string_view b) {
    return ascii_equal_nocase<char>(a, b);
}

constexpr bool ascii_starts_with_nocase(std::u16string_view text, std::u16string_view prefix) {
    return text.size() >= prefix.size() && ascii_equal_nocase(text.substr(0, prefix.size()), prefix);
}

/// A plain decimal number of at most `max_digits` digits (no sign, no blanks); nullopt for anything else.
constexpr std::optional<long long> ascii_decimal(std::u16string_view text, std::size_t max_digits = 18) {
    if (text.empty() || text.size() > max_digits) return std::nullopt;
    long long n = 0;
    for (char16_t c : text) {
        if (!is_ascii_digit(c)) return std::nullopt;
        n = n * 10 + (c - u'0');
    }
    return n;
}

/// The pieces of `text` between `separator`s, empty pieces included; one piece for a text without one.
inline std::vector<std::u16string_view> split_view(std::u16string_view text, char16_t separator) {
    std::vector<std::u16string_view> pieces;
    for (;;) {
        const std::size_t at = text.find(separator);
        pieces.push_back(text.substr(0, at));
        if (at == std::u16string_view::npos) return pieces;
        text.remove_prefix(at + 1);
    }
}

} // namespace quippet
