#include "text/DateText.h"

#include "text/Ascii.h"

#include <climits>
#include <cstdio>

namespace quippet {
namespace {

/// Reads the decimal digits at the front of `text` (at most `max_digits`); the count read, 0 when none or too many.
size_t read_digits(std::u16string_view text, long long& value, size_t max_digits) {
    size_t n = 0;
    value = 0;
    while (n < text.size() && is_ascii_digit(text[n])) {
        if (n == max_digits) return 0;
        value = value * 10 + (text[n] - u'0');
        ++n;
    }
    return n;
}

void append_padded(std::u16string& out, long long value, int width) {
    char digits[32];
    std::snprintf(digits, sizeof digits, "%0*lld", width > 0 ? width : 1, value);
    for (const char* p = digits; *p; ++p)
        out += static_cast<char16_t>(*p);
}

bool local_time(std::time_t when, std::tm& out) {
    return localtime_r(&when, &out) != nullptr;
}

} // namespace

int format_unix_time(CCharW& text) {
    long long seconds = 0;
    const size_t n = read_digits(text.view(), seconds, 15);
    std::tm tm{};
    if (n == 0 || n != static_cast<size_t>(text.length()) || !local_time(static_cast<std::time_t>(seconds), tm))
        return -1;
    char out[64];
    std::snprintf(out, sizeof out, "%d/%.2d/%.2d %.2d:%.2d:%.2d", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday,
                  tm.tm_hour, tm.tm_min, tm.tm_sec);
    text.clear();
    for (const char* p = out; *p; ++p)
        text.append(static_cast<char16_t>(*p));
    return 0;
}

std::u16string format_short_stamp(std::time_t when) {
    std::tm tm{};
    if (!local_time(when, tm)) return {};
    std::u16string out;
    append_padded(out, (tm.tm_year + 1900) % 100, 2);
    out += u'.';
    append_padded(out, tm.tm_mon + 1, 2);
    out += u'.';
    append_padded(out, tm.tm_mday, 2);
    out += u' ';
    append_padded(out, tm.tm_hour, 2);
    out += u'：';
    append_padded(out, tm.tm_min, 2);
    return out;
}

int parse_mail_date(CCharW& text) {
    static constexpr std::u16string_view months[] = {u"Jan", u"Feb", u"Mar", u"Apr", u"May", u"Jun",
                                                     u"Jul", u"Aug", u"Sep", u"Oct", u"Nov", u"Dec"};
    std::u16string_view rest = text.view();
    const size_t comma = rest.find(u", ");
    if (comma == std::u16string_view::npos) return -1;
    rest.remove_prefix(comma + 2);

    long long day = 0;
    const size_t day_digits = read_digits(rest, day, 2);
    if (day_digits == 0 || day < 1 || day > 31 || day_digits >= rest.size() || rest[day_digits] != u' ') return -1;
    rest.remove_prefix(day_digits + 1);

    int month = 0;
    for (int m = 0; m < 12 && month == 0; ++m)
        if (rest.starts_with(months[m])) month = m + 1;
    if (month == 0) return -1;
    const size_t blank = rest.find(u' ');
    if (blank == std::u16string_view::npos) return -1;
    rest.remove_prefix(blank + 1);

    // A date without a time ends with the year.
    long long year = 0;
    const size_t year_digits = read_digits(rest, year, 4);
    if (year_digits == 0 || year < 1 || year > 2038 || (year_digits < rest.size() && rest[year_digits] != u' '))
        return -1;

    std::u16string out;
    append_padded(out, year, 1);
    out += u'-';
    append_padded(out, month, 2);
    out += u'-';
    append_padded(out, day, 2);
    text.assign(out);
    return 0;
}

std::u16string duration_text(int hundredths, int width) {
    if (hundredths < 0) return {};
    const int hours = hundredths / 360000;
    const int rest_seconds = hundredths / 100 - hours * 3600;
    std::u16string out;
    if (hours > 0) {
        append_padded(out, hours, 1);
        out += u"時間";
    }
    append_padded(out, rest_seconds / 60, width);
    out += u'分';
    append_padded(out, rest_seconds % 60, width);
    out += u'秒';
    return out;
}

int duration_to_hundredths(std::u16string_view text) {
    long long hours = 0, minutes = 0, seconds = 0;
    size_t n = read_digits(text, hours, 6);
    if (n > 0 && text.substr(n).starts_with(u"時間")) {
        text.remove_prefix(n + 2);
        n = read_digits(text, minutes, 6);
    } else {
        minutes = hours;
        hours = 0;
    }
    if (n == 0 || n >= text.size() || text[n] != u'分') return -1;
    text.remove_prefix(n + 1);
    n = read_digits(text, seconds, 6);
    if (n == 0 || text.substr(n) != u"秒") return -1;
    const long long total = ((hours * 60 + minutes) * 60 + seconds) * 100;
    return total > INT_MAX ? -1 : static_cast<int>(total);
}

std::optional<std::u16string> duration_from_name(std::u16string_view name, std::u16string_view open,
                                                 std::u16string_view close) {
    if (open.empty() || close.empty()) return std::nullopt;
    std::u16string_view head = name;
    while (true) {
        const size_t closing = head.rfind(close);
        if (closing == std::u16string_view::npos) break;
        const size_t opening = head.substr(0, closing).rfind(open);
        if (opening == std::u16string_view::npos) break;
        const size_t from = opening + open.size();
        const std::u16string_view piece = head.substr(from, closing - from);
        // "00分30秒" is a real length even though it does not begin with a positive number.
        if (piece.find(u'分') != std::u16string_view::npos && piece.find(u'秒') != std::u16string_view::npos &&
            duration_to_hundredths(piece) > 0)
            return std::u16string(piece);
        head = head.substr(0, opening);
    }
    return std::nullopt;
}

} // namespace quippet
