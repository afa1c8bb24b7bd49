#pragma once

#include <string_view>

#include "text/CharBuffer.h"

namespace quippet {

// --- character references ---------------------------------------------------------------------------

/// Resolves the five XML references in their named, decimal and zero-padded decimal forms. Escaped
/// ampersands are resolved repeatedly first, so text that was escaped several times over (as some pages
/// deliver titles) collapses completely: "&amp;amp;lt;" becomes "<".
void unescape_all(CCharW& text);
/// One level of "&lt;", "&gt;" and "&amp;", in that order; text without "&" is not scanned at all.
void unescape_basic(CCharW& text);
/// "&", "<" and ">" as references, for text that was unescaped and goes back into an element.
void escape_markup(CCharW& text);
/// For putting text back into a comment element: only "<" and ">" are escaped.
void escape_angle_brackets(CCharW& text);
/// Undoes a second escaping of references that were already escaped ("&amp;lt;" → "&lt;"), and
/// turns "&apos;", which older readers do not know, into a plain apostrophe.
void repair_double_escapes(CCharW& text);
/// Length as shown on screen: "&amp;", "&lt;" and "&gt;" count as one unit, other references in full.
int visible_length(std::u16string_view text);

// --- JSON and page escapes ------------------------------------------------------------------------------

/// Every "\u" followed by four hexadecimal digits becomes that UTF-16 unit (a surrogate pair therefore
/// comes out as two units). Any other "\u" is left alone.
void decode_u_escapes(CCharW& text);
/// A JSON text made readable as page text: line breaks become "<br>", the escapes of "/", "\" and the
/// double quote are resolved, a backslash before "&quot;" is dropped, references are resolved, and
/// "\uXXXX" escapes are decoded last so that what they produce is not taken for a reference.
void decode_json_display(CCharW& text);
/// A JSON string value: "\uXXXX", "\/", "\"" and "\\" are resolved; other escapes are left as written.
void decode_json_string(CCharW& text);

// --- line-break tokens ------------------------------------------------------------------------------------

/// "<%改行%>", "<%CR%>", "<%LF%>" and "<%タブ%>" in one-line setting texts become CR LF, CR, LF and TAB.
void expand_line_tokens(CCharW& text);
/// The inverse of expand_line_tokens: CR LF pairs first, then lone CRs and LFs, then tabs.
void collapse_line_tokens(CCharW& text);

// --- regular expressions ------------------------------------------------------------------------------------

/// Backslash before "+.{}()[]^$-|". Backslash, "*" and "?" are left alone: callers quote file names that
/// have been through sanitize_file_name, which has already replaced those.
void quote_regex(CCharW& text);

} // namespace quippet
