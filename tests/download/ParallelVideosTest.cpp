#include "download/ParallelVideos.h"

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <mutex>

#include <gtest/gtest.h>

#include "app/Settings.h"
#include "net/ServiceAddress.h"
#include "resources/MessageIds.h"
#include "tests/download/DownloadTestSupport.h"
#include "tests/net/FakeServiceFixture.h"
#include "tests/support/JobTestSupport.h"
#include "text/AppHome.h"
#include "text/Encoding.h"

namespace quippet {
namespace {

namespace fs = std::filesystem;
using test::read_bytes;

/// What the batch looked like while it ran: how many videos were under way at once, and the most the
/// shared counter ever said the running downloads still owed.
struct BatchWatch {
    std::atomic<int> running{0};
    std::atomic<int> most_running{0};
    std::atomic<long long> most_owed{0};
    OwedBytes* owed = nullptr;
};

/// A task's report: counts itself running while it exists and samples the shared counter on progress.
class WatchedReport : public test::MemoryReport {
public:
    explicit WatchedReport(BatchWatch& watch) : watch_(watch) {
        const int now = ++watch_.running;
        for (int seen = watch_.most_running; now > seen && !watch_.most_running.compare_exchange_weak(seen, now);) {
        }
    }
    ~WatchedReport() override { --watch_.running; }
    void progress(std::u16string_view text) override {
        test::MemoryReport::progress(text);
        const long long owed = watch_.owed->others(nullptr);
        for (long long seen = watch_.most_owed; owed > seen && !watch_.most_owed.compare_exchange_weak(seen, owed);) {
        }
    }

private:
    BatchWatch& watch_;
};

class ParallelVideosTest : public test::FakeServiceTest {
protected:
    VideoOptions options() { return test::fake_video_options(service()); }
    std::vector<VideoTask> tasks(const std::vector<int>& numbers, const std::u16string& folder, const VideoOptions& o) {
        std::vector<VideoTask> out;
        for (int n : numbers) {
            VideoTask t;
            t.info.id = u"sm" + decimal_text(n);
            test::MemoryReport r;
            int code = 0;
            fetch_api_info(t.info, u"", o.info, nullptr, r, code);
            fetch_watch_page(t.info, 0, {}, false, o.info, nullptr, r, code);
            t.folder = folder;
            t.save_name = t.info.id;
            t.row = static_cast<int>(out.size());
            out.push_back(std::move(t));
        }
        return out;
    }
};

TEST_F(ParallelVideosTest, SeveralAtOnceEachFileWholeAndTheCounterSettles) {
    const VideoOptions o = options();
    const std::vector<int> numbers = {20000003, 20000004, 20000005, 20000006, 20000007};
    const std::u16string dir = scratch_dir() + u"par";
    const std::u16string ref = scratch_dir() + u"ref";
    fs::create_directories(to_fs_path(dir));
    fs::create_directories(to_fs_path(ref));

    CJobFrame frame;
    MemoryLogBox log;
    MemoryListView list;
    for (size_t i = 0; i < numbers.size(); ++i)
        list.insert_row(-1, u"row");
    CWorkThread parent(test::data_for(frame, &log, &list, JobKind::kDownload));
    OwedBytes owed;
    const VideoClock clock;
    BatchWatch watch;
    watch.owed = &owed;
    // Paced, so that the downloads overlap however fast the machine is.
    ASSERT_TRUE(service().fault("/deliver/*", "slow", 2, static_cast<int>(numbers.size())));
    std::vector<VideoTask> batch = tasks(numbers, dir, o);
    const int saved =
        download_videos_parallel(parent, batch, 3, o, owed, clock, nullptr, [&](CWorkThread&, const VideoTask&) {
            return std::make_unique<WatchedReport>(watch);
        });
    EXPECT_EQ(saved, static_cast<int>(numbers.size()));
    EXPECT_LE(watch.most_running.load(), 3);
    EXPECT_GE(watch.most_running.load(), 2);
    EXPECT_EQ(service().counter("sessions"), static_cast<long long>(numbers.size()));
    // The counter held several downloads' debts at once, and none once they were done.
    long long largest = 0, total = 0;
    for (const VideoTask& t : batch) {
        largest = std::max(largest, t.info.size_high);
        total += t.info.size_high;
    }
    EXPECT_GT(watch.most_owed.load(), largest);
    EXPECT_LE(watch.most_owed.load(), total);
    EXPECT_EQ(owed.others(nullptr), 0);

    // The same videos one after the other are the reference.
    std::vector<VideoTask> one_by_one = tasks(numbers, ref, o);
    EXPECT_EQ(download_videos_parallel(parent, one_by_one, 1, o, owed, clock, nullptr, {}),
              static_cast<int>(numbers.size()));
    for (size_t i = 0; i < batch.size(); ++i) {
        SCOPED_TRACE(to_utf8(batch[i].info.id));
        EXPECT_EQ(batch[i].result.code, msg::kVideoSaved);
        const std::string got = read_bytes(batch[i].result.path);
        EXPECT_EQ(static_cast<long long>(got.size()), batch[i].info.size_high);
        EXPECT_TRUE(got == read_bytes(one_by_one[i].result.path));
    }
}

TEST_F(ParallelVideosTest, AStopStartsNoFurtherVideo) {
    const VideoOptions o = options();
    const std::u16string dir = scratch_dir();
    CJobFrame frame;
    MemoryLogBox log;
    CWorkThread parent(test::data_for(frame, &log, nullptr, JobKind::kDownload));
    OwedBytes owed;
    const VideoClock clock;
    std::vector<VideoTask> batch = tasks({20000002, 20000003, 20000004, 20000005}, dir, o);
    ASSERT_TRUE(service().fault("/deliver/*", "slow", 5, 4));
    std::atomic<int> made{0};
    download_videos_parallel(parent, batch, 2, o, owed, clock, nullptr, [&](CWorkThread&, const VideoTask&) {
        auto r = std::make_unique<test::MemoryReport>();
        // The first two stop after a few pieces; those after them find the stop before they begin.
        r->stop_after = made++ < 2 ? 2 : 0;
        return r;
    });
    int started = 0;
    for (const VideoTask& t : batch) {
        EXPECT_TRUE(t.result.stopped) << to_utf8(t.info.id);
        started += t.started ? 1 : 0;
    }
    EXPECT_EQ(started, 2);
    EXPECT_EQ(owed.others(nullptr), 0);
    EXPECT_EQ(test::files_in(dir).size(), 2u); // two resumable partial files
}

TEST_F(ParallelVideosTest, WorkerReportWritesTheRowAndReadsTheStopFlags) {
    CJobFrame frame;
    MemoryLogBox log;
    MemoryListView list;
    list.insert_row(-1, u"row");
    CWorkThread worker(test::data_for(frame, &log, &list, JobKind::kDownload));
    WorkerNetReport report(worker, 0, false);
    report.progress(u"アクセス中...");
    report.log(u"line");
    report.debug(u"hidden");
    EXPECT_EQ(list.rows().at(0).cells.at(WorkerNetReport::kDetailColumn), u"アクセス中...");
    EXPECT_EQ(log.text(), u"line");
    EXPECT_FALSE(report.stop_requested());
    frame.stop_download_flag() = 1;
    EXPECT_TRUE(report.stop_requested());
}

} // namespace
} // namespace quippet
