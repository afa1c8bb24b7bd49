#include "text/Regex.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/TestText.h"

using quippet::Regex;
using quippet::RegexMatch;
using quippet::test::u8;

namespace {

struct SearchCase {
    std::u16string_view pattern;
    std::u16string_view subject;
    /// The whole match, or nullptr-like "-" when nothing must match.
    std::u16string_view expected;
};

constexpr std::u16string_view kNoMatch = u"<none>";

} // namespace

// The syntax users write in rule files, NG expressions and replacement files, with the reading an
// ECMAScript engine gives it.
TEST(RegexConformance, SearchesLikeEcmaScript) {
    const SearchCase cases[] = {
        // backreferences and counted repeats
        {u"(.)\\1{3,}", u"abbbbc", u"bbbb"},
        {u"(.)\\1{3,}", u"abbbc", kNoMatch},
        {u"([wWｗＷ])\\1{1,}", u"草ｗｗｗ", u"ｗｗｗ"},
        {u"([wWｗＷ])\\1{1,}", u"wＷ", kNoMatch},
        {u"a{2}", u"aaa", u"aa"},
        {u"a{2,3}", u"aaaa", u"aaa"},
        {u"a{,3}", u"a{,3}", u"a{,3}"}, // not a quantifier: literal
        {u"x{", u"x{", u"x{"},
        // classes with full-width characters, ranges, negation, empty classes
        {u"[ぁ-ん]+", u"カタカナとひらがな", u"とひらがな"},
        {u"[０-９]+", u"第１２３話", u"１２３"},
        {u"[^ａ-ｚ]+", u"ａｂ漢字ｃ", u"漢字"},
        {u"[]", u"abc", kNoMatch},
        {u"a[^]b", u"a\nb", u"a\nb"},
        {u"[[]", u"[", u"["},
        {u"[[:alpha:]]", u"x:]", u":]"}, // no POSIX classes in ECMAScript: one of "[:alph" and a "]"
        // anchors: "$" is the very end only, "^" the very start only
        {u"^abc$", u"abc", u"abc"},
        {u"abc$", u"abc\n", kNoMatch},
        {u"^b", u"a\nb", kNoMatch},
        {u"\\bword\\b", u"a word.", u"word"},
        // "." stops at line ends, "\s" knows the ideographic space, "\d" and "\w" stay ASCII
        {u"a.c", u"a\rc", kNoMatch},
        {u"a.c", u"a\u2028c", kNoMatch},
        {u"a.c", u"aｂc", u"aｂc"},
        {u"^\\s+$", u"\u3000 \u00a0", u"\u3000 \u00a0"},
        {u"\\S+", u"\u3000ab\u3000", u"ab"},
        {u"\\d+", u"１２3", u"3"},
        {u"\\w+", u"ｗｗw", u"w"},
        // alternation and groups
        {u"百合|キマシ", u"これはキマシ", u"キマシ"},
        {u"(?:ab)+", u"ababa", u"abab"},
        {u"(?<y>\\d{4})年", u"2011年", u"2011年"},
        // lookahead (and the lookbehind newer engines know)
        {u"a(?=b)", u"acab", u"a"},
        {u"a(?!b)", u"abac", u"a"},
        {u"(?<=＠)\\w+", u"＠name", u"name"},
        // escapes: \u, \x, \v, and letters without a meaning stand for themselves
        {u"\\u3042", u"あ", u"あ"},
        {u"\\uD83D\\uDE00", u"x😀", u"😀"},
        {u"\\x41", u"A", u"A"},
        {u"\\v", u"\v", u"\v"},
        {u"\\v", u"\n", kNoMatch},
        {u"\\z", u"z", u"z"},
        {u"\\u12", u"u12", u"u12"},
        // a backreference to a group that took no part matches the empty text
        {u"(a)?b\\1", u"b", u"b"},
        // one character is one code point, also outside the BMP
        {u"^.$", u"😀", u"😀"},
    };
    for (const auto& c : cases) {
        Regex re;
        ASSERT_EQ(re.compile(c.pattern), 0) << u8(c.pattern) << ": " << u8(re.error_text());
        RegexMatch m;
        const int found = re.search(c.subject, &m);
        if (c.expected == kNoMatch) {
            EXPECT_EQ(found, 0) << u8(c.pattern) << " on " << u8(c.subject);
        } else {
            ASSERT_EQ(found, 1) << u8(c.pattern) << " on " << u8(c.subject);
            EXPECT_EQ(u8(m.group(c.subject, 0)), u8(c.expected)) << u8(c.pattern);
        }
    }
}

TEST(RegexConformance, ReplacesWithEcmaScriptFormats) {
    const struct {
        std::u16string_view pattern, subject, format, expected;
        int count;
    } cases[] = {
        {u"(.)\\1{16,}", u"あああああああああああああああああああああ!", u"$1$1$1", u"あああ!", 1},
        {u"(\\d+)-(\\d+)", u"1-2 3-4", u"$2-$1", u"2-1 4-3", 2},
        {u"b", u"abc", u"[$&]", u"a[b]c", 1},
        {u"b", u"abc", u"$`|$'", u"aa|cc", 1},
        {u"b", u"abc", u"$$", u"a$c", 1},
        {u"b", u"abc", u"$", u"a$c", 1},
        {u"b", u"abc", u"$x", u"a$xc", 1},
        {u"(b)", u"abc", u"$2", u"a$2c", 1},   // no such group: kept as written
        {u"(b)", u"abc", u"$0", u"a$0c", 1},   // "$0" names nothing
        {u"(b)", u"abc", u"$01", u"abc", 1},   // two digits naming group 1
        {u"(b)", u"abc", u"$10", u"ab0c", 1},  // group 10 does not exist: "$1" and "0"
        {u"(a)|(b)", u"b", u"[$1]", u"[]", 1}, // a group that took no part is empty
        {u"x*", u"abc", u"-", u"-a-b-c-", 4},
        {u"a*?", u"aa", u"-", u"-----", 5}, // after an empty match the same place is tried for a longer one
        {u"a*", u"baaac", u"-", u"-b--c-", 4},
        {u"x*", u"a😀", u"-", u"-a-😀-", 3}, // a surrogate pair is never split
        {u"x*", u"a\xD800", u"-", u"-a-\xD800-", 3},
        {u"😀", u"a😀b😀", u"!", u"a!b!", 2},
        {u"$", u"ab", u"!", u"ab!", 1},
        {u"z", u"abc", u"!", u"", 0},
    };
    for (const auto& c : cases) {
        Regex re;
        ASSERT_EQ(re.compile(c.pattern), 0) << u8(c.pattern);
        std::u16string out = u"untouched";
        const int n = re.replace_all(c.subject, c.format, out);
        EXPECT_EQ(n, c.count) << u8(c.pattern) << " / " << u8(c.format);
        if (c.count > 0) {
            EXPECT_EQ(u8(out), u8(c.expected)) << u8(c.pattern) << " / " << u8(c.format);
        } else {
            EXPECT_EQ(u8(out), "untouched");
        }
    }
}

TEST(RegexConformance, CompileErrorsNameThePlace) {
    const struct {
        std::u16string_view pattern;
        std::string_view message_part;
    } cases[] = {
        {u"(abc", "at offset 4"},
        {u"abc)", "at offset 3"},
        {u"a**", "at offset"},
        {u"[z-a]", "at offset"},
        {u"\\1(a)x(", "at offset"},
        // the error position is the user's, not that of the rewritten pattern
        {u"...(", "at offset 4"},
    };
    for (const auto& c : cases) {
        Regex re;
        EXPECT_EQ(re.compile(c.pattern), -1) << u8(c.pattern);
        EXPECT_FALSE(re.ok());
        EXPECT_NE(u8(re.error_text()).find(c.message_part), std::string::npos)
            << u8(c.pattern) << ": " << u8(re.error_text());
        EXPECT_EQ(re.search(u"abc"), 0);
        std::u16string out;
        EXPECT_EQ(re.replace_all(u"abc", u"x", out), 0);
    }
}

TEST(RegexLimits, PathologicalPatternGivesUpAndIsCounted) {
    Regex re;
    ASSERT_EQ(re.compile(u"(a+)+$"), 0);
    const std::u16string subject = std::u16string(10000, u'a') + u"!";
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(re.search(subject), -1);
    EXPECT_FALSE(re.contains(subject));
    std::u16string out = u"untouched";
    EXPECT_EQ(re.replace_all(subject, u"x", out), -1);
    EXPECT_EQ(out, u"untouched");
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_LT(elapsed, std::chrono::seconds(5));
    EXPECT_EQ(re.give_ups(), 3);
    // An ordinary text still matches.
    EXPECT_EQ(re.search(u"aaa"), 1);
    EXPECT_EQ(re.give_ups(), 3);
}

TEST(RegexLimits, EmptyMatchesAcrossALongText) {
    // A replacement rule such as /x*/ matches empty at every position of a comment of any length.
    Regex re;
    ASSERT_EQ(re.compile(u"x*"), 0);
    const std::u16string subject(200000, u'a');
    std::u16string out;
    EXPECT_EQ(re.replace_all(subject, u"-", out), 200001);
    EXPECT_EQ(out.size(), 400001u);
    EXPECT_EQ(out.substr(0, 5), u"-a-a-");
    EXPECT_EQ(re.give_ups(), 0);
}

TEST(RegexLimits, ReplacementThatOutgrowsItsSubjectGivesUp) {
    // "$`" at every position of a 10,000-unit comment would make 50 million units.
    Regex re;
    ASSERT_EQ(re.compile(u"x*"), 0);
    const std::u16string subject(10000, u'a');
    std::u16string out = u"untouched";
    EXPECT_EQ(re.replace_all(subject, u"$`", out), -1);
    EXPECT_EQ(out, u"untouched");
    EXPECT_EQ(re.give_ups(), 1);
    // Well inside the cap the same rule still works.
    EXPECT_EQ(re.replace_all(u"abc", u"[$`]", out), 4);
    EXPECT_EQ(u8(out), "[]a[a]b[ab]c[abc]");
}

TEST(RegexLimits, LoneSurrogatesNeverMatchButDoNotStopTheSearch) {
    Regex re;
    ASSERT_EQ(re.compile(u"b+"), 0);
    const std::u16string subject = u"a\xD800"
                                   u"bb\xDC00";
    RegexMatch m;
    ASSERT_EQ(re.search(subject, &m), 1);
    EXPECT_EQ(m.begin(0), 2);
    EXPECT_EQ(m.end(0), 4);
    Regex any;
    ASSERT_EQ(any.compile(u"."), 0);
    std::u16string out;
    EXPECT_EQ(any.replace_all(subject, u"-", out), 3);
}

TEST(RegexLimits, SearchFromAnOffsetAndGroupsThatTookNoPart) {
    Regex re;
    ASSERT_EQ(re.compile(u"(x)|(\\d)"), 0);
    EXPECT_EQ(re.capture_count(), 2);
    RegexMatch m;
    ASSERT_EQ(re.search(u"1x2", &m, 1), 1);
    EXPECT_EQ(m.begin(0), 1);
    EXPECT_TRUE(m.matched(1));
    EXPECT_FALSE(m.matched(2));
    EXPECT_EQ(re.search(u"1x2", &m, 4), 0);
    std::u16string out;
    quippet::append_regex_replacement(out, u"<$1|$2|$3>", u"1x2", m);
    EXPECT_EQ(out, u"<x||$3>");
}

TEST(RegexLimits, OneCompiledPatternServesManyThreads) {
    Regex re;
    ASSERT_EQ(re.compile(u"(ｗ)\\1+"), 0);
    std::vector<std::thread> threads;
    std::vector<int> found(4, 0);
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&re, &found, t] {
            std::u16string out;
            for (int i = 0; i < 2000; ++i)
                if (re.replace_all(u"草ｗｗｗｗ草", u"$1", out) == 1 && out == u"草ｗ草")
                    ++found[static_cast<size_t>(t)];
        });
    }
    for (auto& th : threads)
        th.join();
    for (const int n : found)
        EXPECT_EQ(n, 2000);
}
