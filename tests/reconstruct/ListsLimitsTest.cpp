#include "reconstruct/Lists.h"

#include <gtest/gtest.h>

#include <string>

#include "reconstruct/FuzzyFold.h"
#include "tests/support/TestText.h"
#include "text/Encoding.h"

namespace quippet {
namespace {

std::u16string number(int n) {
    return from_utf8(std::to_string(n));
}

// A pattern that backtracks without end on a long comment must not hold up the job: the search gives up,
// counts as no match, and the give-up is counted on the pattern for the report.
TEST(ListsLimits, RunawayPatternsGiveUpAndAreCounted) {
    const std::u16string comment = std::u16string(100000, u'a') + u"b";

    NgList ng = parse_ng_list(u"/(a+)+$/\r\n【連鎖】2,(x+x+)+$\r\n", NgListKind::kWords, false);
    ASSERT_EQ(ng.single.patterns.size(), 1u);
    ASSERT_EQ(ng.chained.patterns.size(), 1u);
    EXPECT_EQ(ng.match(fuzzy_folded(comment), comment), NgMatch::none);
    EXPECT_EQ(ng.single.patterns[0].regex.give_ups(), 1);
    const std::u16string xs = std::u16string(5000, u'x') + u"!";
    EXPECT_EQ(ng.match(xs, xs), NgMatch::none);
    EXPECT_EQ(ng.chained.patterns[0].regex.give_ups(), 1);

    const ReplaceList replace = parse_replace_list(u"/(a+)+$/\t/z/\r\na\tb\r\n");
    ASSERT_EQ(replace.rules.size(), 2u);
    std::u16string text = comment;
    ReplaceCounts counts;
    EXPECT_TRUE(replace.apply(text, counts));
    // The runaway rule changed nothing; the plain rule after it still ran.
    EXPECT_EQ(text, std::u16string(100000, u'b') + u"b");
    EXPECT_EQ(counts.regex_comments, std::vector<int>{0});
    EXPECT_EQ(counts.plain_comments, 1);
    EXPECT_EQ(replace.rules[0].regex.give_ups(), 1);
}

// Lists collected over years reach tens of thousands of lines.
TEST(ListsLimits, HundredThousandLines) {
    constexpr int kLines = 100000;
    std::u16string words, ids, replacements;
    for (int i = 0; i < kLines; ++i) {
        words += u"ＮＧ語" + number(i) + u"です\r\n";
        ids += u"id" + number(i) + u"\r\n";
        replacements += u"from" + number(i) + u"x\tto" + number(i) + u"\r\n";
    }

    const NgList ng = parse_ng_list(words, NgListKind::kWords, false);
    EXPECT_EQ(ng.single.words.size(), static_cast<size_t>(kLines));
    EXPECT_TRUE(ng.problems.empty());
    struct Case {
        std::u16string_view comment;
        NgMatch expected;
    };
    const Case cases[] = {
        {u"最後のng語99999ですね", NgMatch::single},
        {u"最初のＮＧ語0です", NgMatch::single},
        {u"ng語100000です", NgMatch::none},
        {u"関係のないコメント", NgMatch::none},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ng.match(fuzzy_folded(c.comment), c.comment), c.expected) << test::u8(c.comment);

    const NgList id_list = parse_ng_list(ids, NgListKind::kIds, false);
    EXPECT_EQ(id_list.ids.size(), static_cast<size_t>(kLines));
    EXPECT_TRUE(id_list.has_id(u"id99999"));
    EXPECT_FALSE(id_list.has_id(u"id100000"));

    const ReplaceList replace = parse_replace_list(replacements);
    ASSERT_EQ(replace.rules.size(), static_cast<size_t>(kLines));
    std::u16string text = u"from99999x and from0x";
    ReplaceCounts counts;
    EXPECT_TRUE(replace.apply(text, counts));
    EXPECT_EQ(test::u8(text), "to99999 and to0");
}

} // namespace
} // namespace quippet
