#include "lists/PlayerChoice.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "app/SettingKeys.h"
#include "app/Settings.h"
#include "lists/ListsTextFiles.h"
#include "lists/PlayHistory.h"
#include "lists/PlayerStart.h"
#include "lists/PlayerTable.h"
#include "tests/support/CliRun.h"
#include "tests/support/TestText.h"
#include "tests/text/TempFolder.h"
#include "text/AppHome.h"
#include "text/Encoding.h"
#include "text/FileSP.h"
#include "text/OpenErrors.h"

namespace quippet {
namespace {

using test::read_bytes;
using test::TempFolder;
using test::u8;
using test::write_bytes;

std::string wide_file(const std::u16string& path) {
    CFileSP file;
    CCharW text;
    if (file.read_settings_text(path, text) != 0) return "<unreadable>";
    return to_utf8(text.view());
}

TEST(PlayerTable, DefaultTextHasThePlayersAndThreeModes) {
    const PlayerTable table = PlayerTable::parse(PlayerTable::default_text());
    EXPECT_EQ(table.players_title, u"プレイヤー設定");
    std::vector<std::string> names;
    for (const auto& p : table.players)
        names.push_back(u8(p.name + u"=" + p.path));
    EXPECT_EQ(names, (std::vector<std::string>{"mpv=/usr/bin/mpv", "VLC=/usr/bin/vlc", "SMPlayer=/usr/bin/smplayer",
                                               "Celluloid=/usr/bin/celluloid", "MPC-QT=/usr/bin/mpc-qt"}))
        << "the commented-out players stay out";
    ASSERT_EQ(table.modes.size(), 3u);
    EXPECT_EQ(table.mode_caption(2), u"既定");
    EXPECT_EQ(*table.modes[0].find(u"nocom"), u"既定");
    EXPECT_EQ(table.find_player(u"既定"), -1);
    EXPECT_TRUE(PlayerTable::default_text().ends_with(u"\r\n"));
}

TEST(PlayerTable, ToleratesMissingSectionsAndOddLines) {
    // Text before the first section, a player without a tab, a rule without a tab, LF-only lines, a fourth
    // mode and binary junk: nothing crashes, the fourth mode is dropped.
    const std::u16string text = u"stray\tline\n▼P\r\nsolo\r\nx\t/bin/x\n//y\t/bin/y\n▼A\nnocab\n.MP4\tx\n▼B\n▼C\n▼D\n"
                                u"default\tx\n\x01\xFFFF\t\x7F";
    const PlayerTable table = PlayerTable::parse(text);
    ASSERT_EQ(table.players.size(), 2u);
    EXPECT_EQ(table.players[0].name, u"solo");
    EXPECT_EQ(table.players[0].path, u"");
    ASSERT_EQ(table.modes.size(), 3u);
    ASSERT_EQ(table.modes[0].rules.size(), 1u);
    ASSERT_NE(table.modes[0].find(u".mp4"), nullptr) << "extensions compare without case";
    EXPECT_EQ(table.modes[0].find(u"mp4"), nullptr);
    EXPECT_TRUE(table.modes[2].rules.empty()) << "the fourth section's rule does not land in the third";

    const PlayerTable empty = PlayerTable::parse(u"");
    EXPECT_EQ(empty.mode_caption(0), u"未設定");
    EXPECT_EQ(empty.mode_caption(-1), u"未設定");
}

TEST(PlaylistPlaces, ParsesNamedFoldersAndSkipsBrokenLines) {
    const auto places = parse_playlist_places(u"A\t/a\r\nno tab\r\nB\t\r\n//C\t/c\r\nD\t/d");
    ASSERT_EQ(places.size(), 2u);
    EXPECT_EQ(places[1].name, u"D");
    EXPECT_EQ(places[1].folder, u"/d");
    EXPECT_FALSE(parse_playlist_places(default_playlist_places_text()).empty());
}

class PlayerFolder : public ::testing::Test {
protected:
    void SetUp() override {
        previous_home_ = app_home();
        set_app_home(test::home_of(home_));
    }
    void TearDown() override { set_app_home(previous_home_); }

    std::u16string touch(std::u16string_view name) {
        const std::u16string path = videos_ / name;
        write_bytes(path, "x");
        return path;
    }
    /// A player that writes its working folder and arguments, one a line, into `record`.
    std::u16string recording_player(const std::u16string& record) {
        const std::u16string script = home_ / u"bin/recorder.sh";
        std::filesystem::create_directories(to_fs_path(home_ / u"bin"));
        write_bytes(script, "#!/bin/sh\n{ pwd; for a in \"$@\"; do printf '%s\\n' \"$a\"; done; } > '" +
                                to_utf8(record) + ".part'\nmv '" + to_utf8(record) + ".part' '" + to_utf8(record) +
                                "'\n");
        ::chmod(to_utf8(script).c_str(), 0755);
        return script;
    }
    static std::string wait_for(const std::u16string& path) {
        for (int i = 0; i < 500; ++i) {
            if (std::filesystem::exists(to_fs_path(path))) return read_bytes(path);
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return "<never written>";
    }

    TempFolder home_, videos_;
    std::u16string previous_home_;
    CSettings settings_;
    PlayerTable table_ = PlayerTable::parse(PlayerTable::default_text());
};

TEST_F(PlayerFolder, FirstModeFollowsTheCommentFilesBesideTheVideo) {
    struct Case {
        std::u16string video;
        std::vector<std::u16string> beside;
        std::u16string program;
    };
    const std::vector<Case> cases = {
        {u"a.mp4", {u"b.xml", u"xa.xml"}, u""},           // nocom: the desktop's default program
        {u"a.mp4", {u"a (1).xml"}, u"/usr/bin/smplayer"}, // nosame
        {u"a.mp4", {u"a.xml", u"a (1).xml"}, u"/usr/bin/mpv"},
        {u"b.swf", {u"b.xml"}, u"/usr/bin/vlc"}, // the extension rule
        {u"c.SWF", {u"c.XML"}, u"/usr/bin/vlc"}, // extensions compare without case
        {u"d.swf", {}, u""},                     // nocom beats the extension
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(u8(c.video));
        TempFolder folder;
        for (const auto& name : c.beside)
            write_bytes(folder / name, "");
        write_bytes(folder / c.video, "v");
        const PlayerChoice choice = choose_player(settings_, table_, folder / c.video, kPlayAutomatic, {});
        EXPECT_EQ(u8(choice.program), u8(c.program));
    }
}

TEST_F(PlayerFolder, IndexArrowModesAndSinglePlayer) {
    const std::u16string video = touch(u"v.mp4");
    EXPECT_EQ(choose_player(settings_, table_, video, 1, {}).program, u"/usr/bin/vlc");
    EXPECT_EQ(choose_player(settings_, table_, video, 99, {}).program, u"") << "an index past the table";
    EXPECT_EQ(choose_player(settings_, table_, video, kPlayDefaultProgram, {}).program, u"");
    EXPECT_EQ(choose_player(settings_, table_, video, kPlayAutomatic, {true, 3, 0}).program, u"/usr/bin/celluloid");
    EXPECT_EQ(choose_player(settings_, table_, video, kPlayAutomatic, {false, 3, 1}).program, u"")
        << "nocom: no comment file yet";
    touch(u"v.xml");
    EXPECT_EQ(choose_player(settings_, table_, video, kPlayAutomatic, {false, 3, 1}).program, u"/usr/bin/vlc");
    EXPECT_EQ(
        choose_player(settings_, PlayerTable::parse(u"▼P\r\n▼M\r\n"), video, kPlayAutomatic, {false, 0, 2}).program,
        u"")
        << "a missing mode";
}

TEST_F(PlayerFolder, SinglePlayerSettingComesFirst) {
    const std::u16string video = touch(u"v.mp4");
    settings_.set_number(OptNumber::kPlayerMode, 0);
    const std::u16string program = recording_player(home_ / u"unused");
    settings_.set_text(OptText::kSinglePlayerPath, program);
    EXPECT_EQ(choose_player(settings_, table_, video, kPlayAutomatic, {true, 1, 0}).program, program);

    settings_.set_text(OptText::kSinglePlayerPath, u"/nowhere/player");
    const PlayerChoice missing = choose_player(settings_, table_, video, kPlayAutomatic, {});
    EXPECT_EQ(missing.program, u"");
    ASSERT_EQ(missing.log.size(), 1u);
    EXPECT_EQ(u8(missing.log[0]), "/nowhere/playerが存在しないので、既定のプレイヤーで再生します");

    settings_.set_text(OptText::kSinglePlayerPath, u"");
    const PlayerChoice empty = choose_player(settings_, table_, video, kPlayAutomatic, {});
    EXPECT_EQ(empty.program, u"");
    EXPECT_TRUE(empty.log.empty());
}

TEST_F(PlayerFolder, LaunchPassesTheVideoAsOneArgument) {
    const std::u16string video = u"/v/it's $(rm -rf ~); \"x\" `y`.mp4";
    const LaunchCommand c = launch_command({u"/opt/p/mpv", 0, {}}, video, u"/cache/v.ass");
    EXPECT_EQ(c.argv, (std::vector<std::u16string>{u"/opt/p/mpv", u"--sub-file=/cache/v.ass", video}));
    EXPECT_EQ(c.folder, u"/opt/p");
    EXPECT_EQ(launch_command({u"/usr/bin/vlc", 1, {}}, u"-x.mp4", u"/c.ass").argv,
              (std::vector<std::u16string>{u"/usr/bin/vlc", u"./-x.mp4"}))
        << "only mpv gets the subtitles; a leading dash is no option";
    EXPECT_EQ(launch_command({}, video).argv, (std::vector<std::u16string>{u"xdg-open", video}));
}

TEST_F(PlayerFolder, StartsDetachedInTheProgramsFolder) {
    const std::u16string record = home_ / u"record.txt";
    const std::u16string video = touch(u"it's $(echo no); \"q\".mp4");
    const LaunchCommand c = launch_command({recording_player(record), 0, {}}, video);
    ASSERT_EQ(start_detached(c), kOpenSucceeded);
    EXPECT_EQ(wait_for(record), to_utf8(home_ / u"bin") + "\n" + to_utf8(video) + "\n");

    EXPECT_EQ(start_detached({{home_ / u"missing-player", u"v"}, {}}), kOpenFileMissing);
    EXPECT_EQ(start_detached({{u"/nowhere/player", u"v"}, {}}), kOpenPathMissing);
    EXPECT_EQ(start_detached({{u"quippet-no-such-program-in-path", u"v"}, {}}), kOpenFileMissing);
    const std::u16string not_executable = touch(u"plain");
    EXPECT_EQ(start_detached({{not_executable, u"v"}, {}}), kOpenAccessDenied);
    EXPECT_EQ(start_detached({{recording_player(record), u"v"}, u"/nowhere/folder"}), kOpenPathMissing);
}

TEST_F(PlayerFolder, PlayWritesTheDebugFileAndTheHistory) {
    const std::u16string record = home_ / u"record.txt";
    const std::u16string video = touch(u"v.mp4");
    settings_.set_number(key(OptSwitch::kDebugMode), 1);
    const std::u16string bad = home_ / u"bad";
    const PlayOutcome failed = play_video(settings_, PlayerTable::parse(u"▼P\r\nbad\t" + bad), video, 0, {}, false);
    EXPECT_EQ(failed.code, kOpenFileMissing);
    ASSERT_EQ(failed.log.size(), 1u);
    EXPECT_EQ(u8(failed.log[0]), "指定されたファイルが見つかりませんでした");
    const std::u16string debug = home_ / u"デバッグモード：動画再生.txt";
    EXPECT_EQ(wide_file(debug), "exe:" + to_utf8(bad) + "\r\nparam:\"" + to_utf8(video) +
                                    "\"\r\n指定されたファイルが見つかりませんでした\r\n");
    EXPECT_TRUE(recently_played(play_history_path(settings_)).empty()) << "a failed start is not history";

    const PlayerTable table = PlayerTable::parse(u"▼P\r\nrec\t" + recording_player(record) + u"\r\n");
    const PlayOutcome ok = play_video(settings_, table, video, 0, {}, false);
    EXPECT_EQ(ok.code, kOpenSucceeded);
    wait_for(record);
    EXPECT_TRUE(wide_file(debug).ends_with("\r\nメルヘン\r\n")) << wide_file(debug);
    EXPECT_EQ(recently_played(play_history_path(settings_)), std::vector<std::u16string>{video});
    EXPECT_EQ(u8(play_history_path(settings_)), u8(home_ / u"cache/log/play.txt"));
}

TEST_F(PlayerFolder, HistoryKeepsEachVideoOnceNewestFirst) {
    const std::u16string file = home_ / u"cache/log/play.txt";
    EXPECT_TRUE(recently_played(file).empty());
    for (const auto* v : {u"/a", u"/b", u"/a", u"/c"})
        ASSERT_EQ(record_play(file, v), 0);
    EXPECT_EQ(recently_played(file), (std::vector<std::u16string>{u"/c", u"/a", u"/b"}));
    EXPECT_EQ(read_bytes(file).substr(0, 2), "\xFF\xFE");
    EXPECT_EQ(record_play(file, u"/x\r\n/y"), -1) << "a name with a line break would split into two entries";
    for (int i = 0; i < 8; ++i)
        record_play(file, u"/n" + from_utf8(std::to_string(i)), 5);
    const auto kept = recently_played(file);
    EXPECT_EQ(kept, (std::vector<std::u16string>{u"/n7", u"/n6", u"/n5", u"/n4", u"/n3"}));
}

TEST_F(PlayerFolder, RecentlyPlayedSelectionListsThePlayedVideosThatAreThere) {
    const std::u16string kept = touch(u"sm9.mp4"), gone = videos_ / u"sm10.mp4";
    ASSERT_EQ(record_play(play_history_path(settings_), kept), 0);
    ASSERT_EQ(record_play(play_history_path(settings_), gone), 0);
    const auto r = test::run_quippet_in(to_utf8(test::home_of(home_)), {"register", "<最近再生した動画の一覧>"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(r.out.starts_with("sm9\t")) << r.out;
    EXPECT_EQ(r.out.find("sm10"), std::string::npos) << r.out;
}

TEST_F(PlayerFolder, PlayCommandDryRunShowsTheChoice) {
    const std::string home = to_utf8(test::home_of(home_));
    const std::u16string video = touch(u"a.mp4");
    auto r = test::run_quippet_in(home, {"play", "--dry-run", to_utf8(video)});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "program\txdg-open\nargument\t" + to_utf8(video) + "\nfolder\t\n");
    EXPECT_TRUE(std::filesystem::exists(to_fs_path(home_ / u"設定：プレイリストの再生.txt")))
        << "the table is created with its default text";

    touch(u"a (1).xml");
    r = test::run_quippet_in(home, {"play", "--dry-run", to_utf8(video)});
    EXPECT_EQ(r.out, "program\t/usr/bin/smplayer\nargument\t" + to_utf8(video) + "\nfolder\t/usr/bin\n");
    r = test::run_quippet_in(home, {"play", "--dry-run", "--mode", "3", to_utf8(video)});
    EXPECT_TRUE(r.out.starts_with("program\txdg-open\n")) << r.out;
    r = test::run_quippet_in(home, {"play", "--dry-run", "--player", "VLC", to_utf8(video)});
    EXPECT_TRUE(r.out.starts_with("program\t/usr/bin/vlc\n")) << r.out;

    for (const auto& bad : std::vector<std::vector<std::string>>{{"play"},
                                                                 {"play", "--player", "nobody", "v"},
                                                                 {"play", "--mode", "4", "v"},
                                                                 {"play", "--default", "--mode", "1", "v"},
                                                                 {"play", "a", "b"}}) {
        SCOPED_TRACE(bad.back());
        EXPECT_EQ(test::run_quippet_in(home, bad).code, 2);
    }
}

} // namespace
} // namespace quippet
