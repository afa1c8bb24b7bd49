#pragma once

#include <climits>
#include <string_view>

namespace quippet::chatnum {

/// A decimal with an optional sign and nothing else around it, within the range of int.
inline bool parse_int(std::string_view s, int& out) {
    size_t i = 0;
    bool negative = false;
    if (!s.empty() && (s[0] == '-' || s[0] == '+')) {
        negative = s[0] == '-';
        i = 1;
    }
    if (i == s.size()) return false;
    long long value = 0;
    for (; i < s.size(); ++i) {
        const unsigned digit = static_cast<unsigned char>(s[i]) - unsigned{'0'};
        if (digit > 9) return false;
        value = value * 10 + digit;
        // One past INT_MAX still fits INT_MIN; anything beyond fits nothing.
        if (value > static_cast<long long>(INT_MAX) + 1) return false;
    }
    if (negative) value = -value;
    if (value > INT_MAX) return false;
    out = static_cast<int>(value);
    return true;
}

/// Decimal digits only (no sign), within the range of int.
inline bool parse_uint(std::string_view s, int& out) {
    if (s.empty() || s[0] == '-' || s[0] == '+') return false;
    return parse_int(s, out);
}

/// Decimal text of `value` into `out` (at least 12 bytes); returns the length.
inline int format_int(int value, char* out) {
    char digits[12];
    int n = 0;
    long long v = value;
    const bool negative = v < 0;
    if (negative) v = -v;
    do {
        digits[n++] = static_cast<char>('0' + v % 10);
        v /= 10;
    } while (v > 0);
    int at = 0;
    if (negative) out[at++] = '-';
    while (n > 0)
        out[at++] = digits[--n];
    return at;
}

} // namespace quippet::chatnum
