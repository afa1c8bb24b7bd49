#pragma once

#include <cstdint>
#include <string_view>

namespace quippet {

/// Walks the lines of a text. Lines end at LF and a CR before it is dropped, so that CR LF texts and the
/// LF-only texts saved on this system read alike; the rest after the last line break is the last line.
class WcLines {
public:
    explicit WcLines(std::u16string_view text) : text_(text) {}
    /// The next line; false after the last one.
    bool next(std::u16string_view& line) {
        if (at_ > text_.size()) return false;
        size_t end = text_.find(u'\n', at_);
        if (end == std::u16string_view::npos) end = text_.size();
        line = text_.substr(at_, end - at_);
        at_ = end + 1;
        if (!line.empty() && line.back() == u'\r') line.remove_suffix(1);
        return true;
    }

private:
    std::u16string_view text_;
    size_t at_ = 0;
};

/// The date and time of a post header, after the calendar repairs.
struct WcPostDate {
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    /// -1 when the header had none.
    int seconds = -1;
    /// -1 when the header had none (always when the seconds are missing).
    int hundredths = -1;

    /// year × 10000 + month × 100 + day.
    int date_only() const { return year * 10000 + month * 100 + day; }
    /// Local time in seconds since 1970 (missing seconds count as 0).
    std::int64_t time() const;
};

/// Reads "…YYYY/MM/DD(曜) HH:MM[:SS[.CC]]…" from a header line, mending two-digit years, hours past 23
/// (the boards' "25:10" of a late-night broadcast) and days past the month's end. false when the line
/// holds no such date.
bool parse_post_date(std::u16string_view line, WcPostDate& out);

/// The leading decimal number after leading blanks; -1 when there is none. Capped far above any post
/// number so that a long run of digits cannot overflow.
long long leading_number(std::u16string_view text);

enum class WcLineKind { kOrdinary, kHeader, kMarker };

/// What a header line says about its post.
struct WcHeader {
    WcPostDate date;
    /// 0 when the line had none ("…" lines of the image boards).
    int number = 0;
    /// "ID:" + up to 8 characters, "No." + the text up to a blank, or empty.
    std::u16string_view id;
};

/// Sorts one line of a thread log: a post header (with `header` filled), an "Over N Thread" marker, or
/// anything else (a body line).
WcLineKind classify_line(std::u16string_view line, WcHeader& header);

} // namespace quippet
