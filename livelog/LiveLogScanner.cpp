#include "livelog/LiveLogScanner.h"

#include "livelog/LiveLogSettings.h"

#include <algorithm>
#include <string>

namespace quippet {
namespace {

bool is_blank(char16_t c) {
    return c == u' ' || c == u'\u3000' || c == u'\t';
}

bool is_id_char(char16_t c) {
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9') || c == u'+' || c == u'/';
}

std::u16string_view last_chars(std::u16string_view text, size_t n) {
    return text.size() <= n ? text : text.substr(text.size() - n);
}

bool in_range(long long v, long long lo, long long hi) {
    return v >= lo && v <= hi;
}

int month_length(int year, int month) {
    switch (month) {
    case 2:
        return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0 ? 29 : 28;
    case 4:
    case 6:
    case 9:
    case 11:
        return 30;
    default:
        return 31;
    }
}

/// "Over 999 Thread" for post 1000 and so on, without building a string per line.
bool ends_with_marker(std::u16string_view line, long long previous) {
    while (!line.empty() && is_blank(line.back()))
        line.remove_suffix(1);
    constexpr std::u16string_view kTail = u" Thread";
    if (!line.ends_with(kTail)) return false;
    line.remove_suffix(kTail.size());
    const std::string digits = std::to_string(previous);
    if (line.size() < digits.size()) return false;
    for (size_t i = 0; i < digits.size(); ++i)
        if (line[line.size() - digits.size() + i] != static_cast<char16_t>(digits[i])) return false;
    line.remove_suffix(digits.size());
    return line.ends_with(u"Over ");
}

} // namespace

long long leading_number(std::u16string_view text) {
    size_t i = 0;
    while (i < text.size() && is_blank(text[i]))
        ++i;
    if (i >= text.size() || text[i] < u'0' || text[i] > u'9') return -1;
    long long value = 0;
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i)
        if (value < 1'000'000'000'000LL) value = value * 10 + (text[i] - u'0');
    return value;
}

std::int64_t WcPostDate::time() const {
    return local_seconds(year, month, day, hour, minute, std::max(seconds, 0));
}

bool parse_post_date(std::u16string_view line, WcPostDate& out) {
    const size_t slash = line.rfind(u'/');
    if (slash == std::u16string_view::npos) return false;
    const std::u16string_view head = line.substr(0, slash);
    std::u16string_view rest = line.substr(slash + 1);
    const size_t slash2 = head.rfind(u'/');
    if (slash2 == std::u16string_view::npos) return false;
    const std::u16string_view month_text = head.substr(slash2 + 1);
    const std::u16string_view year_text = head.substr(0, slash2);

    WcPostDate d;
    const long long month = leading_number(month_text);
    if (month_text.size() >= 3 || !in_range(month, 1, 12)) return false;
    d.month = static_cast<int>(month);

    long long year = leading_number(last_chars(year_text, 4));
    if (!in_range(year, 1970, 2038)) {
        year = leading_number(last_chars(year_text, 2));
        if (in_range(year, 70, 99))
            year += 1900;
        else if (in_range(year, 0, 38))
            year += 2000;
        else
            return false;
    }
    d.year = static_cast<int>(year);

    const long long day = leading_number(rest);
    if (!in_range(day, 1, 32)) return false;
    d.day = static_cast<int>(day);

    const size_t colon = rest.find(u':');
    if (colon == std::u16string_view::npos) return false;
    const long long hour = leading_number(last_chars(rest.substr(0, colon), 2));
    if (!in_range(hour, 0, 40)) return false;
    d.hour = static_cast<int>(hour);
    rest.remove_prefix(colon + 1);

    const long long minute = leading_number(rest);
    if (!in_range(minute, 0, 59)) return false;
    d.minute = static_cast<int>(minute);

    const size_t colon2 = rest.find(u':');
    if (colon2 != std::u16string_view::npos) {
        const long long seconds = leading_number(rest.substr(colon2 + 1));
        if (in_range(seconds, 0, 59)) {
            d.seconds = static_cast<int>(seconds);
            const size_t dot = rest.find(u'.', colon2 + 1);
            if (dot != std::u16string_view::npos) {
                const long long hundredths = leading_number(rest.substr(dot + 1));
                if (in_range(hundredths, 0, 99)) d.hundredths = static_cast<int>(hundredths);
            }
        }
    }

    if (d.hour > 23) {
        d.hour -= 24;
        d.day += 1;
    }
    if (d.day > 28) {
        const int length = month_length(d.year, d.month);
        if (d.day > length) {
            d.day -= length;
            if (++d.month > 12) {
                d.month = 1;
                ++d.year;
            }
        }
    }
    out = d;
    return true;
}

WcLineKind classify_line(std::u16string_view line, WcHeader& header) {
    const long long n = !line.empty() && line.front() != u'-' ? leading_number(line) : -1;
    std::u16string_view dated = line;
    WcHeader h;
    if (in_range(n, 1, kWcMaxPostNumber)) {
        if (ends_with_marker(line, n - 1)) return WcLineKind::kMarker;
        h.number = static_cast<int>(n);
        const size_t at = line.rfind(u"ID:");
        if (at != std::u16string_view::npos) {
            const std::u16string_view chars = line.substr(at + 3, 8);
            if (!chars.empty() && std::all_of(chars.begin(), chars.end(), is_id_char)) {
                h.id = line.substr(at, 3 + chars.size());
                dated = line.substr(0, at);
            }
        }
    } else if (line.starts_with(u"\u2026")) {
        const size_t at = line.rfind(u"No.");
        if (at != std::u16string_view::npos) {
            size_t end = at;
            while (end < line.size() && !is_blank(line[end]))
                ++end;
            h.id = line.substr(at, end - at);
            dated = line.substr(0, at);
        }
    } else {
        return WcLineKind::kOrdinary;
    }
    if (!parse_post_date(dated, h.date)) return WcLineKind::kOrdinary;
    header = h;
    return WcLineKind::kHeader;
}

} // namespace quippet
