#include "comments/WorkChatdata.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/comments/ChatTestSupport.h"

namespace quippet {
namespace {

using test::ChatFields;
using test::entry_of;
using test::order_of;
using test::u8;

/// Three comments whose columns order them differently under each key.
CWorkChatdata three() {
    CWorkChatdata set;
    set.add(entry_of({.user_id = u"a", .vpos = 30, .date = 3, .no = 2, .text = u"z", .mail = u"m2", .premium = 1}), 1);
    set.add(entry_of({.user_id = u"b", .vpos = 10, .date = 1, .no = 4, .text = u"x", .mail = u"m1", .fork = 1}), 0);
    set.add(entry_of({.user_id = u"c", .vpos = 20, .date = 2, .no = 1, .text = u"y", .mail = u"m3", .premium = 3}), 0);
    set.set(ChatColumn::extra2, 0, 5);
    set.set(ChatColumn::extra2, 1, 7);
    set.set(ChatColumn::extra2, 2, 6);
    return set;
}

TEST(ChatSetTest, SortKeys) {
    struct Case {
        int keys[4];
        int limit;
        const char* order;
    };
    const Case cases[] = {
        {{chat_key::vpos, 99, 99, 99}, -1, "b,c,a"},
        {{chat_key::vpos + chat_key::reversed, 99, 99, 99}, -1, "a,c,b"},
        {{chat_key::fork, chat_key::position, 99, 99}, -1, "b,a,c"},  // uploader comments first
        {{chat_key::fork + 13, chat_key::vpos, 99, 99}, -1, "c,a,b"}, // ...and last when reversed
        {{chat_key::premium, 99, 99, 99}, -1, "c,a,b"},               // premium descending
        {{chat_key::premium + 13, 99, 99, 99}, -1, "b,a,c"},
        {{chat_key::user_id + 13, 99, 99, 99}, -1, "c,b,a"},
        {{chat_key::text, 99, 99, 99}, -1, "b,c,a"},
        {{chat_key::mail, 99, 99, 99}, -1, "b,a,c"},
        {{chat_key::no, 99, 99, 99}, -1, "c,a,b"},
        {{chat_key::date + 13, 99, 99, 99}, -1, "a,c,b"},
        {{chat_key::source, chat_key::vpos + 13, 99, 99}, -1, "c,b,a"}, // second key breaks the tie
        {{chat_key::extra + 2, 99, 99, 99}, -1, "a,c,b"},
        {{chat_key::extra + 7, 99, 99, 99}, -1, "b,c,a"},
        {{99, chat_key::vpos, 99, 99}, -1, "a,b,c"}, // 99 ends the key list
        {{chat_key::vpos, 99, 99, 99}, 2, "b,a,c"},  // only the first two positions
    };
    for (const auto& c : cases) {
        CWorkChatdata set = three();
        set.sort(c.keys[0], c.keys[1], c.keys[2], c.keys[3], c.limit);
        EXPECT_EQ(order_of(set), c.order) << "keys " << c.keys[0] << "," << c.keys[1] << " limit " << c.limit;
    }
}

/// The comb sort through the accessors, key by key, as the sort is specified: whatever shortcut the set
/// takes, its order must be this one, ties included.
std::vector<int> reference_order(const CWorkChatdata& set, const std::vector<int>& keys, int limit) {
    std::vector<int> order;
    for (int k = 0; k < set.count(); ++k)
        order.push_back(set.at(k));
    auto compare = [&](int a, int b) {
        for (const int key : keys) {
            const bool reversed = key >= chat_key::reversed && key < chat_key::extra;
            const int plain = reversed ? key - chat_key::reversed : key;
            int c = 0;
            bool descending = reversed;
            auto ints = [&](ChatColumn column) {
                const int va = set.get(column, a), vb = set.get(column, b);
                c = va < vb ? -1 : (va > vb ? 1 : 0);
            };
            if (plain == chat_key::position)
                ints(ChatColumn::position);
            else if (plain == chat_key::vpos)
                ints(ChatColumn::vpos);
            else if (plain == chat_key::date)
                ints(ChatColumn::date);
            else if (plain == chat_key::premium) {
                ints(ChatColumn::premium);
                descending = !descending;
            } else if (plain == chat_key::user_id)
                c = set.user_id(a).compare(set.user_id(b));
            else if (plain == chat_key::text)
                c = set.text(a).compare(set.text(b));
            else if (plain == chat_key::extra + 1)
                ints(ChatColumn::extra1);
            else if (plain == chat_key::extra + 6) {
                ints(ChatColumn::extra1);
                descending = true;
            }
            if (c != 0) return descending ? -c : c;
        }
        return 0;
    };
    const int n = limit >= 0 && limit < set.count() ? limit : set.count();
    comb_sort(
        n, [&](int a, int b) { return compare(order[static_cast<size_t>(a)], order[static_cast<size_t>(b)]) < 0; },
        [&](int a, int b) { std::swap(order[static_cast<size_t>(a)], order[static_cast<size_t>(b)]); });
    return order;
}

TEST(ChatSetTest, SortOrdersTiesAsTheCombSortDoes) {
    // Few distinct values, so that most comparisons are ties, which only the comb sort itself decides.
    CWorkChatdata set;
    unsigned seed = 7;
    auto next = [&seed](unsigned range) {
        seed = seed * 1103515245u + 12345u;
        return static_cast<int>((seed >> 16) % range);
    };
    for (int n = 0; n < 400; ++n) {
        const std::u16string id(1, static_cast<char16_t>(u'a' + next(4)));
        const std::u16string text(1, static_cast<char16_t>(u'p' + next(3)));
        const int i = set.add(
            entry_of({.user_id = id, .vpos = next(6) - 2, .date = next(3), .text = text, .premium = next(2)}), 0);
        set.set(ChatColumn::extra1, i, next(5) - 2);
    }
    const std::vector<std::vector<int>> key_lists = {
        {chat_key::vpos},
        {chat_key::vpos, chat_key::position},
        {chat_key::vpos + chat_key::reversed, chat_key::date},
        {chat_key::premium, chat_key::vpos, chat_key::date, chat_key::extra + 6},
        {chat_key::extra + 1},
        {chat_key::user_id, chat_key::date},
        {chat_key::text, chat_key::vpos, chat_key::position},
        {chat_key::position + chat_key::reversed},
    };
    for (int pass = 0; pass < 3; ++pass) {
        // Pass 1 starts from orders the keys already hold; pass 2 has marked comments, whose insertion
        // numbers tie.
        if (pass == 2) {
            for (int i = 0; i < set.count(); i += 9)
                set.mark_removed(i);
        }
        for (const auto& keys : key_lists) {
            for (const int limit : {-1, 150}) {
                if (pass != 1) set.sort(chat_key::text, chat_key::user_id); // a scrambled start
                const std::vector<int> expected = reference_order(set, keys, limit);
                const int k4[4] = {keys[0], keys.size() > 1 ? keys[1] : chat_key::none,
                                   keys.size() > 2 ? keys[2] : chat_key::none,
                                   keys.size() > 3 ? keys[3] : chat_key::none};
                set.sort(k4[0], k4[1], k4[2], k4[3], limit);
                std::vector<int> got;
                for (int k = 0; k < set.count(); ++k)
                    got.push_back(set.at(k));
                EXPECT_EQ(got, expected) << "pass " << pass << ", first key " << keys[0] << ", limit " << limit;
            }
        }
    }
}

TEST(ChatSetTest, CompactRestoresInsertionOrderAndCopiesTheRemoved) {
    CWorkChatdata set;
    for (int n = 1; n <= 6; ++n) {
        const std::u16string id(1, static_cast<char16_t>(u'0' + n));
        set.add(entry_of({.user_id = id, .vpos = 100 - n, .no = n, .text = id}), n % 2);
    }
    set.sort(chat_key::vpos);
    ASSERT_EQ(order_of(set), "6,5,4,3,2,1");
    EXPECT_TRUE(set.mark_removed(1));
    EXPECT_TRUE(set.mark_removed(4));
    EXPECT_FALSE(set.mark_removed(4));
    ASSERT_EQ(set.removed(), 2);

    CWorkChatdata removed;
    EXPECT_EQ(set.compact(&removed), 2);
    EXPECT_EQ(order_of(set), "1,3,4,6");
    EXPECT_EQ(order_of(removed), "2,5");
    EXPECT_EQ(set.removed(), 0);
    EXPECT_EQ(set.compact(), -1);
    // Columns moved together: every comment still has its own number, text and source.
    for (int i = 0; i < set.count(); ++i) {
        EXPECT_EQ(u8(set.text(i)), u8(set.user_id(i)));
        EXPECT_EQ(set.no(i), set.user_id(i)[0] - u'0');
        EXPECT_EQ(set.source(i), set.no(i) % 2);
    }
    EXPECT_EQ(removed.no(0), 2);
    EXPECT_EQ(removed.no(1), 5);

    // A comment added afterwards lands after the others and keeps its own values.
    const int i = set.add(entry_of({.user_id = u"7", .vpos = 7, .no = 7}), 3);
    EXPECT_EQ(i, 4);
    EXPECT_EQ(set.no(i), 7);
    set.sort(chat_key::position);
    EXPECT_EQ(order_of(set), "1,3,4,6,7");
}

TEST(ChatSetTest, TruncateKeepsTheFirstPositionsInTheirOrder) {
    CWorkChatdata set = three();
    set.sort(chat_key::vpos);
    EXPECT_EQ(set.truncate(3), -1);
    EXPECT_EQ(set.truncate(-1), -1);
    ASSERT_EQ(set.truncate(2), 0);
    EXPECT_EQ(order_of(set), "b,c");
    EXPECT_EQ(set.vpos(set.at(0)), 10);
    EXPECT_EQ(u8(set.mail(set.at(1))), "m3");
    set.add(entry_of({.user_id = u"d", .vpos = 5}), 0);
    set.sort(chat_key::vpos);
    EXPECT_EQ(order_of(set), "d,b,c");
    // Reading order survives the cut: b was read before c, d after both.
    set.sort(chat_key::position);
    EXPECT_EQ(order_of(set), "b,c,d");

    // The cut stored the comments in vpos order, against reading order; compacting still restores it.
    CWorkChatdata cut = three();
    cut.add(entry_of({.user_id = u"d", .vpos = 40}), 0);
    cut.sort(chat_key::vpos + chat_key::reversed);
    ASSERT_EQ(cut.truncate(3), 0);
    ASSERT_EQ(order_of(cut), "d,a,c");
    EXPECT_TRUE(cut.mark_removed(cut.at(1)));
    EXPECT_EQ(cut.compact(), 1);
    EXPECT_EQ(order_of(cut), "c,d");
}

TEST(ChatSetTest, ColumnsOfOneValueReadAsEveryOther) {
    // Columns that held one value so far store only it; every way of giving them a second one, and of
    // moving and dropping comments, must read back as if each comment had its own.
    CWorkChatdata set;
    for (int n = 0; n < 6; ++n) {
        ChatEntry e = entry_of({.user_id = u"u", .vpos = 60 - n, .no = n + 1});
        e.thread = 77;
        e.score = n == 4 ? -3 : 0;
        set.add(e, 0);
    }
    EXPECT_EQ(set.get(ChatColumn::thread, 5), 77);
    EXPECT_EQ(set.get(ChatColumn::thread, 6), 0); // outside the set
    EXPECT_EQ(set.get(ChatColumn::score, 4), -3);
    EXPECT_EQ(set.get(ChatColumn::score, 3), 0);
    set.set(ChatColumn::thread, 2, 77);
    set.set(ChatColumn::extra3, 1, 0);
    set.set(ChatColumn::extra3, 3, 9);
    set.sort(chat_key::thread, chat_key::vpos);
    EXPECT_EQ(set.vpos(set.at(0)), 55);
    set.mark_removed(set.at(0));
    set.compact();
    ASSERT_EQ(set.count(), 5);
    for (int i = 0; i < set.count(); ++i) {
        EXPECT_EQ(set.get(ChatColumn::thread, i), 77);
        EXPECT_EQ(set.get(ChatColumn::extra3, i), set.no(i) == 4 ? 9 : 0);
        EXPECT_EQ(set.get(ChatColumn::score, i), set.no(i) == 5 ? -3 : 0);
    }
    ASSERT_EQ(set.truncate(0), 0);
    ChatEntry e = entry_of({.user_id = u"v", .vpos = 1});
    e.thread = 5;
    set.add(e, 0);
    EXPECT_EQ(set.get(ChatColumn::thread, 0), 5);
}

TEST(ChatSetTest, RemoveIdsSparesPriorityComments) {
    CWorkChatdata set;
    set.add(entry_of({.user_id = u"ng", .no = 1}), 0);
    set.add(entry_of({.user_id = u"ok", .no = 2}), 0);
    set.add(entry_of({.user_id = u"ng", .no = 3, .filterable = 0}), 0);
    set.add(entry_of({.user_id = u"ng2", .no = 4}), 1);
    CCharArrayW ids;
    ids.add(u"ng");
    ids.add(u"ng2");
    CWorkChatdata removed;
    EXPECT_EQ(set.remove_ids(ids, &removed), 2);
    EXPECT_EQ(order_of(set), "ok,ng");
    EXPECT_EQ(set.no(set.at(1)), 3);
    EXPECT_EQ(removed.count(), 2);
    EXPECT_EQ(removed.source(1), 1);
    EXPECT_EQ(set.remove_ids(CCharArrayW{}), 0);
}

TEST(ChatSetTest, CountsAndLiveComments) {
    CWorkChatdata set;
    set.add_live(u"実況", u"ID:abc", 1234, 1600000000, 2, 20, 34, -1);
    set.add(entry_of({.user_id = u"", .no = 9, .filterable = 0}), 1);
    set.add(entry_of({.user_id = u"x", .no = 10}), 2);
    EXPECT_EQ(set.count_empty_user_id(), 1);
    EXPECT_EQ(set.count_priority(), 1);
    EXPECT_EQ(set.count_source(2), 2);
    // The live comment reads 0 where it has nothing; the comment after it keeps its own values.
    EXPECT_EQ(set.no(0), 0);
    EXPECT_EQ(set.no(1), 9);
    EXPECT_EQ(set.get(ChatColumn::aux2, 0), 34);
    EXPECT_EQ(set.get(ChatColumn::aux2, 1), 0);
    EXPECT_TRUE(set.filterable(0));

    CWorkChatdata copy;
    set.copy_to(0, copy);
    EXPECT_EQ(u8(copy.text(0)), "実況");
    EXPECT_EQ(copy.get(ChatColumn::aux3, 0), -1);
    EXPECT_EQ(copy.source(0), 2);

    EXPECT_EQ(set.mark_source_from(2), 2);
    EXPECT_EQ(set.compact(), 2);
    EXPECT_EQ(set.count(), 1);
    EXPECT_EQ(set.no(0), 9);
}

TEST(ChatSetTest, DateRangesOfFirstAndLastFile) {
    CWorkChatdata set;
    EXPECT_EQ(set.first_file_max_date(), -1);
    set.record_date_range(R"(<chat date="30" vpos="1"/><chat date="10" vpos="2"/>)");
    set.record_date_range(R"(<chat date="50" vpos="1"/>)");
    EXPECT_EQ(set.first_file_min_date(), 10);
    EXPECT_EQ(set.first_file_max_date(), 30);
    EXPECT_EQ(set.last_file_min_date(), 50);
    set.record_date_range("<chat vpos=\"1\"/>");
    EXPECT_EQ(set.last_file_max_date(), -1);
    EXPECT_EQ(set.first_file_max_date(), 30);
}

} // namespace
} // namespace quippet
