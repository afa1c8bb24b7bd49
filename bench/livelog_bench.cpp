// A 200,000-post thread log converted end to end, file in → comment file out, through the job as the
// window and the command line run it (default NG words, no thinning).
#include "app/JobFrame.h"
#include "app/MemorySinks.h"
#include "app/SettingKeys.h"
#include "app/Settings.h"
#include "app/WorkThread.h"
#include "bench/LiveLogGen.h"
#include "livelog/LiveLogJob.h"
#include "livelog/LiveLogSettingKeys.h"
#include "text/AppHome.h"
#include "text/Encoding.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

constexpr int kPosts = 200000;

struct Workspace {
    Workspace() {
        std::error_code ec;
        const bool shm = std::filesystem::is_directory("/dev/shm", ec) && ::access("/dev/shm", W_OK) == 0;
        folder = (shm ? std::filesystem::path("/dev/shm") : std::filesystem::temp_directory_path()) /
                 ("quippet-livelog-bench-" + std::to_string(::getpid()));
        std::filesystem::create_directories(folder);
        source = folder / "source.txt";
        std::FILE* out = std::fopen(source.c_str(), "wb");
        quippet::bench::LiveLogGenerator(20240407).write(kPosts, out);
        std::fclose(out);
        quippet::set_app_home(quippet::from_utf8(folder.string()));
    }
    ~Workspace() {
        std::error_code ec;
        std::filesystem::remove_all(folder, ec);
    }
    Workspace(const Workspace&) = delete;
    Workspace& operator=(const Workspace&) = delete;

    std::filesystem::path folder;
    std::filesystem::path source;
};

void BM_LiveLogConvertFile(benchmark::State& state) {
    static Workspace work;
    using namespace quippet;
    CSettings settings;
    settings.set_number(WcNumber::kYear, 2024);
    settings.set_number(WcNumber::kMonth, 4);
    settings.set_number(WcNumber::kDay, 7);
    settings.set_number(wc_clock_time(0, 0), 19);
    settings.set_number(wc_row_enabled(1), 1);
    settings.set_number(wc_video_time(1, 0), 2);
    settings.set_number(wc_clock_time(1, 0), 21);
    settings.set_number(wc_clock_time(1, 1), 3);
    settings.set_number(wc_video_time(8, 0), 5);
    settings.set_number(WcSwitch::kOverwrite, 1);
    settings.set_number(OptNumber::kLiveLineBreaks, 1);
    settings.set_number(OptSwitch::kWriteLogFile, 0);
    settings.set_text(OptText::kLiveSource, from_utf8(work.source.string()));
    settings.set_text(WcText::kOutputName, u"out");
    const std::uintmax_t bytes = std::filesystem::file_size(work.source);
    for (auto _ : state) {
        CJobFrame frame;
        MemoryLogBox log;
        CWorkData data;
        data.kind = JobKind::kLiveLog;
        data.frame = &frame;
        data.target = {&log, nullptr};
        data.stop_job = &frame.stop_job_flag();
        data.stop_pass = &frame.stop_pass_flag();
        data.stop_download = &frame.stop_download_flag();
        CWorkThread worker(data);
        const LiveLogJobResult result = run_livelog_job(worker, settings);
        if (!result.ok) state.SkipWithError("conversion failed");
        benchmark::DoNotOptimize(result);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
    state.counters["posts"] = kPosts;
}
BENCHMARK(BM_LiveLogConvertFile)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace
