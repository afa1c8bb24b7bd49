#include "reconstruct/Presets.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/Settings.h"
#include "app/SettingKeys.h"
#include "reconstruct/Lists.h"
#include "reconstruct/ReconstructSettingKeys.h"
#include "tests/support/TestText.h"
#include "text/AppHome.h"
#include "text/Encoding.h"
#include "tests/text/TempFolder.h"

namespace quippet {
namespace {

using test::listing;
using test::read_bytes;
using test::TempFolder;
using test::u8;
using test::write_bytes;

std::string utf16le(std::u16string_view text) {
    std::string bytes = "\xFF\xFE";
    for (char16_t c : text) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>(c >> 8);
    }
    return bytes;
}

class Presets : public ::testing::Test {
protected:
    void SetUp() override {
        previous_home_ = app_home();
        set_app_home(from_utf8(home_.path().string()));
    }
    void TearDown() override { set_app_home(previous_home_); }

    std::u16string source(const PresetFileDef& file) const { return preset_file_source_path(settings_, file); }
    std::u16string common_ng() const { return list_file_path(settings_, ListFile::kCommonNg); }
    /// Gives every individual file and the common list a content of its own, marked with `tag`.
    void write_sources(std::u16string_view tag) {
        for (const PresetFileDef& file : kPresetFiles)
            write_bytes(source(file), utf16le(std::u16string(tag) + std::u16string(file.extension) + u"\r\n"));
        write_bytes(common_ng(), utf16le(std::u16string(tag) + u" common\r\n"));
    }
    std::vector<std::string> source_bytes() const {
        std::vector<std::string> out;
        for (const PresetFileDef& file : kPresetFiles)
            out.push_back(read_bytes(source(file)));
        return out;
    }

    TempFolder home_;
    std::u16string previous_home_;
    CSettings settings_;
};

TEST_F(Presets, RoundTripRestoresSettingsAndIndividualFilesButNotTheCommonOnes) {
    settings_.set_number(RcSwitch::kLimit, 1);
    settings_.set_number(RcNumber::kLimitCount, 123);
    settings_.set_text(RcText::kMergeSuffixText, u" 第 話\r\n");
    settings_.set_number(rc_sort_key(1), 5);
    settings_.set_text(RcText::kPresetName, u"深夜 アニメ");
    write_sources(u"saved");
    const std::vector<std::string> saved_files = source_bytes();

    const PresetOutcome saved = save_reconstruct_preset(settings_, u"深夜 アニメ", PresetSaveMode::kNew);
    ASSERT_EQ(saved.result, 0) << u8(saved.message);
    EXPECT_EQ(
        listing(to_fs_path(reconstruct_preset_folder(settings_))),
        "深夜 アニメ.ini\n深夜 アニメ.kcd\n深夜 アニメ.ngid\n深夜 アニメ.okid\n深夜 アニメ.word\n深夜 アニメ.ycd\n");
    const CSettings at_save = settings_;

    settings_.set_number(RcSwitch::kLimit, 0);
    settings_.set_number(RcNumber::kLimitCount, 7);
    settings_.set_text(RcText::kMergeSuffixText, u"");
    settings_.set_number(rc_sort_key(1), 0);
    settings_.set_text(RcText::kPresetName, u"other");
    write_sources(u"changed");
    const std::string common_after_change = read_bytes(common_ng());

    const PresetOutcome restored = restore_reconstruct_preset(settings_, u"深夜 アニメ");
    ASSERT_EQ(restored.result, 0) << u8(restored.message);
    EXPECT_TRUE(settings_ == at_save);
    EXPECT_EQ(source_bytes(), saved_files);
    EXPECT_EQ(read_bytes(common_ng()), common_after_change);
}

TEST_F(Presets, InterfaceSwitchesKeepDropAndSplitCutSettings) {
    struct Case {
        bool keep_drop, keep_split_cut;
    };
    const Case cases[] = {{false, false}, {true, false}, {false, true}, {true, true}};
    settings_.set_number(RcSwitch::kRecurse, 1);
    settings_.set_number(RcNumber::kSplitSize, 400);
    settings_.set_number(RcNumber::kCutLast, 50);
    settings_.set_number(RcSwitch::kDupBody, 1);
    ASSERT_EQ(save_reconstruct_preset(settings_, u"p", PresetSaveMode::kOverwrite).result, 0);
    for (const Case& c : cases) {
        CSettings now;
        now.set_number(OptSwitch::kPresetKeepsDrop, c.keep_drop);
        now.set_number(OptSwitch::kPresetKeepsSplitCut, c.keep_split_cut);
        now.set_number(RcSwitch::kRecurse, 0);
        now.set_number(RcNumber::kSplitSize, 10);
        now.set_number(RcNumber::kCutLast, 20);
        now.set_text(RcText::kVideoPath, u"/videos/current.mp4");
        std::u16string error;
        ASSERT_TRUE(apply_reconstruct_preset(now, u"p", &error)) << u8(error);
        const std::string label =
            "keep drop " + std::to_string(c.keep_drop) + ", split " + std::to_string(c.keep_split_cut);
        EXPECT_EQ(now.number(RcSwitch::kRecurse), c.keep_drop ? 0 : 1) << label;
        EXPECT_EQ(now.number(RcNumber::kSplitSize), c.keep_split_cut ? 10 : 400) << label;
        EXPECT_EQ(now.number(RcNumber::kCutLast), c.keep_split_cut ? 20 : 50) << label;
        EXPECT_EQ(now.number(RcSwitch::kDupBody), 1) << label;
        EXPECT_EQ(u8(now.text(RcText::kVideoPath)), "/videos/current.mp4") << label;
        EXPECT_EQ(u8(now.text(RcText::kPresetName)), "p") << label;
    }
}

TEST_F(Presets, NamesThatLeaveTheFolderAreRefusedAndWriteNothing) {
    const std::u16string_view refused[] = {u"", u"a/b", u"../escape", u"..", u".", u"a\\b", u"tab\there"};
    for (std::u16string_view name : refused) {
        std::u16string error;
        EXPECT_FALSE(check_preset_name(name, &error)) << u8(name);
        EXPECT_FALSE(error.empty()) << u8(name);
        const PresetOutcome saved = save_reconstruct_preset(settings_, name, PresetSaveMode::kOverwrite);
        EXPECT_EQ(saved.result, -1) << u8(name);
        CSettings untouched = settings_;
        EXPECT_FALSE(apply_reconstruct_preset(untouched, name, &error)) << u8(name);
    }
    EXPECT_EQ(listing(home_.path()), "") << "nothing written anywhere";
    for (std::u16string_view name : {u"a..b", u"第1話 (改)", u".hidden"})
        EXPECT_TRUE(check_preset_name(name)) << u8(name);
    EXPECT_FALSE(check_preset_name(std::u16string(100, u'あ'))) << "300 bytes is too long for a file name";
}

TEST_F(Presets, MissingPresetLeavesSettingsAloneAndMissingCopyLeavesTheFileAlone) {
    CSettings before = settings_;
    std::u16string error;
    EXPECT_FALSE(apply_reconstruct_preset(settings_, u"nope", &error));
    EXPECT_NE(u8(error).find("nope"), std::string::npos) << u8(error);
    EXPECT_TRUE(settings_ == before);

    write_sources(u"saved");
    ASSERT_EQ(save_reconstruct_preset(settings_, u"p", PresetSaveMode::kOverwrite).result, 0);
    std::filesystem::remove(to_fs_path(reconstruct_preset_path(settings_, u"p", u".word")));
    write_sources(u"changed");
    const std::vector<std::string> changed = source_bytes();
    const PresetOutcome restored = restore_reconstruct_preset(settings_, u"p");
    EXPECT_EQ(restored.result, 0) << u8(restored.message);
    const std::vector<std::string> now = source_bytes();
    for (size_t i = 0; i < std::size(kPresetFiles); ++i) {
        const bool is_word = kPresetFiles[i].extension == u".word";
        EXPECT_EQ(now[i] == changed[i], is_word) << u8(kPresetFiles[i].extension);
    }
}

TEST_F(Presets, AFailingCopyBackDoesNotStopTheOthersAndIsReported) {
    write_sources(u"saved");
    settings_.set_number(RcNumber::kLimitCount, 77);
    ASSERT_EQ(save_reconstruct_preset(settings_, u"p", PresetSaveMode::kOverwrite).result, 0);
    write_sources(u"changed");
    // The NGID list now lives below a name that is a file, so it cannot be written.
    write_bytes(from_utf8(home_.path().string()) + u"/blocker", "x");
    CSettings now;
    now.set_text(OptText::kNgIdList, u"blocker/ngid.txt");
    std::u16string error;
    ASSERT_TRUE(apply_reconstruct_preset(now, u"p", &error));
    EXPECT_NE(u8(error).find("blocker/ngid.txt"), std::string::npos) << u8(error);
    EXPECT_EQ(now.number(RcNumber::kLimitCount), 77);
    EXPECT_EQ(read_bytes(source(kPresetFiles[2])), utf16le(u"saved.word\r\n")) << "the files after it were copied";
}

TEST_F(Presets, SaveCreatesMissingSourcesSoThePresetCarriesEveryFile) {
    ASSERT_EQ(save_reconstruct_preset(settings_, u"fresh", PresetSaveMode::kOverwrite).result, 0);
    for (const PresetFileDef& file : kPresetFiles) {
        const std::string copy = read_bytes(reconstruct_preset_path(settings_, u"fresh", file.extension));
        EXPECT_TRUE(copy.starts_with("\xFF\xFE")) << u8(file.extension);
        EXPECT_EQ(copy, read_bytes(source(file))) << u8(file.extension);
    }
}

TEST_F(Presets, NewSaveOfADeletedNameBringsItBackWithoutWritingTheCurrentSettings) {
    settings_.set_number(RcNumber::kLimitCount, 111);
    ASSERT_EQ(save_reconstruct_preset(settings_, u"old", PresetSaveMode::kOverwrite).result, 0);
    const std::u16string ini = reconstruct_preset_path(settings_, u"old");
    const std::u16string bak = reconstruct_preset_path(settings_, u"old", kPresetDeletedExtension);
    std::filesystem::rename(to_fs_path(ini), to_fs_path(bak));
    const std::string old_bytes = read_bytes(bak);

    settings_.set_number(RcNumber::kLimitCount, 222);
    const PresetOutcome recovered = save_reconstruct_preset(settings_, u"old", PresetSaveMode::kNew);
    EXPECT_EQ(recovered.result, 0);
    EXPECT_TRUE(recovered.recovered);
    EXPECT_EQ(u8(recovered.message), "同名のプリセットが過去に存在していたので、それを復元しました"
                                     "（現在ダイアログにある設定はまだ保存されていません）");
    EXPECT_EQ(read_bytes(ini), old_bytes);
    EXPECT_FALSE(std::filesystem::exists(to_fs_path(bak)));

    // Now that the name exists, the same button writes.
    const PresetOutcome written = save_reconstruct_preset(settings_, u"old", PresetSaveMode::kNew);
    EXPECT_FALSE(written.recovered);
    CSettings loaded;
    ASSERT_TRUE(apply_reconstruct_preset(loaded, u"old"));
    EXPECT_EQ(loaded.number(RcNumber::kLimitCount), 222);
}

TEST_F(Presets, ListIsSortedAndTakesOnlyIniFiles) {
    for (std::u16string_view name : {u"b", u"日本", u"a"})
        ASSERT_EQ(save_reconstruct_preset(settings_, name, PresetSaveMode::kOverwrite).result, 0);
    write_bytes(reconstruct_preset_path(settings_, u"gone", kPresetDeletedExtension), "");
    EXPECT_EQ(list_reconstruct_presets(settings_), (std::vector<std::u16string>{u"a", u"b", u"日本"}));
}

TEST_F(Presets, FolderThatIsAFileFailsWithAMessage) {
    settings_.set_text(OptText::kReconstructPresetFolder, u"blocker");
    write_bytes(from_utf8(home_.path().string()) + u"/blocker", "not a folder");
    const PresetOutcome saved = save_reconstruct_preset(settings_, u"p", PresetSaveMode::kOverwrite);
    EXPECT_EQ(saved.result, -1);
    EXPECT_NE(u8(saved.message).find("blocker"), std::string::npos) << u8(saved.message);
    EXPECT_EQ(read_bytes(from_utf8(home_.path().string()) + u"/blocker"), "not a folder");
}

} // namespace
} // namespace quippet
