#include "reconstruct/PassChain.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "resources/DefaultTextsCommands.h"
#include "tests/support/TestText.h"

using namespace quippet;
using quippet::test::u8;

namespace {

const CommandVocabulary& vocabulary() {
    static const CommandVocabulary v = read_vocabulary(default_command_vocabulary_text());
    return v;
}

std::string chat(int vpos, int date, std::string_view id, std::string_view body, std::string_view extra = "") {
    return "<chat thread=\"1\" vpos=\"" + std::to_string(vpos) + "\" date=\"" + std::to_string(date) + "\" user_id=\"" +
           std::string(id) + "\"" + (extra.empty() ? "" : " ") + std::string(extra) + ">" + std::string(body) +
           "</chat>\n";
}

std::string packet(const std::vector<std::string>& chats) {
    std::string out = "<packet>\n";
    for (const std::string& c : chats)
        out += c;
    return out + "</packet>\n";
}

RuleProgram compiled(std::u16string_view text) {
    RuleProgram p;
    p.compile_text(text, [](std::u16string_view) {});
    return p;
}

/// A unit read through the real reader with the chain installed, one string per input file.
struct Unit {
    bool options_negative;
    CWorkChatdata set;
    PassChain chain;

    Unit(PassOptions options, PassInputs inputs, const std::vector<std::string>& files,
         const PassRemovedLists& removed = {})
        : options_negative(options.remove_negative_vpos), chain(std::move(options), with_vocabulary(inputs), removed) {
        ChatReadContext context;
        context.filter = &chain;
        context.keep_negative_vpos = !options_negative;
        for (size_t f = 0; f < files.size(); ++f)
            read_comments(files[f], set, static_cast<int>(f), context);
        chain.counters().take_read_stats(context.stats);
    }
    static PassInputs with_vocabulary(PassInputs inputs) {
        inputs.vocabulary = &vocabulary();
        return inputs;
    }
    std::string ids() const {
        std::string out;
        for (int i = 0; i < set.count(); ++i)
            out += (i ? "," : "") + u8(set.user_id(i));
        return out;
    }
    std::vector<int> vposes() const {
        std::vector<int> out;
        for (int i = 0; i < set.count(); ++i)
            out.push_back(set.vpos(i));
        return out;
    }
};

const NgList& ng_ids() {
    static const NgList l = parse_ng_list(u"bad\r\n", NgListKind::kIds, false);
    return l;
}
const NgList& ng_words() {
    static const NgList l =
        parse_ng_list(u"【連鎖】chainword\r\n【単独】single\r\n/^re+gex$/\r\n", NgListKind::kWords, false);
    return l;
}
const NgList& common_ng() {
    static const NgList l =
        parse_ng_list(u"0,cid\r\n【連鎖】commonchain\r\n【単独】commonword\r\n", NgListKind::kWords, false);
    return l;
}
const NgList& priority_ids() {
    static const NgList l = parse_ng_list(u"vip\r\n", NgListKind::kIds, false);
    return l;
}

PassInputs all_lists() {
    PassInputs in;
    in.ngid = &ng_ids();
    in.ng_words = &ng_words();
    in.common_ng = &common_ng();
    in.priority_ids = &priority_ids();
    return in;
}

constexpr int kDate = 1300000000;

int removals(const PassCounters& c) {
    return c.invalid_char_removed + c.hangul_removed + c.priority_stage + c.over_read_limit + c.natural_date_total() +
           c.too_old + c.date_rule[0] + c.date_rule[1] + c.pre_stage + c.too_short + c.too_long + c.deleted_attribute +
           c.low_score + c.zero_time + c.ngid + c.common_ngid + c.common_ng_word + c.ng_word + c.post_stage +
           c.individual_stage;
}

} // namespace

TEST(PassChainSteps, EachStepRemovesUnderItsCounter) {
    struct Case {
        const char* name;
        std::function<void(PassOptions&)> set;
        std::string comment;
        int PassCounters::*counter;
    };
    const Case cases[] = {
        {"invalid char", [](PassOptions& o) { o.invalid_chars = InvalidCharMode::remove; },
         chat(100, kDate, "u", "a\x01b"), &PassCounters::invalid_char_removed},
        {"hangul", [](PassOptions& o) { o.remove_hangul = true; }, chat(100, kDate, "u", "안녕"),
         &PassCounters::hangul_removed},
        {"too old",
         [](PassOptions& o) {
             o.old_posts = true;
             o.old_months = 1;
             o.now = kDate;
         },
         chat(100, kDate - 40 * 86400, "u", "x"), &PassCounters::too_old},
        {"too short",
         [](PassOptions& o) {
             o.length_on = true;
             o.min_length = 2;
             o.max_length = 3;
         },
         chat(100, kDate, "u", "x"), &PassCounters::too_short},
        {"too long (&amp; is one unit, so four units)",
         [](PassOptions& o) {
             o.length_on = true;
             o.min_length = 2;
             o.max_length = 3;
         },
         chat(100, kDate, "u", "ab&amp;c"), &PassCounters::too_long},
        {"deleted", [](PassOptions& o) { o.remove_deleted = true; }, chat(100, kDate, "u", "x", "deleted=\"1\""),
         &PassCounters::deleted_attribute},
        {"zero time", [](PassOptions& o) { o.zero_time = true; }, chat(0, kDate, "u", "x"), &PassCounters::zero_time},
        {"NGID", [](PassOptions& o) { o.ngid = true; }, chat(100, kDate, "bad", "x"), &PassCounters::ngid},
        {"NGID reversed",
         [](PassOptions& o) {
             o.ngid = true;
             o.ngid_reversed = true;
         },
         chat(100, kDate, "good", "x"), &PassCounters::ngid},
        {"common NGID", [](PassOptions& o) { o.common_ng = true; }, chat(100, kDate, "cid", "x"),
         &PassCounters::common_ngid},
        {"common NG word (folded: full width)", [](PassOptions& o) { o.common_ng = true; },
         chat(100, kDate, "u", "ＣＯＭＭＯＮＷＯＲＤ!"), &PassCounters::common_ng_word},
        {"common NG reversed ignores the ID list",
         [](PassOptions& o) {
             o.common_ng = true;
             o.common_ng_reversed = true;
         },
         chat(100, kDate, "cid", "plain"), &PassCounters::common_ng_word},
        {"NG regex on the raw body", [](PassOptions& o) { o.ng_words = true; }, chat(100, kDate, "u", "reeegex"),
         &PassCounters::ng_word},
        {"NG reversed",
         [](PassOptions& o) {
             o.ng_words = true;
             o.ng_words_reversed = true;
         },
         chat(100, kDate, "u", "harmless"), &PassCounters::ng_word},
        {"first removing step wins: too short before NGID",
         [](PassOptions& o) {
             o.length_on = true;
             o.min_length = 2;
             o.max_length = 100;
             o.ngid = true;
         },
         chat(100, kDate, "bad", "x"), &PassCounters::too_short},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PassOptions options;
        c.set(options);
        Unit unit(options, all_lists(), {packet({c.comment})});
        EXPECT_EQ(unit.set.count(), 0);
        EXPECT_EQ(unit.chain.counters().*c.counter, 1);
        EXPECT_EQ(removals(unit.chain.counters()), 1);
        // The same comment passes when the chain is off.
        Unit off(PassOptions{}, all_lists(), {packet({c.comment})});
        EXPECT_EQ(off.set.count(), 1);
    }
}

TEST(PassChainSteps, LowScoreNeverTakesScoreZero) {
    struct Case {
        int score;
        int threshold;
        bool removed;
    };
    for (const Case c : {Case{0, 0, false}, Case{0, 100, false}, Case{-1, -1, true}, Case{-2, -3, false},
                         Case{5, 10, true}, Case{-5000, -1000, true}}) {
        SCOPED_TRACE(c.score);
        PassOptions options;
        options.low_score_on = true;
        options.low_score = c.threshold;
        Unit unit(options, {}, {packet({chat(1, kDate, "u", "x", "score=\"" + std::to_string(c.score) + "\"")})});
        EXPECT_EQ(unit.chain.counters().low_score, c.removed ? 1 : 0);
    }
}

TEST(PassChainSteps, ReferencesDecodeForFiltersAndAreEscapedAgainForWriting) {
    PassOptions options;
    options.ng_words = true;
    Unit unit(options, all_lists(),
              {packet({chat(1, kDate, "a", "&lt;b&gt; &amp;amp; x"), chat(2, kDate, "b", "plain")})});
    ASSERT_EQ(unit.set.count(), 2);
    EXPECT_EQ(u8(unit.set.text(0)), "&lt;b&gt; &amp; x");
    EXPECT_EQ(unit.chain.counters().references_decoded, 3);

    options.handle_references = false;
    Unit raw(options, {}, {packet({chat(1, kDate, "a", "&amp;amp;")})});
    EXPECT_EQ(u8(raw.set.text(0)), "&amp;amp;");
    EXPECT_EQ(raw.chain.counters().references_decoded, 0);
}

TEST(PassChainSteps, InvalidCharactersReplacedAndListedBeforeAndAfter) {
    PassOptions options;
    options.invalid_chars = InvalidCharMode::replace;
    options.invalid_replacement = u"[?]";
    CWorkChatdata before_after;
    PassRemovedLists lists;
    lists.invalid_replaced = &before_after;
    Unit unit(options, {}, {packet({chat(1, kDate, "a", "x\x01y\x02")})}, lists);
    ASSERT_EQ(unit.set.count(), 1);
    EXPECT_EQ(u8(unit.set.text(0)), "x[?]y[?]");
    EXPECT_EQ(unit.chain.counters().invalid_char_replaced, 1);
    ASSERT_EQ(before_after.count(), 2);
    EXPECT_EQ(u8(before_after.text(0)), "x\x01y\x02");
    EXPECT_EQ(u8(before_after.text(1)), "x[?]y[?]");
}

TEST(PassChainPriority, PriorityCommentsSkipTheFiltersButNotStagesDatesOrTiming) {
    PassOptions options;
    options.priority_ids = options.priority_uploader = options.priority_staff = true;
    options.ng_words = options.low_score_on = true;
    options.low_score = -1;
    options.timing[0] = {true, TimingScope::always, 0, TimingAction::delay, 50};
    options.date_rules[0] = {true, DateBase::given, kDate, 0, true};
    Unit unit(options, all_lists(),
              {packet({chat(1, kDate, "vip", "single"), chat(2, kDate, "up", "single", "fork=\"1\""),
                       chat(3, kDate, "staff", "single", "premium=\"6\" score=\"-9\""),
                       chat(4, kDate, "premium", "single", "premium=\"1\""),
                       chat(5, kDate - 1, "vip", "too early for the date row")})});
    EXPECT_EQ(unit.ids(), "vip,up,staff");
    EXPECT_EQ(unit.vposes(), (std::vector<int>{51, 52, 53}));
    EXPECT_EQ(unit.set.count_priority(), 3);
    EXPECT_EQ(unit.chain.counters().ng_word, 1);
    EXPECT_EQ(unit.chain.counters().date_rule[0], 1);
}

TEST(PassChainPriority, StagesExcludeAndPromote) {
    RuleProgram first = compiled(u"▼昇格\n<本文がこの文字列を含む>promote\n<このコメントは優先コメントとしてあつかう>\n"
                                 u"▼消す\n<本文がこの文字列を含む>dropfirst\n<このコメントは排除する>\n");
    RuleProgram pre = compiled(u"▼消す\n<本文がこの文字列を含む>droppre\n<このコメントは排除する>\n");
    RuleProgram post =
        compiled(u"▼消す\n<本文がこの文字列を含む>droppost\n<このコメントおよび同一IDの発言はすべて排除する>\n");
    PassInputs in = all_lists();
    in.priority_stage = &first;
    in.pre_stage = &pre;
    in.post_stage = &post;
    PassOptions options;
    options.ng_words = true;
    Unit unit(
        options, in,
        {packet({chat(1, kDate, "a", "promote single"), chat(2, kDate, "b", "dropfirst"),
                 chat(3, kDate, "c", "droppre"), chat(4, kDate, "d", "droppost"), chat(5, kDate, "e", "single")})});
    EXPECT_EQ(unit.ids(), "a");
    const PassCounters& c = unit.chain.counters();
    EXPECT_EQ(c.priority_stage, 1);
    EXPECT_EQ(c.pre_stage, 1);
    EXPECT_EQ(c.post_stage, 1);
    EXPECT_EQ(c.ng_word, 1);
    const ChainIds chains = unit.chain.chain_ids();
    ASSERT_EQ(chains.command.size(), 1u);
    EXPECT_EQ(u8(chains.command[0]), "d");
}

TEST(PassChainNg, ChainedWordsFeedTheChainSetsSingleWordsDoNot) {
    PassOptions options;
    options.ng_words = options.common_ng = true;
    Unit unit(
        options, all_lists(),
        {packet({chat(1, kDate, "a", "a CHAINWORD"), chat(2, kDate, "a", "innocent"), chat(3, kDate, "b", "single"),
                 chat(4, kDate, "b", "innocent"), chat(5, kDate, "c", "commonchain"), chat(6, kDate, "c", "innocent"),
                 chat(7, kDate, "d", "commonword"), chat(8, kDate, "a", "chainword again")})});
    const PassCounters& c = unit.chain.counters();
    EXPECT_EQ(c.ng_word, 3);
    EXPECT_EQ(c.common_ng_word, 2);
    const ChainIds chains = unit.chain.chain_ids();
    ASSERT_EQ(chains.ng_word.size(), 1u);
    EXPECT_EQ(u8(chains.ng_word[0]), "a");
    ASSERT_EQ(chains.common_ng.size(), 1u);
    EXPECT_EQ(u8(chains.common_ng[0]), "c");

    AfterReadingCounters after;
    remove_chained_ids(unit.set, chains, after);
    EXPECT_EQ(unit.ids(), "b");
    EXPECT_EQ(after.ng_word_chain, 1);
    EXPECT_EQ(after.common_ng_chain, 1);
}

TEST(PassChainDates, NaturalDateThresholdDropsTheSparseEarlyRun) {
    auto file = [](int strays, int dense) {
        std::vector<std::string> chats;
        for (int i = 0; i < strays; ++i)
            chats.push_back(chat(i, 1000 + i * 10, "stray", "x"));
        for (int i = 0; i < dense; ++i)
            chats.push_back(chat(i, 100000 + i, "dense", "x"));
        return packet(chats);
    };
    PassOptions options;
    options.natural_date = true;
    {
        // Five strays, then 800 posts a second apart: the sixth window spans only 700 s.
        Unit unit(options, {}, {file(3, 10), file(5, 800)});
        ASSERT_EQ(unit.chain.counters().natural_date.size(), 1u);
        const auto& row = unit.chain.counters().natural_date[0];
        EXPECT_EQ(row.row, 2);
        EXPECT_EQ(row.threshold, 1040);
        EXPECT_EQ(row.removed, 5);
        EXPECT_EQ(unit.set.count(), 13 + 800);
    }
    {
        // 700 comments are too few to judge.
        Unit unit(options, {}, {file(5, 695)});
        EXPECT_TRUE(unit.chain.counters().natural_date.empty());
        EXPECT_EQ(unit.set.count(), 700);
    }
    {
        // A dense window right at the start: no threshold although strays follow later.
        std::vector<std::string> chats;
        for (int i = 0; i < 701; ++i)
            chats.push_back(chat(i, 100000 + i, "dense", "x"));
        chats.push_back(chat(0, 900000, "late", "x"));
        Unit unit(options, {}, {packet(chats)});
        EXPECT_TRUE(unit.chain.counters().natural_date.empty());
    }
}

TEST(PassChainDates, DateRowsMeasureFromTheirBase) {
    struct Case {
        const char* name;
        DateRuleRow row;
        const char* kept;
    };
    const std::vector<std::string> files = {
        packet({chat(1, kDate, "f1a", "x"), chat(2, kDate + 7200, "f1b", "x")}),
        packet({chat(1, kDate + 3600, "f2a", "x"), chat(2, kDate + 20000, "f2b", "x")})};
    const Case cases[] = {
        {"first file earliest + 1 h, later removed", {true, DateBase::first_file_earliest, 0, 1, false}, "f1a,f2a"},
        {"first file latest, earlier removed", {true, DateBase::first_file_latest, 0, 0, true}, "f1b,f2b"},
        {"own file earliest, later removed", {true, DateBase::file_earliest, 0, 0, false}, "f1a,f2a"},
        {"own file latest - 1 h, earlier removed", {true, DateBase::file_latest, 0, -1, true}, "f1b,f2b"},
        {"given date", {true, DateBase::given, kDate + 3600, 0, true}, "f1b,f2a,f2b"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PassOptions options;
        options.date_rules[1] = c.row;
        Unit unit(options, {}, files);
        EXPECT_EQ(unit.ids(), c.kept);
        EXPECT_EQ(unit.chain.counters().date_rule[1], 4 - static_cast<int>(unit.set.count()));
    }
}

TEST(PassChainTiming, ScopesAndActions) {
    struct Case {
        const char* name;
        TimingRow row;
        std::vector<int> kept_vpos;
        int removed;
        int shifted;
    };
    // Input positions: 0, 8999, 9000, 10000, 10001, 20000.
    const Case cases[] = {
        {"CM cut after 1:30 for 10 s",
         {true, TimingScope::after, 9000, TimingAction::cut, 1000},
         {0, 8999, 9001, 19000},
         2,
         2},
        {"remove span after 1:30",
         {true, TimingScope::after, 9000, TimingAction::remove_span, 1000},
         {0, 8999, 10001, 20000},
         2,
         0},
        {"delay before 1:30",
         {true, TimingScope::before, 9000, TimingAction::delay, 100},
         {100, 9099, 9100, 10000, 10001, 20000},
         0,
         3},
        {"advance always",
         {true, TimingScope::always, 0, TimingAction::advance, 9000},
         {-9000, -1, 0, 1000, 1001, 11000},
         0,
         6},
        {"remove all of row 1 (101 mod 100)",
         {true, TimingScope::row_only, 101, TimingAction::remove_all, 0},
         {},
         6,
         0},
        {"rows from 2 do not apply",
         {true, TimingScope::rows_from, 2, TimingAction::remove_all, 0},
         {0, 8999, 9000, 10000, 10001, 20000},
         0,
         0},
    };
    const std::string file =
        packet({chat(0, kDate, "u", "x"), chat(8999, kDate, "u", "x"), chat(9000, kDate, "u", "x"),
                chat(10000, kDate, "u", "x"), chat(10001, kDate, "u", "x"), chat(20000, kDate, "u", "x")});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PassOptions options;
        options.timing[4] = c.row;
        Unit unit(options, {}, {file});
        EXPECT_EQ(unit.vposes(), c.kept_vpos);
        EXPECT_EQ(unit.chain.counters().timing_removed[4], c.removed);
        EXPECT_EQ(unit.chain.counters().timing_shifted[4], c.shifted);
    }
}

TEST(PassChainTiming, NegativeAdvanceRemovesAndRowCutsStartAtTheMergeOffset) {
    PassOptions options;
    options.remove_negative_vpos = true;
    options.merge_offsets = {0, 5000};
    options.timing[0] = {true, TimingScope::row_only, 2, TimingAction::cut, 1000};
    options.timing[1] = {true, TimingScope::rows_up_to, 1, TimingAction::advance, 100};
    Unit unit(options, {},
              {packet({chat(50, kDate, "early", "x"), chat(300, kDate, "one", "x")}),
               packet({chat(200, kDate, "cut", "x"), chat(1500, kDate, "two", "x")})});
    EXPECT_EQ(unit.ids(), "one,two");
    EXPECT_EQ(unit.vposes(), (std::vector<int>{200, 5500}));
    EXPECT_EQ(unit.chain.counters().timing_removed[0], 1);
    EXPECT_EQ(unit.chain.counters().timing_removed[1], 1);
}

TEST(PassChainOrder, ReadLimitCountsOnlyKeptComments) {
    PassOptions options;
    options.read_limit_on = true;
    options.read_limit = 2;
    options.zero_time = true;
    options.priority_uploader = true;
    Unit unit(options, {},
              {packet({chat(0, kDate, "z", "x"), chat(1, kDate, "a", "x"), chat(2, kDate, "b", "x"),
                       chat(3, kDate, "c", "x"), chat(4, kDate, "p", "x", "fork=\"1\"")})});
    EXPECT_EQ(unit.ids(), "a,b,p");
    EXPECT_EQ(unit.chain.counters().over_read_limit, 1);
    EXPECT_EQ(unit.chain.counters().zero_time, 1);
}
