#include "comments/ChatTextColumn.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::u16string value_of(int n, size_t length) {
    std::u16string s(length, u'a');
    for (size_t k = 0; k < length; ++k)
        s[k] = static_cast<char16_t>(u'a' + (n + k) % 26);
    return s;
}

/// The column against the strings it should hold, every value and the total.
void expect_holds(const ChatTextColumn& column, const std::vector<std::u16string>& values) {
    ASSERT_EQ(column.count(), static_cast<int>(values.size()));
    size_t total = 0;
    for (size_t i = 0; i < values.size(); ++i) {
        EXPECT_EQ(std::u16string(column.get(static_cast<int>(i))), values[i]) << "value " << i;
        total += values[i].size();
    }
    EXPECT_EQ(column.total_length(), static_cast<int>(total));
}

TEST(ChatTextColumnTest, AddGetAndOutside) {
    ChatTextColumn column;
    column.add(u"first");
    column.add(u"");
    column.add(u"\u3042\u3044");
    expect_holds(column, {u"first", u"", u"\u3042\u3044"});
    EXPECT_TRUE(column.get(-1).empty());
    EXPECT_TRUE(column.get(3).empty());
    column.set(7, u"ignored");
    EXPECT_EQ(column.count(), 3);
}

TEST(ChatTextColumnTest, EmptyValuesBeforeTheFirstRealOne) {
    // A column of empty values stores none of them; the first real value, added or set, must not shift them.
    ChatTextColumn added, set;
    for (int n = 0; n < 5; ++n) {
        added.add(u"");
        set.add(u"");
    }
    const int32_t order[] = {4, 3, 2, 1, 0};
    set.gather(order, 4);
    expect_holds(set, {u"", u"", u"", u""});
    set.set(2, u"");
    set.set(1, u"one");
    expect_holds(set, {u"", u"one", u"", u""});
    added.add(u"five");
    added.add(u"");
    expect_holds(added, {u"", u"", u"", u"", u"", u"five", u""});
}

TEST(ChatTextColumnTest, OverwritesNeverTouchTheNeighbours) {
    ChatTextColumn column;
    std::vector<std::u16string> values;
    for (int n = 0; n < 50; ++n) {
        values.push_back(value_of(n, static_cast<size_t>(n % 7)));
        column.add(values.back());
    }
    // Shorter in place, longer elsewhere, emptied, and filled again.
    for (int n = 0; n < 50; n += 3) {
        values[static_cast<size_t>(n)] = value_of(n + 1, static_cast<size_t>((n * 5) % 11));
        column.set(n, values[static_cast<size_t>(n)]);
    }
    column.set(4, u"");
    values[4].clear();
    column.set(4, u"again");
    values[4] = u"again";
    expect_holds(column, values);
}

TEST(ChatTextColumnTest, GatherPermutesAndDrops) {
    ChatTextColumn column;
    std::vector<std::u16string> values;
    for (int n = 0; n < 6; ++n) {
        values.push_back(value_of(n, 3));
        column.add(values.back());
    }
    const int32_t order[] = {5, 0, 3, 1, 2, 4};
    column.gather(order, 4);
    expect_holds(column, {values[5], values[0], values[3], values[1]});
}

TEST(ChatTextColumnTest, LongValuesCopiesAndCompaction) {
    ChatTextColumn column;
    std::vector<std::u16string> values;
    // Values beyond a block's half get blocks of their own, around ordinary ones.
    const size_t big = (size_t{1} << 20) + 17;
    values.push_back(value_of(1, 10));
    values.push_back(value_of(2, big));
    values.push_back(value_of(3, 700'000));
    values.push_back(value_of(4, 5));
    for (const auto& v : values)
        column.add(v);
    expect_holds(column, values);

    ChatTextColumn copy = column;
    column.set(0, u"changed");
    EXPECT_EQ(std::u16string(copy.get(0)), values[0]);
    expect_holds(copy, values);

    // Overwriting the large values with longer ones again and again makes the column copy its live values
    // into fresh blocks; what it holds must not change.
    for (int round = 0; round < 6; ++round) {
        values[1] = value_of(round, big + static_cast<size_t>(round) + 1);
        column.set(1, values[1]);
        values[3] = value_of(round, 12 + static_cast<size_t>(round));
        column.set(3, values[3]);
    }
    values[0] = u"changed";
    expect_holds(column, values);
    copy = column;
    expect_holds(copy, values);
}

TEST(ChatTextColumnTest, SharedValuesStayApartWhenOneChanges) {
    ChatTextColumn column(true);
    std::vector<std::u16string> values;
    for (int n = 0; n < 300; ++n) {
        values.push_back(n % 3 == 0 ? u"" : value_of(n % 5, 4));
        column.add(values.back());
    }
    expect_holds(column, values);
    // Equal values may share their units; changing one must leave its equals as they were.
    values[1] = u"x";
    column.set(1, values[1]);
    values[2] = value_of(9, 40);
    column.set(2, values[2]);
    expect_holds(column, values);

    ChatTextColumn copy = column;
    copy.add(values[4]);
    copy.set(4, u"");
    expect_holds(column, values);

    // Enough overwrites to make the column start afresh, which must keep sharing working.
    const std::u16string big(300'000, u'b');
    for (int round = 0; round < 8; ++round) {
        values[5] = big + static_cast<char16_t>(u'0' + round);
        column.set(5, values[5]);
    }
    column.add(values[4]);
    values.push_back(values[4]);
    expect_holds(column, values);

    // Thousands of distinct values, each twice, as ids come: the index grows and still finds them all.
    ChatTextColumn ids(true);
    std::vector<std::u16string> id_values;
    for (int round = 0; round < 2; ++round)
        for (int n = 0; n < 5000; ++n) {
            id_values.push_back(u"id" + std::u16string(1, static_cast<char16_t>(u'A' + n % 50)) +
                                std::u16string(1, static_cast<char16_t>(0x3041 + n / 50)));
            ids.add(id_values.back());
        }
    expect_holds(ids, id_values);
}

TEST(ChatTextColumnTest, SharingPaysWhereValuesRepeatAcrossTheWholeColumn) {
    // Ids come back only every few tens of thousands of comments, as in a large file: the first stretch
    // is nearly all new, and sharing must not give up on it.
    auto id = [](int n) {
        std::u16string s = u"user";
        for (int k = 0; k < 4; ++k)
            s += static_cast<char16_t>(u'a' + (n >> (5 * k)) % 32);
        return s;
    };
    ChatTextColumn repeating(true), unique(true);
    for (int n = 0; n < 200'000; ++n) {
        repeating.add(id(n % 40'000));
        unique.add(id(n) + id(n / 7));
    }
    EXPECT_EQ(repeating.units_held(), size_t{40'000} * 8);
    EXPECT_EQ(unique.units_held(), size_t{200'000} * 16);
    EXPECT_EQ(std::u16string(repeating.get(123'456)), id(123'456 % 40'000));
    EXPECT_EQ(std::u16string(unique.get(199'999)), id(199'999) + id(199'999 / 7));
}

} // namespace
