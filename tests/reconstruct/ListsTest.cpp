#include "reconstruct/Lists.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/Settings.h"
#include "reconstruct/FuzzyFold.h"
#include "reconstruct/PassAfterReading.h"
#include "tests/support/TestText.h"
#include "text/AppHome.h"
#include "text/CharBuffer.h"
#include "text/Encoding.h"
#include "tests/text/TempFolder.h"

namespace quippet {
namespace {

using test::u8;

std::vector<std::string> words(const NgGroup& group) {
    std::vector<std::string> out;
    for (const std::u16string& w : group.words)
        out.push_back(u8(w));
    return out;
}

std::vector<std::string> patterns(const NgGroup& group) {
    std::vector<std::string> out;
    for (const NgPattern& p : group.patterns)
        out.push_back(u8(p.regex.pattern()));
    return out;
}

TEST(ListsNg, GroupPrefixesFormsAndProblems) {
    const std::u16string text = u"// comment\r\n"
                                u"\r\n"
                                u"【連鎖】連鎖語\r\n"
                                u"【単独】単独語\r\n"
                                u"【    】既定語\r\n"
                                u"0,someid\r\n"
                                u"1,ＡＢＣ\r\n"
                                u"2,^re$\r\n"
                                u"3,ignored\r\n"
                                u"5,ignored\r\n"
                                u"next of 5\r\n"
                                u"M,x,6,y\r\n"
                                u"next of M6\r\n"
                                u"M,x,2\r\n"
                                u"/ab+c/\r\n"
                                u"【単独】\r\n"
                                u"2,(unclosed\r\n"
                                u"素の語"; // a last line without a line end
    for (bool chain : {false, true}) {
        const NgList list = parse_ng_list(text, NgListKind::kWords, chain);
        const NgGroup& by_default = chain ? list.chained : list.single;
        const std::vector<std::string> default_words = {u8(fuzzy_folded(u"既定語")), u8(fuzzy_folded(u"ＡＢＣ")),
                                                        u8(fuzzy_folded(u"素の語"))};
        std::vector<std::string> got = words(by_default);
        std::erase_if(got, [](const std::string& w) { return w == u8(u"連鎖語") || w == u8(u"単独語"); });
        EXPECT_EQ(got, default_words) << chain;
        EXPECT_EQ(patterns(by_default), (std::vector<std::string>{"^re$", "ab+c"})) << chain;
        EXPECT_EQ(words(list.chained).front(), u8(u"連鎖語"));
        EXPECT_EQ(words(list.single).front(), u8(u"単独語"));
        EXPECT_EQ(list.ids.size(), 1u);
        EXPECT_TRUE(list.has_id(u"someid"));
        // The empty entry (it would match everything) and the broken expression, with their lines.
        ASSERT_EQ(list.problems.size(), 2u);
        EXPECT_EQ(list.problems[0].line, 16);
        EXPECT_EQ(list.problems[1].line, 17);
    }
}

TEST(ListsNg, IdListsTakeOnlyIds) {
    const NgList list =
        parse_ng_list(u"abc\r\n0,def\r\n1,word\r\n2,re\r\n/x/\r\n【連鎖】ghi\r\n", NgListKind::kIds, false);
    EXPECT_EQ(list.ids.size(), 4u);
    for (std::u16string_view id : {u"abc", u"def", u"/x/", u"ghi"})
        EXPECT_TRUE(list.has_id(id)) << u8(id);
    EXPECT_TRUE(list.chained.empty() && list.single.empty());
}

TEST(ListsNg, MatchTriesTheChainedGroupFirst) {
    const NgList list =
        parse_ng_list(u"【単独】ｗ\r\n【連鎖】/^草+$/\r\n【単独】/^[A-Z]+$/\r\n", NgListKind::kWords, false);
    const auto check = [&list](std::u16string_view raw) { return list.match(fuzzy_folded(raw), raw); };
    EXPECT_EQ(check(u"草草"), NgMatch::chained);
    EXPECT_EQ(check(u"www"), NgMatch::single) << "a plain word matches in the folded text";
    EXPECT_EQ(check(u"ABC"), NgMatch::single);
    EXPECT_EQ(check(u"草です"), NgMatch::none);
    EXPECT_EQ(check(u""), NgMatch::none);
}

TEST(ListsReplace, PlainAndExpressionRulesWithTheirCounts) {
    const ReplaceList list = parse_replace_list(u"// c\r\n"
                                                u"ab\tX\r\n"
                                                u"no tab here\r\n"
                                                u"\tempty\r\n"
                                                u"/(\\d)(\\d)/\t/$2$1/\r\n"
                                                u"/(unclosed/\t/x/\r\n"
                                                u"/z+$/\t//\r\n"
                                                u"/lit/\tplain\r\n");
    ASSERT_EQ(list.rules.size(), 5u);
    EXPECT_EQ(list.regex_rule_count(), 3);
    ASSERT_EQ(list.problems.size(), 3u);
    EXPECT_EQ(list.problems[0].line, 3);
    EXPECT_EQ(list.problems[1].line, 4);
    EXPECT_EQ(list.problems[2].line, 6);

    ReplaceCounts counts;
    struct Case {
        std::u16string_view in, out;
        bool changed;
    };
    const Case cases[] = {
        {u"abab12zz", u"XX21", true},
        {u"/lit/ 34", u"plain 43", true},
        {u"nothing", u"nothing", false},
        {u"ab", u"X", true},
    };
    for (const Case& c : cases) {
        std::u16string text(c.in);
        EXPECT_EQ(list.apply(text, counts), c.changed) << u8(c.in);
        EXPECT_EQ(u8(text), u8(c.out));
    }
    EXPECT_EQ(counts.plain_comments, 3);
    EXPECT_EQ(counts.regex_comments, (std::vector<int>{2, 0, 1})) << "the broken rule keeps its number";
}

TEST(ListsFiles, DefaultTextsAreCreatedAndReadBack) {
    test::TempFolder home;
    const std::u16string previous = app_home();
    set_app_home(from_utf8(home.path().string()));
    CSettings settings;
    for (ListFile file : kAllListFiles) {
        EXPECT_EQ(ensure_list_file(settings, file), 1);
        EXPECT_EQ(ensure_list_file(settings, file), 0);
    }

    EXPECT_EQ(load_ng_list(list_file_path(settings, ListFile::kPriorityIds), NgListKind::kIds, false).ids.size(), 3u);
    const NgList ng = load_ng_list(list_file_path(settings, ListFile::kNgWords), NgListKind::kWords, false);
    EXPECT_TRUE(ng.problems.empty()) << u8(ng.problems.empty() ? u"" : ng.problems[0].reason);
    EXPECT_EQ(words(ng.single), (std::vector<std::string>{u8(fuzzy_folded(u"時報")), u8(fuzzy_folded(u"/hidden"))}));
    EXPECT_EQ(ng.single.patterns.size(), 3u);
    EXPECT_EQ(words(ng.chained), (std::vector<std::string>{u8(fuzzy_folded(u"死にます"))}));
    EXPECT_EQ(ng.chained.patterns.size(), 1u);
    EXPECT_EQ(ng.match(fuzzy_folded(u"つまらん"), u"つまらん"), NgMatch::single);
    EXPECT_EQ(ng.match(fuzzy_folded(u"おもろい？"), u"おもろい？"), NgMatch::chained);

    EXPECT_TRUE(load_ng_list(list_file_path(settings, ListFile::kCommonNg), NgListKind::kWords, true).problems.empty());
    const ReplaceList replace = load_replace_list(list_file_path(settings, ListFile::kReplace1));
    EXPECT_TRUE(replace.problems.empty());
    ReplaceCounts counts;
    std::u16string text = u"ダンボール戦記" + std::u16string(20, u'ｗ');
    EXPECT_TRUE(replace.apply(text, counts));
    EXPECT_EQ(u8(text), u8(u"ダンボール戦機"));
    EXPECT_EQ(counts.regex_comments, (std::vector<int>{1, 1}));

    const NgList missing = load_ng_list(u"no-such-file.txt", NgListKind::kWords, false);
    ASSERT_EQ(missing.problems.size(), 1u);
    EXPECT_EQ(missing.problems[0].line, 0);
    EXPECT_EQ(load_replace_list(u"no-such-file.txt").problems.size(), 1u);
    set_app_home(previous);
}

TEST(ListsFiles, FuzzyRuleFileLoadsDefaultsBareLineFeedsAndReportsWhatItSkips) {
    test::TempFolder home;
    const std::u16string previous = app_home();
    set_app_home(from_utf8(home.path().string()));
    CSettings settings;
    const std::u16string path = list_file_path(settings, ListFile::kFuzzyRules);
    EXPECT_EQ(u8(path), home.path().string() + "/設定：曖昧一致のルール.txt");

    std::vector<ListProblem> problems;
    EXPECT_TRUE(load_fuzzy_rule_file(path, &problems).empty());
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_EQ(problems[0].line, 0);

    problems.clear();
    ASSERT_EQ(ensure_list_file(settings, ListFile::kFuzzyRules), 1);
    const std::vector<FuzzyRule> defaults = load_fuzzy_rule_file(path, &problems);
    EXPECT_TRUE(problems.empty()) << u8(problems.empty() ? u"" : problems[0].text);
    ASSERT_EQ(defaults.size(), 6u);
    EXPECT_EQ(u8(fuzzy_duplicate_text(u"聞 いて…", defaults)), u8(fuzzy_duplicate_text(u"キいて", {})));

    // An editor's UTF-8 with bare LF: leading blanks belong to the rule, broken lines are reported by number.
    test::write_bytes(path, "// c\n  [→]_\nno arrow\n[→]x\nab[→]\n");
    const std::vector<FuzzyRule> rules = load_fuzzy_rule_file(path, &problems);
    ASSERT_EQ(rules.size(), 2u);
    EXPECT_EQ(u8(rules[0].from), u8(fuzzy_folded(u"  ")));
    EXPECT_EQ(u8(rules[1].to), "");
    ASSERT_EQ(problems.size(), 2u);
    EXPECT_EQ(problems[0].line, 3);
    EXPECT_EQ(problems[1].line, 4);
    set_app_home(previous);
}

} // namespace
} // namespace quippet
