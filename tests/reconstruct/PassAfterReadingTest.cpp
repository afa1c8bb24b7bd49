#include "reconstruct/PassAfterReading.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "resources/DefaultTextsCommands.h"
#include "tests/comments/ChatTestSupport.h"
#include "tests/support/TestText.h"

namespace {

using namespace quippet;
using quippet::test::ChatFields;
using quippet::test::entry_of;
using quippet::test::order_of;
using quippet::test::u8;

/// One comment of a test set; `row` is the 0-based input file.
struct C {
    const char16_t* id;
    int vpos = 0;
    const char16_t* text = u"";
    bool priority = false;
    int date = 0;
    int row = 0;
    const char16_t* mail = u"";
    int no = -1;
};

CWorkChatdata make_set(const std::vector<C>& comments) {
    CWorkChatdata set;
    for (const C& c : comments) {
        ChatFields f;
        f.user_id = c.id;
        f.vpos = c.vpos;
        f.text = c.text;
        f.date = c.date;
        f.mail = c.mail;
        f.no = c.no;
        f.filterable = c.priority ? 0 : 1;
        set.add(entry_of(f), c.row);
    }
    return set;
}

/// Ids in the set's current order, sorted by name: which comments survived, whatever their order.
std::string survivors(const CWorkChatdata& set) {
    std::vector<std::string> ids;
    for (int i = 0; i < set.count(); ++i)
        ids.push_back(u8(set.user_id(i)));
    std::sort(ids.begin(), ids.end());
    std::string out;
    for (const auto& id : ids)
        out += (out.empty() ? "" : ",") + id;
    return out;
}

// --- chained ids ------------------------------------------------------------------------------------

TEST(PassChainedIds, EachCommentCountsUnderTheFirstSetThatHoldsItsIdAndPriorityStays) {
    CWorkChatdata set = make_set({{u"a"}, {u"b"}, {u"c"}, {u"a", 5, u"", true}, {u""}, {u"d"}});
    const std::vector<std::u16string> ng = {u"a"}, common = {u"a", u"b"}, command = {u"c", u""};
    CWorkChatdata ng_out, common_out;
    AfterReadingCounters n;
    remove_chained_ids(set, {ng, common, command}, n, {&ng_out, &common_out, nullptr});
    EXPECT_EQ(order_of(set), "a,,d"); // the priority "a", and the comment without id
    EXPECT_EQ(n.ng_word_chain, 1);
    EXPECT_EQ(n.common_ng_chain, 1);
    EXPECT_EQ(n.command_chain, 1);
    EXPECT_EQ(order_of(ng_out), "a");
    EXPECT_EQ(order_of(common_out), "b");
}

// --- duplicates -------------------------------------------------------------------------------------

struct DedupeCase {
    const char* name;
    DedupeOptions options;
    std::vector<C> comments;
    std::string kept;
    int duplicates;
    int priority_duplicates;
};

DedupeOptions dedupe(bool vpos, int window, bool text, bool user_id = false, bool fuzzy = false) {
    DedupeOptions o;
    o.enabled = true;
    o.vpos = vpos;
    o.window = window;
    o.text = text;
    o.user_id = user_id;
    o.fuzzy = fuzzy;
    return o;
}

TEST(PassDuplicates, Table) {
    DedupeOptions fuzzy_with_rule = dedupe(false, 0, true, false, true);
    const std::vector<std::u16string> rule_lines = {u"ＬＯＬ[→]"};
    fuzzy_with_rule.fuzzy_rules = parse_fuzzy_rules(rule_lines);
    DedupeOptions by_no;
    by_no.enabled = by_no.no = true;
    const DedupeCase cases[] = {
        {"time alone with window 0 needs the same vpos",
         dedupe(true, 0, false),
         {{u"a", 100}, {u"b", 101}, {u"c", 100}},
         "a,b",
         1,
         0},
        {"time 80 with text: 0.80 s apart is a duplicate, 0.81 s is not",
         dedupe(true, 80, true),
         {{u"a", 1000, u"x"}, {u"b", 1080, u"x"}, {u"c", 2000, u"x"}, {u"d", 2081, u"x"}, {u"e", 1001, u"y"}},
         "a,c,d,e",
         1,
         0},
        {"a chain of near comments: the removed middle one does not bridge the window",
         dedupe(true, 80, true),
         {{u"a", 0, u"x"}, {u"b", 50, u"x"}, {u"c", 100, u"x"}},
         "a,c",
         1,
         0},
        {"the earlier time wins, not the earlier read",
         dedupe(true, 80, true),
         {{u"late", 500, u"x"}, {u"early", 450, u"x"}},
         "early",
         1,
         0},
        {"two priority duplicates: the later read goes and counts as priority",
         dedupe(false, 0, true),
         {{u"p1", 0, u"x", true}, {u"p2", 0, u"x", true}},
         "p1",
         1,
         1},
        {"an ordinary comment read first gives way to a priority duplicate",
         dedupe(false, 0, true),
         {{u"o", 0, u"x"}, {u"p", 0, u"x", true}, {u"o2", 0, u"x"}},
         "p",
         2,
         0},
        {"id and text must both match",
         dedupe(false, 0, true, true),
         {{u"a", 0, u"x"}, {u"b", 0, u"x"}, {u"a", 0, u"x"}},
         "a,b",
         1,
         0},
        {"without fuzzy, width and case differ",
         dedupe(false, 0, true),
         {{u"a", 0, u"ＡＢＣ"}, {u"b", 0, u"abc"}},
         "a,b",
         0,
         0},
        {"fuzzy compares decoded, folded text",
         dedupe(false, 0, true, false, true),
         {{u"a", 0, u"ＡＢＣ&amp;"}, {u"b", 0, u"abc&"}},
         "a",
         1,
         0},
        {"comments without a number are not duplicates by number",
         by_no,
         {{u"a", 0, u"x", false, 0, 0, u"", -1},
          {u"b", 0, u"x", false, 0, 0, u"", -1},
          {u"c", 0, u"x", false, 0, 0, u"", 7},
          {u"d", 0, u"x", false, 0, 0, u"", 7}},
         "a,b,c",
         1,
         0},
        {"fuzzy rules, folded themselves, apply after the fold",
         fuzzy_with_rule,
         {{u"a", 0, u"ｈｉ lol"}, {u"b", 0, u"hi "}},
         "a",
         1,
         0},
    };
    for (const DedupeCase& c : cases) {
        SCOPED_TRACE(c.name);
        CWorkChatdata set = make_set(c.comments);
        CWorkChatdata out;
        AfterReadingCounters n;
        remove_duplicates(set, c.options, n, &out);
        EXPECT_EQ(survivors(set), c.kept);
        EXPECT_EQ(n.duplicates, c.duplicates);
        EXPECT_EQ(n.priority_duplicates, c.priority_duplicates);
        EXPECT_EQ(out.count(), c.duplicates);
    }
}

TEST(PassDuplicates, FuzzyRuleLinesSkipCommentsAndLinesWithoutArrow) {
    const std::vector<std::u16string> lines = {u"// note", u"", u"ｗ[→]w", u"草[→]", u"no arrow", u"[→]x"};
    const auto rules = parse_fuzzy_rules(lines);
    ASSERT_EQ(rules.size(), 2u);
    EXPECT_EQ(u8(rules[1].from), "草");
    EXPECT_EQ(u8(rules[1].to), "");
}

// --- count limit ------------------------------------------------------------------------------------

LimitOptions limit_of(LimitMethod method, int limit) {
    LimitOptions o;
    o.enabled = true;
    o.method = method;
    o.limit = limit;
    return o;
}

/// `per_minute` comments in every minute of a video of `seconds`, and one more at its very end.
CWorkChatdata evenly(int seconds, int per_minute) {
    CWorkChatdata set;
    const int minutes = (seconds + 59) / 60;
    for (int m = 0; m < minutes; ++m)
        for (int k = 0; k < per_minute; ++k) {
            ChatEntry e;
            e.vpos = std::min(seconds * 100, m * 6000 + k * (6000 / per_minute));
            e.date = k;
            set.add(e, 0);
        }
    ChatEntry last;
    last.vpos = seconds * 100;
    set.add(last, 0);
    return set;
}

TEST(PassPerMinute, WholeAndPartialLastMinute) {
    struct Case {
        int seconds, limit;
        bool partial;
        int kept, minutes, saturated;
    } cases[] = {
        {260, 100, false, 500, 5, 5},
        {260, 100, true, 433, 5, 5},
        // Exactly four minutes: a comment at 4:00.00 belongs to the fourth minute, there is no fifth.
        {240, 100, false, 400, 4, 4},
        // The last minute's share is rounded down with no floor: 2 × 1 / 60 keeps nothing of its comments.
        {61, 2, true, 2, 2, 2},
        {61, 2, false, 4, 2, 2},
        {90, 2, true, 3, 2, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.seconds) + " s, " + std::to_string(c.limit) + (c.partial ? " 半" : ""));
        CWorkChatdata set = evenly(c.seconds, 200);
        LimitOptions o = limit_of(LimitMethod::per_minute, c.limit);
        o.partial_last_minute = c.partial;
        AfterReadingCounters n;
        apply_count_limit(set, o, n);
        EXPECT_EQ(set.count(), c.kept);
        EXPECT_EQ(n.minutes, c.minutes);
        EXPECT_EQ(n.minutes_saturated, c.saturated);
        EXPECT_EQ(n.minutes_short, c.minutes - c.saturated);
    }
}

TEST(PassPerMinute, OrderExemptionAndTopUp) {
    const std::vector<C> minute = {
        {u"new", 10, u"", false, 300}, {u"old", 20, u"", false, 100}, {u"prio", 30, u"", true, 200}};
    struct Case {
        const char* name;
        bool newest, exempt, fill;
        std::string kept;
        int exempted;
    } cases[] = {
        {"古 keeps the oldest", false, false, false, "old", 0},
        {"新 keeps the newest", true, false, false, "new", 0},
        {"免 keeps the priority comment over the quota", false, true, false, "old,prio", 1},
        {"加 tops up to 1000", false, false, true, "new,old,prio", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CWorkChatdata set = make_set(minute);
        LimitOptions o = limit_of(LimitMethod::per_minute, 1);
        o.newest_first = c.newest;
        o.exempt_priority = c.exempt;
        o.fill_to_1000 = c.fill;
        AfterReadingCounters n;
        apply_count_limit(set, o, n);
        EXPECT_EQ(survivors(set), c.kept);
        EXPECT_EQ(n.exempted, c.exempted);
    }
}

TEST(PassPerMinute, TopUpStopsAtOneThousand) {
    CWorkChatdata set = evenly(60, 1500);
    LimitOptions o = limit_of(LimitMethod::per_minute, 10);
    o.fill_to_1000 = true;
    AfterReadingCounters n;
    apply_count_limit(set, o, n);
    EXPECT_EQ(set.count(), 1000);
}

TEST(PassThinning, DenseStretchesLoseCommentsFirst) {
    // A cluster one hundredth apart and three lone comments.
    std::vector<C> comments;
    const char16_t* cluster[] = {u"c0", u"c1", u"c2", u"c3", u"c4", u"c5", u"c6", u"c7", u"c8", u"c9"};
    for (int k = 0; k < 10; ++k)
        comments.push_back({cluster[k], k});
    comments.push_back({u"x", 1000});
    comments.push_back({u"y", 2000});
    comments.push_back({u"z", 3000});
    CWorkChatdata set = make_set(comments);
    CWorkChatdata thinned;
    AfterReadingCounters n;
    apply_count_limit(set, limit_of(LimitMethod::thin, 5), n, &thinned);
    // Passes at thresholds 1, 2 and 3 halve the cluster pair by pair instead of eating it from one end.
    EXPECT_EQ(survivors(set), "c3,c9,x,y,z");
    EXPECT_EQ(n.thin_threshold, 3);
    EXPECT_EQ(n.limit_removed, 8);
    EXPECT_EQ(thinned.count(), 8);
}

TEST(PassThinning, PriorityAndRowOrder) {
    struct Case {
        const char* name;
        bool row_order;
        int limit;
        std::vector<C> comments;
        std::string kept;
        int thin_row;
    } cases[] = {
        {"priority comments stay while ordinary ones suffice",
         false,
         2,
         {{u"p", 0, u"", true}, {u"a", 1}, {u"q", 2, u"", true}, {u"b", 500}},
         "p,q",
         0},
        {"too many priority comments: every ordinary one goes, then priority ones thin",
         false,
         1,
         {{u"p", 0, u"", true}, {u"a", 1}, {u"q", 2, u"", true}},
         "q",
         0},
        {"row order keeps the first row whole",
         true,
         3,
         {{u"r1a", 0, u"", false, 0, 0},
          {u"r1b", 1, u"", false, 0, 0},
          {u"r2a", 0, u"", false, 0, 1},
          {u"r2b", 1, u"", false, 0, 1},
          {u"r2c", 900, u"", false, 0, 1},
          {u"r3a", 5000, u"", false, 0, 2}},
         "r1a,r1b,r2c",
         2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CWorkChatdata set = make_set(c.comments);
        LimitOptions o = limit_of(LimitMethod::thin, c.limit);
        o.row_order_first = c.row_order;
        AfterReadingCounters n;
        apply_count_limit(set, o, n);
        EXPECT_EQ(survivors(set), c.kept);
        EXPECT_EQ(n.thin_row, c.thin_row);
    }
}

TEST(PassCountLimit, NewestOutAndLastReadOut) {
    // Read order a, b, c, p; dates make c the oldest.
    const std::vector<C> comments = {{u"a", 0, u"", false, 200, 1},
                                     {u"b", 0, u"", false, 300, 0},
                                     {u"c", 0, u"", false, 100, 1},
                                     {u"p", 0, u"", true, 900, 1}};
    struct Case {
        const char* name;
        LimitMethod method;
        bool row_order;
        std::string kept;
    } cases[] = {
        {"D keeps priority, then the oldest", LimitMethod::newest_out, false, "c,p"},
        {"D with row order keeps the first row's comments", LimitMethod::newest_out, true, "b,p"},
        {"R keeps priority, then the first read", LimitMethod::last_read_out, false, "a,p"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CWorkChatdata set = make_set(comments);
        LimitOptions o = limit_of(c.method, 2);
        o.row_order_first = c.row_order;
        AfterReadingCounters n;
        apply_count_limit(set, o, n);
        EXPECT_EQ(survivors(set), c.kept);
        EXPECT_EQ(n.limit_removed, 2);
    }
}

// --- sorting and renumbering --------------------------------------------------------------------------

TEST(PassSort, SeveralKeysSkippingUncheckedRowsThenRenumber) {
    CWorkChatdata set = make_set({{u"b", 300}, {u"a", 100}, {u"b", 100}, {u"a", 200}});
    AfterReadingOptions o;
    o.sort_keys[0] = sort_key_from_name(u"ID");
    o.sort_keys[2] = sort_key_from_name(u"*再生時間");
    sort_and_renumber(set, o);
    std::string seen;
    for (int k = 0; k < set.count(); ++k)
        seen += u8(set.user_id(set.at(k))) + std::to_string(set.vpos(set.at(k))) + "#" +
                std::to_string(set.no(set.at(k))) + " ";
    EXPECT_EQ(seen, "a200#1 a100#2 b300#3 b100#4 ");
}

TEST(PassSort, PriorityKeyPartitionsButKeepsNoOrderInside) {
    std::vector<C> comments;
    static const std::u16string ids[] = {u"0", u"1", u"2", u"3", u"4", u"5", u"6", u"7", u"8", u"9"};
    for (int k = 0; k < 10; ++k)
        comments.push_back({ids[k].c_str(), k, u"", k % 3 == 0});
    CWorkChatdata set = make_set(comments);
    AfterReadingOptions o;
    o.sort_keys[0] = sort_key_from_name(u"優先コメ");
    o.renumber = false;
    sort_and_renumber(set, o);
    for (int k = 0; k < set.count(); ++k)
        EXPECT_EQ(set.filterable(set.at(k)), k >= 4) << k;
    // Kept numbers: renumbering was off.
    EXPECT_EQ(set.no(0), -1);
}

TEST(PassSort, CommandDerivedKeys) {
    const CommandVocabulary v = read_vocabulary(default_command_vocabulary_text());
    CWorkChatdata set = make_set({{u"none", 0, u"", false, 0, 0, u""},
                                  {u"hex", 0, u"", false, 0, 0, u"#000001"},
                                  {u"named", 0, u"", false, 0, 0, u"red"},
                                  {u"long", 0, u"", false, 0, 0, u"@10"},
                                  {u"short", 0, u"", false, 0, 0, u"@2"}});
    AfterReadingOptions o;
    o.sort_keys[0] = sort_key_from_name(u"色");
    o.sort_keys[1] = sort_key_from_name(u"*継続時間");
    sort_and_renumber(set, o, &v);
    EXPECT_EQ(order_of(set), "long,short,none,named,hex");
}

TEST(PassAfterReading, StepsRunInOrder) {
    // The duplicate goes before the limit counts, so the limit keeps two distinct comments.
    CWorkChatdata set = make_set({{u"ng", 0, u"x"}, {u"a", 0, u"x"}, {u"a", 0, u"x"}, {u"b", 100, u"y"}});
    const std::vector<std::u16string> ng = {u"ng"};
    AfterReadingOptions o;
    o.dedupe = dedupe(false, 0, true);
    o.limit = limit_of(LimitMethod::last_read_out, 2);
    o.sort_keys[0] = sort_key_from_name(u"*再生時間");
    AfterReadingCounters n;
    run_after_reading(set, o, {ng, {}, {}}, n);
    EXPECT_EQ(order_of(set), "b,a");
    EXPECT_EQ(n.ng_word_chain, 1);
    EXPECT_EQ(n.duplicates, 1);
    EXPECT_EQ(set.no(set.at(0)), 1);
}

} // namespace
