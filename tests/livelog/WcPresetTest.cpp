#include "livelog/WcPreset.h"

#include "app/SettingKeys.h"
#include "app/Settings.h"
#include "livelog/LiveLogSettingKeys.h"
#include "tests/support/TestText.h"
#include "text/Encoding.h"
#include "text/FileSP.h"
#include "tests/text/TempFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace quippet {
namespace {

using test::read_bytes;
using test::TempFolder;
using test::u8;
using test::write_bytes;

/// Every stored field set away from its default.
CSettings filled() {
    CSettings s;
    for (int r = 1; r <= 7; ++r)
        s.set_number(wc_row_enabled(r), r % 2);
    s.set_number(WcNumber::kYear, 2024);
    s.set_number(WcNumber::kMonth, 4);
    s.set_number(WcNumber::kDay, 7);
    for (int r = 0; r < 9; ++r) {
        for (int f = 0; f < 3; ++f) {
            s.set_number(wc_video_time(r, f), r + f + 1);
            if (r < 8) s.set_number(wc_clock_time(r, f), 20 + r + f);
        }
        if (r >= 1 && r <= 7) s.set_number(wc_aid(r), -r * 10);
    }
    s.set_number(WcSwitch::kOverwrite, 1);
    s.set_number(WcSwitch::kPlace, 0);
    s.set_text(WcText::kPlaceFolder, u"/tmp/出力");
    s.set_number(WcSwitch::kReconstruct, 1);
    s.set_text(kWcPresetName, u"アニメ用");
    s.set_number(kWcBoard, 1);
    s.set_number(WcNumber::kSearchYear, 2024);
    s.set_number(WcNumber::kSearchMonth, 4);
    s.set_number(WcNumber::kSearchDay, 8);
    s.set_number(WcNumber::kSearchHour, 22);
    s.set_number(WcNumber::kSearchMinute, 30);
    s.set_number(WcNumber::kHoursBack, 9);
    s.set_number(WcNumber::kMinPosts, 200);
    s.set_number(WcNumber::kHoursForward, 2);
    s.set_text(WcText::kTitleWords, u"実況|アニメ");
    s.set_number(WcSwitch::kAutoDate, 1);
    s.set_number(WcSwitch::kManualDate, 0);
    s.set_number(WcNumber::kMaxLines, 3);
    s.set_number(WcNumber::kMaxChars, 60);
    s.set_number(WcSwitch::kReplace, 1);
    s.set_number(WcSwitch::kThin, 1);
    s.set_number(WcNumber::kThinLimit, 120000);
    return s;
}

const std::vector<std::u16string> kBoards = {u"テレビ東京", u"テレビ朝日"};

TEST(WcPreset, RoundTripKeepsEveryStoredField) {
    TempFolder folder;
    const CSettings stored = filled();
    ASSERT_EQ(WcPreset::write(stored, folder / u"list", u"土曜", nullptr, kBoards), 0);
    const std::string bytes = read_bytes(folder / u"list/土曜.txt");
    EXPECT_TRUE(bytes.starts_with("\xFF\xFE")); // a wide text file
    EXPECT_EQ(WcPreset::list(folder / u"list"), (std::vector<std::u16string>{u"土曜"}));

    CSettings restored;
    restored.set_number(WcSwitch::kManualAddress, 1);
    restored.set_number(WcSwitch::kSendToBrowser, 1);
    ASSERT_EQ(WcPreset::read(folder / u"list", u"土曜", restored, nullptr, kBoards), 0);
    CSettings expected = stored;
    // Not part of a preset: they keep the state they had.
    expected.set_number(WcSwitch::kManualAddress, 1);
    expected.set_number(WcSwitch::kSendToBrowser, 1);
    EXPECT_TRUE(restored == expected) << u8(WcPreset::compose(restored, kBoards));
}

TEST(WcPreset, LinesInAnyOrderAndTheOldOverwriteState) {
    CSettings s;
    const int recognised = WcPreset::apply(u"その他\t×\t9\t99\t○\t×\t500\r\n未知\t1\r\n指定\t○\r\n日付\t2012\t1\t2\r\n"
                                           u"｜予告\t1\t2\t3\t4\t5\t6\t-7\r\n有効\t×××××××\r\n",
                                           s);
    EXPECT_EQ(recognised, 5);
    EXPECT_EQ(s.number(WcNumber::kMaxLines), 9);
    EXPECT_EQ(s.number(WcNumber::kThinLimit), 500);
    EXPECT_TRUE(s.on(WcSwitch::kReplace));
    EXPECT_TRUE(s.on(WcSwitch::kManualDate));
    EXPECT_TRUE(s.on(WcSwitch::kOverwrite)); // from "指定"
    EXPECT_EQ(s.number(WcNumber::kDay), 2);
    EXPECT_EQ(s.number(wc_clock_time(7, 2)), 6);
    EXPECT_EQ(s.number(wc_aid(7)), -7);
}

TEST(WcPreset, WritingClampsNumbers) {
    CSettings s;
    s.set_number(wc_video_time(0, 0), 5000);
    s.set_number(wc_aid(1), -5000);
    s.set_number(WcNumber::kHoursBack, 40000);
    const std::u16string text = WcPreset::compose(s);
    EXPECT_NE(text.find(u"開始\t3000\t0\t0\t"), std::u16string::npos) << u8(text);
    EXPECT_NE(text.find(u"Aパート\t0\t0\t0\t0\t0\t0\t-999\r\n"), std::u16string::npos) << u8(text);
    EXPECT_NE(text.find(u"\t30000\t100\t0\r\n"), std::u16string::npos) << u8(text);
    EXPECT_EQ(text.find(u"構成名"), std::u16string::npos);
}

TEST(WcPreset, SaveCaptionFollowsTheName) {
    const std::vector<std::u16string> names = {u"a", u"b"};
    EXPECT_EQ(wc_save_caption(u"a", u"a", names), WcSaveCaption::kOverwrite);
    EXPECT_EQ(wc_save_caption(u"b", u"a", names), WcSaveCaption::kMismatch);
    EXPECT_EQ(wc_save_caption(u"c", u"a", names), WcSaveCaption::kCreate);
    EXPECT_EQ(wc_save_caption(u"", u"a", names), WcSaveCaption::kEmpty);
    EXPECT_EQ(u8(wc_save_caption_text(WcSaveCaption::kMismatch)), u8(u"選択不一致"));
    EXPECT_FALSE(wc_save_enabled(WcSaveCaption::kEmpty));
}

TEST(WcPreset, CreateRestoresABakAndDeleteKeepsOne) {
    TempFolder folder;
    std::u16string message;
    EXPECT_EQ(create_wc_preset(filled(), folder / u"", u"", &message), WcCreateResult::kEmptyName);
    EXPECT_EQ(u8(message), u8(u"リスト名が入力されてないりゅん"));

    ASSERT_EQ(create_wc_preset(filled(), folder / u"", u"月曜", &message), WcCreateResult::kWritten);
    const std::string written = read_bytes(folder / u"月曜.txt");
    ASSERT_EQ(delete_wc_preset(folder / u"", u"月曜", true), 0);
    EXPECT_EQ(test::listing(folder.path()), "月曜.bak\n");

    // The old file comes back; the current fields are not written over it.
    ASSERT_EQ(create_wc_preset(CSettings(), folder / u"", u"月曜", &message), WcCreateResult::kRestored);
    EXPECT_NE(message.find(u"同名のプリセットが過去に存在していたので"), std::u16string::npos);
    EXPECT_EQ(read_bytes(folder / u"月曜.txt"), written);

    std::u16string error;
    CSettings s;
    EXPECT_EQ(WcPreset::read(folder / u"", u"ない", s, &error), -1);
    EXPECT_EQ(u8(error), u8(u"ファイルの読み込みに失敗しました"));
}

TEST(WcPreset, DeleteMovesIntoTheTrash) {
    TempFolder folder;
    TempFolder data;
    const char* previous = std::getenv("XDG_DATA_HOME");
    const std::string saved = previous ? previous : "";
    setenv("XDG_DATA_HOME", data.path().c_str(), 1);
    ASSERT_EQ(WcPreset::write(CSettings(), folder / u"", u"p"), 0);
    ASSERT_EQ(WcPreset::write(CSettings(), folder / u"", u"p2"), 0);
    EXPECT_EQ(delete_wc_preset(folder / u"", u"p", false), 0);
    ASSERT_EQ(WcPreset::write(CSettings(), folder / u"", u"p"), 0);
    EXPECT_EQ(delete_wc_preset(folder / u"", u"p", false), 0);
    if (previous)
        setenv("XDG_DATA_HOME", saved.c_str(), 1);
    else
        unsetenv("XDG_DATA_HOME");
    EXPECT_EQ(test::listing(folder.path()), "p2.txt\n");
    EXPECT_EQ(test::listing(data.path() / "Trash/files"), "p.2.txt\np.txt\n");
    const std::string info = read_bytes(from_utf8((data.path() / "Trash/info/p.txt.trashinfo").string()));
    EXPECT_TRUE(info.starts_with("[Trash Info]\nPath=/")) << info;
    EXPECT_NE(info.find("DeletionDate="), std::string::npos) << info;
}

} // namespace
} // namespace quippet
