// The reconstruction job end to end (file in, file out) on a large generated comment file, with the
// settings a user who cleans up a busy video would take, and the thinning step on its own.
// Run one benchmark per process (--benchmark_filter) to read its peak resident memory.
#include <sys/resource.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "app/JobFrame.h"
#include "app/MemorySinks.h"
#include "app/Settings.h"
#include "app/SettingKeys.h"
#include "app/WorkThread.h"
#include "bench/CommentGen.h"
#include "comments/ChatReader.h"
#include "reconstruct/FuzzyFold.h"
#include "reconstruct/Lists.h"
#include "reconstruct/ReconstructJob.h"
#include "reconstruct/ReconstructSettingKeys.h"
#include "text/AppHome.h"
#include "text/Encoding.h"

namespace {

constexpr int kComments = 500000;

/// A memory file system when there is one: the disk's flush time would otherwise swamp what is measured.
std::filesystem::path scratch_folder() {
    std::error_code ec;
    if (std::filesystem::is_directory("/dev/shm", ec) && ::access("/dev/shm", W_OK) == 0) return "/dev/shm";
    return std::filesystem::temp_directory_path();
}

/// The generated input and an app home of its own, removed when the program ends.
struct Workspace {
    Workspace() : folder(scratch_folder() / ("quippet-reconstruct-bench-" + std::to_string(::getpid()))) {
        std::filesystem::create_directories(folder / "home");
        std::filesystem::create_directories(folder / "out");
        input = folder / "input.xml";
        std::FILE* out = std::fopen(input.c_str(), "wb");
        quippet::bench::CommentGenerator(20250001).write(kComments, out);
        std::fclose(out);
        quippet::set_app_home(quippet::from_utf8((folder / "home").string()));
    }
    ~Workspace() {
        std::error_code ec;
        std::filesystem::remove_all(folder, ec);
    }
    Workspace(const Workspace&) = delete;
    Workspace& operator=(const Workspace&) = delete;

    std::filesystem::path folder;
    std::filesystem::path input;
};

const Workspace& workspace() {
    static const Workspace w;
    return w;
}

void report_memory(benchmark::State& state, int64_t bytes) {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    const double peak_mb = static_cast<double>(usage.ru_maxrss) / 1024.0;
    const double file_mb = static_cast<double>(bytes) / (1024.0 * 1024.0);
    state.counters["file_MB"] = file_mb;
    state.counters["peak_rss_MB"] = peak_mb;
    state.counters["peak_rss_per_file"] = peak_mb / file_mb;
}

/// Runs the job as the tab would, the output replacing the previous iteration's.
void run_job(benchmark::State& state, const quippet::CSettings& settings) {
    const Workspace& w = workspace();
    const auto bytes = static_cast<int64_t>(std::filesystem::file_size(w.input));
    quippet::ReconstructSettings snapshot = quippet::reconstruct_settings(settings);
    snapshot.output_folder = quippet::from_utf8((w.folder / "out").string());
    snapshot.overwrite = true;
    for (auto _ : state) {
        quippet::CJobFrame frame;
        quippet::MemoryLogBox log;
        quippet::CWorkData data;
        data.kind = quippet::JobKind::kReconstruct;
        data.frame = &frame;
        data.target = {&log, nullptr};
        data.stop_job = &frame.stop_job_flag();
        data.stop_pass = &frame.stop_pass_flag();
        data.stop_download = &frame.stop_download_flag();
        data.inputs() = {quippet::from_utf8(w.input.string())};
        quippet::CWorkThread worker(data);
        const quippet::ReconstructCounts counts = quippet::run_reconstruct_job(worker, settings, snapshot);
        if (counts.succeeded != 1) {
            state.SkipWithError(quippet::to_utf8(log.text()).c_str());
            break;
        }
    }
    state.SetBytesProcessed(state.iterations() * bytes);
    report_memory(state, bytes);
}

/// Duplicates by time (800 ms) and text, the NG-word list with its default text, and 100 per minute.
quippet::CSettings full_reconstruction_settings() {
    using namespace quippet;
    CSettings s;
    s.set_number(RcSwitch::kDuplicates, 1);
    s.set_number(RcSwitch::kDupTime, 1);
    s.set_number(RcNumber::kDupWindow, 80);
    s.set_number(RcSwitch::kDupBody, 1);
    s.set_number(RcSwitch::kNgWord, 1);
    s.set_number(RcSwitch::kLimit, 1);
    s.set_number(RcSwitch::kLimitPerMinute, 1);
    s.set_number(RcNumber::kLimitCount, 100);
    return s;
}

void BM_FullReconstruction(benchmark::State& state) {
    run_job(state, full_reconstruction_settings());
}
BENCHMARK(BM_FullReconstruction)->Unit(benchmark::kMillisecond)->MinTime(3.0)->UseRealTime();

/// The same with the command rules of the first stage (their default text) on every comment.
void BM_FullReconstructionWithRules(benchmark::State& state) {
    quippet::CSettings s = full_reconstruction_settings();
    s.set_number(quippet::RcSwitch::kPreStage, 1);
    run_job(state, s);
}
BENCHMARK(BM_FullReconstructionWithRules)->Unit(benchmark::kMillisecond)->MinTime(3.0)->UseRealTime();

/// "間引" from 500,000 down to 1,000, the whole job.
void BM_ThinJob(benchmark::State& state) {
    using namespace quippet;
    CSettings s;
    s.set_number(RcSwitch::kLimit, 1);
    s.set_number(RcSwitch::kLimitThin, 1);
    s.set_number(RcNumber::kLimitCount, 1000);
    run_job(state, s);
}
BENCHMARK(BM_ThinJob)->Unit(benchmark::kMillisecond)->MinTime(3.0)->UseRealTime();

/// "間引" alone on a set already read.
void BM_ThinStep(benchmark::State& state) {
    using namespace quippet;
    const Workspace& w = workspace();
    CWorkChatdata original;
    ChatReadContext context;
    if (read_comment_file(from_utf8(w.input.string()), original, 0, context) != kComments) {
        state.SkipWithError("the generated file did not read back");
        return;
    }
    LimitOptions limit;
    limit.enabled = true;
    limit.limit = 1000;
    limit.method = LimitMethod::thin;
    for (auto _ : state) {
        state.PauseTiming();
        CWorkChatdata set = original;
        state.ResumeTiming();
        AfterReadingCounters counters;
        apply_count_limit(set, limit, counters);
        if (set.count() != 1000) state.SkipWithError("thinning did not reach the limit");
    }
}
BENCHMARK(BM_ThinStep)->Unit(benchmark::kMillisecond)->MinTime(3.0)->UseRealTime();

std::u16string ng_word_list(int64_t words) {
    std::u16string list;
    for (int64_t i = 0; i < words; ++i) {
        const std::string n = std::to_string(i);
        // Appended piece by piece: GCC 12 warns falsely (-Wrestrict) about the chained form at -O2.
        list += u"ＮＧ語";
        list.append(n.begin(), n.end());
        list += u"です\r\n";
    }
    return list;
}

// Reading an NG-word list of `range(0)` words: folding every line and building the search.
void BM_NgWordListLoad(benchmark::State& state) {
    using namespace quippet;
    const std::u16string list = ng_word_list(state.range(0));
    for (auto _ : state) {
        const NgList ng = parse_ng_list(list, NgListKind::kWords, false);
        benchmark::DoNotOptimize(ng.single.words.size());
    }
}
BENCHMARK(BM_NgWordListLoad)->Arg(100000)->Unit(benchmark::kMillisecond);

// One comment tested against an NG-word list of `range(0)` words that it does not hit (the common case, and
// the one that has to look at every word).
void BM_NgWordsPerComment(benchmark::State& state) {
    using namespace quippet;
    const NgList ng = parse_ng_list(ng_word_list(state.range(0)), NgListKind::kWords, false);
    const std::u16string comment = u"ここすき　このシーンの作画はすごいなあｗｗｗ　もう一回見たい";
    const std::u16string folded = fuzzy_folded(comment);
    for (auto _ : state)
        benchmark::DoNotOptimize(ng.match(folded, comment));
}
BENCHMARK(BM_NgWordsPerComment)->Arg(10)->Arg(1000)->Arg(100000)->Unit(benchmark::kMicrosecond);

// Loading an NG list of `range(0)` regular expressions: every line is compiled (and JIT-compiled) up front.
void BM_NgRegexListLoad(benchmark::State& state) {
    using namespace quippet;
    std::u16string list;
    for (int64_t i = 0; i < state.range(0); ++i) {
        const std::string n = std::to_string(i);
        list += u"/ＮＧ";
        list.append(n.begin(), n.end());
        list += u"(です|だ)+/\r\n";
    }
    for (auto _ : state) {
        const NgList ng = parse_ng_list(list, NgListKind::kWords, false);
        benchmark::DoNotOptimize(ng.single.patterns.size());
    }
}
BENCHMARK(BM_NgRegexListLoad)->Arg(10000)->Unit(benchmark::kMillisecond);

} // namespace
