#pragma once

#include <ctime>
#include <optional>
#include <string>
#include <string_view>

#include "text/CharBuffer.h"

namespace quippet {

// --- dates ------------------------------------------------------------------------------------------------

/// A decimal count of seconds since 1970 replaced by its local time, "2009/01/05 09:03:07".
/// -1, text unchanged, when it is not a non-negative number or the time cannot be converted.
int format_unix_time(CCharW& text);
/// Local time as "09.01.05 09：03" (two-digit fields, full-width colon), as comment-file names carry it.
/// Empty when the time cannot be converted.
std::u16string format_short_stamp(std::time_t when);
/// An RSS-style date "Mon, 05 Jan 2009 12:00:00 +0900" replaced by "2009-01-05". The day must be 1-31,
/// the month one of the English abbreviations and the year 1-2038; otherwise -1 with the text unchanged.
int parse_mail_date(CCharW& text);

// --- video lengths ----------------------------------------------------------------------------------------

/// A length in hundredths of a second as save names carry it: ["N時間"] minutes "分" seconds "秒", minutes
/// and seconds zero-padded to `width` digits; hundredths are dropped. Empty for a negative (unknown) length.
std::u16string duration_text(int hundredths, int width);
/// The hundredths of a second of a text made by duration_text (any padding); -1 when it is not one.
int duration_to_hundredths(std::u16string_view text);
/// The duration text between the last pair of `open`/`close` brackets in a file name that holds one with a
/// positive length (earlier pairs are tried when a later one holds something else); nullopt when none does.
std::optional<std::u16string> duration_from_name(std::u16string_view name, std::u16string_view open,
                                                 std::u16string_view close);

} // namespace quippet
