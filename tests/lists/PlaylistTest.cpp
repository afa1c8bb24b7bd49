#include "lists/Playlist.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/TestText.h"
#include "tests/support/WideBytes.h"
#include "tests/text/TempFolder.h"
#include "text/AppHome.h"
#include "text/Encoding.h"
#include "text/FileSP.h"

namespace quippet {
namespace {

using test::read_bytes;
using test::TempFolder;
using test::u8;
using test::wide_file_bytes;
using test::write_bytes;

TEST(Playlist, EachFormReadsAndIsWrittenBackAsItWas) {
    const std::vector<std::pair<const char*, std::string>> files = {
        {"own form", wide_file_bytes(u"/v/アニメ 第1話.mp4\r\n/v/b.mp4\r\n")},
        {"utf-8 extended", "#EXTM3U\n#EXTINF:120,アニメ\n/v/a.mp4\n/v/b.mp4\n#end\n"},
        {"utf-8 bom crlf", "\xEF\xBB\xBF/v/a.mp4\r\n/v/b.mp4\r\n"},
    };
    for (const auto& [what, bytes] : files) {
        SCOPED_TRACE(what);
        TempFolder folder;
        const std::u16string path = folder / u"p.m3u", copy = folder / u"q.m3u";
        write_bytes(path, bytes);
        Playlist list;
        int error = 0;
        ASSERT_EQ(read_playlist(path, list, error), 0);
        ASSERT_EQ(list.entries.size(), 2u);
        ASSERT_EQ(write_playlist(copy, list, CFileSP::kKeepExisting, error), 0);
        EXPECT_EQ(read_bytes(copy), bytes);
    }
}

TEST(Playlist, ReorderKeepsTheInfoLinesWithTheirEntries) {
    TempFolder folder;
    write_bytes(folder / u"p.m3u", "#EXTM3U\n#EXTINF:1,A\n/a\n#EXTINF:2,B\n/b\n");
    Playlist list;
    int error = 0;
    ASSERT_EQ(read_playlist(folder / u"p.m3u", list, error), 0);
    list.set_paths({u"/b", u"/new", u"/a"});
    EXPECT_EQ(u8(playlist_text(list)), "#EXTM3U\n#EXTINF:2,B\n/b\n/new\n#EXTINF:1,A\n/a\n");
}

TEST(Playlist, JunkAndLongLinesDoNotBreakTheReader) {
    TempFolder folder;
    std::string junk(100000, 'x');
    junk += std::string("\n\x00\xFF\x80\x81\n\n", 7);
    write_bytes(folder / u"j.m3u", junk);
    Playlist list;
    int error = 0;
    ASSERT_EQ(read_playlist(folder / u"j.m3u", list, error), 0);
    ASSERT_GE(list.entries.size(), 1u);
    EXPECT_EQ(list.entries[0].path.size(), 100000u);
    EXPECT_EQ(read_playlist(folder / u"missing.m3u", list, error), -1);
    EXPECT_NE(error, 0);

    std::vector<std::u16string> names;
    EXPECT_EQ(list_playlists(folder / u"gone", names), -1) << "a folder that vanished";
    write_bytes(folder / u"b.M3U", "");
    write_bytes(folder / u"a.m3u", "");
    write_bytes(folder / u"c.txt", "");
    EXPECT_EQ(list_playlists(folder.path().u16string(), names), 0);
    EXPECT_EQ(names, (std::vector<std::u16string>{u"a", u"b", u"j"}));
}

TEST(PlaylistNames, SeriesAndTailMarkersAreCut) {
    const auto separators = split_bars(u" 第| #| Ver.|其の|～その");
    const auto markers = expand_tail_markers(u" (| [|(<ID>", u"sm|so|nm");
    EXPECT_EQ(markers, (std::vector<std::u16string>{u" (", u" [", u"(sm", u"(so", u"(nm"}));
    struct Case {
        std::vector<std::u16string> paths;
        std::vector<std::u16string> names;
    };
    const std::vector<Case> cases = {
        {{u"/v/アニメ 第1話 (sm1).mp4", u"/v/アニメ 第2話 (sm2).mp4"}, {u"第1話", u"第2話"}},
        {{u"/v/歌 #3(sm9).flv", u"/v/歌#4 [HD].flv", u"/v/別の動画.flv"}, {u"#3", u"#4", u"別の動画"}},
        {{u"/v/a (b (c.mp4"}, {u"a (b"}},    // the last occurrence of the first marker
        {{u"/v/ (only).mp4"}, {u" (only)"}}, // a cut that leaves nothing keeps the name
        {{u"/v/no series.mp4", u"x.mp4"}, {u"no series", u"x"}},
        {{}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.paths.empty() ? std::string("empty") : u8(c.paths.front()));
        EXPECT_EQ(display_names(c.paths, separators, markers), c.names);
    }
}

TEST(PlaylistSave, CaptionsFollowTheNameFieldAndTheRows) {
    struct Case {
        std::u16string name, loaded;
        bool changed, exists;
        std::u16string caption;
        bool enabled;
    };
    const std::vector<Case> cases = {
        {u"", u"p", true, false, u"空白", false},      {u"p", u"p", false, true, u"変更なし", false},
        {u"p", u"p", true, true, u"上書保存", true},   {u"q", u"p", true, true, u"名前重複", false},
        {u"q", u"p", false, false, u"リネーム", true}, {u"q", u"p", true, false, u"新規保存", true},
        {u"q", u"", false, false, u"新規保存", true},  {u"../q", u"p", true, false, u"空白", false},
        {u"..", u"p", true, false, u"空白", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(u8(c.name + u"/" + c.loaded));
        const SaveButton b = save_button(c.name, c.loaded, c.changed, c.exists);
        EXPECT_EQ(u8(b.caption), u8(c.caption));
        EXPECT_EQ(b.enabled(), c.enabled);
    }
}

class PlaylistFiles : public ::testing::Test {
protected:
    void SetUp() override {
        previous_home_ = app_home();
        set_app_home(test::home_of(home_));
        std::filesystem::create_directories(home_.path() / "memo");
    }
    void TearDown() override { set_app_home(previous_home_); }
    TempFolder home_, lists_;
    std::u16string previous_home_;
};

TEST_F(PlaylistFiles, RenameTakesTheMemoAlongUnlessOneIsInTheWay) {
    const std::u16string folder = lists_.path().u16string();
    write_bytes(lists_ / u"a.m3u", "x");
    EXPECT_EQ(u8(memo_caption(u"memo", u"a")), "メモ／新規");
    EXPECT_EQ(u8(memo_caption(u"memo", u"")), "空白");
    write_bytes(home_ / u"memo/a.txt", "memo a");
    EXPECT_EQ(u8(memo_caption(u"memo", u"a")), "メモ／既存");

    std::vector<std::u16string> log;
    ASSERT_EQ(rename_playlist(folder, u"a", u"b", u"memo", log), 0);
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(read_bytes(home_ / u"memo/b.txt"), "memo a");
    EXPECT_TRUE(std::filesystem::exists(lists_.path() / "b.m3u"));

    write_bytes(home_ / u"memo/c.txt", "memo c");
    ASSERT_EQ(rename_playlist(folder, u"b", u"c", u"memo", log), 0);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(u8(log[0]), "c.txtはすでに存在していたので、メモはリネームしませんでした");
    EXPECT_EQ(read_bytes(home_ / u"memo/c.txt"), "memo c") << "the memo in the way is kept";
    EXPECT_EQ(read_bytes(home_ / u"memo/b.txt"), "memo a");

    write_bytes(lists_ / u"d.m3u", "x");
    EXPECT_EQ(rename_playlist(folder, u"c", u"d", u"memo", log), -1) << "never over another playlist";
    EXPECT_EQ(rename_playlist(folder, u"c", u"../d", u"memo", log), -1);
}

TEST_F(PlaylistFiles, DeleteGoesToTheTrashOrReportsAMissingFile) {
    // The desktop trash of a scratch data folder, not the user's own.
    const char* previous = std::getenv("XDG_DATA_HOME");
    const std::string saved = previous ? previous : "";
    ::setenv("XDG_DATA_HOME", (home_.path() / "data").c_str(), 1);
    std::vector<std::u16string> log;
    write_bytes(lists_ / u"p.m3u", "x");
    EXPECT_EQ(delete_playlist(lists_ / u"p.m3u", log), 0);
    EXPECT_FALSE(std::filesystem::exists(lists_.path() / "p.m3u"));
    EXPECT_TRUE(log.empty());
    if (previous)
        ::setenv("XDG_DATA_HOME", saved.c_str(), 1);
    else
        ::unsetenv("XDG_DATA_HOME");

    const std::u16string missing = lists_ / u"none.m3u";
    EXPECT_EQ(delete_playlist(missing, log), -1);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(u8(log[0]), u8(missing) + "は存在しません");
}

} // namespace
} // namespace quippet
