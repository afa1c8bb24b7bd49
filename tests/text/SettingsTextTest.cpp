#include "text/FileSP.h"

#include <gtest/gtest.h>

#include "tests/support/TestText.h"
#include "text/CharArray.h"
#include "tests/text/TempFolder.h"

using quippet::test::TempFolder;
using quippet::test::u8;
using quippet::test::write_bytes;

TEST(SettingsText, ReadsWhatTheProgramWritesAndWhatEditorsHereSave) {
    TempFolder folder;
    struct Case {
        const char* name;
        std::string bytes;
        std::u16string text;
    };
    const Case cases[] = {
        // As the program writes them: UTF-16LE with its mark.
        {"utf16", std::string("\xFF\xFE\x42\x30\r\0\n\0", 8), u"あ\r\n"},
        {"utf8-no-mark", "荒らし\r\nｗｗｗ\n", u"荒らし\r\nｗｗｗ\n"},
        {"utf8-mark",
         "\xEF\xBB\xBF"
         "NG語",
         u"NG語"},
        {"ascii", "big red", u"big red"},
        {"empty", "", u""},
        // Not UTF-8 and no mark: read as UTF-16 units as they are, as before.
        {"utf16-no-mark", std::string("\xA2\x30\xA4\x30", 4), u"アイ"},
    };
    for (const Case& c : cases) {
        const std::u16string path = folder / quippet::from_utf8(c.name);
        write_bytes(path, c.bytes);
        CCharW text;
        ASSERT_EQ(CFileSP().read_settings_text(path, text), 0) << c.name;
        EXPECT_EQ(text.view(), c.text) << c.name << ": " << u8(text.view());
    }
    CCharW missing;
    EXPECT_EQ(CFileSP().read_settings_text(folder / u"none.txt", missing), -1);
    EXPECT_EQ(missing.error(), 9);
}

TEST(SettingsText, ListsLoadFromUtf8FilesLineByLine) {
    TempFolder folder;
    const std::u16string path = folder / u"NGワード.txt";
    write_bytes(path, "// comment\n荒らし\n\nｗｗｗ\n");
    CCharArrayW list;
    ASSERT_EQ(list.load(path, true), 0);
    EXPECT_EQ(list.items(), (std::vector<std::u16string>{u"荒らし", u"ｗｗｗ"}));
}
