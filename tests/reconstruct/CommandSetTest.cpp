#include "reconstruct/CommandSet.h"

#include <gtest/gtest.h>

#include <string>

#include "resources/DefaultTextsCommands.h"
#include "tests/support/TestText.h"
#include "tests/text/TempFolder.h"
#include "text/FileSP.h"

using quippet::CommandSet;
using quippet::CommandVocabulary;
using quippet::UniqueTexts;
using quippet::test::u8;

namespace {

const CommandVocabulary& defaults() {
    static const CommandVocabulary v = quippet::read_vocabulary(quippet::default_command_vocabulary_text());
    return v;
}

std::string joined(const UniqueTexts& list) {
    std::string out;
    for (const auto& item : list.items())
        out += u8(item) + ";";
    return out;
}

/// Parse and write back with the default vocabulary.
std::string normalised(std::u16string_view mail, UniqueTexts* unknown = nullptr) {
    return u8(quippet::write_mail(quippet::parse_mail(mail, defaults(), unknown)));
}

} // namespace

TEST(CommandVocabulary, DefaultTextReadsIntoItsLists) {
    const CommandVocabulary& v = defaults();
    EXPECT_EQ(v.size_list, (std::vector<std::u16string>{u"medium", u"big", u"small"}));
    EXPECT_EQ(v.vertical_list, (std::vector<std::u16string>{u"naka", u"ue", u"shita"}));
    EXPECT_EQ(v.horizontal_list, (std::vector<std::u16string>{u"chu", u"hidari", u"migi"}));
    ASSERT_EQ(v.color_names.size(), 27u);
    ASSERT_EQ(v.color_codes.size(), 27u);
    EXPECT_EQ(v.color_names[0], u"white");
    EXPECT_EQ(v.color_codes[0], u"#ffffff");
    EXPECT_EQ(v.color_names[26], u"black2");
    EXPECT_EQ(v.color_codes[26], u"#666666");
    EXPECT_EQ(v.hima_color_names, (std::vector<std::u16string>{u"pink", u"orange", u"green", u"purple"}));
    EXPECT_EQ(v.hima_color_codes[0], u"#ffc0cb");
    EXPECT_EQ(v.replace_from.size(), 8u);
    EXPECT_EQ(v.replace_to[1], u"shita");
    EXPECT_TRUE(v.needed_list.empty());
    EXPECT_EQ(v.unneeded_list.size(), 12u);
    EXPECT_EQ(v.unneeded_list.back(), u"iphone");

    const std::u16string& text = quippet::default_command_vocabulary_text();
    EXPECT_TRUE(text.starts_with(u"[サイズ]\r\nmedium\r\n"));
    EXPECT_TRUE(text.ends_with(u"preview\r\niphone\r\n"));
    EXPECT_NE(text.find(u"[既知の必要なコマンド]\r\n\r\n[既知の不要なコマンド]"), std::u16string::npos);
    EXPECT_EQ(text.find(u"\n\n"), std::u16string::npos); // CR LF everywhere
}

TEST(CommandVocabulary, ReadingFoldsLinesAndSkipsWhatItCannotUse) {
    const CommandVocabulary v = quippet::read_vocabulary(u"before header\n"
                                                         u"[サイズ]\r\n"
                                                         u"ＭＥＤＩＵＭ\r\n"
                                                         u"// comment\r\n"
                                                         u"\r\n"
                                                         u"[色]\r\n"
                                                         u"#FFFFFF\tWhite\r\n"
                                                         u"no tab here\r\n"
                                                         u"[表示時間]\r\n"
                                                         u"※@数字\r\n"
                                                         u"[置換して読み込むコマンド]\r\n"
                                                         u"ｔｏｐ\tue\textra\r\n");
    EXPECT_EQ(v.size_list, (std::vector<std::u16string>{u"medium"}));
    EXPECT_EQ(v.color_codes, (std::vector<std::u16string>{u"#ffffff"}));
    EXPECT_EQ(v.color_names, (std::vector<std::u16string>{u"white"}));
    EXPECT_EQ(v.replace_from, (std::vector<std::u16string>{u"top"}));
    EXPECT_EQ(v.replace_to, (std::vector<std::u16string>{u"ue\textra"}));
    EXPECT_TRUE(v.needed_list.empty());
}

TEST(CommandVocabulary, FileIsCreatedOnceWithItsDefaultText) {
    quippet::test::TempFolder folder;
    const std::u16string path = folder / u"sub/設定：コマンドの基本.txt";
    EXPECT_EQ(quippet::ensure_vocabulary_file(path), 1);
    CCharW text;
    ASSERT_EQ(CFileSP().read_wide_text(path, text), 0);
    EXPECT_EQ(text.view(), quippet::default_command_vocabulary_text());
    EXPECT_EQ(quippet::test::read_bytes(path).substr(0, 2), "\xFF\xFE");
    EXPECT_EQ(quippet::load_vocabulary(path).color_names.size(), 27u);

    CFileSP().write_wide_text(path, u"[サイズ]\r\nbig\r\n", CFileSP::kOverwrite);
    EXPECT_EQ(quippet::ensure_vocabulary_file(path), 0);
    EXPECT_EQ(quippet::load_vocabulary(path).size_list, (std::vector<std::u16string>{u"big"}));
    // Missing files read as an empty vocabulary.
    EXPECT_TRUE(quippet::load_vocabulary(folder / u"none.txt").size_list.empty());
}

TEST(CommandFold, FoldsOnlyLettersDigitsAndTwoSigns) {
    EXPECT_EQ(quippet::command_folded(u"BIG Ｒｅｄ ＃ＦＦ００００ ＠５ ０９ ｗｗ！（"),
              u"big red #ff0000 @5 09 ww！（");
}

TEST(CommandMail, ParsesAndWritesBack) {
    const struct {
        std::u16string_view mail;
        std::string_view written;
        std::string_view unknown;
    } cases[] = {
        {u"BIG  Red", "big red", ""},
        {u"shtia", "shita", ""},
        {u"bottom left", "shita hidari", ""},
        {u"#00ff00", "#00FF00", ""},
        {u"@3", "@3 3sec", ""},
        {u"@12", "@12 9sec", ""},
        {u"@10", "@10 10sec", ""},
        {u"@3 3sec", "@3 3sec", ""},
        {u"5sec @3", "@5 5sec", ""},
        {u"12sec", "@2 2sec 1", "1;"},
        // What "@10" is written as reads back as the same command, in either order.
        {u"@10 10sec", "@10 10sec", ""},
        {u"10sec ＠１０", "@10 10sec", ""},
        {u"10sec", "@0 0sec 1", "1;"},
        {u"@9 10sec", "@9 9sec 1", "1;"},
        {u"(10,-5.5)", "(10,-5.5)", ""},
        {u"(+1.25,2)", "(+1.25,2)", ""},
        {u"(1,2", "(1,2", "(1,2;"},
        {u"bigred", "big red", ""},
        {u"ueshita", "ue", ""},
        {u"big small ue shita red blue", "big ue red", ""},
        {u"184 sage 184", "184 sage", ""},
        {u"ue red big @4", "big ue red @4 4sec", ""},
        {u"@5 ender", "@5 5sec ender", "ender;"},
        {u"184 device:3DS", "184 device:3ds", "device:3ds;"},
        {u"blueue", "ue blue", ""},
        {u"bigtop", "big ue", ""},
        {u"184big#FF00ffx", "big #FF00FF 184 x", "x;"},
        {u"@99999999999", "@99999999999", "@99999999999;"},
        {u"", "", ""},
        {u"   ", "", ""},
    };
    for (const auto& c : cases) {
        UniqueTexts unknown;
        EXPECT_EQ(normalised(c.mail, &unknown), c.written) << u8(c.mail);
        EXPECT_EQ(joined(unknown), c.unknown) << u8(c.mail);
    }
}

TEST(CommandMail, SlotsHoldTheirParts) {
    const CommandSet s = quippet::parse_mail(u"(10,-5.5) @7 ｓｍａｌｌ", defaults(), nullptr);
    EXPECT_EQ(s.size, u"small");
    EXPECT_EQ(s.duration, 7);
    EXPECT_EQ(s.coord_x, u"10");
    EXPECT_EQ(s.coord_y, u"-5.5");
    CommandSet negative;
    negative.duration = -5;
    EXPECT_EQ(quippet::write_mail(negative), u"@0 0sec");
}

TEST(CommandMail, SurvivesHostileVocabulariesAndMails) {
    // Empty entries must not be "found" inside every token.
    const CommandVocabulary odd =
        quippet::read_vocabulary(u"[色]\n\t\n[置換して読み込むコマンド]\nzap\t\n\tx\n[サイズ]\n \n");
    UniqueTexts unknown;
    EXPECT_EQ(u8(quippet::write_mail(quippet::parse_mail(u"zap abc", odd, &unknown))), "abc");
    EXPECT_EQ(joined(unknown), "abc;");

    // A huge mail of distinct tokens and one long run-together token stay fast and lose nothing.
    std::u16string mail;
    for (int i = 0; i < 50000; ++i) {
        // Letters that spell no known command, whatever their order.
        for (int n = i; n > 0; n /= 5)
            mail += u"xzqjk"[n % 5];
        mail += u"x ";
    }
    for (int i = 0; i < 20000; ++i)
        mail += u"big";
    UniqueTexts many;
    const CommandSet s = quippet::parse_mail(mail, defaults(), &many);
    EXPECT_EQ(s.others.size(), 50001u);
    EXPECT_EQ(many.count(), 50001);
}

TEST(CommandContains, CategoriesAndWords) {
    const struct {
        std::u16string_view mail;
        std::u16string_view param;
        bool expected;
    } cases[] = {
        {u"medium naka white", u"[サイズ]", false},
        {u"medium naka white", u"[色]", false},
        {u"medium naka white", u"[位置]", false},
        {u"medium naka white", u"[デフォ指定]", true},
        {u"medium naka white", u"[デフォ位置]", true},
        {u"#FFFFFF", u"[色]", false},
        {u"#ffffff", u"[デフォ指定]", true},
        {u"big", u"[サイズ]", true},
        {u"big", u"[サイズ]大", true},
        {u"big", u"[サイズ]小", false},
        {u"shita", u"[縦位置]下", true},
        {u"shita", u"[位置]下", true},
        {u"ue", u"[水平位置]", false},
        {u"ue", u"[垂直位置]", true},
        {u"(1,2)", u"[水平位置]", true},
        {u"(1,2)", u"[位置全般]", true},
        {u"migi", u"[横位置]右", true},
        {u"hidari", u"[横位置]", true},
        {u"chu", u"[横位置]", false},
        {u"@3", u"[表示時間]", true},
        {u"", u"[表示時間]", false},
        {u"(1,2)", u"[座標]", true},
        {u"184 sage", u"[既知の不要なコマンド]", true},
        {u"184 sage", u"[未知のコマンド]", false},
        {u"184 ender", u"[未知のコマンド]", true},
        {u"184", u"[既知の必要なコマンド]", false},
        {u"red", u"[色]赤", true},
        {u"#ff0000", u"[色]赤", true},
        {u"#FF0000", u"[色]ピンク", false},
        {u"truered", u"[色]プレミアム赤", true},
        {u"#cc0033", u"[色]プレミアム赤", true},
        {u"pink", u"[色]ひまたんピンク", false},
        {u"#ffc0cb", u"[色]ひまたんピンク", true},
        {u"#ffffff", u"[色]ひまたん白", false},
        {u"big red", u"BIG|blue", true},
        {u"big red", u"blue|green", false},
        {u"@5", u"5sec", true},
        {u"@5", u"@5", true},
        {u"@5", u"@05", false},
        {u"(1,2)", u"(1,2)", true},
        {u"184", u"184|", true},
        {u"", u"|", false},
        {u"big", u"[サイズ]巨大", false},
        {u"[サイズ]巨大", u"[サイズ]巨大", true},
    };
    for (const auto& c : cases) {
        const CommandSet s = quippet::parse_mail(c.mail, defaults(), nullptr);
        EXPECT_EQ(quippet::contains(s, defaults(), c.param, nullptr), c.expected)
            << "mail " << u8(c.mail) << " param " << u8(c.param);
    }
}

TEST(CommandContains, UnknownBracketsAreReportedOnce) {
    quippet::RuleProblems problems;
    const CommandSet s = quippet::parse_mail(u"big", defaults(), nullptr);
    quippet::contains(s, defaults(), u"[サイズ]巨大", &problems);
    quippet::contains(s, defaults(), u"[サイズ]巨大", &problems);
    quippet::contains(s, defaults(), u"[すべてのコマンド]", &problems);
    quippet::contains(s, defaults(), u"[色]金", &problems);
    quippet::contains(s, defaults(), u"big", &problems);
    EXPECT_EQ(joined(problems.bad_contains), u8(u"[サイズ]巨大;[すべてのコマンド];[色]金;"));
}

TEST(CommandContains, WithoutVocabularyNothingIsDefault) {
    const CommandVocabulary none;
    const CommandSet s = quippet::parse_mail(u"medium white 184", none, nullptr);
    EXPECT_TRUE(quippet::contains(s, none, u"[未知のコマンド]", nullptr));
    EXPECT_FALSE(quippet::contains(s, none, u"[既知の不要なコマンド]", nullptr));
    EXPECT_FALSE(quippet::contains(s, none, u"[デフォ指定]", nullptr));
    EXPECT_FALSE(quippet::contains(s, none, u"[色]白", nullptr)); // white is not a colour here: it is in others
    EXPECT_EQ(quippet::write_mail(s), u"medium white 184");
}

TEST(CommandEdit, RemoveAddChange) {
    enum Op { kRemove, kAdd, kChange };
    const struct {
        Op op;
        std::u16string_view mail;
        std::u16string_view param;
        std::string_view written;
        bool changed;
    } cases[] = {
        {kRemove, u"184 sage big", u"[既知の不要なコマンド]", "big", true},
        {kRemove, u"184 ender", u"[未知のコマンド]", "184", true},
        {kRemove, u"big red", u"[サイズ]", "red", true},
        {kRemove, u"red", u"[サイズ]", "red", false},
        {kRemove, u"small", u"[サイズ]大", "small", false},
        {kRemove, u"big", u"[サイズ]大", "", true},
        {kRemove, u"medium naka chu white", u"[デフォ指定]", "", true},
        {kRemove, u"naka migi", u"[デフォ位置]", "migi", true},
        {kRemove, u"ue migi (1,2) red", u"[位置全般]", "red", true},
        {kRemove, u"ue migi (1,2)", u"[水平位置]", "ue", true},
        {kRemove, u"ue migi (1,2)", u"[垂直位置]", "migi", true},
        {kRemove, u"red @5", u"[表示時間]", "red", true},
        {kRemove, u"#ff0000", u"[色]赤", "", true},
        {kRemove, u"#ff0000", u"[色]青", "#FF0000", false},
        {kRemove, u"big red @5 (1,2) 184", u"[すべてのコマンド]", "", true},
        {kRemove, u"big red @5 (1,2) 184", u"RED|5sec|(1,2)|184", "big", true},
        {kRemove, u"big @5", u"@5", "big", true},
        {kRemove, u"big", u"[既知の必要なコマンド]", "big", false},
        {kAdd, u"big", u"small", "small", true},
        {kAdd, u"big", u"big", "big", false},
        {kAdd, u"", u"ue|red|@3|(1,2)|184|xyz", "ue red @3 3sec (1,2) 184 xyz", true},
        {kAdd, u"184", u"184", "184", false},
        {kAdd, u"", u"top", "top", true},
        {kChange, u"big", u"[サイズ]小", "small", true},
        {kChange, u"small", u"[サイズ]小", "small", false},
        {kChange, u"", u"[位置]上", "ue", true},
        {kChange, u"ue", u"[縦位置]下", "shita", true},
        {kChange, u"", u"[横位置]左", "hidari", true},
        {kChange, u"big", u"[サイズ]デフォ", "", true},
        {kChange, u"medium", u"[サイズ]デフォ", "medium", false},
        {kChange, u"white", u"[色]デフォ", "white", false},
        {kChange, u"red", u"[色]デフォ", "", true},
        {kChange, u"black", u"[色]プレミアム黒", "#666666", true},
        {kChange, u"red", u"[色]プレミアム白", "#CCCC99", true},
        {kChange, u"red", u"[色]プレミアム青", "#3399FF", true},
        {kChange, u"red", u"[色]ひまたんピンク", "#FFC0CB", true},
        {kChange, u"red", u"[色]ひまたん白", "red", false},
        {kChange, u"red", u"[位置]右", "red", false},
    };
    for (const auto& c : cases) {
        CommandSet s = quippet::parse_mail(c.mail, defaults(), nullptr);
        quippet::RuleProblems problems;
        bool changed = false;
        switch (c.op) {
        case kRemove:
            changed = quippet::remove(s, defaults(), c.param, &problems);
            break;
        case kAdd:
            changed = quippet::add(s, defaults(), c.param);
            break;
        case kChange:
            changed = quippet::change(s, defaults(), c.param, &problems);
            break;
        }
        EXPECT_EQ(u8(quippet::write_mail(s)), c.written) << u8(c.mail) << " / " << u8(c.param);
        EXPECT_EQ(changed, c.changed) << u8(c.mail) << " / " << u8(c.param);
    }
}

TEST(CommandEdit, ProblemListsOfRemoveAndChange) {
    quippet::RuleProblems problems;
    CommandSet s = quippet::parse_mail(u"big [x]", defaults(), nullptr);
    EXPECT_TRUE(quippet::remove(s, defaults(), u"[x]", &problems));
    quippet::remove(s, defaults(), u"[既知の必要なコマンド]", &problems);
    quippet::change(s, defaults(), u"[位置]右", &problems);
    quippet::change(s, defaults(), u"big", &problems);
    EXPECT_EQ(joined(problems.bad_remove), u8(u"[x];[既知の必要なコマンド];"));
    EXPECT_EQ(joined(problems.bad_change), u8(u"[位置]右;big;"));
}

TEST(CommandEdit, NamesToCodes) {
    const struct {
        std::u16string_view mail;
        bool himaplayer;
        std::string_view written;
        bool changed;
    } cases[] = {
        {u"red", false, "#FF0000", true},           {u"pink", false, "#FF8080", true},
        {u"pink", true, "#FFC0CB", true},           {u"red", true, "#FF0000", true},
        {u"#ff0000", false, "#FF0000", false},      {u"big", false, "big", false},
        {u"niconicowhite", false, "#CCCC99", true},
    };
    for (const auto& c : cases) {
        CommandSet s = quippet::parse_mail(c.mail, defaults(), nullptr);
        EXPECT_EQ(quippet::names_to_codes(s, defaults(), c.himaplayer), c.changed) << u8(c.mail);
        EXPECT_EQ(u8(quippet::write_mail(s)), c.written) << u8(c.mail);
    }
}
