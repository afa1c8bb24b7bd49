#include "livelog/LiveLogAids.h"

#include "app/SettingKeys.h"
#include "app/Settings.h"
#include "livelog/LiveLogSettingKeys.h"
#include "tests/support/TestText.h"

#include <gtest/gtest.h>

#include <string>

namespace quippet {
namespace {

using test::u8;

std::u16string headers(std::u16string_view date, int count, int first_number) {
    std::u16string text;
    for (int i = 0; i < count; ++i) {
        for (char c : std::to_string(first_number + i))
            text.push_back(static_cast<char16_t>(c));
        text += u" ：名無し：" + std::u16string(date) + u"(日) 21:00:05.12 ID:AbCdEfGh\r\n本文\r\n";
    }
    return text;
}

TEST(LiveLogAids, AutoDateTakesTheMostFrequentDateAndTheFirstOfEquals) {
    EXPECT_EQ(auto_date(headers(u"2012/01/01", 3, 1) + headers(u"2012/01/02", 5, 4)), (WcDate{2012, 1, 2}));
    EXPECT_EQ(auto_date(headers(u"2012/01/02", 3, 1) + headers(u"2012/01/01", 3, 4)), (WcDate{2012, 1, 2}));
    // "…" lines count only with the blank after the ellipsis; the ID is cut whatever it holds.
    EXPECT_EQ(auto_date(u"… 名無し 12/03/04(日)21:00:05 No.1\r\n…名無し 12/05/06(日)21:00:05 No.2\r\n"),
              (WcDate{2012, 3, 4}));
    EXPECT_EQ(auto_date(u"本文だけ\r\n"), std::nullopt);

    CSettings s;
    EXPECT_FALSE(apply_auto_date(u"", s));
    EXPECT_EQ(s.number(WcNumber::kYear), 2011);
    EXPECT_TRUE(apply_auto_date(headers(u"2013/12/31", 1, 1), s));
    EXPECT_EQ(s.number(WcNumber::kDay), 31);
}

TEST(LiveLogAids, DateButtons) {
    EXPECT_EQ(shift_date({2012, 2, 25}, 7), (WcDate{2012, 3, 3}));
    EXPECT_EQ(shift_date({2013, 1, 3}, -7), (WcDate{2012, 12, 27}));

    CSettings s;
    s.set_number(WcNumber::kSearchYear, 2012);
    s.set_number(WcNumber::kSearchMonth, 2);
    s.set_number(WcNumber::kSearchDay, 31);
    origin_from_warehouse(s);
    EXPECT_EQ(s.number(WcNumber::kMonth), 3);
    EXPECT_EQ(s.number(WcNumber::kDay), 2);

    // 23:50 + 25 minutes + (30 s + aid 40 s) ÷ 60 + 1 = 2 more minutes: 0:17 of the next day, a week later.
    s.set_number(wc_clock_time(0, 0), 23);
    s.set_number(wc_clock_time(0, 1), 50);
    s.set_number(wc_video_time(8, 1), 25);
    s.set_number(wc_video_time(8, 2), 30);
    s.set_number(wc_row_enabled(1), 1);
    s.set_number(wc_aid(1), 40);
    s.set_number(wc_aid(2), 900); // not enabled: left out
    warehouse_from_origin(s, 7);
    EXPECT_EQ(s.number(WcNumber::kSearchMonth), 3);
    EXPECT_EQ(s.number(WcNumber::kSearchDay), 10);
    EXPECT_EQ(s.number(WcNumber::kSearchHour), 0);
    EXPECT_EQ(s.number(WcNumber::kSearchMinute), 17);
}

TEST(LiveLogAids, ArrowsBetweenTimesAndCuts) {
    CSettings s;
    s.set_number(wc_clock_time(0, 0), 21);
    s.set_number(wc_row_enabled(1), 1);
    s.set_number(wc_video_time(1, 1), 10);
    s.set_number(wc_clock_time(1, 0), 21);
    s.set_number(wc_clock_time(1, 1), 12);
    s.set_number(wc_clock_time(1, 2), 30);
    s.set_number(wc_row_enabled(3), 1);
    s.set_number(wc_video_time(3, 1), 20);
    s.set_number(wc_clock_time(3, 0), 21);
    s.set_number(wc_clock_time(3, 1), 25);
    EXPECT_EQ(aids_from_times(s), u"");
    EXPECT_EQ(s.number(wc_aid(1)), 150);
    EXPECT_EQ(s.number(wc_aid(3)), 150);
    EXPECT_EQ(s.number(wc_aid(2)), 60); // not enabled

    s.set_number(wc_aid(1), 300);
    EXPECT_EQ(times_from_aids(s), u"");
    EXPECT_EQ(s.number(wc_clock_time(1, 1)), 15);
    EXPECT_EQ(s.number(wc_clock_time(1, 2)), 0);
    EXPECT_EQ(s.number(wc_clock_time(3, 1)), 27);
    EXPECT_EQ(s.number(wc_clock_time(3, 2)), 30);

    const CSettings before = s;
    s.set_number(wc_clock_time(3, 0), 20);
    EXPECT_EQ(u8(aids_from_times(s)), u8(u"時間が逆戻っている箇所があります"));
    s.set_number(wc_video_time(3, 1), 5);
    const CSettings reversed = s;
    EXPECT_EQ(u8(times_from_aids(s)), u8(u"「時間　分　秒」の順序が逆転している箇所があります"));
    EXPECT_TRUE(s == reversed);
    EXPECT_FALSE(before == reversed);
}

} // namespace
} // namespace quippet
