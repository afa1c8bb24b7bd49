#include "livelog/LiveLogScanner.h"

#include "livelog/LiveLogSettings.h"
#include "tests/support/TestText.h"

#include <gtest/gtest.h>

#include <string>

namespace quippet {
namespace {

using test::u8;

struct HeaderCase {
    std::u16string_view line;
    int number;
    std::u16string_view id;
    int year, month, day, hour, minute, seconds, hundredths;
};

TEST(LiveLogScanner, HeaderLinesAndTheirRepairs) {
    const HeaderCase cases[] = {
        // Nine ID characters: eight are kept.
        {u"12 ：名無し：2012/01/01(日) 21:00:05.12 ID:AbCdEfGh0", 12, u"ID:AbCdEfGh", 2012, 1, 1, 21, 0, 5, 12},
        {u"12 ：名無し：2012/01/01(日) 21:00 ID:AbCdEfGh", 12, u"ID:AbCdEfGh", 2012, 1, 1, 21, 0, -1, -1},
        // Hours past 23 belong to the next day; two-digit years.
        {u"5 ：名無し：12/01/01(日) 25:10:00 ID:ab+/cd12", 5, u"ID:ab+/cd12", 2012, 1, 2, 1, 10, 0, -1},
        {u"5 ：名無し：2012/04/31(火) 10:00:00.5 ID:x", 5, u"ID:x", 2012, 5, 1, 10, 0, 0, 5},
        {u"7 ：名無し：2012/12/31(月) 24:00:00.00", 7, u"", 2013, 1, 1, 0, 0, 0, 0},
        {u"7 ：名無し：2012/02/29(水) 23:59:59.99", 7, u"", 2012, 2, 29, 23, 59, 59, 99},
        {u"7 ：名無し：2011/02/29(火) 09:00:00", 7, u"", 2011, 3, 1, 9, 0, 0, -1},
        {u"8 ：名無し：99/12/31 9:05:61", 8, u"", 1999, 12, 31, 9, 5, -1, -1},
        // Characters outside the ID alphabet: no ID, but the date is still read from the whole line.
        {u"9 ：名無し：2012/01/01(日) 21:00:05.12 ID:ab?d", 9, u"", 2012, 1, 1, 21, 0, 5, 12},
        {u"  30 ：名無し：2012/01/01(日) 21:01:00.00 ID:", 30, u"", 2012, 1, 1, 21, 1, 0, 0},
        // Image boards: "…" lines with a "No." identity.
        {u"…名無し 12/01/01(日)21:00:05 No.123456 del", 0, u"No.123456", 2012, 1, 1, 21, 0, 5, -1},
    };
    for (const HeaderCase& c : cases) {
        SCOPED_TRACE(u8(c.line));
        WcHeader h;
        ASSERT_EQ(classify_line(c.line, h), WcLineKind::kHeader);
        EXPECT_EQ(h.number, c.number);
        EXPECT_EQ(u8(h.id), u8(c.id));
        EXPECT_EQ(h.date.year, c.year);
        EXPECT_EQ(h.date.month, c.month);
        EXPECT_EQ(h.date.day, c.day);
        EXPECT_EQ(h.date.hour, c.hour);
        EXPECT_EQ(h.date.minute, c.minute);
        EXPECT_EQ(h.date.seconds, c.seconds);
        EXPECT_EQ(h.date.hundredths, c.hundredths);
    }
}

TEST(LiveLogScanner, LinesThatAreNoHeaders) {
    const std::u16string_view bodies[] = {
        u"12 ：名無し",                                  // a number without a date
        u"-12 ：名無し：2012/01/01(日) 21:00:05.12",     // a leading minus
        u"1000001 ：名無し：2012/01/01(日) 21:00:05.12", // beyond the largest post number
        u"普通の本文 2012/01/01 21:00",                  // no leading number
        u"12 ：名無し：2012/13/01(日) 21:00:05",         // month 13
        u"12 ：名無し：2012/001/01(日) 21:00:05",        // month text too long
        u"12 ：名無し：2012/01/33(日) 21:00:05",         // day 33
        u"12 ：名無し：2012/01/01(日) 41:00:05",         // hour 41
        u"12 ：名無し：2012/01/01(日) 21:60",            // minute 60
        u"12 ：名無し：2012/01/01(日) 2100",             // no colon
        u"12 ：名無し：1950/01/01(日) 21:00",            // year outside both forms
        u"",
        u"99999999999999999999999 ：名無し：2012/01/01 21:00", // digits beyond any integer
    };
    for (std::u16string_view line : bodies) {
        SCOPED_TRACE(u8(line));
        WcHeader h;
        EXPECT_EQ(classify_line(line, h), WcLineKind::kOrdinary);
    }
}

TEST(LiveLogScanner, OverThreadMarkersNeedTheNumberBefore) {
    WcHeader h;
    EXPECT_EQ(classify_line(u"1001 ：Over 1000 Thread ：Over 1000 Thread", h), WcLineKind::kMarker);
    EXPECT_EQ(classify_line(u"1001 ：Over 1000 Thread  ", h), WcLineKind::kMarker);
    EXPECT_EQ(classify_line(u"1002 ：Over 1000 Thread", h), WcLineKind::kOrdinary);
    EXPECT_EQ(classify_line(u"1001 ：Over 11000 Thread", h), WcLineKind::kOrdinary);
}

TEST(LiveLogScanner, PostTimeIsLocalTime) {
    WcHeader h;
    ASSERT_EQ(classify_line(u"5 ：名無し：12/01/01(日) 25:10:00", h), WcLineKind::kHeader);
    EXPECT_EQ(h.date.time(), local_seconds(2012, 1, 2, 1, 10, 0));
    EXPECT_EQ(h.date.date_only(), 20120102);
}

TEST(LiveLogSettings, EditBoxNumbers) {
    EXPECT_EQ(read_number_field(u"", 1, 999), 1);
    EXPECT_EQ(read_number_field(u"", 0, 59), 0);
    EXPECT_EQ(read_number_field(u"1234567890", 0, 300000), 300000);
    EXPECT_EQ(read_number_field(u"12abc", 0, 59), 12);
    EXPECT_EQ(read_number_field(u"75", 0, 59), 59);
    EXPECT_EQ(read_number_field(u"abc", 1970, 3000), 1970);
}

} // namespace
} // namespace quippet
