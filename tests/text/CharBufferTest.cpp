#include "text/CharBuffer.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/TestText.h"

using quippet::test::u8;

TEST(CharBuffer, DefaultAndCapacityConstructionHoldEmptyText) {
    CCharW empty;
    EXPECT_EQ(empty.length(), 0);
    EXPECT_EQ(empty.capacity(), 0);
    EXPECT_EQ(empty.c_str()[0], 0);
    EXPECT_EQ(empty.error(), 0);
    CCharW sized(50);
    EXPECT_EQ(sized.capacity(), 50);
    EXPECT_TRUE(sized.empty());
    CCharW text(u"コメント");
    EXPECT_EQ(text.capacity(), 4);
    EXPECT_EQ(text.view(), u"コメント");
}

TEST(CharBuffer, FrontConsumptionMovesTheCursorNotTheText) {
    CCharW doc(u"<chat no=\"1\">a</chat><chat no=\"2\">b</chat>");
    const char16_t* start = doc.c_str();
    CCharW piece;
    ASSERT_EQ(doc.cut_before(u"</chat>", piece), 0);
    EXPECT_EQ(piece.view(), u"<chat no=\"1\">a");
    // The rest was not copied: the remaining text is still the tail of the original buffer.
    EXPECT_EQ(doc.c_str(), start + 21);
    EXPECT_EQ(doc.capacity(), doc.length());
    ASSERT_EQ(doc.cut_before(u"</chat>", piece, false, true), 0);
    EXPECT_EQ(piece.view(), u"<chat no=\"2\">b</chat>");
    EXPECT_TRUE(doc.empty());
    EXPECT_EQ(doc.cut_before(u"</chat>", piece), -1);
}

TEST(CharBuffer, TokenizerFlags) {
    struct Case {
        const char16_t* text;
        bool keep, include, last;
        const char16_t* out;
        const char16_t* rest;
    };
    const Case cases[] = {
        {u"a>b>c", false, false, false, u"a", u"b>c"}, {u"a>b>c", true, false, false, u"a", u">b>c"},
        {u"a>b>c", false, true, false, u"a>", u"b>c"}, {u"a>b>c", false, false, true, u"a>b", u"c"},
        {u"a>b>c", true, true, true, u"a>b>", u">c"},
    };
    for (const Case& c : cases) {
        CCharW doc(c.text), out;
        ASSERT_EQ(doc.cut_before(u">", out, c.keep, c.include, c.last), 0) << u8(c.out);
        EXPECT_EQ(out.view(), c.out);
        EXPECT_EQ(doc.view(), c.rest);
    }
    CCharW after(u"key=value=x"), out;
    ASSERT_EQ(after.cut_after(u"=", out), 0);
    EXPECT_EQ(out.view(), u"value=x");
    EXPECT_EQ(after.view(), u"key");
    CCharW after2(u"key=value=x");
    ASSERT_EQ(after2.cut_after(u"=", out, true, true, true), 0);
    EXPECT_EQ(out.view(), u"=x");
    EXPECT_EQ(after2.view(), u"key=value=");

    CCharW skip(u"abcabc");
    EXPECT_EQ(skip.skip_to(u"zz"), -1);
    EXPECT_EQ(skip.view(), u"abcabc");
    EXPECT_EQ(skip.skip_to(u"c", false, true), 0);
    EXPECT_TRUE(skip.empty());
    CCharW skip2(u"abcabc");
    EXPECT_EQ(skip2.skip_to(u"b", true), 0);
    EXPECT_EQ(skip2.view(), u"bcabc");
}

TEST(CharBuffer, ValueBetweenReadsAttributes) {
    CCharW tag(u"<chat thread=\"1\" vpos=\"120\" mail=\"184 red\">");
    CCharW value(u"stale");
    EXPECT_EQ(tag.value_between(u" vpos=\"", u"\"", value), 0);
    EXPECT_EQ(value.view(), u"120");
    EXPECT_EQ(tag.value_between(u" user_id=\"", u"\"", value), -1);
    EXPECT_TRUE(value.empty());
    CCharW unterminated(u"<chat mail=\"184");
    EXPECT_EQ(unterminated.value_between(u" mail=\"", u"\"", value), -1);
    EXPECT_TRUE(value.empty());
}

TEST(CharBuffer, ReplaceAllDoesNotRescanReplacements) {
    CCharW text(u"a&b&c");
    EXPECT_EQ(text.replace_all(u"&", u"&amp;"), 2);
    EXPECT_EQ(text.view(), u"a&amp;b&amp;c");
    EXPECT_EQ(text.replace_all(u"<", u"&lt;"), -1);
    CCharW same(u"x.y.z");
    EXPECT_EQ(same.replace_all(u".", u"／"), 2);
    EXPECT_EQ(same.view(), u"x／y／z");
    CCharW shrink(u"aaaa");
    EXPECT_EQ(shrink.replace_all(u"aa", u"b"), 2);
    EXPECT_EQ(shrink.view(), u"bb");
}

TEST(CharBuffer, NumberParsing) {
    struct Case {
        const char16_t* text;
        int read_int_result, read_int_out, read_uint;
    };
    // read_int: out starts at 77; the fallback is 5. read_uint: fallback 9.
    const Case cases[] = {
        {u"", 5, 77, 9},      {u"123", 0, 123, 123}, {u"-42", 0, -42, -1},         {u"12a", -1, 77, -1},
        {u"a12", -1, 77, -1}, {u"９", -1, 77, -1},   {u"99999999999", -1, 77, -1},
    };
    for (const Case& c : cases) {
        CCharW text(c.text);
        int out = 77;
        EXPECT_EQ(text.read_int(out, 5), c.read_int_result) << u8(c.text);
        EXPECT_EQ(out, c.read_int_out);
        EXPECT_EQ(text.read_uint(9), c.read_uint);
    }
    EXPECT_EQ(CCharW(u"ff").read_uint(0, 16), 255);
    EXPECT_TRUE(CCharW(u"0123").is_digits(1, 4));
    EXPECT_FALSE(CCharW(u"0123").is_digits(1, 3));
    EXPECT_FALSE(CCharW(u"").is_digits(1, 3));
    EXPECT_FALSE(CCharW(u"1x").is_digits(1, 3));
}

TEST(CharBuffer, AssignAppendAndTrim) {
    CCharW text(u"abcdef");
    text.assign(text.view().substr(2)); // a view into itself
    EXPECT_EQ(text.view(), u"cdef");
    text.append(text.view()); // grows while reading itself
    EXPECT_EQ(text.view(), u"cdefcdef");
    text.assign_int(-15);
    EXPECT_EQ(text.view(), u"-15");
    text.assign_int4(7);
    EXPECT_EQ(text.view(), u"0007");
    text.append_int(12345);
    EXPECT_EQ(text.view(), u"000712345");
    text.remove_first(100);
    EXPECT_TRUE(text.empty());
    text.assign(u"file.xml.tmp");
    EXPECT_TRUE(text.remove_suffix(u".tmp"));
    EXPECT_FALSE(text.remove_suffix(u".tmp"));
    EXPECT_TRUE(text.ends_with_nocase(u".XML"));
    text.remove_last(4);
    EXPECT_EQ(text.view(), u"file");
    text.truncate(2);
    EXPECT_EQ(text.view(), u"fi");
    text.truncate(10);
    EXPECT_EQ(text.view(), u"fi");
    text.assign_n(u"abcdef", 3);
    EXPECT_EQ(text.view(), u"abc");
}

TEST(CharBuffer, FastAppendGrowsByFourTimesAndEndsWithTightCapacity) {
    CCharM out;
    out.begin_fast_append(4);
    EXPECT_EQ(out.capacity(), 4);
    out.fast_append("abc"); // reserve 4 - 3 = 1 left
    EXPECT_EQ(out.capacity(), 4);
    out.fast_append("d"); // would leave 0: grows to 4 * (3 + 1)
    EXPECT_EQ(out.capacity(), 16);
    EXPECT_EQ(out.view(), "abcd");
    for (int i = 0; i < 1000; ++i)
        out.fast_append("0123456789");
    out.end_fast_append();
    EXPECT_EQ(out.length(), 10004);
    EXPECT_EQ(out.capacity(), out.length());
    EXPECT_EQ(out.c_str()[out.length()], 0);
    out.append("!");
    EXPECT_TRUE(out.ends_with("9!"));
}

TEST(CharBuffer, CopiesAndMovesAreIndependent) {
    CCharW a(u"xyz");
    a.set_error(9);
    CCharW b(a);
    b.append(u"!");
    EXPECT_EQ(a.view(), u"xyz");
    EXPECT_EQ(b.error(), 9);
    CCharW c(std::move(b));
    EXPECT_EQ(c.view(), u"xyz!");
    EXPECT_TRUE(b.empty()); // NOLINT(bugprone-use-after-move): a moved-from text stays usable
    b.append(u"ok");
    EXPECT_EQ(b.view(), u"ok");
}

TEST(CharBuffer, EmptyViewsWithoutStorageAreHarmless) {
    // A default-constructed view has no data pointer at all.
    CCharW text(u"abc");
    text.append(std::u16string_view());
    text.fast_append(std::u16string_view());
    EXPECT_EQ(text.view(), u"abc");
    text.assign(std::u16string_view());
    EXPECT_TRUE(text.empty());
    CCharM bytes;
    bytes.begin_fast_append(8);
    bytes.fast_append(std::string_view());
    bytes.end_fast_append();
    EXPECT_TRUE(bytes.empty());
}
