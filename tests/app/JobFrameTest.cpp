#include "app/JobFrame.h"
#include "app/MemorySinks.h"
#include "app/WorkThread.h"
#include "tests/support/TestText.h"
#include "tests/support/JobTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <climits>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

namespace quippet {
namespace {

using namespace std::chrono_literals;
using test::eventually;
using test::fast_options;
using test::Gate;
using test::u8;

TEST(JobLog, LineModes) {
    struct Case {
        std::u16string_view before;
        LogMode mode;
        std::u16string_view after;
    };
    const Case cases[] = {
        {u"", LogMode::new_line, u"T"},
        {u"x", LogMode::new_line, u"x\r\nT"},
        {u"", LogMode::continue_line, u"T"},
        {u"x", LogMode::continue_line, u"xT"},
        {u"", LogMode::replace_last_line, u"T"},
        {u"x", LogMode::replace_last_line, u"T"},
        {u"x\r\ny", LogMode::replace_last_line, u"x\r\nT"},
        {u"x\r\n", LogMode::replace_last_line, u"x\r\nT"},
        {u"", LogMode::blank_line, u"T"},
        {u"x", LogMode::blank_line, u"x\r\n\r\nT"},
    };
    CJobFrame frame;
    for (const Case& c : cases) {
        MemoryLogBox box;
        box.set_text(std::u16string(c.before));
        frame.log(&box, u"T", c.mode);
        EXPECT_EQ(u8(box.text()), u8(c.after)) << u8(c.before) << " mode " << static_cast<int>(c.mode);
    }
    frame.log(nullptr, u"T", LogMode::new_line); // a tab without a log pane
}

TEST(JobLog, TrimKeepsTheBoxBounded) {
    struct Case {
        const char* name;
        std::u16string box;
        std::size_t removed;
    };
    std::u16string crlf(15001, u'a');
    crlf[4999] = u'\r';
    crlf[5000] = u'\n';
    std::u16string pair(15001, u'a');
    pair[4999] = u'\xD83D';
    pair[5000] = u'\xDE00';
    std::u16string lone_cr(15001, u'a');
    lone_cr[4999] = u'\r';
    const Case cases[] = {
        {"at the limit", std::u16string(15000, u'a'), 0},
        {"one past the limit", std::u16string(15001, u'a'), 5000},
        {"far past the limit", std::u16string(40000, u'a'), 5000},
        {"line break across the cut", crlf, 5001},
        {"surrogate pair across the cut", pair, 5001},
        {"CR alone before the cut", lone_cr, 5000},
    };
    CJobFrame frame;
    for (const Case& c : cases) {
        std::u16string box_text = c.box;
        box_text[c.removed] = u'S'; // marks where the kept text must begin
        MemoryLogBox box;
        box.set_text(box_text);
        frame.log(&box, u"Z", LogMode::continue_line);
        const std::u16string after = box.text();
        EXPECT_EQ(after.size(), box_text.size() - c.removed + 1) << c.name;
        EXPECT_EQ(after.front(), u'S') << c.name;
        EXPECT_EQ(after.back(), u'Z') << c.name;
    }
}

TEST(JobFrameCounter, WrapsBeforeTheLargestValue) {
    CJobFrame frame;
    EXPECT_EQ(frame.next_shared_number(), 1);
    frame.set_shared_number(2147483644);
    EXPECT_EQ(frame.next_shared_number(), 2147483645);
    EXPECT_EQ(frame.next_shared_number(), 0);
    EXPECT_EQ(frame.next_shared_number(), 1);
    frame.set_shared_number(INT_MAX); // a value restored from elsewhere must not overflow
    EXPECT_EQ(frame.next_shared_number(), 0);
}

TEST(JobFrameStart, RefusedUntilReadyAndForKindsWithoutSlot) {
    MemoryNoticeSink notices;
    CJobFrame frame(&notices, fast_options());
    std::atomic<int> runs{0};
    auto job = [&](CWorkThread&) { ++runs; };
    EXPECT_EQ(frame.start_job(job, {}, JobKind::kSplit), -1);
    EXPECT_FALSE(frame.busy());
    frame.set_ready(true);
    EXPECT_EQ(frame.start_job(job, {}, static_cast<JobKind>(job_kind_count)), -1);
    EXPECT_EQ(frame.start_job(job, {}, static_cast<JobKind>(-1)), -1);
    EXPECT_EQ(frame.start_job(nullptr, {}, JobKind::kSplit), -1);
    EXPECT_EQ(frame.slots().pending(), 0);
    EXPECT_EQ(frame.start_job(job, {}, JobKind::kSplit), 0);
    frame.wait_all();
    EXPECT_EQ(runs.load(), 1);
    EXPECT_FALSE(frame.busy());
    ASSERT_EQ(notices.notices().size(), 1u);
    EXPECT_EQ(u8(notices.notices()[0].text), u8(u"分割が終了（全処理が終了）"));
}

// A job of `second` is started while a job of `first` runs; it must wait for it or run beside it.
TEST(JobAdmission, SecondJobWaitsOrRunsBeside) {
    struct Case {
        JobKind first;
        JobKind second;
        bool waits;
    };
    const Case cases[] = {
        {JobKind::kLiveLog, JobKind::kReconstruct, true},     // reconstruction waits while a live-log conversion runs
        {JobKind::kSplit, JobKind::kSplit, false},            // two splits at once
        {JobKind::kDownload, JobKind::kDownload, true},       // two downloads never
        {JobKind::kSearchRegister, JobKind::kRegister, true}, // exclusive kinds
        {JobKind::kLogin, JobKind::kUpdateCheck, true},
        {JobKind::kRegister, JobKind::kDownload, false},
        {JobKind::kReconstruct, JobKind::kSplit, false},
    };
    for (const Case& c : cases) {
        CJobFrame frame(nullptr, fast_options());
        frame.set_ready(true);
        Gate first_running, release_first, second_running;
        std::atomic<bool> first_done{false};
        std::atomic<bool> second_saw_first_done{false};
        ASSERT_EQ(frame.start_job(
                      [&](CWorkThread&) {
                          first_running.open();
                          release_first.wait();
                          first_done = true;
                      },
                      {}, c.first),
                  0);
        ASSERT_TRUE(first_running.wait());
        ASSERT_EQ(frame.start_job(
                      [&](CWorkThread&) {
                          second_saw_first_done = first_done.load();
                          second_running.open();
                      },
                      {}, c.second),
                  0);
        if (c.waits) {
            EXPECT_FALSE(second_running.wait(30ms)) << to_int(c.first) << " then " << to_int(c.second);
            EXPECT_EQ(frame.slots().pending(), 1);
            release_first.open();
            EXPECT_TRUE(second_running.wait()) << to_int(c.first) << " then " << to_int(c.second);
            EXPECT_TRUE(second_saw_first_done.load());
        } else {
            EXPECT_TRUE(second_running.wait()) << to_int(c.first) << " then " << to_int(c.second);
            EXPECT_FALSE(second_saw_first_done.load());
            release_first.open();
        }
        frame.wait_all();
        EXPECT_FALSE(frame.busy());
    }
}

TEST(JobFrameStart, EachJobKeepsTheInputsItWasStartedWith) {
    CJobFrame frame(nullptr, fast_options());
    frame.set_ready(true);
    Gate release;
    std::mutex mutex;
    std::vector<std::vector<std::u16string>> seen(2);
    for (int i = 0; i < 2; ++i) {
        frame.job_data().inputs() = {i == 0 ? u"a.xml" : u"b.xml"};
        // Both are downloads, so the second waits while the window refills its record.
        ASSERT_EQ(frame.start_job(
                      [&, i](CWorkThread& worker) {
                          if (i == 0) release.wait();
                          std::lock_guard lock(mutex);
                          seen[static_cast<std::size_t>(i)] = worker.data().inputs();
                      },
                      {}, JobKind::kDownload),
                  0);
        EXPECT_TRUE(frame.job_data().inputs().empty());
    }
    release.open();
    frame.wait_all();
    EXPECT_EQ(seen[0], std::vector<std::u16string>{u"a.xml"});
    EXPECT_EQ(seen[1], std::vector<std::u16string>{u"b.xml"});
}

TEST(JobFrameEnd, NoticesFollowTheRunningJobs) {
    MemoryNoticeSink notices;
    CJobFrame frame(&notices, fast_options());
    frame.set_ready(true);
    Gate running, release;
    ASSERT_EQ(frame.start_job(
                  [&](CWorkThread&) {
                      running.open();
                      release.wait();
                  },
                  {}, JobKind::kRegister),
              0);
    ASSERT_TRUE(running.wait());
    ASSERT_EQ(frame.start_job([](CWorkThread&) {}, {}, JobKind::kListRefresh), 0);
    ASSERT_EQ(frame.start_job([](CWorkThread&) {}, {}, JobKind::kSplit), 0);
    // The split's notice is awaited too: its slot is freed before the notice goes out, and the order of
    // the notices below is only defined once the split has ended all the way.
    ASSERT_TRUE(eventually([&] {
        return frame.slots().pending() == 0 && frame.slots().running(JobKind::kListRefresh) == 0 &&
               frame.slots().running(JobKind::kSplit) == 0 && notices.notices().size() == 1;
    }));
    release.open();
    frame.wait_all();

    const auto shown = notices.notices();
    ASSERT_EQ(shown.size(), 2u); // the display refresh ended silently
    EXPECT_EQ(u8(shown[0].text), u8(u"分割が終了（他の処理は継続中）"));
    EXPECT_EQ(u8(shown[1].text), u8(u"リスト登録が終了（全処理が終了）"));
    EXPECT_EQ(u8(shown[1].tooltip), u8(u"QuippetVellichor - リスト登録が終了（全処理が終了）"));
    EXPECT_TRUE(shown[1].balloon);
    EXPECT_EQ(notices.end_action_kinds(), std::vector<int>{8});
}

TEST(JobFrameEnd, EndReportedTwiceFreesOneSlotOnly) {
    CJobFrame frame(nullptr, fast_options());
    frame.set_ready(true);
    frame.slots().add_pending();
    ASSERT_TRUE(frame.slots().try_admit(JobKind::kDownload));
    frame.end_of_job(4, false);
    frame.end_of_job(4, false);
    EXPECT_EQ(frame.slots().running(JobKind::kDownload), 0);
    frame.end_of_job(-1, true); // unreadable kind: no counter touched
    frame.end_of_job(99, true);
    EXPECT_FALSE(frame.busy());
}

TEST(JobFrameEnd, EndIsHandedToTheWindowThread) {
    std::mutex mutex;
    std::vector<std::pair<int, bool>> posted;
    JobFrameOptions options = fast_options();
    options.post_end = [&](int kind, bool notify) {
        std::lock_guard lock(mutex);
        posted.emplace_back(kind, notify);
    };
    MemoryNoticeSink notices;
    CJobFrame frame(&notices, options);
    frame.set_ready(true);
    ASSERT_EQ(frame.start_job(
                  [](CWorkThread& worker) {
                      worker.job_end(1, 1, 15, EndSounds{true, u"ok.wav", u"ng.wav"});
                  },
                  {}, JobKind::kLiveLog),
              0);
    frame.wait_all();
    ASSERT_EQ(posted.size(), 1u);
    EXPECT_EQ(posted[0], std::make_pair(3, false));         // the sound played, so no balloon
    EXPECT_EQ(frame.slots().running(JobKind::kLiveLog), 1); // until the window acknowledges it
    EXPECT_TRUE(notices.notices().empty());
    frame.end_of_job(posted[0].first, posted[0].second);
    EXPECT_FALSE(frame.busy());
    ASSERT_EQ(notices.notices().size(), 1u);
    EXPECT_FALSE(notices.notices()[0].balloon);
}

TEST(JobFrameStop, FlagSetMidJobEndsThroughTheStoppedPath) {
    MemoryNoticeSink notices;
    MemoryLogBox log;
    CJobFrame frame(&notices, fast_options());
    frame.set_ready(true);
    Gate started;
    std::atomic<int> items{0};
    ASSERT_EQ(frame.start_job(
                  [&](CWorkThread& worker) {
                      worker.job_begin();
                      for (int i = 0; i < 100000; ++i) {
                          if (worker.stop_requested()) {
                              worker.job_stopped();
                              return;
                          }
                          ++items;
                          started.open();
                          std::this_thread::sleep_for(1ms);
                      }
                      worker.job_end(items, items, 15, {});
                  },
                  {&log, nullptr}, JobKind::kReconstruct),
              0);
    ASSERT_TRUE(started.wait());
    frame.request_stop_all();
    frame.wait_all();
    EXPECT_LT(items.load(), 100000);
    const std::u16string text = log.text();
    EXPECT_TRUE(text.starts_with(u"処理を始めるりゅん！\r\n処理を中止しました。 （")) << u8(text);
    EXPECT_TRUE(text.ends_with(u"秒）")) << u8(text);
    EXPECT_EQ(text.find(u"個を処理したりゅん！"), std::u16string::npos);
    ASSERT_EQ(notices.notices().size(), 1u);
    EXPECT_EQ(u8(notices.notices()[0].text), u8(u"再構成が終了（全処理が終了）"));

    // The next start clears the request.
    ASSERT_EQ(
        frame.start_job([](CWorkThread& worker) { EXPECT_FALSE(worker.stop_requested()); }, {}, JobKind::kReconstruct),
        0);
    frame.wait_all();
}

TEST(JobFrameStop, JobThatThrowsStillEnds) {
    MemoryNoticeSink notices;
    MemoryLogBox log;
    CJobFrame frame(&notices, fast_options());
    frame.set_ready(true);
    ASSERT_EQ(
        frame.start_job([](CWorkThread&) { throw std::runtime_error("disk full"); }, {&log, nullptr}, JobKind::kSplit),
        0);
    frame.wait_all();
    EXPECT_TRUE(log.text().starts_with(u"想定外の状況が発生しました（disk full）\r\n処理を中止しました。"))
        << u8(log.text());
    EXPECT_FALSE(frame.busy());
    EXPECT_EQ(notices.notices().size(), 1u);
}

TEST(JobFrameStop, ClosingFrameDropsJobsStillWaiting) {
    Gate running, waiting_started;
    std::atomic<bool> second_ran{false};
    {
        JobFrameOptions options = fast_options();
        options.post_end = [](int, bool) {}; // a window that no longer acknowledges ends
        CJobFrame frame(nullptr, options);
        frame.set_ready(true);
        ASSERT_EQ(frame.start_job(
                      [&](CWorkThread& worker) {
                          running.open();
                          while (!worker.stop_requested())
                              std::this_thread::sleep_for(1ms);
                      },
                      {}, JobKind::kDownload),
                  0);
        ASSERT_TRUE(running.wait());
        ASSERT_EQ(frame.start_job([&](CWorkThread&) { second_ran = true; }, {}, JobKind::kDownload), 0);
    }
    EXPECT_FALSE(second_ran.load());
}

} // namespace
} // namespace quippet
