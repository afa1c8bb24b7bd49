#include "livelog/Warehouse.h"

#include "app/Settings.h"
#include "livelog/LiveLogSettingKeys.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

namespace quippet {
namespace {

/// The search works in local time; each test fixes the zone and gives the previous one back.
class Warehouse : public ::testing::Test {
protected:
    void SetUp() override {
        if (const char* tz = std::getenv("TZ")) previous_ = tz, had_ = true;
        use_zone("UTC0");
    }
    void TearDown() override {
        if (had_)
            setenv("TZ", previous_.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }
    static void use_zone(const char* zone) {
        setenv("TZ", zone, 1);
        tzset();
    }

private:
    std::string previous_;
    bool had_ = false;
};

constexpr std::int64_t kNewYear2011Utc = 1293840000;

TEST_F(Warehouse, WindowIsTakenInLocalTime) {
    const WhWindow utc = warehouse_window(2011, 1, 1, 0, 0, 8, 0);
    EXPECT_EQ(utc.from, kNewYear2011Utc - 8 * 3600);
    EXPECT_EQ(utc.to, kNewYear2011Utc);
    use_zone("JST-9");
    const WhWindow jst = warehouse_window(2011, 1, 1, 0, 0, 8, 0);
    EXPECT_EQ(jst.to, kNewYear2011Utc - 9 * 3600);
    EXPECT_EQ(jst.from, jst.to - 8 * 3600);
    EXPECT_TRUE(jst.contains(jst.from));
    EXPECT_TRUE(jst.contains(jst.to));
    EXPECT_FALSE(jst.contains(jst.to + 1));

    CSettings s;
    for (auto [field, value] : {std::pair{WcNumber::kSearchYear, 2011},
                                {WcNumber::kSearchMonth, 1},
                                {WcNumber::kSearchDay, 1},
                                {WcNumber::kSearchHour, 0},
                                {WcNumber::kSearchMinute, 0},
                                {WcNumber::kHoursBack, 8},
                                {WcNumber::kHoursForward, 3}})
        s.set_number(field, value);
    const WhWindow fields = warehouse_window(s);
    EXPECT_EQ(fields.from, jst.from);
    EXPECT_EQ(fields.to, jst.to + 3 * 3600);
}

TEST_F(Warehouse, DefaultBoardTableHoldsTheTenBoardsAndTheMovesPage) {
    const std::vector<WhBoard> boards = parse_board_table(default_board_table_text());
    const std::vector<std::u16string> folders = {u"livetx",  u"liveanb", u"liventv", u"livetbs",    u"livecx",
                                                 u"livenhk", u"liveetv", u"weekly",  u"livewkwest", u"livebs2"};
    ASSERT_EQ(boards.size(), folders.size() + 1);
    for (size_t i = 0; i < folders.size(); ++i) {
        EXPECT_EQ(boards[i].folder, folders[i]);
        ASSERT_FALSE(boards[i].servers.empty());
        for (size_t j = 1; j < boards[i].servers.size(); ++j)
            EXPECT_LT(boards[i].servers[j - 1].since, boards[i].servers[j].since) << i;
        EXPECT_TRUE(boards[i].open_url.starts_with(u"https://"));
    }
    EXPECT_EQ(boards[0].name, u"テレビ東京");
    EXPECT_EQ(boards[9].name, u"BS実況(無料)");
    EXPECT_EQ(boards.back().name, u"移転状況の参考");
    EXPECT_TRUE(boards.back().folder.empty());
    EXPECT_FALSE(boards.back().open_url.empty());
}

TEST_F(Warehouse, ServerIsTheLastMoveBeforeTheBase) {
    const std::vector<WhBoard> boards = parse_board_table(
        u"▼板\r\nフォルダ\tlivex\r\n2005-01-01\told\r\n2011-01-01\tnew\r\nbad line\r\n2011-1-1\tx\r\n");
    ASSERT_EQ(boards.size(), 1u);
    ASSERT_EQ(boards[0].servers.size(), 2u);
    EXPECT_FALSE(choose_server(boards[0], warehouse_window(2004, 12, 31, 23, 59, 0, 0).base));
    // The move's own midnight is not before itself: the board was still on the old server.
    const auto at_move = choose_server(boards[0], warehouse_window(2011, 1, 1, 0, 0, 0, 0).base);
    ASSERT_TRUE(at_move);
    EXPECT_EQ(at_move->server, u"old");
    EXPECT_FALSE(at_move->current);
    const auto after = choose_server(boards[0], warehouse_window(2011, 1, 1, 0, 1, 0, 0).base);
    EXPECT_EQ(after->server, u"new");
    EXPECT_TRUE(after->current);
}

TEST_F(Warehouse, BrowserTableFormsAndCommands) {
    const std::vector<WhBrowserEntry> defaults = parse_browser_table(default_browser_table_text());
    ASSERT_EQ(defaults.size(), 5u);
    EXPECT_EQ(defaults[0].name, u"（結果を送る設定）");
    EXPECT_TRUE(defaults[0].form.empty());
    EXPECT_EQ(defaults[1].name, u"2ch");
    EXPECT_EQ(defaults[1].browser, 1);
    EXPECT_NE(defaults[1].form.find(u"/test/read.cgi/%DIR%/%KEY%/"), std::u16string::npos);
    EXPECT_NE(defaults[3].form.find(u"/log/2ch/%DIR%/%KEY%/"), std::u16string::npos);
    EXPECT_TRUE(defaults[4].form.ends_with(u"/r/%DIR%/%KEY%"));

    const std::vector<WhBrowserEntry> odd = parse_browser_table(u"// c\na\tx\t7\nb\ty\t2\n");
    ASSERT_EQ(odd.size(), 2u);
    EXPECT_EQ(odd[0].browser, 0); // no such browser: the desktop's
    EXPECT_EQ(odd[1].browser, 2);

    EXPECT_EQ(expand_address_form(board_read_form(u"5ch.net"), u"hayabusa", u"livetx", u"1293812000"),
              u"https://hayabusa.5ch.net/test/read.cgi/livetx/1293812000/");
    EXPECT_EQ(expand_address_form(u"%KEY%%KEY%-%SAB", u"s", u"d", u"1"), u"11-%SAB");

    CSettings s;
    s.set_text(OptText::kBrowser1Path, u"/opt/my browser/run");
    s.set_text(OptText::kBrowser1Option, u" -new-tab  -x ");
    const BrowserCommand one = browser_command(s, 1, u"http://a/b c");
    EXPECT_EQ(one.program, u"/opt/my browser/run");
    EXPECT_EQ(one.args, (std::vector<std::u16string>{u"-new-tab", u"-x", u"http://a/b c"}));
    // Browser 2 without a program falls back to the desktop's default browser.
    const BrowserCommand two = browser_command(s, 2, u"http://a/");
    EXPECT_EQ(two.program, u"xdg-open");
    EXPECT_EQ(two.args, std::vector<std::u16string>{u"http://a/"});
}

TEST_F(Warehouse, MenuIndexTakesPagesWhoseRangeHoldsAnEndOfTheWindow) {
    const WhWindow w = warehouse_window(2011, 1, 1, 0, 0, 8, 0); // 1293811200 … 1293840000
    const std::u16string html = u"<a href=\"./index3.html\">old</a>"
                                u"<p class=\"menu_here\">1293811000-1293811999</p>"
                                u"<p class=\"menu_link\"><a href=\"./a.html\">a.html</a> 1293800000-1293815000</p>"
                                u"<p class=\"menu_link\"><a href=\"./b.html\">b.html</a> 1293812000 - 1293813000</p>"
                                u"<p class=\"menu_link\"><a href=\"./c.html\">c.html</a> 1293839999-1293900000</p>"
                                u"<p class=\"menu_link\"><a href=\"./d.html\">d.html</a></p>"
                                u"<p class=\"menu_link\"><a href=\"http://evil/e.html\">e</a> 1-9999999999</p>";
    const WhIndexScan scan = scan_warehouse_index(html, u"https://s.example/livex/kako/", u"livex", w);
    // b lies wholly inside the window: neither end falls in its range, so it is not taken.
    EXPECT_EQ(scan.pages,
              (std::vector<std::u16string>{u"https://s.example/livex/kako/a.html",
                                           u"https://s.example/livex/kako/c.html", u"https://s.example/livex/kako/"}));
    EXPECT_EQ(scan.links, 5);
    EXPECT_TRUE(scan.refers_index3);
    EXPECT_FALSE(scan.refers_index9);
}

TEST_F(Warehouse, LinkIndexComparesKeyPrefixes) {
    const WhWindow w{0, 999'990'000, 1'000'020'000};
    const std::u16string html = u"<a href=\"kako/o99.html#livex9999\">x</a>"  // 9999 vs prefixes 999 … 1000
                                u"<a href=\"kako/o100.html#livex1000\">x</a>" // inside
                                u"<a href=\"kako/o101.html#livex1001\">x</a>" // above
                                u"<a href=\"/abs.html#livex1000\">x</a>"      // leaves the board
                                u"<a href=\"kako/o.html#other1000\">x</a>";
    const WhIndexScan scan = scan_warehouse_index(html, u"https://s.example/livex/index.html", u"livex", w);
    EXPECT_EQ(scan.pages, (std::vector<std::u16string>{u"https://s.example/livex/kako/o100.html"}));
    EXPECT_EQ(scan.links, 5);
    EXPECT_TRUE(scan_warehouse_index(u"no links at all", u"https://s/", u"livex", w).pages.empty());
}

TEST_F(Warehouse, ThreadScansReadKeysPostsAndTitles) {
    const WhThreadScan links = scan_thread_links(
        u"<a href=\"../index.html\">back</a><a href=\"1293812000/l50\">1: 実況 (テスト) (500)</a>"
        u"<a href=\"read.cgi/livex/1293812001/\">2: 無題 (12)</a>"
        u"<a href=\"12345678901234567890/l50\">3: big (9)</a><a href=\"1293812002/l50\">no count</a>");
    ASSERT_EQ(links.threads.size(), 2u);
    EXPECT_EQ(links.links, 5);
    EXPECT_EQ(links.threads[0].key, 1293812000);
    EXPECT_EQ(links.threads[0].posts, 500);
    EXPECT_EQ(links.threads[0].title, u"1: 実況 (テスト)");
    EXPECT_EQ(links.threads[1].key, 1293812001);

    const WhThreadScan table = scan_thread_table(
        u"<tr><td><span class=\"filename\">1293811300.dat</span></td><td><a href=\"/test/read.cgi/x/1293811300/\">"
        u"<b>東京</b>\nの夜</a></td><td><span class=\"lines\">200</span></td></tr>"
        u"<span class=\"filename\">99999999999999999999.dat</span>"
        u"<span class=\"filename\">1293811400.dat</span><a href=\"/x/1293811400/\">no lines</a>");
    ASSERT_EQ(table.threads.size(), 2u);
    EXPECT_EQ(table.links, 3);
    EXPECT_EQ(table.threads[0].title, u"東京 の夜");
    EXPECT_EQ(table.threads[0].posts, 200);
    EXPECT_EQ(table.threads[1].posts, 0);
    EXPECT_EQ(scan_thread_table(u"<html></html>").links, 0);
}

TEST_F(Warehouse, FilterKeepsWindowAndPostMinimumAndSortsByTitleWords) {
    const WhWindow w = warehouse_window(2011, 1, 1, 0, 0, 8, 0);
    WhThreadScan scan;
    scan.threads = {{w.from, 100, u"東京の夜"},     {w.to, 500, u"雑談"},        {w.from + 5, 99, u"東京 少"},
                    {w.from - 1, 900, u"東京 前"},  {w.to + 1, 900, u"東京 後"}, {w.from + 9, 300, u"大阪"},
                    {w.from, 100, u"東京の夜 重複"}};
    WhResult result;
    EXPECT_EQ(filter_threads(scan, w, 100, split_title_words(u"東京||大阪"), result), 4);
    order_result(result);
    ASSERT_EQ(result.matching.size(), 2u); // the duplicate key is listed once
    EXPECT_EQ(result.matching[0].key, w.from);
    EXPECT_EQ(result.matching[1].title, u"大阪");
    ASSERT_EQ(result.excluded.size(), 1u);
    EXPECT_EQ(result.excluded[0].title, u"雑談");
    const std::u16string list = compose_result_list(result);
    EXPECT_TRUE(list.starts_with(u"倉庫一覧\n▽該当\n"));
    EXPECT_LT(list.find(u"大阪"), list.find(u"▽除外\n"));
    EXPECT_GT(list.find(u"雑談"), list.find(u"▽除外\n"));

    WhResult all;
    filter_threads(scan, w, 100, {}, all);
    EXPECT_EQ(all.matching.size(), 4u);
    EXPECT_TRUE(all.excluded.empty());
}

TEST_F(Warehouse, CopiedLinesGiveTheirThreadKeys) {
    EXPECT_EQ(keys_in_copied_text(u"倉庫一覧\n1293812000\t実況 1\nhttps://s/test/read.cgi/x/1293815000/\n"
                                  u"12345678901\nno digits\n123 999999999 5\n1293812000\tagain"),
              (std::vector<std::u16string>{u"1293812000", u"1293815000", u"999999999"}));
}

} // namespace
} // namespace quippet
