#include "download/DownloadJob.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <mutex>

#include <gtest/gtest.h>

#include "app/MemorySinks.h"
#include "app/SettingKeys.h"
#include "app/WorkThread.h"
#include "download/DownloadHistory.h"
#include "download/DownloadTabKeys.h"
#include "download/IdRecognition.h"
#include "net/ServiceAddress.h"
#include "tests/download/DownloadTestSupport.h"
#include "tests/support/JobTestSupport.h"
#include "text/AppHome.h"
#include "text/Encoding.h"
#include "text/FileSP.h"

namespace quippet {
namespace {

namespace fs = std::filesystem;

/// Sleeps of every row recorded instead of slept; a stop once a chosen row has begun to wait.
struct SleepBook {
    std::mutex mutex;
    std::map<int, int> slept_ms;
    int stop_in_row = -1;
    bool stopped = false;
};

class BookReport : public NetReport {
public:
    BookReport(SleepBook& book, int row) : book_(book), row_(row) {}
    void sleep_ms(int ms) override {
        std::lock_guard lock(book_.mutex);
        book_.slept_ms[row_] += ms;
        if (row_ == book_.stop_in_row) book_.stopped = true;
    }
    bool stop_requested() const override {
        std::lock_guard lock(book_.mutex);
        return book_.stopped;
    }

private:
    SleepBook& book_;
    int row_;
};

class DownloadJobTest : public test::FakeServiceTest {
protected:
    void SetUp() override {
        FakeServiceTest::SetUp();
        old_home_ = app_home();
        home_ = scratch_dir() + u"home";
        fs::create_directories(to_fs_path(home_));
        set_app_home(home_);
        folder_ = scratch_dir() + u"dl";
        fs::create_directories(to_fs_path(folder_));
    }
    void TearDown() override {
        set_app_home(old_home_);
        FakeServiceTest::TearDown();
    }

    /// The service's addresses, direct connections, no waits, no retries worth waiting for.
    CSettings settings() const {
        CSettings s;
        apply_service_root(s, service().root(false));
        s.set_number(OptNumber::kProxyMode, 1);
        s.set_number(OptNumber::kDownloadWait, 0);
        s.set_number(OptNumber::kThumbApiInterval, 0);
        s.set_number(OptNumber::kVideoRetryWait, 0);
        s.set_number(OptNumber::kCommentRetryWait, 0);
        s.set_number(OptNumber::kPastLogInterval, 0);
        s.set_number(OptNumber::kVideoFreeSpaceMb, 0);
        s.set_number(OptNumber::kFreeSpaceMb, 0);
        s.set_number(OptNumber::kParallelDownloads, 1);
        s.set_text(OptProtected::kMail, u"quippet@example.invalid");
        s.set_text(OptProtected::kPassword, u"vellichor");
        for (DlSwitch k : {DlSwitch::kVideo, DlSwitch::kThumbnail, DlSwitch::kNicowari, DlSwitch::kInfoFile,
                           DlSwitch::kComments, DlSwitch::kPastLogs, DlSwitch::kOwnerComments})
            s.set_number(k, 0);
        return s;
    }

    void add_rows(CListDownload& list, std::initializer_list<const char16_t*> ids) {
        for (const char16_t* id : ids) {
            DownloadRow row;
            row.cells[dlcol::kId] = id;
            row.cells[dlcol::kSaveName] = id;
            row.cells[dlcol::kFolder] = folder_ + u"/";
            list.add_row(std::move(row));
        }
    }

    DownloadTotals run(CListDownload& list, const CSettings& s, DownloadHooks hooks = {}) {
        CWorkThread worker(test::data_for(frame_, &log_, &list, JobKind::kDownload));
        return run_download_job(worker, s, std::move(hooks));
    }

    std::string history() const {
        CFileSP file;
        CCharW text;
        if (file.read_settings_text(home_ + u"/cache/log/down.txt", text) != 0) return {};
        return to_utf8(text.view());
    }

    CJobFrame frame_;
    MemoryLogBox log_;
    std::u16string old_home_, home_, folder_;
};

std::string row_text(const CListDownload& list, int row) {
    return to_utf8(list.row(row).cells[dlcol::kMark]) + " " + to_utf8(list.row(row).cells[dlcol::kDetail]);
}

TEST_F(DownloadJobTest, MixedListEndsEveryRowWithItsOwnResult) {
    CSettings s = settings();
    s.set_number(DlSwitch::kVideo, 1);
    s.set_number(DlSwitch::kComments, 1);
    s.set_number(DlSwitch::kInfoFile, 1);
    CListDownload list;
    add_rows(list, {u"sm9", u"sm10", u"sm14", u"sm13", u"sm16"});
    const DownloadTotals totals = run(list, s);
    SCOPED_TRACE(to_utf8(log_.text()));
    EXPECT_EQ(totals.tried, 5);
    EXPECT_FALSE(totals.stopped);

    struct Expect {
        int row;
        const char* mark;
        std::vector<std::string> pieces; ///< parts of the detail text
    };
    const Expect expects[] = {
        {0, "○", {"コメントのDL完了", "動画のDL完了", "動画情報のDL完了"}},
        {1, "△", {"動画：削除されています"}},
        {2, "○", {"動画のDL完了（旧サーバ）", "コメントのDL完了"}},
        {3, "○", {"コメントのDL完了", "動画のDL完了"}},
        {4, "○", {"0コメントの動画", "動画のDL完了"}},
    };
    for (const Expect& e : expects) {
        SCOPED_TRACE(row_text(list, e.row));
        EXPECT_EQ(to_utf8(list.row(e.row).cells[dlcol::kMark]), e.mark);
        for (const auto& piece : e.pieces)
            EXPECT_NE(to_utf8(list.row(e.row).cells[dlcol::kDetail]).find(piece), std::string::npos) << piece;
    }
    EXPECT_EQ(totals.succeeded, 4);
    EXPECT_EQ(totals.failed, 1);

    // The files: video, comments and information of every row but the deleted one (whose information file
    // still records what is known of it).
    const auto files = test::files_in(folder_);
    auto has = [&](const std::string& tail) {
        for (const auto& f : files)
            if (f.ends_with(tail)) return true;
        return false;
    };
    for (const char* id : {"sm9", "sm14", "sm13", "sm16"}) {
        SCOPED_TRACE(id);
        // A video without comments leaves no comment file.
        EXPECT_EQ(has(std::string("(") + id + ").xml"), std::string(id) != "sm16");
        EXPECT_TRUE(has(std::string("(") + id + ").mp4") || has(std::string("(") + id + ").flv"));
    }
    EXPECT_FALSE(has("(sm10).mp4"));

    // One history line per row, in the order of the rows; the deleted video's steps failed.
    const std::string h = history();
    EXPECT_NE(h.find("*w=0 m=3 o=0 c=3 t=0 i=3\t\t"), std::string::npos) << h;
    EXPECT_NE(h.find("*w=0 m=1 o=0 c=1 t=0 i=3\t\t"), std::string::npos) << h;
    size_t at = 0;
    for (const char* id : {"\tsm9\t", "\tsm10\t", "\tsm14\t", "\tsm13\t", "\tsm16\t"}) {
        const size_t next = h.find(id, at);
        ASSERT_NE(next, std::string::npos) << id << "\n" << h;
        at = next;
    }
    // The end lines of the job.
    EXPECT_NE(to_utf8(log_.text()).find("5個のIDのDLを試みて、"), std::string::npos);
}

TEST_F(DownloadJobTest, RowWaitsGrowWithTheRowsOfTheJob) {
    CSettings s = settings();
    s.set_number(OptNumber::kDownloadWait, 10);
    s.set_number(DlSwitch::kThumbnail, 1);
    CListDownload list;
    add_rows(list, {u"sm1", u"sm2", u"sm3", u"sm4", u"sm5", u"sm6"});
    SleepBook book;
    DownloadHooks hooks;
    hooks.make_report = [&](CWorkThread&, int row) { return std::make_unique<BookReport>(book, row); };
    const DownloadTotals totals = run(list, s, hooks);
    EXPECT_EQ(totals.tried, 6);
    EXPECT_EQ(book.slept_ms[0], 0);
    EXPECT_EQ(book.slept_ms[1], 0);
    EXPECT_EQ(book.slept_ms[2], 2000); // W / 5
    EXPECT_EQ(book.slept_ms[4], 5000); // W / 2 for the fifth
    EXPECT_EQ(book.slept_ms[5], 5000);
}

TEST_F(DownloadJobTest, StopDuringACountdownEndsTheJobBeforeTheNextRequest) {
    CSettings s = settings();
    s.set_number(OptNumber::kDownloadWait, 10);
    s.set_number(DlSwitch::kThumbnail, 1);
    CListDownload list;
    add_rows(list, {u"sm1", u"sm2", u"sm3", u"sm4"});
    SleepBook book;
    book.stop_in_row = 2;
    DownloadHooks hooks;
    hooks.make_report = [&](CWorkThread&, int row) { return std::make_unique<BookReport>(book, row); };
    const DownloadTotals totals = run(list, s, hooks);
    EXPECT_TRUE(totals.stopped);
    EXPECT_EQ(totals.tried, 2);
    // The countdown was cut at its first second, and the third video was never asked for.
    EXPECT_EQ(book.slept_ms[2], 100);
    EXPECT_EQ(service().counter("requests /api/getthumbinfo/sm3"), 0);
    EXPECT_EQ(service().counter("requests /api/getthumbinfo/sm4"), 0);
    EXPECT_EQ(row_text(list, 2), "－ ユーザー操作で中止");
    EXPECT_EQ(row_text(list, 3), "－ ");
    EXPECT_EQ(to_utf8(list.row(0).cells[dlcol::kMark]), "○");
}

TEST_F(DownloadJobTest, CommentStepSkippedByARuleCountsAsSuccess) {
    CSettings s = settings();
    s.set_number(DlSwitch::kComments, 1);
    s.set_number(OptSwitch::kSkipUnchangedComments, 1);
    CListDownload first;
    add_rows(first, {u"sm9"});
    run(first, s);
    ASSERT_EQ(to_utf8(first.row(0).cells[dlcol::kMark]), "○") << row_text(first, 0);
    CListDownload again;
    add_rows(again, {u"sm9"});
    const DownloadTotals totals = run(again, s);
    EXPECT_EQ(totals.succeeded, 1);
    EXPECT_EQ(to_utf8(again.row(0).cells[dlcol::kMark]), "○") << row_text(again, 0);
    EXPECT_NE(to_utf8(again.row(0).cells[dlcol::kDetail]).find("新しいコメントなし"), std::string::npos)
        << row_text(again, 0);
}

TEST_F(DownloadJobTest, NothingWantedAndCheckedRowsOnly) {
    CListDownload list;
    add_rows(list, {u"sm1", u"sm2"});
    run(list, settings());
    EXPECT_EQ(row_text(list, 0), "× ダウンロードするものを設定してください");

    CSettings s = settings();
    s.set_number(DlSwitch::kThumbnail, 1);
    CListDownload some;
    add_rows(some, {u"sm1", u"sm2", u"sm3"});
    some.set_checked(1, true);
    const DownloadTotals totals = run(some, s);
    EXPECT_EQ(totals.tried, 1);
    EXPECT_EQ(to_utf8(some.row(0).cells[dlcol::kMark]), "");
    EXPECT_EQ(to_utf8(some.row(1).cells[dlcol::kMark]), "○") << row_text(some, 1);
    EXPECT_EQ(to_utf8(some.row(2).cells[dlcol::kMark]), "");
}

TEST_F(DownloadJobTest, SavedCommentFileGoesToTheReconstructionWhenAsked) {
    CSettings s = settings();
    s.set_number(DlSwitch::kComments, 1);
    std::vector<std::u16string> handed;
    DownloadHooks hooks;
    hooks.reconstruct = [&](CWorkThread&, const std::u16string& file) { handed.push_back(file); };
    CListDownload off;
    add_rows(off, {u"sm9"});
    run(off, s, hooks);
    EXPECT_TRUE(handed.empty());
    s.set_number(DlSwitch::kReconstructAfter, 1);
    CListDownload on;
    add_rows(on, {u"sm9", u"sm10"});
    run(on, s, hooks);
    ASSERT_EQ(handed.size(), 1u); // the deleted video saved no file
    EXPECT_TRUE(handed[0].ends_with(u"(sm9).xml")) << to_utf8(handed[0]);
}

/// Mark and text of every row, the files of the folder and the history lines (folder written as "<dir>",
/// sorted: rows of a batch of videos end together).
struct JobPicture {
    std::vector<std::string> rows;
    std::vector<std::string> files;
    std::vector<std::string> history;
};

TEST_F(DownloadJobTest, SeveralVideosAtOnceEndEveryRowAsOneAtATimeDoes) {
    CSettings s = settings();
    s.set_number(DlSwitch::kVideo, 1);
    s.set_number(DlSwitch::kComments, 1);
    s.set_number(DlSwitch::kInfoFile, 1);
    s.set_number(OptSwitch::kNewServerSkipLowQuality, 1);
    const std::initializer_list<const char16_t*> ids = {u"sm1", u"sm10", u"sm14", u"sm2", u"sm16", u"sm27", u"sm3"};
    auto run_with = [&](int parallel, const std::u16string& dir) {
        s.set_number(OptNumber::kParallelDownloads, parallel);
        fs::create_directories(to_fs_path(dir));
        fs::remove(to_fs_path(home_ + u"/cache/log/down.txt"));
        folder_ = dir;
        CListDownload list;
        add_rows(list, ids);
        const DownloadTotals totals = run(list, s);
        EXPECT_EQ(totals.tried, 7);
        EXPECT_FALSE(totals.stopped);
        JobPicture p;
        for (int r = 0; r < list.row_count(); ++r)
            p.rows.push_back(to_utf8(list.row(r).cells[dlcol::kId]) + " " + row_text(list, r));
        p.files = test::files_in(dir);
        std::string h = history();
        const std::string folder = to_utf8(dir) + "/";
        for (size_t at = h.find(folder); at != std::string::npos; at = h.find(folder))
            h.replace(at, folder.size(), "<dir>");
        for (size_t at = 0, end; (end = h.find("\r\n", at)) != std::string::npos; at = end + 2)
            p.history.push_back(h.substr(at, end - at));
        std::sort(p.history.begin(), p.history.end());
        return p;
    };
    const JobPicture one = run_with(1, scratch_dir() + u"one");
    const std::string one_log = to_utf8(log_.text());
    const JobPicture three = run_with(3, scratch_dir() + u"three");
    SCOPED_TRACE(to_utf8(log_.text()));

    // The serial run is the reference; it must itself be right before the parallel one is held to it.
    ASSERT_EQ(one.rows.size(), 7u);
    EXPECT_TRUE(one.rows[0].starts_with("sm1 ○")) << one.rows[0] << one_log;
    EXPECT_NE(one.rows[1].find("△ 動画：削除されています"), std::string::npos) << one.rows[1];
    EXPECT_NE(one.rows[2].find("動画のDL完了（旧サーバ）"), std::string::npos) << one.rows[2];
    EXPECT_NE(one.rows[4].find("0コメントの動画"), std::string::npos) << one.rows[4];
    EXPECT_NE(one.rows[5].find("△ 動画：最高画質("), std::string::npos) << one.rows[5];
    EXPECT_EQ(one.history.size(), 7u);

    EXPECT_EQ(three.rows, one.rows);
    EXPECT_EQ(three.files, one.files);
    EXPECT_EQ(three.history, one.history);
}

TEST_F(DownloadJobTest, QualityTheServerLacksIsNamedInTheRowText) {
    CSettings s = settings();
    s.set_number(DlSwitch::kVideo, 1);
    s.set_number(OptSwitch::kNewServerSkipLowQuality, 1);
    CListDownload list;
    add_rows(list, {u"sm27"});
    run(list, s);
    const std::string text = to_utf8(list.row(0).cells[dlcol::kDetail]);
    EXPECT_EQ(to_utf8(list.row(0).cells[dlcol::kMark]), "×");
    const std::string head = "動画：最高画質(", tail = "が低画質モードでDL不可";
    ASSERT_TRUE(text.starts_with(head) && text.ends_with(tail)) << text;
    const std::string label = text.substr(head.size(), text.size() - head.size() - tail.size());
    EXPECT_FALSE(label.empty());
    // The same quality the log names.
    EXPECT_NE(to_utf8(log_.text()).find(label + tail), std::string::npos) << to_utf8(log_.text());
}

TEST_F(DownloadJobTest, FilesOfAnOldSaveNameFollowTheNewOneWithoutReplacingAnything) {
    CSettings s = settings();
    s.set_number(DlSwitch::kThumbnail, 1);
    const std::u16string old_name = u"前の名前(sm2)";
    const std::u16string base = folder_ + u"/" + old_name;
    // Ours: the comments, the video, the uploader comments, a partial video. Not ours: a longer name that
    // merely begins the same, another video's bracketed title.
    for (const char16_t* ending : {u".xml", u".mp4", u"[Owner].xml", u".mp4[作業中]", u"の感想.txt", u"[別](sm5).xml"})
        test::write_bytes(base + ending, "x");
    auto one_row = [&] {
        CListDownload list;
        DownloadRow row;
        row.cells[dlcol::kId] = u"sm2";
        row.cells[dlcol::kSaveName] = old_name;
        row.cells[dlcol::kFolder] = folder_ + u"/";
        list.add_row(std::move(row));
        return list;
    };
    // Off: the files stay where they are.
    CListDownload off = one_row();
    run(off, s);
    const std::u16string fresh = off.row(0).cells[dlcol::kSaveName];
    ASSERT_NE(fresh, old_name);
    EXPECT_TRUE(fs::exists(to_fs_path(base + u".xml")));
    EXPECT_EQ(to_utf8(log_.text()).find("件のリネーム"), std::string::npos);

    // On, with the new name already taken for the comments: that file stays as it was, and so does the old.
    test::write_bytes(folder_ + u"/" + fresh + u".xml", "keep");
    s.set_number(DlSwitch::kRenameOnNameChange, 1);
    CListDownload on = one_row();
    run(on, s);
    SCOPED_TRACE(to_utf8(log_.text()));
    EXPECT_EQ(test::read_bytes(folder_ + u"/" + fresh + u".xml"), "keep");
    EXPECT_TRUE(fs::exists(to_fs_path(base + u".xml")));
    for (const char16_t* ending : {u".mp4", u"[Owner].xml", u".mp4[作業中]"}) {
        SCOPED_TRACE(to_utf8(ending));
        EXPECT_FALSE(fs::exists(to_fs_path(base + ending)));
        EXPECT_EQ(test::read_bytes(folder_ + u"/" + fresh + ending), "x");
    }
    for (const char16_t* ending : {u"の感想.txt", u"[別](sm5).xml"})
        EXPECT_TRUE(fs::exists(to_fs_path(base + ending))) << to_utf8(ending);
    const std::string log = to_utf8(log_.text());
    EXPECT_NE(log.find("3件のリネーム完了"), std::string::npos);
    EXPECT_NE(log.find("1件のリネームに失敗"), std::string::npos);
    EXPECT_NE(log.find("ファイルが存在します"), std::string::npos);
}

TEST_F(DownloadJobTest, TheListAtTheStartIsKeptAndReadAsASelection) {
    CSettings s = settings();
    s.set_number(DlSwitch::kThumbnail, 1);
    CListDownload list;
    add_rows(list, {u"sm1", u"sm2"});
    list.set_cell(1, dlcol::kMark, kMarkFailure);
    run(list, s);
    ASSERT_EQ(to_utf8(list.row(1).cells[dlcol::kMark]), "○");

    const IdSettings ids = id_settings_from(s);
    for (std::u16string_view name : {kListAtDownloadStart, kListBeforeFilter}) {
        SCOPED_TRACE(to_utf8(name));
        EXPECT_EQ(classify_input(name, ids).kind, InputKind::kSpecial);
        bool known = false;
        const auto rows = download_selection_rows(s, name, known);
        EXPECT_TRUE(known);
        ASSERT_EQ(rows.size(), 2u);
        // As the list stood: nothing checked yet, the old mark of the second row.
        EXPECT_EQ(rows[0].id(), u"sm1");
        EXPECT_FALSE(rows[0].checked);
        EXPECT_EQ(rows[1].cells[dlcol::kMark], kMarkFailure);
    }
    // A later run replaces the start snapshot; the list before filtering is left to the filtering.
    CListDownload next;
    add_rows(next, {u"sm3"});
    run(next, s);
    bool known = false;
    EXPECT_EQ(download_selection_rows(s, kListAtDownloadStart, known).size(), 1u);
    EXPECT_EQ(download_selection_rows(s, kListBeforeFilter, known).size(), 2u);
    download_selection_rows(s, u"[ほかのリスト]", known);
    EXPECT_FALSE(known);
}

} // namespace
} // namespace quippet
