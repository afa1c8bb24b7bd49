#pragma once

#include <string>
#include <string_view>

#include "text/CharBuffer.h"

namespace quippet {

/// "+" becomes a blank and "%" with two hexadecimal digits the byte they name. A "%" not followed by two
/// hexadecimal digits is copied with the two bytes after it (fewer at the end of the text).
std::string url_decoded(std::string_view bytes);
void url_decode(CCharM& bytes);

/// Levels of url_encoded: which bytes besides letters and digits stay as they are.
inline constexpr int kUrlKeepAlnum = 0;
/// Also "-", ".", "_" and "~": for query values.
inline constexpr int kUrlKeepUnreserved = 1;
/// Also "&", "+", "/", ":", "=" and "?": for whole addresses.
inline constexpr int kUrlKeepAddress = 2;

/// A blank becomes "+", every byte the level does not keep "%" + two lower-case hexadecimal digits.
/// Levels below 0 count as 0, above 2 as 2.
std::string url_encoded(std::string_view bytes, int level);
void url_encode(CCharM& bytes, int level);

/// Appends `byte` as two upper-case hexadecimal digits.
void append_hex_byte(std::string& out, unsigned char byte);
void append_hex_byte(CCharM& out, unsigned char byte);

} // namespace quippet
