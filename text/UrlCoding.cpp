#include "text/UrlCoding.h"

#include <algorithm>

namespace quippet {
namespace {

int hex_value(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool is_alnum(unsigned char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool kept_at_level(unsigned char c, int level) {
    if (is_alnum(c)) return true;
    if (level >= kUrlKeepUnreserved && (c == '-' || c == '.' || c == '_' || c == '~')) return true;
    return level >= kUrlKeepAddress && (c == '&' || c == '+' || c == '/' || c == ':' || c == '=' || c == '?');
}

} // namespace

std::string url_decoded(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (size_t i = 0; i < bytes.size();) {
        const char c = bytes[i];
        if (c == '+') {
            out += ' ';
            ++i;
        } else if (c != '%') {
            out += c;
            ++i;
        } else if (i + 2 < bytes.size() && hex_value(bytes[i + 1]) >= 0 && hex_value(bytes[i + 2]) >= 0) {
            out += static_cast<char>(hex_value(bytes[i + 1]) * 16 + hex_value(bytes[i + 2]));
            i += 3;
        } else {
            const size_t n = std::min<size_t>(3, bytes.size() - i);
            out.append(bytes.substr(i, n));
            i += n;
        }
    }
    return out;
}

void url_decode(CCharM& bytes) {
    if (bytes.view().find_first_of("+%") == std::string_view::npos) return;
    bytes.assign(url_decoded(bytes.view()));
}

std::string url_encoded(std::string_view bytes, int level) {
    static constexpr char digits[] = "0123456789abcdef";
    std::string out;
    out.reserve(bytes.size() * 3);
    for (const char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        if (kept_at_level(c, level)) {
            out += ch;
        } else if (c == ' ') {
            out += '+';
        } else {
            out += '%';
            out += digits[c >> 4];
            out += digits[c & 0x0f];
        }
    }
    return out;
}

void url_encode(CCharM& bytes, int level) {
    bytes.assign(url_encoded(bytes.view(), level));
}

void append_hex_byte(std::string& out, unsigned char byte) {
    static constexpr char digits[] = "0123456789ABCDEF";
    out += digits[byte >> 4];
    out += digits[byte & 0x0f];
}

void append_hex_byte(CCharM& out, unsigned char byte) {
    std::string hex;
    append_hex_byte(hex, byte);
    out.append(hex);
}

} // namespace quippet
