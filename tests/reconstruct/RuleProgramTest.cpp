#include "reconstruct/RuleProgram.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "reconstruct/FuzzyFold.h"
#include "resources/DefaultTextsCommands.h"
#include "tests/support/TestText.h"
#include "tests/text/TempFolder.h"

using quippet::RuleProgram;
using quippet::RuleRunOptions;
using quippet::test::u8;

namespace {

const quippet::CommandVocabulary& vocabulary() {
    static const quippet::CommandVocabulary v = quippet::read_vocabulary(quippet::default_command_vocabulary_text());
    return v;
}

struct Comment {
    std::u16string_view mail;
    std::u16string_view text = u"本文";
    std::u16string_view id = u"12345678";
    int vpos = 1000;
};

ChatEntry entry(const Comment& c) {
    ChatEntry e;
    e.mail.assign(c.mail);
    e.text.assign(c.text);
    e.user_id.assign(c.id);
    e.vpos = c.vpos;
    e.date = 1315466600;
    quippet::fuzzy_fold_copy(e.text.view(), e.work_text);
    return e;
}

RuleProgram compiled(std::u16string_view text, std::vector<std::u16string>* boxes = nullptr) {
    RuleProgram p;
    p.compile_text(text, [boxes](std::u16string_view message) {
        if (boxes) boxes->emplace_back(message);
    });
    return p;
}

std::string lines_of(const std::vector<std::u16string>& lines) {
    std::string out;
    for (const auto& l : lines)
        out += u8(l) + "\n";
    return out;
}

} // namespace

TEST(RuleParams, NumbersTimesDatesAndRates) {
    EXPECT_EQ(quippet::rule_number(u"20"), 20);
    EXPECT_EQ(quippet::rule_number(u"-7"), -7);
    EXPECT_EQ(quippet::rule_number(u""), -1);
    EXPECT_EQ(quippet::rule_number(u" 5"), -1);
    EXPECT_EQ(quippet::rule_number(u"5x"), -1);
    EXPECT_EQ(quippet::rule_number(u"99999999999"), -1);

    const struct {
        std::u16string_view text;
        int hundredths;
    } times[] = {
        {u"1分30秒50", 9050},
        {u"90秒", 9000},
        {u"250", 250},
        {u"2秒", 200},
        {u"1分", 6000},
        {u"x分5秒", 500},
        {u"-5秒", 0},
        {u"1分-30秒", 3000},
        {u"", 0},
        {u"1.5秒", 0},
        {u"99999999999分", 2147483647},
    };
    for (const auto& t : times)
        EXPECT_EQ(quippet::rule_time_position(t.text), t.hundredths) << u8(t.text);

    EXPECT_EQ(quippet::rule_date(u"1315466521"), 1315466521);
    EXPECT_EQ(quippet::rule_date(u"1969年12月31日"), 0);
    EXPECT_EQ(quippet::rule_date(u"2038年1月1日"), 0);
    EXPECT_EQ(quippet::rule_date(u"1970年1月1日8時59分"), 0);
    EXPECT_EQ(quippet::rule_date(u"garbage"), 0);
    std::tm t{};
    t.tm_year = 2011 - 1900;
    t.tm_mon = 8;
    t.tm_mday = 8;
    t.tm_hour = 16;
    t.tm_min = 22;
    t.tm_sec = 1;
    t.tm_isdst = -1;
    EXPECT_EQ(quippet::rule_date(u"2011年9月8日16時22分1秒"), static_cast<int>(std::mktime(&t)));
    t = {};
    t.tm_year = 2011 - 1900;
    t.tm_mon = 0;  // month 13 becomes 1
    t.tm_mday = 1; // day 40 becomes 1
    t.tm_isdst = -1;
    EXPECT_EQ(quippet::rule_date(u"2011年13月40日"), static_cast<int>(std::mktime(&t)));
    EXPECT_EQ(quippet::rule_date(u"2011年"), static_cast<int>(std::mktime(&t)));

    EXPECT_EQ(quippet::rule_rate(u"1.5"), 150);
    EXPECT_EQ(quippet::rule_rate(u"2"), 200);
    EXPECT_EQ(quippet::rule_rate(u"0.125"), 12);
    EXPECT_EQ(quippet::rule_rate(u"0"), 0);
    EXPECT_EQ(quippet::rule_rate(u"-0.5"), -50);
    EXPECT_EQ(quippet::rule_rate(u""), std::nullopt);
    EXPECT_EQ(quippet::rule_rate(u"1."), std::nullopt);
    EXPECT_EQ(quippet::rule_rate(u"x"), std::nullopt);
}

TEST(RuleIdShapes, RecogniseEachFamily) {
    using quippet::IdShape;
    const struct {
        std::u16string_view id;
        IdShape shape;
        bool expected;
    } cases[] = {
        {u"1234", IdShape::niconico, true},
        {u"123456789", IdShape::niconico, true},
        {u"123", IdShape::niconico, false},
        {u"1234567890", IdShape::niconico, false},
        {u"Ab-_Ab-_Ab-_Ab-_Ab-_Ab-_Ab-", IdShape::niconico, true},
        {u"Ab-_Ab-_Ab-_Ab-_Ab-_Ab-_Ab.", IdShape::niconico, false},
        {u"", IdShape::niconico, false},
        {u"Ab./Ab./Ab", IdShape::himawari, true},
        {u"Ab./Ab./A-", IdShape::himawari, false},
        {u"abcdefghij+/abcdefghij==", IdShape::saymove, true},
        {u"abcdefghij+/abcdefghij=x", IdShape::saymove, false},
        {u"abcdefghij-/abcdefghij==", IdShape::saymove, false},
        {u"abcdefgh-abcdefgh-abcdefgh-abcde", IdShape::parasute, true},
        {u"abcdefgh-abcdefgh-abcdefgh-abcd", IdShape::parasute, false},
        {u"ID:ab+/CD12", IdShape::jikkyo, true},
        {u"ID:ab+/CD1", IdShape::jikkyo, false},
        {u"id:ab+/CD12", IdShape::jikkyo, false},
        {u"No.123", IdShape::futaba, true},
        {u"No.", IdShape::futaba, false},
        {u"No.12a", IdShape::futaba, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(quippet::has_id_shape(c.id, c.shape), c.expected) << u8(c.id) << " " << static_cast<int>(c.shape);
}

TEST(RuleCompile, ReadsTheFileSyntax) {
    const RuleProgram p = compiled(u"<このコメントは排除する>\r\n"
                                   u"▼\r\n"
                                   u"// <含む>big\r\n"
                                   u"▼二つ目\r\n"
                                   u"<含むなら>big\r\n"
                                   u"<不明な命令>x\r\n"
                                   u"<閉じていない\r\n"
                                   u" <含む>indented\r\n"
                                   u"<本文を置換>矢印なし\r\n");
    EXPECT_EQ(p.operation_names(), (std::vector<std::u16string>{u"", u"二つ目"}));
    ASSERT_EQ(p.instructions().size(), 5u);
    EXPECT_EQ(p.instructions()[0].op, quippet::RuleOp::exclude);
    EXPECT_EQ(p.instructions()[1].op, quippet::RuleOp::header);
    EXPECT_EQ(p.instructions()[3].op, quippet::RuleOp::contains);
    EXPECT_EQ(p.instructions()[4].op, quippet::RuleOp::replace_text);
    EXPECT_EQ(p.problems().unknown_labels.items(), (std::vector<std::u16string>{u"不明な命令"}));
}

TEST(RuleCompile, DefaultTextsCompileCleanly) {
    std::vector<std::u16string> boxes;
    const RuleProgram commands = compiled(quippet::default_command_rules_text(), &boxes);
    EXPECT_EQ(commands.operation_names().size(), 14u);
    EXPECT_EQ(commands.operation_names()[4], u"サイズ：大文字で色付きの発言者は無視");
    EXPECT_TRUE(commands.problems().unknown_labels.empty());
    EXPECT_EQ(commands.regexes().size(), 2u);
    const RuleProgram priority = compiled(quippet::default_priority_rules_text(), &boxes);
    EXPECT_EQ(priority.operation_names().size(), 3u);
    EXPECT_TRUE(priority.problems().unknown_labels.empty());
    EXPECT_TRUE(boxes.empty());
    // The explanations are comment lines: nothing in them may be read as an instruction or an operation.
    for (const auto* text : {&quippet::default_command_rules_text(), &quippet::default_priority_rules_text()}) {
        EXPECT_TRUE(text->ends_with(u"\r\n"));
        size_t from = 0;
        for (size_t end = text->find(u"\r\n"); end != std::u16string::npos; end = text->find(u"\r\n", from)) {
            const std::u16string_view line = std::u16string_view(*text).substr(from, end - from);
            EXPECT_TRUE(line.empty() || line.starts_with(u"//") || line.starts_with(u"▼") || line.starts_with(u"<"))
                << u8(line);
            from = end + 2;
        }
    }
    EXPECT_NE(quippet::default_command_rules_text().find(u"\r\n\r\n// 「処理」には、次の指定が可能です。\r\n"),
              std::u16string::npos);
}

TEST(RuleCompile, FilesAreCreatedAndRead) {
    quippet::test::TempFolder folder;
    const std::u16string path = folder / u"rules/設定：コマンドの変換1";
    EXPECT_EQ(quippet::ensure_rule_file(path, false), 1);
    EXPECT_EQ(quippet::ensure_rule_file(path + u".txt", false), 0);
    RuleProgram p;
    EXPECT_EQ(p.compile_file(path, {}), 0);
    EXPECT_EQ(p.operation_names().size(), 14u);

    const std::u16string priority = folder / u"設定：優先条件.txt";
    EXPECT_EQ(quippet::ensure_rule_file(priority, true), 1);
    EXPECT_EQ(p.compile_file(priority, {}), 0);
    EXPECT_EQ(p.operation_names().size(), 3u);

    // A missing file is an empty program that still normalises mail.
    EXPECT_EQ(p.compile_file(folder / u"missing.txt", {}), -1);
    EXPECT_TRUE(p.instructions().empty());
    ChatEntry e = entry({u"BIG  Red"});
    EXPECT_FALSE(p.evaluate(e, vocabulary(), {}));
    EXPECT_EQ(u8(e.mail.view()), "big red");
}

TEST(RuleCompile, BadRegexIsShownAndDropsEveryRegexOfTheProgram) {
    std::vector<std::u16string> boxes;
    RuleProgram p = compiled(u"▼a\n<本文がこの正規表現を含む>ok\n<変更>[サイズ]大\n"
                             u"▼b\n<本文がこの正規表現を含まない>(broken\n<変更>[位置]上\n"
                             u"▼c\n<本文を正規表現で置換>ok[→]NG\n",
                             &boxes);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_TRUE(boxes[0].starts_with(u"正規表現の処理に失敗しました\r\n(broken\r\n")) << u8(boxes[0]);
    EXPECT_NE(u8(boxes[0]).find("missing closing parenthesis"), std::string::npos) << u8(boxes[0]);
    EXPECT_TRUE(p.regexes_discarded());
    EXPECT_TRUE(p.regexes().empty());
    ChatEntry e = entry({u"", u"ok"});
    EXPECT_FALSE(p.evaluate(e, vocabulary(), {}));
    EXPECT_EQ(u8(e.mail.view()), "ue");
    EXPECT_EQ(u8(e.text.view()), "ok");
}

TEST(RuleEvaluate, DefaultCommandFileOnAHandfulOfComments) {
    RuleProgram p = compiled(quippet::default_command_rules_text());
    const std::u16string w20(20, u'ｗ');
    const std::u16string w16(16, u'ｗ');
    const struct {
        Comment comment;
        bool excluded;
        std::string_view mail;
        std::u16string_view text;
    } cases[] = {
        {{u"big red", u"うぽつ", u"1234567"}, true, "big #FF0000", u"うぽつ"},
        {{u"184"}, false, "", u"本文"},
        {{u"184 device:3DS sage"}, false, "", u"本文"},
        {{u"medium naka white"}, false, "", u"本文"},
        {{u"ue"}, false, "small ue @1 1sec", u"本文"},
        {{u"red"}, false, "", u"本文"},
        {{u"black shita"}, false, "small shita #666666 @1 1sec", u"本文"},
        {{u"", u"これは百合だ"}, false, "#FFC0CB", u"これは百合だ"},
        {{u"", u"ﾕﾘ キマシ"}, false, "#FFC0CB", u"ﾕﾘ キマシ"},
        {{u"", w20}, false, "small", w16},
        {{u"", u"abcdefghijklmnopqrstu"}, false, "small", u"abcdefghijklmnopqrstu"},
        {{u"migi"}, true, "migi", u"本文"},
        {{u"pink", u"本文", u"Ab./Ab./Ab"}, false, "", u"本文"},
        {{u"pink shita", u"本文", u"Ab./Ab./Ab"}, false, "small shita #FFC0CB @1 1sec", u"本文"},
    };
    for (const auto& c : cases) {
        ChatEntry e = entry(c.comment);
        EXPECT_EQ(p.evaluate(e, vocabulary(), {}), c.excluded) << u8(c.comment.mail) << " " << u8(c.comment.text);
        EXPECT_EQ(u8(e.mail.view()), c.mail) << u8(c.comment.mail) << " " << u8(c.comment.text);
        EXPECT_EQ(u8(e.text.view()), u8(c.text)) << u8(c.comment.mail);
    }
    EXPECT_EQ(p.excluded_ids().items(), (std::vector<std::u16string>{u"1234567"}));
    const std::vector<int> hits = {2, 1, 2, 3, 1, 0, 1, 3, 2, 1, 2, 1, 1, 1};
    EXPECT_EQ(p.operation_hits(), hits);
    EXPECT_EQ(p.unknown_commands().items(), (std::vector<std::u16string>{u"device:3ds"}));

    // A priority comment is spared by the "left, right or coordinates" operation.
    ChatEntry priority = entry({u"migi"});
    priority.filterable = 0;
    EXPECT_FALSE(p.evaluate(priority, vocabulary(), {}));
}

TEST(RuleEvaluate, ConditionsAndTheirNegations) {
    const struct {
        std::u16string_view condition;
        Comment comment;
        bool holds;
    } cases[] = {
        {u"<本文がこの文字列を含む>ｗ", {u"", u"草W"}, true},
        {u"<本文がこの文字列を含む（区別あり）>ｗ", {u"", u"草W"}, false},
        {u"<本文がこの文字列を含まない>ｗ|x", {u"", u"草W"}, false},
        {u"<本文がこの文字列を含む>ａ｜ｂ", {u"", u"a"}, false},
        {u"<本文がこの文字列を含む>ａ｜ｂ", {u"", u"ａ｜ｂ"}, true},
        {u"<本文がこの文字列と完全に一致>本文|他", {u"", u"本文"}, true},
        {u"<本文がこの文字列と完全に一致しない>本", {u"", u"本文"}, true},
        {u"<本文がこの文字列と完全に一致>", {u"", u""}, false},
        {u"<本文がこの正規表現を含む>^本", {u"", u"本文"}, true},
        {u"<本文がこの正規表現を含まない>^本", {u"", u"本文"}, false},
        {u"<本文の字数がこれ以上>2", {u"", u"本文"}, true},
        {u"<本文の字数がこれ以下>1", {u"", u"本文"}, false},
        {u"<IDの字数がこれ以上>8", {u""}, true},
        {u"<IDがこの文字列に一致>x|12345678", {u""}, true},
        {u"<IDがこの文字列に一致しない>1234", {u""}, true},
        {u"<IDがこの文字列を含む>456", {u""}, true},
        {u"<IDがこの文字列を含まない>456", {u""}, false},
        {u"<スコアがこれ以上>abc", {u""}, true}, // bad number: -1
        {u"<表示するタイミングがこれより前>10秒", {u"", u"本文", u"1", 1000}, true},
        {u"<表示するタイミングがこれより後>10秒1", {u"", u"本文", u"1", 1000}, false},
        {u"<投稿日時がこれより後>1315466600", {u""}, true},
        {u"<投稿日時がこれより前>1315466599", {u""}, false},
        {u"<含む>[サイズ]大", {u"BIG"}, true},
        {u"<含まない>[サイズ]大", {u"BIG"}, false},
        {u"<IDがニコニコ動画っぽい>", {u""}, true},
        {u"<IDが実況ログっぽくない>", {u""}, true},
        {u"<優先コメント>", {u""}, false},
        {u"<IDが優先IDではない>", {u""}, true},
        {u"<匿名コメントではない>", {u""}, true},
        {u"<deletedがこの値>0", {u""}, true},
        {u"<premiumがこれ以下>-1", {u""}, false},
    };
    for (const auto& c : cases) {
        RuleProgram p = compiled(u"▼t\n" + std::u16string(c.condition) + u"\n<追加>hit\n");
        ChatEntry e = entry(c.comment);
        p.evaluate(e, vocabulary(), {});
        EXPECT_EQ(e.mail.view().ends_with(u"hit"), c.holds) << u8(c.condition);
    }
}

TEST(RuleEvaluate, ActionsChangeAndCount) {
    const struct {
        std::u16string_view actions;
        Comment comment;
        std::string_view mail;
        int vpos;
        int hits;
    } cases[] = {
        {u"<表示時間を長くする>5", {u"@7"}, "@9 9sec", 1000, 1},
        {u"<表示時間を短くする>20", {u"@7"}, "@0 0sec", 1000, 1},
        {u"<表示時間をこの値にする>12", {u""}, "@12 9sec", 1000, 1},
        {u"<表示時間を長くする>5", {u""}, "", 1000, 0},
        {u"<表示時間を短くする>5", {u""}, "", 1000, 0},
        {u"<表示するタイミングを早める>2秒", {u"", u"x", u"1", 150}, "", -50, 1},
        {u"<表示するタイミングを遅らせる>1分", {u""}, "", 7000, 1},
        {u"<表示するタイミングを早める（秒単位）>3", {u""}, "", 700, 1},
        {u"<表示するタイミングを遅らせる（分単位）>1", {u""}, "", 7000, 1},
        {u"<表示するタイミングをこの値で割る>0", {u""}, "", 1000, 0},
        {u"<表示するタイミングをこの値で割る>2", {u""}, "", 500, 1},
        {u"<表示するタイミングにこの値を掛ける>1.5", {u"", u"x", u"1", 333}, "", 499, 1},
        {u"<表示するタイミングにこの値を掛ける>abc", {u""}, "", 1000, 0},
        {u"<表示するタイミングを遅らせる（分単位）>999999999", {u""}, "", 2147483647, 1},
        {u"<追加>big\n<削除>big", {u""}, "", 1000, 1},
        {u"<追加>184", {u"184"}, "184", 1000, 0},
        {u"<変更>[サイズ]大\n<変更>[サイズ]大", {u"big"}, "big", 1000, 0},
        {u"<英語の色指定を16進数（標準設定）に置換する>", {u"red"}, "#FF0000", 1000, 1},
        {u"<本文を置換>x[→]y", {u"", u"abc"}, "", 1000, 0},
        {u"<本文を置換>[→]y", {u"", u"abc"}, "", 1000, 0},
        {u"<本文を正規表現で置換>z[→]y", {u"", u"abc"}, "", 1000, 0},
        {u"<これ以上操作しない>\n<追加>big", {u""}, "", 1000, 0},
        {u"<このコメントは優先コメントとしてあつかわない>", {u""}, "", 1000, 0},
    };
    for (const auto& c : cases) {
        RuleProgram p = compiled(u"▼t\n" + std::u16string(c.actions) + u"\n▼later\n<追加>later\n");
        ChatEntry e = entry(c.comment);
        p.evaluate(e, vocabulary(), {});
        std::string mail = u8(e.mail.view());
        const bool later_ran = mail.ends_with("later");
        if (later_ran) mail = mail.substr(0, mail.size() - 5);
        if (mail.ends_with(" ")) mail.pop_back();
        EXPECT_EQ(mail, c.mail) << u8(c.actions);
        EXPECT_EQ(later_ran, !c.actions.starts_with(u"<これ以上")) << u8(c.actions);
        EXPECT_EQ(e.vpos, c.vpos) << u8(c.actions);
        EXPECT_EQ(p.operation_hits()[0], c.hits) << u8(c.actions);
    }
}

TEST(RuleEvaluate, BodyReplacementsRefoldTheCopy) {
    RuleProgram p = compiled(u"▼a\n<本文を置換>ab[→]ＡＢ\n<本文を正規表現で置換>(\\d+)[→]<$1>\n"
                             u"▼b\n<本文がこの文字列を含む>ab<1>\n<追加>found\n");
    ChatEntry e = entry({u"", u"xab1ab"});
    p.evaluate(e, vocabulary(), {});
    EXPECT_EQ(u8(e.text.view()), u8(u"xＡＢ<1>ＡＢ"));
    EXPECT_EQ(u8(e.work_text.view()), "xab<1>ab");
    EXPECT_EQ(u8(e.mail.view()), "found");
    EXPECT_EQ(p.operation_hits()[0], 1);
}

TEST(RuleEvaluate, ExclusionPriorityAndNegativeTimes) {
    RuleProgram p = compiled(u"▼a\n<このコメントは排除する>\n<追加>same-operation\n▼b\n<追加>later\n");
    ChatEntry e = entry({u""});
    EXPECT_TRUE(p.evaluate(e, vocabulary(), {}));
    EXPECT_EQ(u8(e.mail.view()), "same-operation");

    RuleProgram shift = compiled(u"▼a\n<表示するタイミングを早める>2秒\n");
    ChatEntry early = entry({u"", u"x", u"1", 150});
    RuleRunOptions options;
    EXPECT_FALSE(shift.evaluate(early, vocabulary(), options));
    EXPECT_EQ(early.vpos, -50);
    early = entry({u"", u"x", u"1", 150});
    options.remove_negative_vpos = true;
    EXPECT_TRUE(shift.evaluate(early, vocabulary(), options));
    EXPECT_EQ(shift.operation_hits()[0], 2);

    RuleProgram priority = compiled(u"▼a\n<このコメントは優先コメントとしてあつかう>\n"
                                    u"▼b\n<優先コメント>\n<このコメントは優先コメントとしてあつかう>\n");
    ChatEntry c = entry({u""});
    priority.evaluate(c, vocabulary(), {});
    EXPECT_EQ(c.filterable, 0);
    EXPECT_EQ(priority.operation_hits(), (std::vector<int>{1, 0}));
}

TEST(RuleEvaluate, HitListsCollectWhenListsAreSaved) {
    RuleProgram p = compiled(u"▼排除して保存\n<含む>big\n<このコメントは排除する>\n"
                             u"<ここに至ったコメントの一覧をファイルに保存する>\n"
                             u"▼処理した分\n<削除>[既知の不要なコマンド]\n"
                             u"<この操作で処理をした一覧をファイルに保存する>\n");
    ASSERT_EQ(p.hit_lists().size(), 2u);
    RuleRunOptions options;
    ChatEntry big = entry({u"BIG 184"});
    ChatEntry plain = entry({u"red"});
    ChatEntry anonymous = entry({u"184 ｒｅｄ"});
    p.evaluate(big, vocabulary(), options); // lists are not saved: nothing collected
    EXPECT_EQ(p.hit_lists()[0].comments.count(), 0);
    options.save_lists = true;
    big = entry({u"BIG 184"});
    EXPECT_TRUE(p.evaluate(big, vocabulary(), options, 3));
    p.evaluate(plain, vocabulary(), options);
    p.evaluate(anonymous, vocabulary(), options);
    ASSERT_EQ(p.hit_lists()[0].comments.count(), 1);
    EXPECT_EQ(u8(p.hit_lists()[0].comments.mail(0)), "big 184"); // written back before it was listed
    EXPECT_EQ(p.hit_lists()[0].comments.source(0), 3);
    ASSERT_EQ(p.hit_lists()[1].comments.count(), 1);
    EXPECT_EQ(u8(p.hit_lists()[1].comments.mail(0)), "red");
    EXPECT_EQ(u8(p.hit_list_file_name(0)), u8(u"[コマンド 排除して保存 による出力].xml"));
    EXPECT_EQ(u8(p.hit_list_file_name(1)), u8(u"[コマンド 処理した分 による出力].xml"));
}

TEST(RuleReport, LinesInTheirOrder) {
    RuleProgram p = compiled(u"▼サイズ\n<含む>[サイズ]巨大\n<変更>[位置]右\n<削除>[謎]\n<追加>big\n"
                             u"<謎の命令なら>\n▼無関係\n<含む>nothing\n<追加>x\n");
    ChatEntry a = entry({u"big qqq"});
    ChatEntry b = entry({u"[サイズ]巨大 zzz"});
    p.evaluate(a, vocabulary(), {});
    p.evaluate(b, vocabulary(), {});
    EXPECT_EQ(lines_of(p.report_lines(u"前変換：")),
              u8(u"前変換：サイズ：1件\n"
                 u"前変換：<謎の命令>は無効な命令です\n"
                 u"前変換：<変換>[位置]右は無効な命令です\n"
                 u"前変換：<削除>[謎]のパラメータは任意の文字列と解釈\n"
                 u"前変換：<含む(まない)>[サイズ]巨大のパラメータは任意の文字列と解釈\n"));
    RuleProgram other = compiled(u"");
    ChatEntry c = entry({u"zzz www"});
    other.evaluate(c, vocabulary(), {});
    const RuleProgram* programs[] = {&p, nullptr, &other};
    EXPECT_EQ(u8(quippet::unknown_commands_line(programs)),
              u8(u"未知のコマンド：「qqq」「[サイズ]巨大」「zzz」「www」"));
    const RuleProgram* none[] = {&p};
    EXPECT_EQ(quippet::unknown_commands_line(std::span<const RuleProgram* const>(none, 0)), u"");
}

TEST(RuleReport, RegexGiveUpsAreReported) {
    RuleProgram p = compiled(u"▼slow\n<本文がこの正規表現を含む>(a+)+$\n<追加>never\n");
    ChatEntry e = entry({u"", std::u16string(10000, u'a') + u"!"});
    p.evaluate(e, vocabulary(), {});
    EXPECT_EQ(u8(e.mail.view()), "");
    EXPECT_EQ(p.regex_give_ups(), 1);
    EXPECT_EQ(lines_of(p.report_lines(u"後変換：")),
              u8(u"後変換：正規表現の照合が長すぎるため打ち切り（一致なしと判定）：1件\n"));
}

TEST(RuleEvaluate, RepeatedMailsStayIndependent) {
    RuleProgram p = compiled(u"▼a\n<本文がこの文字列を含む>x\n<追加>big\n");
    ChatEntry first = entry({u"red qqq", u"x"});
    ChatEntry second = entry({u"red qqq", u"y"});
    p.evaluate(first, vocabulary(), {});
    p.evaluate(second, vocabulary(), {});
    EXPECT_EQ(u8(first.mail.view()), "big red qqq");
    EXPECT_EQ(u8(second.mail.view()), "red qqq");
    EXPECT_EQ(p.unknown_commands().count(), 1);

    // Another vocabulary reads the same mail afresh.
    const quippet::CommandVocabulary sizes = quippet::read_vocabulary(u"[サイズ]\nqqq\n");
    ChatEntry third = entry({u"red qqq", u"y"});
    p.evaluate(third, sizes, {});
    EXPECT_EQ(u8(third.mail.view()), "qqq red");
}
