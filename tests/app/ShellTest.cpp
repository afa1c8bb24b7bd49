#include "app/HandOverFile.h"
#include "app/LaunchRequest.h"
#include "app/ShellRules.h"
#include "app/SingleInstance.h"

#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <set>

#include "tests/support/TestText.h"
#include "text/AppHome.h"
#include "text/CharBuffer.h"
#include "text/Encoding.h"
#include "text/FileSP.h"
#include "tests/text/TempFolder.h"

namespace quippet {
namespace {

using test::home_of;
using test::TempFolder;
using test::u8;

std::u16string read_wide(const std::u16string& path) {
    CCharW text;
    CFileSP file;
    if (file.read_wide_text(path, text) != 0) return u"<unreadable>";
    return std::u16string(text.view());
}

TEST(LaunchArguments, BuildTheHandOverText) {
    const std::set<std::u16string> existing = {u"/v/a.xml", u"/v/b c.mp4", u"/v/dir"};
    auto is_path = [&](std::u16string_view arg) { return existing.contains(std::u16string(arg)); };
    struct Case {
        std::vector<std::u16string> args;
        std::u16string handover;
        bool multi = false;
    };
    const Case cases[] = {
        {{}, u""},
        {{u"/v/a.xml"}, u"/v/a.xml\r\n"},
        {{u"/v/a.xml", u"/v/b c.mp4", u"/v/dir"}, u"/v/a.xml\r\n/v/b c.mp4\r\n/v/dir\r\n"},
        {{u"-s", u"初音ミク"}, u"▼検索オプション\r\n初音ミク"},
        {{u"/SEARCH", u"word"}, u"▼検索オプション\r\nword"},
        {{u"-Url", u"https://example.com/?a=1"}, u"▼URLオプション\r\nhttps://example.com/?a=1"},
        {{u"/a", u"sm9"}, u"▼追加オプション\r\nsm9"},
        // Only the first option counts; its word and the later option's word are never paths.
        {{u"-a", u"sm9", u"-s", u"/v/a.xml"}, u"▼追加オプション\r\nsm9"},
        // An option replaces the paths, wherever it stands.
        {{u"/v/a.xml", u"-u", u"x"}, u"▼URLオプション\r\nx"},
        // Words that are neither count only when nothing else was given.
        {{u"sm9", u"nm10"}, u"sm9\r\nnm10\r\n"},
        {{u"sm9", u"/v/a.xml"}, u"/v/a.xml\r\n"},
        {{u"sm9", u"-s", u"w"}, u"▼検索オプション\r\nw"},
        // An option without its word is no option.
        {{u"/v/a.xml", u"-s"}, u"/v/a.xml\r\n"},
        {{u"-M", u"/v/a.xml"}, u"/v/a.xml\r\n", true},
        {{u"/multi"}, u"", true},
        // Not an option: only the whole name counts.
        {{u"-searching"}, u"-searching\r\n"},
    };
    for (const Case& c : cases) {
        std::u16string joined;
        for (const auto& a : c.args)
            joined += a + u" ";
        SCOPED_TRACE(u8(joined));
        const LaunchRequest request = parse_launch_arguments(c.args, is_path);
        EXPECT_EQ(u8(request.handover), u8(c.handover));
        EXPECT_EQ(request.multi, c.multi);
        EXPECT_FALSE(request.list);
    }
}

TEST(LaunchArguments, ListAndProgramOptions) {
    auto none = [](std::u16string_view) { return false; };
    LaunchRequest r = parse_launch_arguments({u"-LIST", u"/v/dir", u"/v/a.xml"}, none);
    EXPECT_TRUE(r.list);
    EXPECT_EQ(r.list_folder, u"/v/dir");
    r = parse_launch_arguments({u"/l"}, none);
    EXPECT_TRUE(r.list);
    EXPECT_TRUE(r.list_folder.empty());

    r = parse_launch_arguments({u"--home", u"/h one", u"-s", u"w"}, none);
    EXPECT_EQ(r.options[u"home"], u"/h one");
    EXPECT_EQ(r.handover, u"▼検索オプション\r\nw");
    r = parse_launch_arguments({u"--home=/h2", u"x"}, none);
    EXPECT_EQ(r.options[u"home"], u"/h2");
    EXPECT_EQ(r.handover, u"x\r\n");
    r = parse_launch_arguments({u"--home"}, none);
    EXPECT_EQ(r.missing_value, u"home");
    EXPECT_TRUE(r.handover.empty());
}

TEST(SingleInstanceName, SeparatesUsersAndHomesAndStaysShort) {
    const std::string a = instance_name(u"alice", u"/home/alice/.local/share/QuippetVellichor");
    EXPECT_EQ(a, instance_name(u"alice", u"/home/alice/.local/share/QuippetVellichor/"));
    EXPECT_NE(a, instance_name(u"alice", u"/home/alice/other"));
    EXPECT_NE(a, instance_name(u"bob", u"/home/alice/.local/share/QuippetVellichor"));
    EXPECT_TRUE(a.starts_with("QuippetVellichor-alice-"));
    const std::string odd = instance_name(u"ユーザー/../x" + std::u16string(300, u'y'), std::u16string(4000, u'/'));
    EXPECT_LE(odd.size(), 60u);
    for (char c : odd)
        EXPECT_TRUE(std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_') << odd;
}

TEST(SingleInstanceMessages, ArriveWholeWhateverThePieces) {
    const std::u16string big(3 * 1024 * 1024, u'あ');
    const std::string bytes = encode_instance_message(kHandOverText, u"/v/a.xml\r\n") +
                              encode_instance_message(kHandOverText, big) + encode_instance_message(7, u"");
    for (size_t piece : {size_t{1}, size_t{5}, size_t{4096}, bytes.size()}) {
        SCOPED_TRACE(piece);
        CInstanceMessageReader reader;
        std::vector<InstanceMessage> got;
        for (size_t at = 0; at < bytes.size(); at += piece) {
            auto state = reader.feed(std::string_view(bytes).substr(at, piece));
            ASSERT_NE(state, CInstanceMessageReader::State::invalid);
            while (auto message = reader.take())
                got.push_back(std::move(*message));
        }
        ASSERT_EQ(got.size(), 3u);
        EXPECT_EQ(got[0].text, u"/v/a.xml\r\n");
        EXPECT_EQ(got[1].text.size(), big.size());
        EXPECT_TRUE(got[1].text == big);
        EXPECT_EQ(got[2].type, 7u);
        EXPECT_TRUE(got[2].text.empty());
    }
}

TEST(SingleInstanceMessages, StrangersAndOversizedTextsAreTurnedAway) {
    CInstanceMessageReader stranger;
    EXPECT_EQ(stranger.feed("GET / HTTP/1.1\r\n"), CInstanceMessageReader::State::invalid);
    EXPECT_EQ(stranger.feed(encode_instance_message(0, u"x")), CInstanceMessageReader::State::invalid);
    EXPECT_FALSE(stranger.take());

    std::string header = encode_instance_message(0, u"");
    const std::uint32_t units = static_cast<std::uint32_t>(kMaxHandOverUnits + 1);
    for (int i = 0; i < 4; ++i)
        header[8 + static_cast<size_t>(i)] = static_cast<char>((units >> (8 * i)) & 0xFF);
    CInstanceMessageReader oversized;
    EXPECT_EQ(oversized.feed(header), CInstanceMessageReader::State::invalid);
}

TEST(HandOverFile, ReservationsKeepEveryTextAndEveryFile) {
    TempFolder folder;
    const std::u16string home = home_of(folder);
    const std::u16string path = hand_over_file_path(home);

    EXPECT_FALSE(take_reservation(home));
    ASSERT_EQ(write_reservation(home, u"▼検索オプション\r\n初音ミク"), 0);
    EXPECT_EQ(u8(read_wide(path)), u8(u"[予約]\r\n▼検索オプション\r\n初音ミク"));
    // A second reservation before any start took the first: both survive.
    ASSERT_EQ(write_reservation(home, u"/v/a.xml\r\n"), 0);
    EXPECT_EQ(u8(read_wide(path)), u8(u"[予約]\r\n▼検索オプション\r\n初音ミク\r\n/v/a.xml\r\n"));
    const auto taken = take_reservation(home);
    ASSERT_TRUE(taken);
    EXPECT_EQ(u8(*taken), u8(u"▼検索オプション\r\n初音ミク\r\n/v/a.xml\r\n"));
    EXPECT_FALSE(take_reservation(home)) << "taken once";

    // Somebody else's file of that name is moved aside, not replaced, and never taken as a reservation.
    test::write_bytes(path, "my own notes\n");
    EXPECT_FALSE(take_reservation(home));
    EXPECT_EQ(test::read_bytes(path), "my own notes\n");
    ASSERT_EQ(write_reservation(home, u"x\r\n"), 0);
    EXPECT_EQ(test::read_bytes(folder / u"QuippetVellichor(1).txt"), "my own notes\n");
    EXPECT_EQ(u8(read_wide(path)), u8(u"[予約]\r\nx\r\n"));
}

TEST(HandOverFile, ListingNamesTheFilesOfOneFolder) {
    TempFolder folder;
    const std::u16string home = home_of(folder);
    const std::u16string listed = folder / u"listed";
    std::filesystem::create_directories(to_fs_path(listed + u"/sub"));
    test::write_bytes(listed + u"/b.xml", "b");
    test::write_bytes(listed + u"/a 動画.mp4", "a");
    test::write_bytes(listed + u"/sub/deep.xml", "d");

    EXPECT_EQ(write_folder_listing(home, listed + u"/b.xml"), -2);
    EXPECT_EQ(write_folder_listing(home, folder / u"missing"), -2);
    EXPECT_FALSE(std::filesystem::exists(to_fs_path(hand_over_file_path(home))));

    ASSERT_EQ(write_reservation(home, u"waiting"), 0);
    ASSERT_EQ(write_folder_listing(home, listed), 0);
    EXPECT_EQ(u8(read_wide(hand_over_file_path(home))), u8(listed + u"/a 動画.mp4\r\n" + listed + u"/b.xml\r\n"));
    // The reservation no start had taken yet went aside instead of under the listing.
    EXPECT_EQ(u8(read_wide(folder / u"QuippetVellichor(1).txt")), u8(u"[予約]\r\nwaiting"));
}

TEST(ShellRules, ShutdownWarningsByStage) {
    EXPECT_TRUE(shutdown_warning(0).empty());
    EXPECT_TRUE(shutdown_warning(-1).empty());
    EXPECT_TRUE(shutdown_warning(1).starts_with(u"前回の終了処理が行われておりません\r\n\r\n"));
    EXPECT_TRUE(shutdown_warning(1).ends_with(u"保存されていない可能性がございます"));
    const std::u16string_view places[] = {u"「実況ログtoXMLより前」", u"「実況ログtoXML」", u"「実況ログtoXMLより後」"};
    for (int result = 2; result <= 4; ++result) {
        const std::u16string text = shutdown_warning(result);
        SCOPED_TRACE(u8(text));
        EXPECT_TRUE(text.starts_with(u"前回の終了処理が中断されました。場所は" + std::u16string(places[result - 2]) +
                                     u"です\r\n\r\nWindowsのシャットダウン"));
        EXPECT_TRUE(text.ends_with(u"作者にご連絡ください"));
    }
}

TEST(ShellRules, WindowsOffEveryScreenComeBack) {
    const WindowRect screens[] = {{0, 0, 1920, 1040}, {1920, 0, 1280, 1024}};
    struct Case {
        WindowRect window;
        WindowRect placed;
    };
    const Case cases[] = {
        {{100, 100, 800, 600}, {100, 100, 800, 600}},
        {{2000, 50, 800, 600}, {2000, 50, 800, 600}},   // on the second screen
        {{-700, 10, 800, 600}, {-700, 10, 800, 600}},   // a grip still shows on the left
        {{5000, 5000, 800, 600}, {560, 220, 800, 600}}, // gone: centred on the primary
        {{100, -500, 800, 600}, {560, 220, 800, 600}},  // title bar above the screen
        {{-9000, 0, 4000, 3000}, {0, 0, 1920, 1040}},   // no larger than the screen
        {{3150, 900, 800, 600}, {560, 220, 800, 600}},  // a 50-pixel grip is too small to drag
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.window.left) + "," + std::to_string(c.window.top));
        EXPECT_EQ(place_on_screens(c.window, screens), c.placed);
    }
    EXPECT_EQ(place_on_screens({5000, 5000, 10, 10}, {}), (WindowRect{5000, 5000, 10, 10}));
}

TEST(ShellRules, TabSizesByRule) {
    const WindowRect screen{0, 0, 1920, 1040};
    const WindowRect normal{300, 200, 1000, 700};
    struct Case {
        TabSizeRules rules;
        WindowRect forced;
    };
    const Case cases[] = {
        {{0, 0, false}, {300, 200, 1000, 700}},   {{1, 1, false}, {300, 200, 640, 480}},
        {{-1, -1, false}, {300, 200, 1620, 840}}, {{0, -1, true}, {0, 200, 1300, 700}},
        {{0, 1, true}, {660, 200, 640, 700}},     {{900, 1200, false}, {300, 200, 1200, 900}},
        {{5, 5, false}, {300, 200, 640, 480}}, // a pixel size below the minimum
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.rules.height) + "/" + std::to_string(c.rules.width));
        EXPECT_EQ(tab_window_rect(normal, c.rules, 640, 480, screen), c.forced);
    }
    EXPECT_FALSE(forces_size({0, 0, true}));
    EXPECT_TRUE(forces_size({0, -1, false}));
}

TEST(ShellRules, BrokenSettingsFileIsSetAsideOnce) {
    TempFolder folder;
    const std::u16string home = home_of(folder);
    std::u16string kept;
    EXPECT_EQ(set_aside_broken_settings_file(home, &kept), 0) << "no file";
    test::write_bytes(folder / u"QuippetVellichor.ini", "\xEF\xBB\xBF[Window]\nTab=1\n");
    EXPECT_EQ(set_aside_broken_settings_file(home, &kept), 0);

    const std::string broken("\xFF\xFE[\0W\0", 6);
    for (int round = 1; round <= 2; ++round) {
        test::write_bytes(folder / u"QuippetVellichor.ini", broken);
        ASSERT_EQ(set_aside_broken_settings_file(home, &kept), 1);
        EXPECT_EQ(u8(kept),
                  u8(folder / (round == 1 ? u"QuippetVellichor.ini.broken" : u"QuippetVellichor.ini.broken-2")));
        EXPECT_EQ(test::read_bytes(kept), broken);
        EXPECT_FALSE(std::filesystem::exists(folder.path() / "QuippetVellichor.ini"));
    }
}

} // namespace
} // namespace quippet
