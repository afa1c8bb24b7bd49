#include <algorithm>
#include <fstream>

#include <gtest/gtest.h>

#include "download/DownloadHistory.h"
#include "download/DownloadList.h"
#include "download/DownloadPacing.h"
#include "download/DownloadReport.h"
#include "net/NetReport.h"
#include "tests/text/TempFolder.h"
#include "text/Encoding.h"
#include "text/FileSP.h"

namespace quippet {
namespace {

DownloadRow row_of(std::u16string id, std::u16string name = u"name") {
    DownloadRow r;
    r.cells[dlcol::kId] = std::move(id);
    r.cells[dlcol::kSaveName] = std::move(name);
    return r;
}

TEST(DownloadList, AnIdIsListedOnceWhateverWayItComesIn) {
    CListDownload list;
    EXPECT_EQ(list.add_row(row_of(u"sm9")), 0);
    EXPECT_EQ(list.add_row(row_of(u"sm9", u"other")), -1);
    EXPECT_EQ(list.row_count(), 1);
    // Rows without an ID (being typed in) are not held against each other.
    EXPECT_GE(list.add_row(row_of(u"")), 0);
    EXPECT_GE(list.add_row(row_of(u"")), 0);

    // An ID written into a cell through the frame's list access is known as well, and forgotten when
    // the cell changes again.
    const int r = list.insert_row(-1, u"");
    list.set_cell(r, dlcol::kId, u"sm10");
    EXPECT_TRUE(list.has_id(u"sm10"));
    EXPECT_EQ(list.find_row(u"sm10", -1, dlcol::kId), r);
    list.set_cell(r, dlcol::kId, u"sm11");
    EXPECT_FALSE(list.has_id(u"sm10"));
    EXPECT_EQ(list.find_row(u"sm10", -1, dlcol::kId), -1);
    EXPECT_EQ(list.add_row(row_of(u"sm11")), -1);

    // Two rows typed with one ID by hand: the ID stays listed until both are gone.
    const int a = list.insert_row(-1, u"");
    list.set_cell(a, dlcol::kId, u"sm12");
    const int b = list.insert_row(-1, u"");
    list.set_cell(b, dlcol::kId, u"sm12");
    list.remove_row(b);
    EXPECT_TRUE(list.has_id(u"sm12"));
    list.remove_row(a);
    EXPECT_FALSE(list.has_id(u"sm12"));
    const int again = list.add_row(row_of(u"sm12"));
    EXPECT_EQ(again, list.row_count() - 1);
}

TEST(DownloadRowResult, FirstFailureByPriorityElseWhatWasDone) {
    WantedSteps all{true, true, true, true, true, true};
    struct Case {
        RowCodes codes;
        std::u16string_view mark;
        std::u16string text;
    };
    const Case cases[] = {
        // Same code for video and comments: one prefix for both.
        {{.comment = 156, .video = 156},
         kMarkFailure,
         u"動画・コメント：404エラー（時間をあけて再DLを試してください）"},
        {{.comment = 60, .video = 143, .thumbnail = 86}, kMarkPartial, u"動画：動画：404エラー"},
        {{.comment = 172, .video = 91}, kMarkPartial, u"コメント：過去ログ関係の失敗（無料会員だから？？）"},
        {{.comment = 60, .video = 91, .owner_comments = 77}, kMarkPartial, u"投コメ：投稿者コメントの取得に失敗"},
        {{.comment = 60, .info = 75}, kMarkPartial, u"動画情報：投稿者コメントの出力に失敗"},
        {{.thumbnail = 87}, kMarkFailure, u"サムネ：サムネイルのURLの取得に失敗"},
        {{.nicowari = 187}, kMarkFailure, u"ニコ割：ニコ割の存在情報が安定せず（想定外のエラー）"},
        // A skip rule's code is a success, and so are the "nothing to fetch" codes.
        {{.comment = 214, .owner_comments = 78, .nicowari = 182}, kMarkSuccess, u"コメントはスルー（増えていない）"},
        {{.comment = 60, .video = 128, .attempt = 2},
         kMarkSuccess,
         u"コメントのDL完了／動画は過去に保存済み（2回目で成功）"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(to_utf8(c.text));
        const RowResult r = row_result(c.codes, all);
        EXPECT_EQ(r.mark, c.mark);
        EXPECT_EQ(to_utf8(r.text), to_utf8(c.text));
    }
    RowResultContext ctx;
    ctx.quality_label = u"1080p";
    EXPECT_EQ(row_result({.video = 246}, all, ctx).text, u"動画：最高画質(1080pが低画質モードでDL不可");
    ctx.old_server = true;
    EXPECT_EQ(row_result({.video = 91}, {.video = true}, ctx).text, u"動画のDL完了（旧サーバ）");
    // Nothing asked for.
    EXPECT_EQ(row_result({.comment = 60}, WantedSteps{}).text, u"ダウンロードするものを設定してください");
    // A step that was not asked for never decides the text.
    EXPECT_EQ(row_result({.comment = 60, .video = 143}, {.comments = true}).mark, kMarkSuccess);
}

TEST(DownloadRowResult, EndLinesAndAdvice) {
    auto ok = download_end_lines(3, 3, 0);
    ASSERT_EQ(ok.size(), 2u);
    EXPECT_EQ(ok[0], u"3個のIDのDLを試みて、3個が成功");
    EXPECT_EQ(ok[1], u"完了しました。りゅんりゅん♪");
    auto bad = download_end_lines(3, 1, 2);
    EXPECT_EQ(bad[0], u"3個のIDのDLを試みて、1個が成功、2個が失敗");
    EXPECT_NE(bad[1], u"完了しました。りゅんりゅん♪");
    const auto advice = tls_advice_lines();
    EXPECT_EQ(advice.front(), u"-------------------------------------------------------");
    EXPECT_EQ(advice[1], u"お使いのOSが原因で、HTTPS接続ができない可能性があります");
}

TEST(DownloadPacing, WaitsGrowWithTheCounter) {
    const int w = 10;
    // One video at a time: the first two waits are none, the fifth is half the base wait.
    const int single[] = {0, 0, 2, 2, 5, 5, 5, 5, 5, 5, 10};
    for (int n = 1; n <= 11; ++n)
        EXPECT_EQ(download_wait(n, w, false).total(), single[n - 1]) << n;
    EXPECT_EQ(download_wait(50, w, false).total(), 10);
    EXPECT_EQ(download_wait(51, w, false).total(), 15);
    // Several at once, plus the wait for the running transfers.
    EXPECT_EQ(download_wait(3, w, true).total(), 3);
    EXPECT_EQ(download_wait(4, w, true, 2).total(), 12);
    EXPECT_EQ(download_wait(20, w, true).total(), 15);
    EXPECT_EQ(download_wait(21, w, true).total(), 20);
    // Time already spent is taken off, never below zero.
    EXPECT_EQ(download_wait(11, w, false, 0, 4).total(), 6);
    EXPECT_EQ(download_wait(11, w, false, 0, 40).total(), 0);
    EXPECT_EQ(wait_debug_line(download_wait(4, w, true, 2, 3)), u"10＋2－3＝9秒待機");

    // Pages: k and the information fetches of the job.
    EXPECT_EQ(page_wait_seconds(1, 0, w, true), 0);
    EXPECT_EQ(page_wait_seconds(2, 0, w, false), 0);
    EXPECT_EQ(page_wait_seconds(2, 0, w, true), 2);
    EXPECT_EQ(page_wait_seconds(5, 49, w, false), 2);
    EXPECT_EQ(page_wait_seconds(5, 50, w, false), 5);
    EXPECT_EQ(page_wait_seconds(11, 100, w, false), 10);
    EXPECT_EQ(page_wait_seconds(12, 0, w, false), 5);
    EXPECT_EQ(page_wait_seconds(24, 0, w, false), 10);
    EXPECT_EQ(page_wait_seconds(12, 100, w, false), 10);

    // The thumbnail API: tenths of a second, every 100th access the base wait.
    EXPECT_EQ(thumb_api_wait(1, 25, w).seconds, 2);
    EXPECT_EQ(thumb_api_wait(1, 25, w).rest_ms, 500);
    EXPECT_EQ(thumb_api_wait(100, 25, w).seconds, 10);
    EXPECT_EQ(thumb_api_wait(100, 25, w).rest_ms, 0);
}

/// Sleeps without waiting; the stop comes after a number of sleeps.
class CountingReport : public NetReport {
public:
    explicit CountingReport(int stop_after) : stop_after_(stop_after) {}
    void sleep_ms(int ms) override {
        slept += ms;
        ++sleeps;
    }
    bool stop_requested() const override { return stop_after_ >= 0 && sleeps >= stop_after_; }
    void progress(std::u16string_view text) override { shown.emplace_back(text); }
    void debug(std::u16string_view text) override { debug_lines.emplace_back(text); }
    int slept = 0;
    int sleeps = 0;
    std::vector<std::u16string> shown, debug_lines;

private:
    int stop_after_;
};

TEST(DownloadPacing, CountdownShowsTheSecondsAndEndsAtAStop) {
    CountingReport calm(-1);
    DownloadPacer pacer(10, 15, false, true);
    for (int row = 0; row < 5; ++row)
        EXPECT_EQ(pacer.wait(calm), 0);
    // Rows 1 and 2 did not wait; 3 and 4 waited 2 s, 5 waited 5 s.
    EXPECT_EQ(calm.slept, (2 + 2 + 5) * 1000);
    EXPECT_EQ(calm.shown.front(), u"待機中（残り2秒）");
    EXPECT_EQ(calm.shown.back(), u"待機中（残り1秒）");
    EXPECT_EQ(calm.debug_lines.back(), u"5＝5秒待機");

    CountingReport stopping(13); // the stop arrives during the second second
    EXPECT_EQ(count_down(stopping, 30, {}), -2);
    EXPECT_LT(stopping.slept, 2000);

    CountingReport api(-1);
    EXPECT_EQ(pacer.wait_thumb_api(api), 0);
    EXPECT_EQ(api.slept, 1500);
}

TEST(DownloadHistory, TheFileIsALogWhoseReplayIsTheHistory) {
    test::TempFolder dir;
    const std::u16string path = dir / u"cache/log/down.txt";
    HistoryLine a;
    a.id = u"sm1";
    a.states[1] = HistoryState::kFailed;
    HistoryLine b = a;
    b.states[1] = HistoryState::kDone;
    int code = 0;
    // Both lines go to the file; reading it, the older line of sm1 is gone as the keep rule says.
    ASSERT_EQ(append_history_file(path, a, 3, code), 0);
    ASSERT_EQ(append_history_file(path, b, 3, code), 0);
    CFileSP file;
    CCharW text;
    ASSERT_EQ(file.read_settings_text(path, text), 0);
    CDownloadHistory read(3);
    read.load_text(text.view());
    ASSERT_EQ(read.size(), 1u);
    EXPECT_EQ(read.lines()[0]->state(u'm'), HistoryState::kDone);

    // A job's history file: past its slack the file is written whole, holding the history and no more.
    CDownloadHistoryFile job;
    ASSERT_EQ(job.load(path, 3, code), 0);
    for (int i = 0; i < 1500; ++i) {
        HistoryLine l = a;
        l.id = u"sm" + decimal_text(100 + i);
        ASSERT_EQ(job.add(l, code), 0);
    }
    ASSERT_EQ(file.read_settings_text(path, text), 0);
    const size_t lines = static_cast<size_t>(std::count(text.view().begin(), text.view().end(), u'\n'));
    EXPECT_LE(lines, 3u + 1000u);
    read.load_text(text.view());
    ASSERT_EQ(read.size(), 3u);
    EXPECT_EQ(read.lines()[2]->id, u"sm1599");

    // A file another program wrote (UTF-8 here) is never appended to, but rewritten in our form.
    const std::u16string foreign = dir / u"foreign.txt";
    std::ofstream(to_utf8(foreign), std::ios::binary) << to_utf8(a.text()) << "\r\n";
    ASSERT_EQ(append_history_file(foreign, b, 3, code), 0);
    CCharM bytes;
    ASSERT_EQ(file.read(foreign, bytes), 0);
    EXPECT_EQ(static_cast<unsigned char>(bytes.view()[0]), 0xFF);
}

TEST(DownloadHistory, TheKeptLineCountNeverOutlivesAnEditOfTheFile) {
    // Limit 100 gives room for 1,100 lines; lines this short leave the size no proof of room, so the count
    // kept beside the file decides.
    test::TempFolder dir;
    const std::u16string path = dir / u"down.txt";
    auto line = [](int i) {
        HistoryLine l;
        l.id = u"sm" + decimal_text(100000 + i);
        l.states[3] = HistoryState::kDone;
        return l;
    };
    auto write_lines = [&](int count) {
        CDownloadHistory h(count);
        for (int i = 0; i < count; ++i)
            h.add(line(i));
        CFileSP file;
        ASSERT_EQ(file.write_wide_text(path, h.text(), CFileSP::kOverwrite), 0);
    };
    auto file_lines = [&] {
        CFileSP file;
        CCharW text;
        EXPECT_EQ(file.read_settings_text(path, text), 0);
        return std::count(text.view().begin(), text.view().end(), u'\n');
    };
    int code = 0;
    write_lines(1000);
    ASSERT_EQ(append_history_file(path, line(5000), 100, code), 0);
    EXPECT_EQ(file_lines(), 1001);
    // Rewritten behind the count's back, at the room: the count of 1,001 must not be believed.
    write_lines(1100);
    ASSERT_EQ(append_history_file(path, line(5001), 100, code), 0);
    EXPECT_EQ(file_lines(), 100); // past the room: written whole, at the limit
    // A count file of nonsense is only a slower add.
    write_lines(1099);
    std::ofstream(to_utf8(path) + ".lines", std::ios::binary) << "junk 12 x";
    ASSERT_EQ(append_history_file(path, line(5002), 100, code), 0);
    EXPECT_EQ(file_lines(), 1100);
    ASSERT_EQ(append_history_file(path, line(5003), 100, code), 0);
    EXPECT_EQ(file_lines(), 100);
    CFileSP file;
    CCharW text;
    ASSERT_EQ(file.read_settings_text(path, text), 0);
    CDownloadHistory read(100);
    read.load_text(text.view());
    ASSERT_EQ(read.size(), 100u);
    EXPECT_EQ(read.lines().back()->id, u"sm105003");

    // A job's file leaves the count of what it appended when it closes.
    {
        CDownloadHistoryFile job;
        ASSERT_EQ(job.load(path, 100, code), 0);
        for (int i = 0; i < 5; ++i)
            ASSERT_EQ(job.add(line(6000 + i), code), 0);
    }
    long long kept = -1;
    std::ifstream(to_utf8(path) + ".lines") >> kept;
    EXPECT_EQ(kept, file_lines());
}

TEST(DownloadHistory, LinesKeepOnlyWhatNewerLinesDoNotRecord) {
    DownloadRow row = row_of(u"sm9", u"タイトル(sm9)");
    row.cells[dlcol::kFolder] = u"/tmp/";
    row.cells[dlcol::kViews] = u"123";
    row.codes = {.comment = 60, .video = 143, .thumbnail = 88};
    const HistoryLine line = history_line_of(row, {.video = true, .thumbnail = true, .comments = true});
    EXPECT_EQ(line.text(), u"*w=0 m=1 o=0 c=3 t=2 i=0\t\t\tタイトル(sm9)\t\t/tmp/\t\t\tsm9\t123");
    HistoryLine back;
    ASSERT_TRUE(HistoryLine::parse(line.text(), back));
    EXPECT_EQ(back.text(), line.text());
    for (std::u16string_view junk : {u"", u"*", u"*m=9\t\t", u"*m=3\t\ta\tb", u"m=3\t\t1\t2\t3\t4\t5\t6\tsm1\t0"})
        EXPECT_FALSE(HistoryLine::parse(junk, back)) << to_utf8(junk);

    CDownloadHistory h(4);
    auto make = [](std::u16string id, HistoryState m, HistoryState c) {
        HistoryLine l;
        l.id = std::move(id);
        l.states[1] = m;
        l.states[3] = c;
        return l;
    };
    EXPECT_TRUE(h.add(make(u"sm1", HistoryState::kDone, HistoryState::kNotRequested)));
    EXPECT_TRUE(h.add(make(u"sm1", HistoryState::kNotRequested, HistoryState::kFailed)));
    EXPECT_EQ(h.lines().size(), 2u); // each records a step the other does not
    // A line that records video and comments makes both older lines of sm1 redundant.
    EXPECT_FALSE(h.add(make(u"sm1", HistoryState::kFailed, HistoryState::kDone)));
    ASSERT_EQ(h.lines().size(), 1u);
    EXPECT_TRUE(h.add(make(u"sm2", HistoryState::kDone, HistoryState::kDone)));
    EXPECT_TRUE(h.add(make(u"sm3", HistoryState::kFailed, HistoryState::kNotRequested)));
    EXPECT_TRUE(h.add(make(u"sm4", HistoryState::kNotRequested, HistoryState::kFailed)));
    // The fifth line pushes the oldest out.
    EXPECT_FALSE(h.add(make(u"sm5", HistoryState::kDone, HistoryState::kNotRequested)));
    ASSERT_EQ(h.lines().size(), 4u);
    EXPECT_EQ(h.lines().front()->id, u"sm2");

    auto ids = [&](HistorySelection s) {
        std::u16string out;
        for (const HistoryLine* l : h.select(s))
            out += l->id + u" ";
        return out;
    };
    EXPECT_EQ(ids(HistorySelection::kVideoDone), u"sm5 sm2 ");
    EXPECT_EQ(ids(HistorySelection::kVideoTried), u"sm5 sm3 sm2 ");
    EXPECT_EQ(ids(HistorySelection::kVideoFailed), u"sm3 ");
    EXPECT_EQ(ids(HistorySelection::kCommentsFailed), u"sm4 ");
    EXPECT_EQ(ids(HistorySelection::kAnyFailed), u"sm4 sm3 ");
    EXPECT_EQ(ids(HistorySelection::kAnyDone), u"sm5 sm2 ");
    const auto rows = history_selection_rows(h, HistorySelection::kVideoTried);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].id(), u"sm5");
    EXPECT_TRUE(rows[0].checked);
    EXPECT_EQ(history_selection_name(HistorySelection::kAnyFailed), u"<最近何かのDLに失敗した一覧>");
    EXPECT_EQ(history_selection_of(u"<最近コメントをDLした一覧>"), 3);
}

} // namespace
} // namespace quippet
