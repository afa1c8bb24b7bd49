#include "text/CharArray.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "tests/support/TestText.h"
#include "tests/text/TempFolder.h"
#include "text/AppHome.h"
#include "text/Collation.h"
#include "text/FileSP.h"

namespace quippet {
namespace {

using test::read_bytes;
using test::TempFolder;
using test::u8;
using test::write_bytes;

std::string wide_file(std::u16string_view text) {
    std::string out = "\xFF\xFE";
    for (const char16_t c : text) {
        out += static_cast<char>(c & 0xFF);
        out += static_cast<char>(c >> 8);
    }
    return out;
}

std::string joined(const CCharArrayW& list) {
    return u8(list.join(u"|"));
}

class CharArrayFilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        saved_home_ = app_home();
        set_app_home(from_utf8(home_.path().string()));
    }
    void TearDown() override { set_app_home(saved_home_); }

    TempFolder home_;
    std::u16string saved_home_;
};

TEST_F(CharArrayFilesTest, LoadSplitsLinesAndDropsWhatIsNotAnEntry) {
    write_bytes(home_ / u"ＮＧワード.txt", wide_file(u"//見出し\r\n草\r\n\r\nwww\r\n  \r\n//\r\n最後"));
    write_bytes(home_ / u"unix.txt", wide_file(u"a\nb\r\n\nc\n"));
    write_bytes(home_ / u"comments-only.txt", wide_file(u"//a\r\n\r\n//b\r\n"));
    write_bytes(home_ / u"bom-only.txt", wide_file(u""));
    write_bytes(home_ / u"names.lst", wide_file(u"x\r\n"));
    struct Case {
        std::u16string name;
        bool skip_comments;
        int max_chars;
        int result;
        std::string items;
    };
    const Case cases[] = {
        {u"ＮＧワード", true, -1, 0, "草|www|  |最後"}, // ".txt" added, taken from the home
        {u"ＮＧワード.txt", false, -1, 0, "//見出し|草|www|  |//|最後"},
        {home_ / u"ＮＧワード.txt", true, -1, 0, "草|www|  |最後"},
        {u"unix", false, -1, 0, "a|b|c"},
        {u"names.lst", false, -1, 0, "x"},
        // Only lines that lie wholly within the first max_chars units are taken.
        {u"ＮＧワード", false, 9, 0, "//見出し|草"},
        {u"ＮＧワード", false, 8, 0, "//見出し|草"},
        {u"ＮＧワード", false, 7, 0, "//見出し"},
        {u"ＮＧワード", false, 5, 0, "//見出し"},
        {u"ＮＧワード", false, 4, -2, ""},
        {u"ＮＧワード", false, 0, -2, ""},
        {u"comments-only", true, -1, -2, ""},
        {u"bom-only", false, -1, -2, ""},
        {u"missing", false, -1, -1, ""},
        {u"sub", false, -1, -1, ""},
    };
    std::filesystem::create_directory(to_fs_path(home_ / u"sub.txt"));
    for (const auto& c : cases) {
        CCharArrayW list;
        EXPECT_EQ(list.load(c.name, c.skip_comments, c.max_chars), c.result) << u8(c.name) << " " << c.max_chars;
        EXPECT_EQ(joined(list), c.items) << u8(c.name) << " " << c.max_chars;
    }
}

TEST_F(CharArrayFilesTest, LoadAddsToWhatTheListHolds) {
    write_bytes(home_ / u"a.txt", wide_file(u"b\r\n"));
    CCharArrayW list;
    list.add(u"a");
    EXPECT_EQ(list.load(u"a"), 0);
    EXPECT_EQ(joined(list), "a|b");
}

TEST_F(CharArrayFilesTest, SaveWritesRangesUnderThePolicy) {
    CCharArrayW list;
    for (const auto* item : {u"一", u"二", u"", u"四"})
        list.add(item);
    struct Case {
        int first;
        int end;
        std::u16string_view text;
    };
    const Case cases[] = {
        {0, -1, u"一\r\n二\r\n\r\n四\r\n"}, {1, 2, u"二\r\n"}, {2, 99, u"\r\n四\r\n"}, {-5, 1, u"一\r\n"}, {3, 1, u""},
    };
    for (const auto& c : cases) {
        ASSERT_EQ(list.save(u"履歴.txt", CFileSP::kOverwrite, c.first, c.end), 0);
        EXPECT_EQ(read_bytes(home_ / u"履歴.txt"), wide_file(c.text)) << c.first << ".." << c.end;
    }
    EXPECT_EQ(list.save(u"履歴.txt", CFileSP::kKeepExisting), -1);
    EXPECT_EQ(list.save(u"履歴.txt", CFileSP::kNumberedName), 0);
    EXPECT_EQ(read_bytes(home_ / u"履歴(1).txt"), wide_file(u"一\r\n二\r\n\r\n四\r\n"));

    CCharArrayW back;
    ASSERT_EQ(back.load(u"履歴(1)"), 0);
    EXPECT_EQ(joined(back), "一|二|四"); // the empty item does not come back
}

TEST(CollationTest, IgnoresCaseWidthAndKanaTypeOnly) {
    struct Case {
        std::u16string_view a;
        std::u16string_view b;
        int sign;
    };
    const Case cases[] = {
        {u"ｱ", u"ア", 0},
        {u"ア", u"あ", 0},
        {u"ｱ", u"あ", 0},
        {u"a", u"A", 0},
        {u"ＡＢＣ", u"abc", 0},
        {u"ｶﾞ", u"ガ", 0},
        {u"がっこう", u"ガッコウ", 0},
        {u"あ", u"い", -1},
        {u"か", u"が", -1},
        {u"e", u"é", -1},
        {u"b", u"a", 1},
        {u"", u"a", -1},
        {u"あ", u"亜", -1},
        {u"abc", u"abd", -1},
    };
    for (const auto& c : cases) {
        const int r = locale_compare(c.a, c.b);
        EXPECT_EQ((r > 0) - (r < 0), c.sign) << u8(c.a) << " / " << u8(c.b);
        const std::string ka = collation_key(c.a), kb = collation_key(c.b);
        EXPECT_EQ((ka > kb) - (ka < kb), c.sign) << u8(c.a) << " / " << u8(c.b);
    }
}

TEST(CollationTest, SortOrdersByTheCollation) {
    CCharArrayW list;
    for (const auto* item : {u"ぶ", u"B", u"ふ", u"a", u"イ", u"ｱ", u"1", u"", u"あ", u"c", u"ア"})
        list.add(item);
    list.sort();
    ASSERT_EQ(list.count(), 11);
    EXPECT_EQ(list.get(0), u"");
    EXPECT_EQ(list.get(1), u"1");
    EXPECT_EQ(joined(list).substr(3, 5), "a|B|c");
    for (int i = 1; i < list.count(); ++i)
        EXPECT_LE(locale_compare(list.get(i - 1), list.get(i)), 0) << i;
    const std::string tail = joined(list).substr(10);
    EXPECT_EQ(tail.substr(tail.size() - u8(u"イ|ふ|ぶ").size()), u8(u"イ|ふ|ぶ"));
    EXPECT_EQ(list.total_length(), 10);
}

TEST(CollationTest, ComparesFromManyThreadsAtOnce) {
    std::vector<std::thread> threads;
    std::vector<int> failures(4, 0);
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t, &failures] {
            for (int i = 0; i < 2000; ++i) {
                if (locale_compare(u"ｶﾀｶﾅ", u"かたかな") != 0) ++failures[static_cast<size_t>(t)];
                if (locale_compare(u"あ", u"い") >= 0) ++failures[static_cast<size_t>(t)];
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(failures, std::vector<int>(4, 0));
}

} // namespace
} // namespace quippet
