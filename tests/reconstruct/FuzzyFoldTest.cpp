#include "reconstruct/FuzzyFold.h"

#include <gtest/gtest.h>

#include "tests/support/TestText.h"

using quippet::fuzzy_folded;
using quippet::FuzzyFlags;
using quippet::test::u8;

TEST(FuzzyFold, FoldsWhatViewersWriteDifferently) {
    const struct {
        std::u16string_view in, out;
    } cases[] = {
        {u"ABCxyz", u"abcxyz"},
        {u"ＡＢＣｘｙｚ", u"abcxyz"},
        {u"０１９！＠［＼］｛｜｝", u"019!@[\\]{|}"},
        {u"~～‐―ーｰ-", u"-------"},
        {u"a\u3000b", u"a b"},
        {u"、。「」・", u"､｡｢｣･"},
        {u"ぁあゔん", u"ァアヴン"},
        {u"ｦｧｱｶﾝ", u"ヲァアカン"},
        // voiced and semi-voiced marks merge into one kana; where they cannot, they stay
        {u"ｳﾞｶﾞﾄﾞﾊﾞﾎﾟ", u"ヴガドバポ"},
        {u"ｱﾞﾅﾟﾟﾞ", u"ア\uFF9Eナ\uFF9F\uFF9F\uFF9E"},
        {u"ｶﾞ", u"ガ"},
        {u"￥100", u"¥100"},
        // what is not listed stays as it is: full-width space only becomes ASCII, kanji and ASCII symbols stay
        {u"漢字 ＿ｗｗｗ", u"漢字 _www"},
        {u"\U0001F600", u"\U0001F600"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(u8(fuzzy_folded(c.in)), u8(c.out)) << u8(c.in);
}

TEST(FuzzyFold, FlagsControlCharactersAndHangul) {
    const struct {
        std::u16string_view text;
        bool invalid, hangul;
    } cases[] = {
        {u"ok\t\r\n", false, false}, {std::u16string_view(u"a\0b", 3), true, false},
        {u"a\u0008", true, false},   {u"a\u000B", true, false},
        {u"a\u001F", true, false},   {u"\u1100", false, true},
        {u"한국", false, true},      {u"\uD7A4", false, false},
        {u"ｶﾞ\u000C한", true, true},
    };
    for (const auto& c : cases) {
        std::u16string text(c.text);
        const FuzzyFlags flags = quippet::fuzzy_fold(text);
        EXPECT_EQ(flags.invalid_char, c.invalid) << u8(c.text);
        EXPECT_EQ(flags.hangul, c.hangul) << u8(c.text);
    }
    // The flagged characters themselves are not changed.
    std::u16string text = u"한\u0001";
    quippet::fuzzy_fold(text);
    EXPECT_EQ(text, u"한\u0001");
}

TEST(FuzzyFold, KeepsCCharWLengthInStep) {
    CCharW text(u"ﾊﾟﾊﾟABC");
    quippet::fuzzy_fold(text);
    EXPECT_EQ(text.length(), 5);
    EXPECT_EQ(u8(text.view()), u8(u"パパabc"));
    CCharW copy;
    quippet::fuzzy_fold_copy(u"ﾊﾟ", copy);
    EXPECT_EQ(u8(copy.view()), u8(u"パ"));
}
