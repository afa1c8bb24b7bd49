#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "text/CharBuffer.h"

namespace quippet {

/// Code-page numbers as the rest of the program names them. Code page 0 (the "system" code page of the
/// settings and of fetched Japanese pages) always means Shift_JIS in its Windows form, CP932.
inline constexpr int kCodePageSystem = 0;
inline constexpr int kCodePageCp932 = 932;
inline constexpr int kCodePageEucJp = 51932;
inline constexpr int kCodePageUtf8 = 65001;

/// UTF-16 to UTF-8. Unpaired surrogates become U+FFFD. Returns the byte count.
int wide_to_utf8(const CCharW& in, CCharM& out);
/// Bytes of `code_page` to UTF-16. Malformed or unmapped bytes become U+FFFD; a UTF-8 byte order mark
/// is kept as U+FEFF. Returns the unit count, or -1 (`out` emptied) for a code page we cannot convert.
int narrow_to_wide(const CCharM& in, int code_page, CCharW& out);
/// UTF-16 to bytes of `code_page`; characters the code page lacks become "?". Returns the byte count or -1.
int wide_to_narrow(const CCharW& in, int code_page, CCharM& out);

std::string to_utf8(std::u16string_view text);
/// A decimal number as text ("-12").
std::u16string decimal_text(long long n);
/// Well-formed UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF, no cut sequence at the end.
bool is_valid_utf8(std::string_view bytes);
std::u16string from_utf8(std::string_view bytes);
/// from_utf8 when `bytes` is valid UTF-8 (is_valid_utf8), in one pass; nullopt otherwise.
std::optional<std::u16string> from_valid_utf8(std::string_view bytes);
std::string to_cp932(std::u16string_view text);
std::u16string from_cp932(std::string_view bytes);

/// Writes the UTF-16 form of `bytes` (UTF-8) to `out`, which must hold at least `bytes.size()` units
/// (UTF-16 never needs more units than UTF-8 has bytes). Returns the units written. Ill-formed sequences
/// become U+FFFD, and set `ill_formed` when given.
size_t decode_utf8_into(std::string_view bytes, char16_t* out, bool* ill_formed = nullptr);

/// Length of the longest prefix of `bytes` whose UTF-8 decoding cannot change with what follows: the
/// bytes of a sequence that may still be completed are left for the next piece of a stream.
size_t utf8_stream_prefix(std::string_view bytes);

/// Encoding declared by a fetched page or XML document: 0 UTF-8, 1 Shift_JIS, 2 EUC-JP, 3 unknown.
/// Looks at the first `<?xml` / `<?XML` declaration's encoding, then the first `<META` / `<meta` element's
/// content attribute, matching tag and attribute names case-sensitively in a fixed order.
int detect_document_encoding(std::string_view bytes);

inline constexpr int kDocumentAuto = -1;
inline constexpr int kDocumentUtf8 = 0;
inline constexpr int kDocumentShiftJis = 1;
inline constexpr int kDocumentEucJp = 2;
inline constexpr int kDocumentUnknown = 3;

/// Decodes a fetched document. `forced` is kDocumentAuto (detect), kDocumentUtf8 or kDocumentShiftJis.
/// Unknown documents are read as UTF-8. Returns the encoding the bytes were decoded as (0, 1 or 2).
int decode_document(std::string_view bytes, int forced, CCharW& out);

} // namespace quippet
