#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "app/Settings.h"
#include "download/PageRegistration.h"
#include "download/UpdateCheck.h"
#include "net/MovieInfo.h"
#include "tests/net/FakeServiceFixture.h"
#include "text/Encoding.h"
#include "text/FileSP.h"

namespace quippet {
namespace {

class Report : public RegisterReport {
public:
    void log(std::u16string_view text) override { lines.push_back(to_utf8(text)); }
    void sleep_ms(int) override {}
    bool has(const std::string& line) const { return std::find(lines.begin(), lines.end(), line) != lines.end(); }
    std::string all() const {
        std::string s;
        for (const auto& l : lines)
            s += l + "\n";
        return s;
    }
    std::vector<std::string> lines;
};

class PageRegistrationTest : public test::FakeServiceTest {
protected:
    void SetUp() override {
        FakeServiceTest::SetUp();
        root = service().root(false);
        ctx.list = &list;
        ctx.report = &report;
        ctx.folder = u"/f/";
        ctx.net = service().options();
        patterns = IdPatternFile::parse(default_id_pattern_text());
        method.front = root + u"/search/";
        method.rear = u"sort=r&order=d";
        method.page_param = u"page";
    }
    std::u16string root;
    CListDownload list;
    Report report;
    RegisterContext ctx;
    IdPatternFile patterns;
    SearchMethod method;
    PageCounter counter;
};

TEST_F(PageRegistrationTest, SearchWalkTakesEveryPageOnceAndSumsUp) {
    const WalkResult w = register_search(ctx, &patterns, method, u"テスト", {}, counter);
    EXPECT_EQ(w.pages, 4);
    EXPECT_EQ(list.row_count(), 120);
    EXPECT_TRUE(report.has("1ページ目の取得処理中...")) << report.all();
    EXPECT_TRUE(report.has("ヒットした動画の数：120")) << report.all();
    EXPECT_TRUE(report.has("パターン「検索・タグ・ホットリスト・新着」で抽出\r\n4ページから120件をリストに追加"))
        << report.all();
    EXPECT_EQ(list.cell(0, dlcol::kComments).empty(), false);
    const std::u16string first_of_page3 = list.cell(60, dlcol::kId);

    // Again from page 3, at most one page: the rows are there already, nothing is added twice.
    CListDownload again;
    ctx.list = &again;
    report.lines.clear();
    WalkOptions from3;
    from3.start_page_on = true;
    from3.start_page = 3;
    from3.page_limit_on = true;
    from3.page_limit = 1;
    const WalkResult w3 = register_search(ctx, &patterns, method, u"テスト", from3, counter);
    EXPECT_EQ(w3.pages, 1);
    EXPECT_EQ(w3.last_page, 3);
    ASSERT_EQ(again.row_count(), 30);
    EXPECT_EQ(again.cell(0, dlcol::kId), first_of_page3);
    EXPECT_TRUE(report.has("パターン「検索・タグ・ホットリスト・新着」で抽出\r\n3ページ目から30件をリストに追加"))
        << report.all();
    const WalkResult twice = register_search(ctx, &patterns, method, u"テスト", from3, counter);
    EXPECT_EQ(twice.result, kPageAllListed);
    EXPECT_EQ(again.row_count(), 30);
    EXPECT_TRUE(report.has("登録するものはありませんでした")) << report.all();
}

TEST_F(PageRegistrationTest, TwoEqualPagesEndTheWalk) {
    // The service ignores the parameter "e" and answers page 1 each time, while the next-page test "e=2"
    // finds "page=2" on it: only the equal pages can end this walk.
    method.page_param = u"e";
    const WalkResult w = register_search(ctx, &patterns, method, u"同じ", {}, counter);
    EXPECT_EQ(w.pages, 2);
    EXPECT_EQ(list.row_count(), 30);
}

TEST_F(PageRegistrationTest, AddressesRssPrivateListsAndFailures) {
    const WalkResult rss = register_from_address(ctx, &patterns, root + u"/tag/abc?rss=2.0", {}, counter);
    EXPECT_EQ(rss.pages, 1);
    ASSERT_EQ(list.row_count(), 30);
    EXPECT_EQ(list.cell(0, dlcol::kSaveName).rfind(u"テスト動画 ", 0), 0u);
    EXPECT_TRUE(report.has("情報のダウンロード中...")) << report.all();

    const WalkResult closed = register_from_address(ctx, &patterns, root + u"/mylist/0", {}, counter);
    EXPECT_EQ(closed.result, kPageRefused);
    EXPECT_TRUE(report.has("有効な検索結果を得られませんでした")) << report.all();

    // The settings' error pattern is asked before the page's own refusal texts.
    ctx.error_pattern = u"<p class=\"att\">非公開";
    PageWalkState state;
    PageRequest req;
    req.url = root + u"/mylist/0";
    EXPECT_EQ(fetch_and_register_page(ctx, &patterns, req, state), kPageError);
    ctx.error_pattern.clear();

    const WalkResult nowhere = register_from_address(ctx, &patterns, u"http://127.0.0.1:1/list", {}, counter);
    EXPECT_EQ(nowhere.result, kPageFetchFailed);
    EXPECT_TRUE(report.has("指定URLへのアクセスに失敗しました")) << report.all();
    EXPECT_EQ(list.row_count(), 30);
}

TEST_F(PageRegistrationTest, PagesNoBlockFitsFallBackToPlainIds) {
    InfoOptions info = info_options_from(CSettings());
    info.thumbinfo_url = root + u"/api/getthumbinfo/";
    info.net = service().options();
    int fetches = 0;
    ctx.fetch_info = [&](std::u16string_view, CWorkMovieInfo& movie) {
        ++fetches;
        int code = 0;
        return fetch_api_info(movie, u"", info, nullptr, report, code) == 0;
    };
    const WalkResult w = register_from_address(ctx, &patterns, root + u"/schedule/index.html", {}, counter);
    ASSERT_EQ(list.row_count(), 2);
    EXPECT_EQ(fetches, 2);
    EXPECT_EQ(list.cell(0, dlcol::kId), u"sm9");
    EXPECT_NE(list.cell(0, dlcol::kSaveName), kPendingName);
    EXPECT_NE(list.cell(0, dlcol::kSaveName).find(u"(sm9)"), std::u16string::npos);
    EXPECT_TRUE(report.has("抽出パターンに該当なし\r\n1ページから2件をリストに追加")) << report.all();
    EXPECT_EQ(w.pages, 1);
    // Without any pattern file the same page still registers (nothing new this time).
    PageWalkState state;
    PageRequest req;
    req.url = root + u"/schedule/index.html";
    EXPECT_EQ(fetch_and_register_page(ctx, nullptr, req, state), kPageNothing);
}

TEST_F(PageRegistrationTest, HostileAnswersEndInALogLine) {
    // A page far larger than any list page: refused while it arrives, the walk reports the failure.
    const WalkResult huge = register_from_address(ctx, &patterns, root + u"/bytes/52428800", {}, counter);
    EXPECT_EQ(huge.result, kPageFetchFailed);
    EXPECT_TRUE(report.has("指定URLへのアクセスに失敗しました")) << report.all();
    EXPECT_EQ(list.row_count(), 0);

    // A pattern file whose blocks are all broken: every page falls back to plain extraction.
    const IdPatternFile broken = IdPatternFile::parse(u"▼a\r\n区切\t無変換\r\nＩＤ\t抜出\tx\r\n名前\t抜出\ty\r\n"
                                                      u"▼b\r\nＵＲＬ\t含む\t[\r\n\r\n区切");
    EXPECT_EQ(broken.blocks.size(), 2u);
    EXPECT_FALSE(broken.problems.empty());
    report.lines.clear();
    const WalkResult w = register_from_address(ctx, &broken, root + u"/search/x", {}, counter);
    EXPECT_EQ(w.pages, 4);
    EXPECT_EQ(list.row_count(), 120);
    EXPECT_TRUE(report.has("抽出パターンに該当なし\r\n4ページから120件をリストに追加")) << report.all();
}

/// Sleeps without waiting and stops after a number of sleeps; keeps the replaced lines apart.
class StoppingReport : public Report {
public:
    explicit StoppingReport(int stop_after) : stop_after_(stop_after) {}
    void sleep_ms(int) override { ++sleeps; }
    bool stop_requested() const override { return stop_after_ >= 0 && sleeps >= stop_after_; }
    void log_replace(std::u16string_view text) override { replaced.push_back(to_utf8(text)); }
    int sleeps = 0;
    std::vector<std::string> replaced;

private:
    int stop_after_;
};

TEST_F(PageRegistrationTest, PagesWaitTheirTurnAndAStopEndsTheWalk) {
    StoppingReport stopping(25); // during the wait before page 4
    ctx.report = &stopping;
    WalkOptions paced;
    paced.base_wait = 10;
    const WalkResult w = register_search(ctx, &patterns, method, u"待つ", paced, counter);
    EXPECT_TRUE(w.stopped);
    EXPECT_EQ(w.pages, 3);
    EXPECT_EQ(list.row_count(), 90);
    // Page 2 goes at once (no thumbnails shown), page 3 waits W / 5 = 2 s, page 4 is stopped in its wait.
    const auto& r = stopping.replaced;
    EXPECT_NE(std::find(r.begin(), r.end(), "3ページ目の取得待機中（残り2秒）"), r.end());
    EXPECT_NE(std::find(r.begin(), r.end(), "3ページ目の取得処理中..."), r.end());
    EXPECT_EQ(std::find(r.begin(), r.end(), "4ページ目の取得処理中..."), r.end());
    EXPECT_TRUE(stopping.has("3ページまで処理済み")) << stopping.all();
    EXPECT_TRUE(stopping.has("パターン「検索・タグ・ホットリスト・新着」で抽出\r\n3ページから90件をリストに追加"))
        << stopping.all();
}

TEST_F(PageRegistrationTest, StartPagesCountInStepsOfTheMethod) {
    const std::u16string dir = scratch_dir();
    ctx.debug = true;
    ctx.net.debug = true;
    ctx.net.debug_folder = dir;
    WalkOptions from;
    from.start_page_on = true;
    from.start_page = 3;
    from.page_limit_on = true;
    from.page_limit = 1;
    register_search(ctx, &patterns, method, u"a", from, counter);
    SearchMethod web = method;
    web.page_param = u"start";
    web.first = 0;
    web.step = 30;
    from.start_page = 2;
    register_search(ctx, &patterns, web, u"b", from, counter);
    CFileSP file;
    CCharW text;
    // Plain extraction shows its pieces in debug mode.
    PageWalkState state;
    PageRequest req;
    req.url = root + u"/schedule/index.html";
    fetch_and_register_page(ctx, &patterns, req, state);
    EXPECT_TRUE(std::filesystem::exists(to_utf8(dir + u"/デバッグモード：抽出時の分割後.txt")));
    ASSERT_EQ(file.read_settings_text(dir + u"/デバッグモード：検索したURL.txt", text), 0);
    EXPECT_EQ(to_utf8(text.view()), to_utf8(root) + "/search/a?page=3&sort=r&order=d\r\n" + to_utf8(root) +
                                        "/search/b?start=30&sort=r&order=d\r\n");
}

TEST_F(PageRegistrationTest, UpdateChecksPassOverOldVideosUnlessTheBookmarkSaysOtherwise) {
    const std::u16string dir = scratch_dir();
    UpdateCheckSettings settings;
    settings.folder = dir;
    settings.skip_old = true;
    settings.old_days = 30; // the feed's videos are from 2007
    const std::u16string feed = root + u"/tag/old?rss=2.0";
    const UpdateTally old = run_update_checks(ctx, &patterns, {{feed, u""}}, settings);
    EXPECT_EQ(old.updates, 0);
    EXPECT_EQ(old.skipped[kSkipOld], 30);
    const UpdateTally let_in = run_update_checks(ctx, &patterns, {{feed, u"c=2"}}, settings);
    EXPECT_EQ(let_in.updates, 30);

    // With a state file, what was posted long before the last check is old news as well.
    settings.skip_old = false;
    CListDownload other;
    RegisterContext next = ctx;
    next.list = &other;
    const std::u16string second = root + u"/tag/older?rss=2.0";
    std::ofstream(to_utf8(dir + u"/" + update_state_file_name(second))) << "sm1\r\n";
    const UpdateTally before = run_update_checks(next, &patterns, {{second, u""}}, settings);
    EXPECT_EQ(before.skipped[kSkipBeforeLastCheck], 30);
    EXPECT_EQ(other.row_count(), 0);
}

TEST(PageHitCount, TheRangeOfCountsReported) {
    EXPECT_EQ(page_hit_count(u"<span class=\"searchTotal\">2,000,000</span>", nullptr), 2000000);
    EXPECT_EQ(page_hit_count(u"<span class=\"searchTotal\">2,000,001</span>", nullptr), -1);
    EXPECT_EQ(page_hit_count(u"<span class=\"searchTotal\">many</span>", nullptr), -1);
    EXPECT_EQ(page_hit_count(u"<p>none</p>", nullptr), -1);
}

TEST_F(PageRegistrationTest, UpdateChecksRememberWhatTheySaw) {
    const std::u16string dir = scratch_dir();
    UpdateCheckSettings settings;
    settings.folder = dir;
    settings.skip_thumb_exists = true;
    settings.thumb_exists = [](std::u16string_view id) { return id.ends_with(u"0"); };
    const std::u16string url = root + u"/ranking/daily";
    std::vector<UpdateTarget> targets{{url, u""}, {root + u"/ranking/x", u"", false}};

    const UpdateTally first = run_update_checks(ctx, &patterns, targets, settings);
    EXPECT_EQ(first.checked, 1);
    EXPECT_EQ(first.excluded, 1);
    EXPECT_EQ(first.updates, 27);
    EXPECT_EQ(first.skipped[kSkipThumbExists], 3);
    EXPECT_EQ(
        to_utf8(update_check_summary(first)),
        "1項目はチェック対象外\r\n1項目で27件の更新りゅん！3件はスルー（サムネ既存：3／投稿日が古い：0／投稿日が前の"
        "更新チェックより前：0）");
    const std::u16string state = dir + u"/" + update_state_file_name(url);
    ASSERT_TRUE(std::filesystem::exists(to_utf8(state)));

    // The second check sees the same page: nothing new; "c=1" lets the thumbnail videos through.
    CListDownload fresh;
    RegisterContext again = ctx;
    again.list = &fresh;
    again.added_ids.clear();
    const UpdateTally second = run_update_checks(again, &patterns, {{url, u"c=1"}}, settings);
    EXPECT_EQ(second.updates, 3);
    EXPECT_EQ(fresh.row_count(), 3);
    RegisterContext third = ctx;
    CListDownload none;
    third.list = &none;
    third.added_ids.clear();
    const UpdateTally last = run_update_checks(third, &patterns, {{url, u"c=3"}}, settings);
    EXPECT_EQ(last.updates, 0);
    EXPECT_EQ(to_utf8(update_check_summary(last)), "1項目を調べて更新なし");
}

TEST(UpdateCheck, StateNamesOptionsAndDates) {
    EXPECT_EQ(update_state_file_name(u"https://www.nicovideo.jp/mylist/123?rss=2.0"),
              u"www.nicovideo.jp／mylist／123？rss=2.0.txt");
    const std::u16string long_name = update_state_file_name(u"http://h/" + std::u16string(300, u'a'));
    EXPECT_EQ(long_name.size(), 128u + 4u);
    EXPECT_EQ(update_state_file_name(u"http://../..").find(u'/'), std::u16string::npos);

    EXPECT_FALSE(parse_update_option(u"").thumb_skip_off);
    EXPECT_TRUE(parse_update_option(u"c=1").thumb_skip_off);
    EXPECT_FALSE(parse_update_option(u"c=1").date_skips_off);
    EXPECT_TRUE(parse_update_option(u"x=5 c=2").date_skips_off);
    EXPECT_TRUE(parse_update_option(u"c=3").thumb_skip_off);
    EXPECT_TRUE(parse_update_option(u"c=3").date_skips_off);
    EXPECT_FALSE(parse_update_option(u"abc=1").thumb_skip_off);

    const auto a = posted_time(u"07/03/06 00:33");
    const auto b = posted_time(u"2007/03/06 00:33:00");
    const auto c = posted_time(u"Tue, 06 Mar 2007 00:33:00 +0900");
    ASSERT_TRUE(a && b && c);
    EXPECT_EQ(*a, *b);
    EXPECT_EQ(*b, *c);
    EXPECT_FALSE(posted_time(u"昨日"));
}

} // namespace
} // namespace quippet
