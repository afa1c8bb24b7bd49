#include "lists/PlaylistTab.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "app/Settings.h"
#include "tests/support/TestText.h"
#include "tests/support/WideBytes.h"
#include "tests/text/TempFolder.h"
#include "text/AppHome.h"
#include "text/Encoding.h"

namespace quippet {
namespace {

using test::read_bytes;
using test::TempFolder;
using test::u8;
using test::wide_file_bytes;
using test::write_bytes;

std::vector<std::string> names_of(const CPlaylistTab& tab) {
    std::vector<std::string> out;
    for (const auto& row : tab.rows())
        out.push_back(u8(row.name));
    return out;
}

/// A tab over two folders, "lists" (with playlists) and a folder that does not exist, with a scratch
/// app home and desktop trash.
class PlaylistTabTest : public ::testing::Test {
protected:
    void SetUp() override {
        previous_home_ = app_home();
        set_app_home(test::home_of(home_));
        const char* data = std::getenv("XDG_DATA_HOME");
        had_data_home_ = data != nullptr;
        if (data) previous_data_home_ = data;
        ::setenv("XDG_DATA_HOME", (home_.path() / "data").c_str(), 1);
        tab_.configure(CSettings());
        tab_.set_places({{u"lists", test::home_of(lists_)}, {u"gone", test::home_of(lists_) + u"/none"}});
    }
    void TearDown() override {
        set_app_home(previous_home_);
        if (had_data_home_)
            ::setenv("XDG_DATA_HOME", previous_data_home_.c_str(), 1);
        else
            ::unsetenv("XDG_DATA_HOME");
    }

    /// Selects the "lists" folder and loads `name`.
    void load(std::u16string_view name) {
        std::vector<std::u16string> log;
        ASSERT_EQ(tab_.select_folder(0, log), 0);
        ASSERT_EQ(tab_.load(tab_.playlist_index(name), log), 0);
        ASSERT_TRUE(log.empty());
    }

    TempFolder home_, lists_;
    CPlaylistTab tab_;
    std::u16string previous_home_;
    std::string previous_data_home_;
    bool had_data_home_ = false;
};

TEST_F(PlaylistTabTest, FoldersListTheirPlaylistsAndAVanishedFolderIsReported) {
    write_bytes(lists_ / u"b.m3u", "");
    write_bytes(lists_ / u"a.M3U", "");
    write_bytes(lists_ / u"notes.txt", "");
    std::vector<std::u16string> log;
    EXPECT_EQ(tab_.select_folder(0, log), 0);
    EXPECT_EQ(tab_.playlists(), (std::vector<std::u16string>{u"a", u"b"}));
    EXPECT_TRUE(log.empty());

    EXPECT_EQ(tab_.select_folder(1, log), -1);
    EXPECT_TRUE(tab_.playlists().empty());
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(u8(log[0]), u8(lists_ / u"none") + "は存在しません");
    EXPECT_EQ(tab_.select_folder(7, log), -1);
    EXPECT_EQ(tab_.folder_index(), -1);
    EXPECT_EQ(u8(tab_.save_button().caption), "空白") << "nothing is saved without a folder";

    // The app home's own folder is made when it is chosen the first time.
    tab_.set_places({{u"own", u"playlist"}});
    log.clear();
    EXPECT_EQ(tab_.select_folder(0, log), 0);
    EXPECT_TRUE(log.empty());
    EXPECT_TRUE(std::filesystem::is_directory(home_.path() / "playlist"));
}

TEST_F(PlaylistTabTest, LoadShowsTheDisplayNamesAndAnUnreadableFileChangesNothing) {
    write_bytes(lists_ / u"anime.m3u", wide_file_bytes(u"/v/アニメ 第1話 (sm1).mp4\r\n/v/アニメ 第2話 (sm2).mp4\r\n"));
    std::filesystem::create_directory(lists_.path() / "broken.m3u");
    load(u"anime");
    EXPECT_EQ(names_of(tab_), (std::vector<std::string>{"第1話", "第2話"}));
    EXPECT_EQ(u8(tab_.name()), "anime");
    EXPECT_FALSE(tab_.rows_changed());
    EXPECT_EQ(u8(tab_.save_button().caption), "変更なし");

    std::vector<std::u16string> log;
    EXPECT_EQ(tab_.load(tab_.playlist_index(u"broken"), log), -1);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(u8(log[0]), "プレイリストを読み込めませんでした");
    EXPECT_EQ(u8(tab_.loaded()), "anime");
    EXPECT_EQ(tab_.rows().size(), 2u);
}

TEST_F(PlaylistTabTest, MovesKeepEveryRowAndPlaceTheBlockBeforeTheTarget) {
    struct Case {
        std::vector<int> rows;
        int to;
        std::string order;
        int first;
    };
    const std::vector<Case> cases = {
        {{1}, 0, "bacdef", 0},     {{1}, 3, "acbdef", 2},
        {{0, 2}, -1, "bdefac", 4}, {{4, 1}, 2, "abecdf", 1},
        {{9}, 0, "abcdef", -1},    {{2, 2}, 2, "abcdef", 2},
        {{5}, 99, "abcdef", 5},    {{0, 1, 2, 3, 4, 5}, 3, "abcdef", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.order);
        CPlaylistTab tab;
        tab.insert(0, {u"/a.mp4", u"/b.mp4", u"/c.mp4", u"/d.mp4", u"/e.mp4", u"/f.mp4"});
        EXPECT_EQ(tab.move(c.rows, c.to), c.first);
        std::string order;
        for (const auto& row : tab.rows())
            order += u8(row.name);
        EXPECT_EQ(order, c.order);
    }
}

TEST_F(PlaylistTabTest, EditsChangeTheRowsUntilTheyMatchTheFileAgain) {
    write_bytes(lists_ / u"p.m3u", wide_file_bytes(u"/v/x 第1話.mp4\r\n/v/x 第2話.mp4\r\n"));
    load(u"p");
    // The series comes from the first row: a row of another series in front names every row anew.
    EXPECT_EQ(tab_.insert(0, {u"/v/y #1.mp4"}), 0);
    EXPECT_EQ(names_of(tab_), (std::vector<std::string>{"#1", "x 第1話", "x 第2話"}));
    EXPECT_TRUE(tab_.rows_changed());
    EXPECT_EQ(u8(tab_.save_button().caption), "上書保存");
    tab_.move({0}, -1);
    EXPECT_EQ(names_of(tab_), (std::vector<std::string>{"第1話", "第2話", "y #1"}));
    tab_.remove({2, 7, -1});
    EXPECT_FALSE(tab_.rows_changed()) << "back to what the file holds";
    EXPECT_EQ(tab_.insert(99, {u"", u"/v/x 第3話.mp4"}), 2) << "an empty path adds no row";
    EXPECT_EQ(tab_.rows().size(), 3u);
}

TEST_F(PlaylistTabTest, SaveOverwritesInTheFilesFormOrSavesNewOnesInTheirs) {
    write_bytes(lists_ / u"player.m3u", "#EXTM3U\n#EXTINF:60,A\n/v/a.mp4\n/v/b.mp4\n");
    load(u"player");
    tab_.move({1}, 0);
    std::vector<std::u16string> log;
    ASSERT_EQ(tab_.save(log), 0);
    EXPECT_EQ(read_bytes(lists_ / u"player.m3u"), "#EXTM3U\n/v/b.mp4\n#EXTINF:60,A\n/v/a.mp4\n")
        << "another player's file keeps its form and its info lines";
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(u8(log[0]), u8(lists_ / u"player.m3u") + "を保存しました");
    EXPECT_FALSE(tab_.rows_changed());

    tab_.insert(-1, {u"/v/c.mp4"});
    tab_.set_name(u"copy");
    EXPECT_EQ(u8(tab_.save_button().caption), "新規保存");
    ASSERT_EQ(tab_.save(log), 0);
    EXPECT_EQ(read_bytes(lists_ / u"copy.m3u"), "#EXTM3U\n/v/b.mp4\n#EXTINF:60,A\n/v/a.mp4\n/v/c.mp4\n");
    EXPECT_EQ(u8(tab_.loaded()), "copy") << "the saved playlist is loaded again";
    EXPECT_EQ(tab_.playlists(), (std::vector<std::u16string>{u"copy", u"player"}));

    tab_.set_name(u"player");
    EXPECT_EQ(u8(tab_.save_button().caption), "名前重複");
    EXPECT_EQ(tab_.save(log), -1);

    // With nothing loaded the rows become a playlist of this program's own form.
    ASSERT_EQ(tab_.select_folder(0, log), 0);
    tab_.insert(0, {u"/v/新しい.mp4"});
    tab_.set_name(u"new");
    ASSERT_EQ(tab_.save(log), 0);
    EXPECT_EQ(read_bytes(lists_ / u"new.m3u"), wide_file_bytes(u"/v/新しい.mp4\r\n"));
}

TEST_F(PlaylistTabTest, RenameTakesTheMemoAndDeleteClosesTheLoadedPlaylist) {
    write_bytes(lists_ / u"old.m3u", wide_file_bytes(u"/v/a.mp4\r\n"));
    load(u"old");
    EXPECT_EQ(u8(tab_.memo_caption()), "メモ／新規");
    std::vector<std::u16string> log;
    const std::u16string memo = tab_.ensure_memo(log);
    EXPECT_EQ(u8(memo), u8(test::home_of(home_) + u"/memo/old.txt"));
    EXPECT_TRUE(std::filesystem::exists(home_.path() / "memo/old.txt"));
    EXPECT_EQ(u8(tab_.memo_caption()), "メモ／既存");

    tab_.set_name(u"renamed");
    EXPECT_EQ(u8(tab_.save_button().caption), "リネーム");
    ASSERT_EQ(tab_.save(log), 0);
    EXPECT_TRUE(std::filesystem::exists(lists_.path() / "renamed.m3u"));
    EXPECT_FALSE(std::filesystem::exists(lists_.path() / "old.m3u"));
    EXPECT_TRUE(std::filesystem::exists(home_.path() / "memo/renamed.txt"));
    EXPECT_EQ(u8(tab_.loaded()), "renamed");
    EXPECT_EQ(u8(tab_.memo_caption()), "メモ／既存");

    log.clear();
    ASSERT_EQ(tab_.delete_playlist(tab_.playlist_index(u"renamed"), log), 0);
    EXPECT_FALSE(std::filesystem::exists(lists_.path() / "renamed.m3u"));
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(u8(log[0]), u8(lists_ / u"renamed.m3u") + "をごみ箱に移動しました");
    EXPECT_TRUE(tab_.loaded().empty());
    EXPECT_TRUE(tab_.rows().empty());
    EXPECT_TRUE(tab_.playlists().empty());
    EXPECT_EQ(u8(tab_.memo_caption()), "空白");
    EXPECT_TRUE(tab_.ensure_memo(log).empty());
}

} // namespace
} // namespace quippet
