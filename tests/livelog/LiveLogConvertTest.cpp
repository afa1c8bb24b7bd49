#include "livelog/LiveLogConvert.h"

#include "livelog/LiveLogFiles.h"
#include "livelog/LiveLogJob.h"
#include "tests/support/TestText.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quippet {
namespace {

using test::u8;

std::u16string from_number(int n) {
    std::u16string s;
    for (char c : std::to_string(n))
        s.push_back(static_cast<char16_t>(c));
    return s;
}

/// A broadcast on 2012-01-01 from 21:00:00 (video 0:00:00) to video 0:30:00, no cut.
WcSettings plain_settings() {
    WcSettings s;
    s.year = 2012;
    s.month = 1;
    s.day = 1;
    s.clock[0] = {21, 0, 0};
    s.video[8] = {0, 30, 0};
    s.max_chars = 200;
    s.line_breaks = WcLineBreaks::kDelete;
    return s;
}

std::u16string post(int number, std::u16string_view time, std::u16string_view body,
                    std::u16string_view id = u"ID:abcd1234") {
    return std::u16string(u"") + from_number(number) + u" ：名無し：2012/01/01(日) " + std::u16string(time) + u" " +
           std::u16string(id) + u"\r\n" + std::u16string(body) + u"\r\n";
}

struct Converted {
    WcConversion c;
    std::vector<std::u16string> texts; ///< in the set's order
    std::vector<int> vpos;
};

class LiveLogConvert : public ::testing::Test {
protected:
    Converted convert(std::u16string_view text, bool with_ng = true) {
        const WcTimingTable timing = build_timing_table(s_);
        EXPECT_EQ(timing.error, 0);
        const WcNgLists ng = parse_wc_ng_lists(live_ng_default_text());
        Converted r;
        convert_live_log(text, s_, timing, with_ng ? &ng : nullptr, nullptr, r.c);
        for (int k = 0; k < r.c.set.count(); ++k) {
            r.texts.emplace_back(r.c.set.text(r.c.set.at(k)));
            r.vpos.push_back(r.c.set.vpos(r.c.set.at(k)));
        }
        return r;
    }
    WcSettings s_ = plain_settings();
};

TEST_F(LiveLogConvert, OutOfTimeComesBeforeTheNgCounter) {
    const std::u16string discarded_inside = post(1, u"21:00:05.00", u"本文\r\n>>1 それ");
    const std::u16string discarded_before = post(2, u"20:59:00.00", u"本文\r\n>>1 それ");
    Converted r = convert(discarded_inside + discarded_before + post(3, u"21:31:00.00", u"終わり"));
    EXPECT_EQ(r.c.record.ng_prefix, 1);
    EXPECT_EQ(r.c.record.before_start, 1);
    EXPECT_EQ(r.c.record.after_end, 1);
    EXPECT_EQ(r.c.record.accepted, 0);
    EXPECT_EQ(r.c.record.dated_lines, 3);
}

TEST_F(LiveLogConvert, LineAndCharacterLimits) {
    struct Case {
        WcLineBreaks mode;
        std::u16string_view body;
        int accepted, too_many_lines, too_many_chars;
        std::u16string_view text;
    };
    const Case cases[] = {
        {WcLineBreaks::kDelete, u"1\r\n2\r\n3\r\n4\r\n5", 0, 1, 0, u""},
        {WcLineBreaks::kDelete, u"1\r\n\r\n2\r\n\r\n3", 1, 0, 0, u"123"},
        {WcLineBreaks::kKeep, u"1\r\n\r\n2\r\n\r\n3", 0, 1, 0, u""},
        // The empty line after the post counts as a line too; the break that ends the file does not.
        {WcLineBreaks::kKeep, u"1\r\n2", 1, 0, 0, u"1\r\n2\r\n"},
        {WcLineBreaks::kHalfSpace, u"あ\r\nい", 1, 0, 0, u"あ い"},
        {WcLineBreaks::kFullSpace, u"あ\r\nい", 1, 0, 0, u"あ　い"},
        {WcLineBreaks::kCustom, u"あ\r\nい", 1, 0, 0, u"あ&lt;br&gt;い"},
        {WcLineBreaks::kDelete, u"1234567890\r\n123", 0, 0, 1, u""},
        {WcLineBreaks::kDelete, u"　 1234567890\t", 1, 0, 0, u"1234567890"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(u8(c.body));
        s_.line_breaks = c.mode;
        s_.line_break_text = u"<br>";
        s_.max_lines = 4;
        s_.max_chars = 12;
        Converted r = convert(post(1, u"21:00:05.00", c.body) + u"\r\n", false);
        EXPECT_EQ(r.c.record.accepted, c.accepted);
        EXPECT_EQ(r.c.record.too_many_lines, c.too_many_lines);
        EXPECT_EQ(r.c.record.too_many_chars, c.too_many_chars);
        if (c.accepted == 1) {
            EXPECT_EQ(u8(r.texts.at(0)), u8(c.text));
        }
    }
}

TEST_F(LiveLogConvert, SecondPost1000WithTheSameOpeningIsDropped) {
    Converted r = convert(post(1000, u"21:00:05.00", u"1000なら今夜は神回になるはずだよね") +
                          post(1000, u"21:00:06.00", u"1000なら今夜は神回になるはずだよな") +
                          post(1000, u"21:00:07.00", u"1000なら別の話"));
    EXPECT_EQ(r.c.record.duplicate_1000, 1);
    EXPECT_EQ(r.c.record.accepted, 2);
    EXPECT_EQ(r.c.record.discarded(), 1);
}

TEST_F(LiveLogConvert, MarkerPostIsCountedNowhere) {
    Converted r = convert(post(1000, u"21:00:05.00", u"千") +
                          u"1001 ：Over 1000 Thread ：Over 1000 Thread\r\nこのスレッドは１０００を超えました。\r\n" +
                          post(1, u"21:00:09.00", u"新スレ"));
    EXPECT_EQ(r.c.record.dated_lines, 2);
    EXPECT_EQ(r.c.record.total(), 2);
    EXPECT_EQ(r.texts, (std::vector<std::u16string>{u"千", u"新スレ"}));
}

TEST_F(LiveLogConvert, MissingSecondsAreSpreadOverTheMinute) {
    Converted r = convert(post(1, u"21:05", u"りんご") + post(2, u"21:05", u"テレビ") + post(3, u"21:05", u"さかな"));
    ASSERT_EQ(r.c.set.count(), 3);
    std::vector<int> seconds;
    for (int k = 0; k < 3; ++k)
        seconds.push_back(r.c.set.get(ChatColumn::aux2, r.c.set.at(k)));
    EXPECT_EQ(seconds, (std::vector<int>{0, 20, 40}));
    EXPECT_EQ(r.c.record.no_seconds, 3);
    EXPECT_EQ(r.c.record.no_hundredths, 0);
    // Each second holds one comment: the job's jitter rises by one per group.
    EXPECT_EQ(r.vpos, (std::vector<int>{30000 + 51, 32000 + 52, 34000 + 53}));
}

TEST_F(LiveLogConvert, BurstsMoveTheirCommentsEarlier) {
    std::u16string text;
    for (int i = 1; i <= 4; ++i)
        text += post(i, u"21:05", u"きたああああ");
    Converted r = convert(text);
    // The third and fourth cries find two similar texts before them.
    EXPECT_EQ(r.c.record.advanced, 2);
    EXPECT_EQ(r.c.record.accepted, 4);
    for (int k = 1; k < 4; ++k)
        EXPECT_LE(r.vpos[static_cast<size_t>(k) - 1], r.vpos[static_cast<size_t>(k)]);
}

TEST_F(LiveLogConvert, MissingSecondsOutsideTheSegmentAreDropped) {
    // The broadcast starts at 21:00:30: the first half of minute 21:00 is before it.
    s_.clock[0] = {21, 0, 30};
    const std::u16string_view bodies[] = {u"りんご", u"テレビ", u"さかな", u"くるま"};
    std::u16string text;
    for (int i = 0; i < 4; ++i)
        text += post(i + 1, u"21:00", bodies[i]);
    // Seconds 0, 15, 30 and 45: the first two fall before 21:00:30.
    Converted r = convert(text);
    EXPECT_EQ(r.c.record.seconds_guess, 2);
    EXPECT_EQ(r.c.record.accepted, 2);
    for (int v : r.vpos)
        EXPECT_GE(v, 0);
}

TEST_F(LiveLogConvert, MissingHundredthsOfOneSecond) {
    Converted r = convert(post(1, u"21:00:05", u"い") + post(2, u"21:00:05", u"ろ") + post(3, u"21:00:05", u"は"));
    EXPECT_EQ(r.vpos, (std::vector<int>{526, 551, 576}));
    EXPECT_EQ(r.c.record.no_hundredths, 3);
    EXPECT_EQ(r.c.jitter, 1);
}

TEST_F(LiveLogConvert, ThinningAtGapZeroRemovesTheFirstOfAPair) {
    s_.thin = true;
    s_.thin_limit = 3;
    Converted r = convert(post(1, u"21:00:00.00", u"a") + post(2, u"21:00:00.00", u"b") +
                          post(3, u"21:00:01.00", u"c") + post(4, u"21:00:03.00", u"d"));
    EXPECT_EQ(r.texts, (std::vector<std::u16string>{u"b", u"c", u"d"}));
    EXPECT_EQ(r.c.record.thin_gap, 0);
    const std::u16string report = compose_report(r.c.record, r.c.refs, {}, {});
    EXPECT_NE(report.find(u"※成功レス4から、3に間引いて出力（00ミリ秒以内の2連続まで削除）\r\n"), std::u16string::npos)
        << u8(report);
}

TEST_F(LiveLogConvert, ThinningWidensItsGapUntilEnoughAreGone) {
    s_.thin = true;
    s_.thin_limit = 2;
    std::u16string text;
    for (int i = 0; i < 6; ++i)
        text += post(i + 1, u"21:0" + from_number(i) + u":00.00", u"x" + from_number(i));
    Converted r = convert(text);
    EXPECT_EQ(r.c.set.count(), 2);
    EXPECT_GT(r.c.record.thin_gap, 500);
}

TEST_F(LiveLogConvert, CutBetweenSegments) {
    s_.enabled[1] = true;
    s_.video[1] = {0, 10, 0};
    s_.clock[1] = {21, 12, 30};
    Converted r =
        convert(post(1, u"21:11:00.00", u"CM") + post(2, u"21:13:00.00", u"後半") + post(3, u"21:09:59.50", u"前半"));
    EXPECT_EQ(r.c.record.in_cut, 1);
    EXPECT_EQ(r.texts, (std::vector<std::u16string>{u"前半", u"後半"}));
    EXPECT_EQ(r.vpos, (std::vector<int>{59950, 63000}));
}

TEST_F(LiveLogConvert, ReferencesAreDecodedAndTheBodyStaysWellFormed) {
    Converted r = convert(post(1, u"21:00:05.00", u"&lt;b&gt; &#38; &amp;lt; &foo; <x> &#x1F600;"), false);
    ASSERT_EQ(r.texts.size(), 1u);
    EXPECT_EQ(u8(r.texts[0]), u8(u"&lt;b&gt; &amp; &lt; &amp;foo; &lt;x&gt; \U0001F600"));
    const std::u16string report = compose_report(r.c.record, r.c.refs, {}, {});
    EXPECT_NE(report.find(u"※文字参照を置換して処理（&lt; &gt; &#38; &amp; &#x1F600;）：5件\r\n"), std::u16string::npos)
        << u8(report);
}

TEST_F(LiveLogConvert, IdentitiesOfImageBoardsAreEscaped) {
    Converted r = convert(u"…名無し 12/01/01(日)21:00:05 No.1\"<x> del\r\n本文\r\n");
    ASSERT_EQ(r.c.set.count(), 1);
    EXPECT_EQ(u8(r.c.set.user_id(0)), "No.1&quot;&lt;x&gt;");
}

TEST_F(LiveLogConvert, ReportAndDiagnosis) {
    Converted none = convert(u"ただの文章\r\nです\r\n");
    EXPECT_EQ(u8(compose_report(none.c.record, none.c.refs, {}, {}) + diagnosis_text(none.c.record)),
              u8(u"投稿日時のある行と見なした数：0\r\n成功レス合計：0\r\n"
                 u"廃棄レス合計：0（廃棄率：0％／対象時間を無視した廃棄率：0％）\r\n"
                 u"変換元テキストを、実況のログとして解釈できませんでした\r\n"
                 u"変換元テキストがカラッポか、当ツールの想定していない形式かもしれません\r\n"));

    Converted early = convert(post(1, u"20:00:00.00", u"早すぎ") + post(2, u"20:10:00.00", u"早すぎ"));
    EXPECT_EQ(u8(diagnosis_text(early.c.record)),
              u8(u"指定された時間よりも前の投稿しか見つかりませんでした\r\n"
                 u"起点の日付や、何時・何分・何秒の設定に問題があるかもしれません\r\n"));
    Converted outside = convert(post(1, u"20:00:00.00", u"早すぎ") + post(2, u"23:10:00.00", u"遅すぎ"));
    EXPECT_EQ(u8(diagnosis_text(outside.c.record)).substr(0, 30), u8(u"指定された時間の範囲内の投稿").substr(0, 30));

    Converted mixed = convert(post(1, u"20:00:00.00", u"早") + post(2, u"21:00:01.00", u">>1") +
                              post(3, u"21:00:02.00", u"ok") + post(4, u"21:12", u"秒なし"));
    EXPECT_EQ(u8(compose_report(mixed.c.record, mixed.c.refs, {u"1番目の正規表現置換（to「x」）：1件"},
                                u"再構成では特に変更なし\r\n")),
              u8(u"投稿日時のある行と見なした数：4\r\n成功レス合計：2\r\n"
                 u"※成功レスのうち、秒とコンマが取得できなかった数：1\r\n"
                 u"廃棄レス合計：2（廃棄率：50％／対象時間を無視した廃棄率：33％）\r\n"
                 u"├前方一致のNGワード：1\r\n"
                 u"└対象時間外の発言：1（開始前：1／終了後：0）\r\n"
                 u"※1番目の正規表現置換（to「x」）：1件\r\n"
                 u"再構成では特に変更なし\r\n"));
}

TEST(LiveLogTiming, OrderErrors) {
    WcSettings s = plain_settings();
    EXPECT_EQ(build_timing_table(s).error, 0);
    EXPECT_EQ(build_timing_table(s).segments(), 1);
    s.video[8] = {0, 0, 0};
    s.video[0] = {0, 0, 1};
    EXPECT_EQ(build_timing_table(s).error, 26);
    s = plain_settings();
    s.enabled[2] = true;
    s.video[2] = {0, 5, 0};
    s.clock[2] = {20, 0, 0};
    EXPECT_EQ(build_timing_table(s).error, 27);
    s.clock[2] = {21, 6, 0};
    const WcTimingTable t = build_timing_table(s);
    ASSERT_EQ(t.error, 0);
    EXPECT_EQ(t.d, (std::vector<std::int64_t>{300, 1500}));
    EXPECT_EQ(t.vs, (std::vector<std::int64_t>{0, 300, 1800}));
}

} // namespace
} // namespace quippet
