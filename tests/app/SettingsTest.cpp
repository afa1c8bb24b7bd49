#include "app/Settings.h"

#include <gtest/gtest.h>

#include "livelog/LiveLogSettingKeys.h"
#include "reconstruct/ReconstructSettingKeys.h"
#include "tests/support/TestText.h"
#include "text/Encoding.h"
#include "tests/text/TempFolder.h"

namespace quippet {
namespace {

using test::home_of;
using test::TempFolder;
using test::u8;

TEST(SettingsMarker, MapsTheLastRunsStageToAResult) {
    const std::pair<int, int> cases[] = {{0, 1}, {1, 0}, {2, 2}, {3, 3}, {4, 4}, {-1, 0}, {5, 0}, {-7, 0}};
    for (auto [stored, result] : cases)
        EXPECT_EQ(shutdown_result(stored), result) << stored;
}

TEST(SettingsMarker, TakingItResetsTheMarkerForThisRun) {
    TempFolder folder;
    CFileINI ini(home_of(folder));
    EXPECT_EQ(take_shutdown_marker(ini), 0) << "a fresh home is a clean start";
    EXPECT_EQ(take_shutdown_marker(ini), 1) << "this run never shut down";
    ASSERT_EQ(write_shutdown_marker(ini, kMarkerLiveLogSaving), 0);
    CFileINI next(home_of(folder));
    EXPECT_EQ(take_shutdown_marker(next), 3);
    EXPECT_EQ(next.read_number(u"VovezurBase", u"EndOfWorld", -1), 0);
}

TEST(SettingsGeometry, SavesNothingForAMinimisedWindowAndNeverBelowTheMinimum) {
    struct Case {
        WindowRect window;
        std::optional<ForcedSize> forced;
        std::optional<WindowRect> saved;
    };
    const Case cases[] = {
        {{100, 50, 900, 700}, std::nullopt, WindowRect{100, 50, 900, 700}},
        {{-32000, -32000, 160, 28}, std::nullopt, std::nullopt},
        {{-256, 10, 900, 700}, std::nullopt, std::nullopt},
        {{-255, -255, 900, 700}, std::nullopt, WindowRect{-255, -255, 900, 700}},
        {{100, 50, 300, 200}, std::nullopt, WindowRect{100, 50, 800, 600}},
        // A tab forces its own size: the normal size is stored, and a window that grows to the left
        // keeps its right edge.
        {{100, 50, 1200, 900}, ForcedSize{850, 650, false}, WindowRect{100, 50, 850, 650}},
        {{100, 50, 1200, 900}, ForcedSize{850, 650, true}, WindowRect{450, 50, 850, 650}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(geometry_to_save(c.window, c.forced, 800, 600), c.saved) << c.window.left << "," << c.window.top;
}

TEST(SettingsGeometry, RestoresClampsAndEnlargesOnTheFirstRun) {
    struct Case {
        WindowRect stored;
        RestoredGeometry expected;
    };
    const Case cases[] = {
        {{40, 30, 900, 700}, {{40, 30, 900, 700}, true, false}},
        {{40000, 30, 900, 700}, {{0, 30, 900, 700}, true, false}},
        {{-3841, 32767, 900, 700}, {{0, 0, 900, 700}, true, false}},
        {{-3840, 32766, 900, 700}, {{-3840, 32766, 900, 700}, true, false}},
        {{40, 30, 10, -5}, {{40, 30, 800, 600}, true, false}},
        {{-255, -255, 800, 600}, {{(1920 - 1016) / 2, (1080 - 718) / 2, 1016, 718}, true, true}},
        {{-255, -255, 900, 600}, {{-255, -255, 900, 600}, false, false}},
        {{-255, 30, 900, 700}, {{-255, 30, 900, 700}, false, false}},
    };
    for (const Case& c : cases) {
        const RestoredGeometry got = restore_geometry(c.stored, 800, 600, 1920, 1080);
        EXPECT_EQ(got.rect, c.expected.rect) << c.stored.left << "," << c.stored.top;
        EXPECT_EQ(got.apply, c.expected.apply) << c.stored.left << "," << c.stored.top;
        EXPECT_EQ(got.first_run, c.expected.first_run) << c.stored.left << "," << c.stored.top;
    }
    // The first-run enlargement stops at the screen.
    EXPECT_EQ(restore_geometry({-255, -255, 800, 600}, 800, 600, 900, 650).rect, (WindowRect{0, 0, 900, 650}));
}

TEST(SettingsGeometry, RoundTripsThroughTheFile) {
    TempFolder folder;
    CFileINI ini(home_of(folder));
    EXPECT_TRUE(load_geometry(ini, 800, 600, 1920, 1080).first_run);
    ASSERT_EQ(save_geometry(ini, {-32000, -32000, 160, 28}, std::nullopt, 800, 600), 0);
    EXPECT_FALSE(ini.has_key(u"Window", u"LeftPos"));
    ASSERT_EQ(save_geometry(ini, {120, 80, 1000, 640}, std::nullopt, 800, 600), 0);
    const RestoredGeometry got = load_geometry(CFileINI(home_of(folder)), 800, 600, 1920, 1080);
    EXPECT_TRUE(got.apply);
    EXPECT_EQ(got.rect, (WindowRect{120, 80, 1000, 640}));
}

TEST(SettingsTab, ChoosesTheFirstTab) {
    struct Case {
        int choice;
        int stored;
        bool playlist_shown;
        int tab;
    };
    const Case cases[] = {
        {kTabReconstruct, 3, true, kTabReconstruct}, {kTabLiveLog, 0, true, kTabLiveLog},
        {kFirstTabLastUsed, 1, true, kTabLiveLog},   {kFirstTabLastUsed, 3, true, kTabPlaylist},
        {kFirstTabLastUsed, 3, false, kTabDownload}, {kTabPlaylist, 0, false, kTabDownload},
        {kFirstTabLastUsed, 9, true, kTabDownload},  {kFirstTabLastUsed, -1, true, kTabDownload},
    };
    for (const Case& c : cases)
        EXPECT_EQ(initial_tab(c.choice, c.stored, c.playlist_shown), c.tab) << c.choice << "/" << c.stored;

    TempFolder folder;
    CFileINI ini(home_of(folder));
    EXPECT_EQ(load_initial_tab(ini, kFirstTabLastUsed, true), kTabDownload);
    ASSERT_EQ(save_selected_tab(ini, kTabReconstruct), 0);
    EXPECT_EQ(load_initial_tab(ini, kFirstTabLastUsed, true), kTabReconstruct);
    EXPECT_EQ(load_initial_tab(ini, kTabLiveLog, true), kTabLiveLog);
}

TEST(Settings, FreshObjectHoldsTheDefaults) {
    const CSettings s;
    EXPECT_EQ(s.number(WcNumber::kYear), 2011);
    EXPECT_EQ(s.number(wc_aid(3)), 60);
    EXPECT_EQ(s.number(WcNumber::kMaxLines), 4);
    EXPECT_EQ(s.number(WcNumber::kMaxChars), 40);
    EXPECT_EQ(s.number(WcNumber::kThinLimit), 4000);
    EXPECT_EQ(s.number(WcNumber::kHoursBack), 8);
    EXPECT_EQ(s.number(WcNumber::kMinPosts), 100);
    EXPECT_EQ(s.text(OptText::kLogFile), u"QuippetVellichor.log");
    EXPECT_EQ(s.text(OptText::kDownloadHistory), u"cache/log/down.txt");
    EXPECT_EQ(s.text(OptText::kVideoExtensions), u"mp4|avi|wmv|mkv|flv|swf");
    EXPECT_EQ(s.number(kWindowLeft), -255);
    EXPECT_EQ(s.number(kShutdownMarker), -1);
    EXPECT_EQ(s.number(kOptionPage), -1);
    EXPECT_FALSE(s.on(RcSwitch::kDuplicates));
}

TEST(Settings, KeysOfTheWrongKindOrWithoutPlaceAreIgnored) {
    CSettings s;
    EXPECT_FALSE(s.set_number(OptText::kLogFile, 3));
    EXPECT_FALSE(s.set_text(RcNumber::kDupWindow, u"x"));
    EXPECT_FALSE(s.set_number(SettingKey{section::kOption, u"EN", 146}, 1));
    EXPECT_EQ(s.number(SettingKey{u"Nowhere", u"EN", 0}), 0);
    EXPECT_EQ(s.text(SettingKey{section::kOption, u"ES", 150}), u"");
    EXPECT_EQ(s, CSettings());
}

TEST(Settings, SaveAndLoadRoundTripEverySection) {
    TempFolder folder;
    CSettings written;
    written.set_number(RcNumber::kDupWindow, 80);
    written.set_number(rc_timing(8, TimingField::kByHundredths), 99);
    written.set_number(rc_sort_key(3), 35);
    written.set_text(RcText::kMergeSuffixText, u" 第 ");
    written.set_number(wc_clock_time(7, 2), 59);
    written.set_text(kWcPresetName, u"深夜枠\r\n2");
    written.set_number(OptNumber::kLiveExtension, 1);
    written.set_text(OptText::kLiveNamePattern, u"(.+)　実況");
    written.set_text(OptProtected::kPassword, u"pass word");
    written.set_number(SettingKey{section::kDownload, u"RW", 9}, 120);
    written.set_text(SettingKey{section::kDownload, u"EmperorTime", -1}, u"4102444800");
    written.set_number(SettingKey{section::kOption, u"EN", 145}, 7); // no catalogue row, still kept
    {
        CFileINI ini(home_of(folder));
        ASSERT_EQ(save_settings(ini, written), 0);
    }
    CSettings read;
    load_settings(CFileINI(home_of(folder)), read);
    EXPECT_EQ(read, written);
    EXPECT_EQ(read.text(OptProtected::kPassword), u"pass word");
    const std::string file = test::read_bytes(folder / CFileINI::kFileName);
    EXPECT_EQ(file.find("pass"), std::string::npos) << "the password is stored encrypted";
}

TEST(Settings, DetailedSettingsAreWrittenInTheirOrder) {
    TempFolder folder;
    CFileINI ini(home_of(folder));
    ASSERT_EQ(save_detailed(ini, CSettings()), 0);
    const std::string file = test::read_bytes(folder / CFileINI::kFileName);
    const size_t en0 = file.find("\nEN0=");
    const size_t en145 = file.find("\nEN145=");
    const size_t es0 = file.find("\nES0=");
    const size_t cb218 = file.find("\nCB218=");
    const size_t an1 = file.find("\nAN1=");
    ASSERT_NE(an1, std::string::npos);
    EXPECT_TRUE(en0 < en145 && en145 < es0 && es0 < cb218 && cb218 < an1);
    EXPECT_EQ(file.find("Page="), std::string::npos) << "the page is the settings window's, saved apart";
}

TEST(Settings, MissingKeysLoadAsDefaultsAndTabsLoadOnTheirOwn) {
    TempFolder folder;
    CFileINI ini(home_of(folder));
    ini.write_number(u"VuzirizIzeroz", u"EN61", 9);
    ini.write_text(u"VuzirizIzeroz", u"ES0", u"out");
    ini.write_number(u"DividingDriver", u"CB52", 1);
    CSettings s;
    load_section(ini, s, section::kLiveLog);
    EXPECT_EQ(s.number(WcNumber::kMaxLines), 9);
    EXPECT_EQ(s.number(WcNumber::kMaxChars), 40);
    EXPECT_EQ(s.text(WcText::kOutputName), u"out");
    EXPECT_FALSE(s.on(RcSwitch::kDuplicates)) << "another tab's section was not read";
    load_detailed(ini, s);
    EXPECT_EQ(s.text(OptText::kCommonFolder), u"setting");
}

TEST(SettingsCommonFolder, ShowsAndStoresPathsInsideTheCommonFolder) {
    struct Case {
        std::u16string stored;
        bool inside;
        std::u16string shown;
    };
    const Case cases[] = {
        {u"setting/設定：検索の並び順.txt", true, u"設定：検索の並び順.txt"},
        {u"settings/a.txt", false, u"settings/a.txt"},
        {u"setting", false, u"setting"},
        {u"/etc/a.txt", false, u"/etc/a.txt"},
    };
    for (const Case& c : cases) {
        const CommonFolderView view = split_common_folder(c.stored, u"setting");
        EXPECT_EQ(view.inside, c.inside) << u8(c.stored);
        EXPECT_EQ(view.shown, c.shown) << u8(c.stored);
        EXPECT_EQ(join_common_folder(view, u"setting"), c.stored) << u8(c.stored);
    }
    EXPECT_EQ(join_common_folder({true, u"a.txt"}, u"setting/"), u"setting/a.txt");
    EXPECT_EQ(join_common_folder({true, u"/abs/a.txt"}, u"setting"), u"/abs/a.txt");
}

} // namespace
} // namespace quippet
