#include "text/DateText.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

namespace quippet {
namespace {

std::string narrow(std::u16string_view s) {
    std::string out;
    for (char16_t c : s)
        out += c < 0x80 ? static_cast<char>(c) : '?';
    return out;
}

/// Local time is Japan time for these tests, whatever the machine is set to.
class TransformDateTextTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (const char* tz = std::getenv("TZ")) saved_ = tz;
        setenv("TZ", "JST-9", 1);
        tzset();
    }
    void TearDown() override {
        if (saved_)
            setenv("TZ", saved_->c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }

private:
    std::optional<std::string> saved_;
};

TEST_F(TransformDateTextTest, FormatUnixTime) {
    const struct {
        std::u16string_view input;
        int result;
        std::u16string_view expected;
    } cases[] = {
        {u"0", 0, u"1970/01/01 09:00:00"},
        {u"1231110187", 0, u"2009/01/05 08:03:07"},
        {u"2148595200", 0, u"2038/02/01 09:00:00"},
        {u"-1", -1, u"-1"},
        {u"", -1, u""},
        {u"12a", -1, u"12a"},
    };
    for (const auto& c : cases) {
        CCharW text(c.input);
        EXPECT_EQ(format_unix_time(text), c.result) << narrow(c.input);
        EXPECT_EQ(std::u16string(text.view()), std::u16string(c.expected));
    }
    EXPECT_EQ(format_short_stamp(1231110187), u"09.01.05 08：03");
}

TEST_F(TransformDateTextTest, ParseMailDate) {
    const struct {
        std::u16string_view input;
        int result;
        std::u16string_view expected;
    } cases[] = {
        {u"Mon, 05 Jan 2009 12:00:00 +0900", 0, u"2009-01-05"},
        {u"Sun, 5 Dec 2038", 0, u"2038-12-05"},
        {u"Fri, 31 May 1 00:00:00", 0, u"1-05-31"},
        {u"Sun, 0 Jan 2009 12:00:00", -1, u""},
        {u"Sun, 32 Jan 2009 12:00:00", -1, u""},
        {u"Sun, 05 Foo 2009 12:00:00", -1, u""},
        {u"Sun, 05 Jan 2039 12:00:00", -1, u""},
        {u"Sun, 05 Jan 0 12:00:00", -1, u""},
        {u"Sun 05 Jan 2009", -1, u""},
        {u"Sun, 05Jan 2009", -1, u""},
        {u"Sun, 05 Jan", -1, u""},
        {u"Sun, 05 Jan 20x9 1", -1, u""},
    };
    for (const auto& c : cases) {
        CCharW text(c.input);
        EXPECT_EQ(parse_mail_date(text), c.result) << narrow(c.input);
        EXPECT_EQ(std::u16string(text.view()), std::u16string(c.result == 0 ? c.expected : c.input));
    }
}

TEST_F(TransformDateTextTest, DurationText) {
    const struct {
        int hundredths, width;
        std::u16string_view expected;
    } cases[] = {
        {(75 * 60 + 3) * 100, 2, u"1時間15分03秒"},
        {360000, 2, u"1時間00分00秒"},
        {6150, 1, u"1分1秒"},
        {0, 2, u"00分00秒"},
        {5900, 3, u"000分059秒"},
        {-1, 2, u""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(duration_text(c.hundredths, c.width), std::u16string(c.expected)) << c.hundredths;

    for (const int seconds : {1, 30, 61, 3599, 3600, 4503, 25 * 3600 + 59 * 60 + 59}) {
        for (const int width : {1, 2, 3}) {
            const std::u16string text = duration_text(seconds * 100 + 99, width);
            EXPECT_EQ(duration_to_hundredths(text), seconds * 100) << narrow(text);
        }
    }
    for (const auto bad : {u"", u"1分", u"分1秒", u"1分1秒x", u"1時間", u"a分b秒", u"1時間分1秒", u"-1分1秒"})
        EXPECT_EQ(duration_to_hundredths(bad), -1) << narrow(bad);
}

TEST_F(TransformDateTextTest, DurationFromName) {
    const struct {
        std::u16string_view name, open, close;
        std::optional<std::u16string_view> expected;
    } cases[] = {
        {u"Song【15分03秒】(sm9).xml", u"【", u"】", u"15分03秒"},
        {u"Song【1時間02分03秒】", u"【", u"】", u"1時間02分03秒"},
        {u"Short【00分30秒】", u"【", u"】", u"00分30秒"},
        {u"x【1分2秒】y【tag】【3分と4秒】", u"【", u"】", u"1分2秒"},
        {u"x[[3分5秒]]", u"[[", u"]]", u"3分5秒"},
        {u"x【00分00秒】", u"【", u"】", std::nullopt},
        {u"x 15分03秒", u"【", u"】", std::nullopt},
        {u"x】15分03秒【", u"【", u"】", std::nullopt},
        {u"x【15分03秒】", u"", u"", std::nullopt},
    };
    for (const auto& c : cases) {
        const auto found = duration_from_name(c.name, c.open, c.close);
        ASSERT_EQ(found.has_value(), c.expected.has_value()) << narrow(c.name);
        if (found) {
            EXPECT_EQ(*found, std::u16string(*c.expected));
        }
    }

    const std::u16string name = u"Song【" + duration_text(450399, 2) + u"】(sm9).mp4";
    const auto text = duration_from_name(name, u"【", u"】");
    ASSERT_TRUE(text.has_value());
    EXPECT_EQ(duration_to_hundredths(*text), 450300);
}

} // namespace
} // namespace quippet
