#include "text/CharArray.h"

#include <gtest/gtest.h>

TEST(CharArray, OutOfRangeReadsAreEmpty) {
    CCharArrayW list;
    list.add(u"a");
    EXPECT_EQ(list.get(-1), u"");
    EXPECT_EQ(list.get(1), u"");
    EXPECT_EQ(list.length(1), -1);
    EXPECT_EQ(list.length(0), 1);
    CIntArray ints;
    ints.add(5);
    EXPECT_EQ(ints.get(-1), 0);
    EXPECT_EQ(ints.get(1), 0);
    CCharArrayM narrow;
    EXPECT_EQ(narrow.get(0), "");
}

TEST(CharArray, AddUniqueIgnoresEmptyAndDuplicates) {
    CCharArrayW list;
    EXPECT_EQ(list.add_unique(u"ＮＧ"), 1);
    EXPECT_EQ(list.add_unique(u"ＮＧ"), 0);
    EXPECT_EQ(list.add_unique(u""), 0);
    EXPECT_EQ(list.add_unique(u"ng"), 1);
    EXPECT_EQ(list.count(), 2);
    EXPECT_EQ(list.total_length(), 4);
    EXPECT_EQ(list.find_nocase(u"NG"), 1);
    EXPECT_EQ(list.find(u"NG"), -1);
}

TEST(CharArray, SplitAndJoin) {
    struct Case {
        const char16_t* text;
        bool keep_empty;
        int result;
        std::vector<std::u16string> items;
    };
    const Case cases[] = {
        {u"a||b", false, 0, {u"a", u"b"}},
        {u"a||b", true, 0, {u"a", u"", u"b"}},
        {u"", false, -1, {}},
        {u"|", false, -1, {}},
        {u"|", true, 0, {u"", u""}},
        {u"mp4|flv|", false, 0, {u"mp4", u"flv"}},
    };
    for (const Case& c : cases) {
        CCharArrayW list;
        EXPECT_EQ(list.split(c.text, u"|", c.keep_empty), c.result) << list.count();
        EXPECT_EQ(list.items(), c.items);
    }
    CCharArrayW unique;
    unique.split_unique(u"a|b||a|c", u"|");
    EXPECT_EQ(unique.join(u","), u"a,b,c");
    EXPECT_EQ(unique.join(u"\r\n", true), u"a\r\nb\r\nc\r\n");
    CCharW joined;
    unique.join_into(joined, u"|");
    EXPECT_EQ(joined.view(), u"a|b|c");
}

TEST(CharArray, ContainmentQueries) {
    CCharArrayW words;
    words.split(u"|荒らし|ｗｗｗ", u"|", true); // the empty item must never match
    EXPECT_EQ(words.find_contained_in(u"これは荒らしです"), 1);
    EXPECT_EQ(words.find_contained_in(u"普通のコメント"), -1);
    EXPECT_TRUE(words.any_contained_in(u"ｗｗｗｗ"));
    CCharArrayW other;
    other.add(u"ｗｗｗ");
    EXPECT_TRUE(words.shares_item_with(other));
    other.set(0, u"x");
    EXPECT_FALSE(words.shares_item_with(other));
}

TEST(CharArray, GrowthRules) {
    CCharArrayW list(5); // raised to the minimum step of 16
    EXPECT_EQ(list.capacity(), 16);
    for (int i = 0; i < 17; ++i)
        list.add_int(i);
    EXPECT_EQ(list.capacity(), 4 * (16 + 16));
    EXPECT_EQ(list.get(16), u"16");
    list.clear();
    EXPECT_EQ(list.capacity(), 16);

    CIntArray ints(1000);
    EXPECT_EQ(ints.capacity(), 1000);
    ints.append_zeros(1001);
    EXPECT_EQ(ints.capacity(), 10 * (1000 + 1000));

    CCharArrayM narrow;
    for (int i = 0; i < 101; ++i)
        narrow.add("x");
    EXPECT_EQ(narrow.capacity(), 2 * 100 + 200);
}

TEST(CharArray, IndexSortOrdersByValueAndKeepsIndexes) {
    CIntArray values;
    for (int v : {5, 3, 9, 3, -1, 7, 0, 12, 4, 4, 8, 2})
        values.add(v);
    CIntArray index;
    index.append_sequence(0, values.count());
    values.sort_index(index);
    for (int i = 1; i < index.count(); ++i)
        EXPECT_LE(values.get(index.get(i - 1)), values.get(index.get(i)));
    values.sort_index(index, true);
    for (int i = 1; i < index.count(); ++i)
        EXPECT_GE(values.get(index.get(i - 1)), values.get(index.get(i)));
    EXPECT_EQ(values.index_of_max(), 7);
    EXPECT_EQ(CIntArray().index_of_max(), -1);
}

TEST(CharArray, CombSortHandlesEveryLengthUpToAFewHundred) {
    // The gap sequence must always end in a gap-1 pass without swaps whatever the count.
    for (int n = 0; n < 300; ++n) {
        std::vector<int> v(static_cast<size_t>(n));
        for (int i = 0; i < n; ++i)
            v[static_cast<size_t>(i)] = (i * 7919) % 101;
        quippet::comb_sort(
            n, [&](int a, int b) { return v[static_cast<size_t>(a)] < v[static_cast<size_t>(b)]; },
            [&](int a, int b) { std::swap(v[static_cast<size_t>(a)], v[static_cast<size_t>(b)]); });
        ASSERT_TRUE(std::is_sorted(v.begin(), v.end())) << n;
    }
}
