#include "app/MemorySinks.h"
#include "app/WorkThread.h"
#include "tests/support/TestText.h"
#include "tests/support/JobTestSupport.h"

#include <gtest/gtest.h>

#include <climits>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace quippet {
namespace {

using test::data_for;
using test::u8;

TEST(WorkElapsed, Text) {
    struct Case {
        std::int64_t hundredths;
        std::u16string_view text;
    };
    const Case cases[] = {
        {0, u"0秒"},
        {5, u"0秒05"},
        {100, u"1秒"},
        {1234, u"12秒34"},
        {6000, u"1分"},
        {6001, u"1分0秒01"},
        {12345, u"2分3秒45"},
        {359999, u"59分59秒99"},
        {360000, u"1時間"},
        {360001, u"1時間0分0秒01"},
        {360100, u"1時間0分1秒"},
        {366000, u"1時間1分"},
        {3600000, u"10時間"},
        {-5, u"0秒"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(u8(elapsed_text(c.hundredths)), u8(c.text)) << c.hundredths;
}

TEST(WorkSummary, Text) {
    EXPECT_EQ(u8(summary_text(10, 15, 8)), u8(u"10個のうち、8個を処理したりゅん！"));
    EXPECT_EQ(u8(summary_text(3, 16, 3)), u8(u"3個のファイルがドラッグされて、3個を処理したりゅん！"));
    EXPECT_EQ(u8(summary_text(2, 24, 1)), u8(u"2個の変換元テキストファイルから、1個を処理したりゅん！"));
}

TEST(WorkThreadLog, BeginResetsTheListColumns) {
    CJobFrame frame;
    MemoryLogBox log;
    MemoryListView list;
    log.set_text(u"前の処理");
    list.add_row({u"a", u"b", u"済", u"OK"}, true);
    list.add_row({u"c"});
    CWorkThread worker(data_for(frame, &log, &list));
    worker.job_begin(2, 3);
    EXPECT_EQ(u8(log.text()), u8(u"前の処理\r\n\r\n処理を始めるりゅん！"));
    for (const auto& row : list.rows()) {
        ASSERT_GE(row.cells.size(), 4u);
        EXPECT_EQ(u8(row.cells[2]), u8(u"－"));
        EXPECT_TRUE(row.cells[3].empty());
    }
    EXPECT_EQ(u8(list.rows()[0].cells[0]), "a");

    // Without a list (or without asking) nothing but the log line.
    CWorkThread bare(data_for(frame, &log));
    bare.job_begin(2, 3);
    bare.job_begin();
}

TEST(WorkThreadLog, StoppedLines) {
    CJobFrame frame;
    MemoryLogBox log;
    CWorkThread worker(data_for(frame, &log));
    worker.job_stopped();
    worker.stage_stopped(u"過去ログの取得");
    const std::u16string text = log.text();
    const auto second = text.find(u"\r\n");
    ASSERT_NE(second, std::u16string::npos);
    EXPECT_TRUE(text.starts_with(u"処理を中止しました。 （")) << u8(text);
    EXPECT_TRUE(text.substr(second + 2).starts_with(u"過去ログの取得にユーザー操作で中止されました （")) << u8(text);
    EXPECT_TRUE(text.ends_with(u"秒）")) << u8(text);
}

TEST(WorkThreadEnd, SummarySoundAndNotify) {
    struct Case {
        int succeeded;
        int total;
        EndSounds sounds;
        std::u16string_view sound; // empty: none played
        bool failure_line;
    };
    const Case cases[] = {
        {5, 5, {true, u"ok.wav", u"ng.wav"}, u"ok.wav", false},
        {4, 5, {true, u"ok.wav", u"ng.wav"}, u"ng.wav", true},
        {4, 5, {false, u"ok.wav", u"ng.wav"}, u"", true},
        {5, 5, {true, u"", u"ng.wav"}, u"", false},
        {0, 0, {false, u"", u""}, u"", false},
    };
    for (const Case& c : cases) {
        MemoryNoticeSink notices;
        CJobFrame frame(&notices);
        MemoryLogBox log;
        CWorkThread worker(data_for(frame, &log));
        worker.job_end(c.succeeded, c.total, 15, c.sounds);
        const std::u16string text = log.text();
        const std::u16string summary = summary_text(c.total, 15, c.succeeded);
        EXPECT_TRUE(text.starts_with(summary)) << u8(text);
        EXPECT_EQ(text.find(u"処理を終了します（失敗あり）。") != std::u16string::npos, c.failure_line) << u8(text);
        EXPECT_TRUE(text.ends_with(u"秒）")) << u8(text);
        const auto sounds = notices.sounds();
        if (c.sound.empty()) {
            EXPECT_TRUE(sounds.empty());
            EXPECT_TRUE(worker.notify());
        } else {
            ASSERT_EQ(sounds.size(), 1u);
            EXPECT_EQ(u8(sounds[0]), u8(c.sound));
            EXPECT_FALSE(worker.notify());
        }
    }
}

TEST(WorkThreadThrottle, PausesAndProgress) {
    struct Case {
        const char* name;
        int processed;
        ThrottleOptions options;
        int sleeps;
        std::vector<std::u16string_view> lines;
    };
    const Case cases[] = {
        {"nothing yet", 0, {}, 0, {}},
        {"between progress lines", 4, {}, 0, {}},
        {"every third item", 3, {}, 0, {u"3（既存：1／新規：2／情報：3）"}},
        {"batch end without progress", 401, {false, 1, 2}, 2, {u"待機中（残り2秒）", u"待機中（残り1秒）"}},
        {"batch end with progress", 1203, {}, 1, {u"待機中（残り1秒）", u"1203（既存：1／新規：2／情報：3）"}},
        {"parallel shows every item", 5, {true, 1, 1}, 0, {u"5（既存：1／新規：2／情報：3）"}},
        {"parallel workers share a batch",
         100,
         {true, 4, 1},
         1,
         {u"待機中（残り1秒）", u"400くらい（既存：1／新規：2／情報：3）"}},
        {"not yet a parallel batch", 99, {true, 4, 1}, 0, {u"396くらい（既存：1／新規：2／情報：3）"}},
        {"more workers than requests per batch",
         7,
         {true, 1000, 1},
         1,
         {u"待機中（残り1秒）", u"7000くらい（既存：1／新規：2／情報：3）"}},
    };
    for (const Case& c : cases) {
        std::vector<std::chrono::milliseconds> slept;
        JobFrameOptions options;
        options.sleep = [&](std::chrono::milliseconds d) { slept.push_back(d); };
        CJobFrame frame(nullptr, options);
        test::RecordingLogBox log;
        CWorkThread worker(data_for(frame, &log));
        EXPECT_EQ(worker.throttle_and_progress(c.processed, {1, 2, 3}, c.options), 0) << c.name;
        EXPECT_EQ(slept.size(), static_cast<std::size_t>(c.sleeps)) << c.name;
        for (auto d : slept)
            EXPECT_EQ(d, std::chrono::seconds(1)) << c.name;
        const auto replaced = log.replaced();
        ASSERT_EQ(replaced.size(), c.lines.size()) << c.name;
        for (std::size_t i = 0; i < replaced.size(); ++i)
            EXPECT_EQ(u8(replaced[i]), u8(c.lines[i])) << c.name;
    }
}

TEST(WorkThreadThrottle, StopDuringThePause) {
    CJobFrame* frame_ptr = nullptr;
    int sleeps = 0;
    JobFrameOptions options;
    options.sleep = [&](std::chrono::milliseconds) {
        if (++sleeps == 2) frame_ptr->stop_job_flag() = 1;
    };
    CJobFrame frame(nullptr, options);
    frame_ptr = &frame;
    test::RecordingLogBox log;
    CWorkThread worker(data_for(frame, &log));
    EXPECT_EQ(worker.throttle_and_progress(401, {}, {false, 1, 5}), -2);
    EXPECT_EQ(sleeps, 2);
    const auto replaced = log.replaced();
    ASSERT_EQ(replaced.size(), 2u); // no progress line after a stop
    EXPECT_EQ(u8(replaced[1]), u8(u"待機中（残り4秒）"));
}

TEST(WorkThreadList, AccessThroughTheFrame) {
    CJobFrame frame;
    MemoryListView list;
    list.add_row({u"", u"123abc"}, false);
    list.add_row({u"x", u""}, true);
    list.add_row({u"^", u"99999999999"}, true);
    list.add_row({u"x", u"abc"}, true);
    CWorkThread worker(data_for(frame, nullptr, &list));

    EXPECT_EQ(worker.row_count(), 4);
    EXPECT_EQ(worker.first_checked_row(), 1);
    EXPECT_EQ(worker.first_checked_open_row(), 2);
    EXPECT_EQ(worker.find_row(u"x", -1), 1);
    EXPECT_EQ(worker.find_row(u"x", 1), 3);
    EXPECT_EQ(worker.find_row(u"x", 3), -1);
    EXPECT_EQ(worker.find_row(u"abc", -1, 1), 3);

    struct NumberCase {
        int row;
        int value;
    };
    for (const NumberCase c : {NumberCase{0, 123}, NumberCase{1, 0}, NumberCase{2, INT_MAX}, NumberCase{3, 0}})
        EXPECT_EQ(worker.cell_number(c.row, 1), c.value) << c.row;

    worker.set_cell(1, 5, std::u16string(600, u'z'));
    EXPECT_EQ(worker.cell(1, 5).size(), CWorkThread::cell_read_units);
    EXPECT_EQ(worker.insert_row(-1, u"end"), 4);
    EXPECT_EQ(worker.insert_row(0, u"top"), 0);
    EXPECT_EQ(u8(worker.cell(5, 0)), "end");
    worker.set_stored_value(5, 42);
    EXPECT_EQ(worker.stored_value(5), 42);
    worker.set_checked(0, true);
    EXPECT_EQ(worker.first_checked_row(), 0);

    CWorkThread without(data_for(frame, nullptr, nullptr));
    EXPECT_EQ(without.row_count(), 0);
    EXPECT_EQ(without.first_checked_row(), -1);
    EXPECT_EQ(without.insert_row(-1, u"x"), -1);
    EXPECT_TRUE(without.cell(0, 0).empty());
}

TEST(WorkThreadSub, WorkersShareTheFrame) {
    CJobFrame frame;
    MemoryLogBox log;
    MemoryListView list;
    CWorkThread parent(data_for(frame, &log, &list, JobKind::kDownload));
    std::mutex mutex;
    std::set<int> numbers;
    for (int w = 0; w < 3; ++w) {
        ASSERT_EQ(parent.start_sub_worker([&](CWorkThread& sub) {
            EXPECT_EQ(sub.kind(), JobKind::kDownload);
            for (int i = 0; i < 500; ++i) {
                const int n = sub.next_shared_number();
                sub.insert_row(-1, u"row");
                sub.log(u"line");
                std::lock_guard lock(mutex);
                numbers.insert(n);
            }
        }),
                  0);
    }
    parent.wait_sub_workers();
    EXPECT_EQ(numbers.size(), 1500u);
    EXPECT_EQ(list.row_count(), 1500);
    EXPECT_EQ(log.text().size(), 1500u * 4 + 1499u * 2);
}

} // namespace
} // namespace quippet
