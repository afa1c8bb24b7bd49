// Read → comment set → write of a large generated comment file, the path every reconstruction takes.
// Reports throughput over the input size and the peak resident memory of the process.
#include <sys/resource.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "bench/CommentGen.h"
#include "comments/ChatReader.h"
#include "comments/ChatWriter.h"
#include "text/Encoding.h"
#include "text/FileSP.h"

namespace {

constexpr int kComments = 500000;

/// The generated input, written on first use and removed when the program ends.
struct GeneratedInput {
    GeneratedInput() : path(folder() / ("quippet-comments-bench-" + std::to_string(::getpid()) + ".xml")) {
        std::FILE* out = std::fopen(path.c_str(), "wb");
        quippet::bench::CommentGenerator(20250001).write(kComments, out);
        std::fclose(out);
    }
    ~GeneratedInput() {
        std::error_code ec;
        std::filesystem::remove(path, ec);
    }
    GeneratedInput(const GeneratedInput&) = delete;
    GeneratedInput& operator=(const GeneratedInput&) = delete;

    /// A memory file system when there is one: the disk's flush time would otherwise swamp what is measured.
    static std::filesystem::path folder() {
        std::error_code ec;
        if (std::filesystem::is_directory("/dev/shm", ec) && ::access("/dev/shm", W_OK) == 0) return "/dev/shm";
        return std::filesystem::temp_directory_path();
    }

    std::filesystem::path path;
};

const std::filesystem::path& input_file() {
    static const GeneratedInput input;
    return input.path;
}

void BM_ReadSetWrite(benchmark::State& state) {
    const std::filesystem::path& input = input_file();
    const std::u16string in_path = quippet::from_utf8(input.string());
    const std::u16string out_path = quippet::from_utf8(input.string() + ".out.xml");
    const auto bytes = static_cast<int64_t>(std::filesystem::file_size(input));
    quippet::ChatWriterOptions options;
    options.write_thread = options.write_premium = options.write_anonymity = options.write_fork = true;
    options.write_score = options.write_locale = options.write_deleted = true;
    options.keep_own_numbers = true;

    for (auto _ : state) {
        CWorkChatdata set;
        quippet::ChatHeaderRecord header;
        quippet::ChatFooterRecord footer;
        quippet::ChatReadContext context;
        context.header = &header;
        context.footer = &footer;
        if (quippet::read_comment_file(in_path, set, 0, context) != kComments) {
            state.SkipWithError("the generated file did not read back");
            break;
        }
        std::string head, body, foot;
        quippet::write_reconstructed(set, header, footer, options, {}, {head, body, foot});
        CFileSP file;
        if (file.write(out_path, head, body, foot, CFileSP::kOverwrite) != 0) {
            state.SkipWithError("the output could not be written");
            break;
        }
        benchmark::DoNotOptimize(set.count());
    }
    state.SetBytesProcessed(state.iterations() * bytes);

    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    const double peak_mb = static_cast<double>(usage.ru_maxrss) / 1024.0;
    state.counters["file_MB"] = static_cast<double>(bytes) / (1024.0 * 1024.0);
    state.counters["peak_rss_MB"] = peak_mb;
    state.counters["peak_rss_per_file"] = peak_mb / (static_cast<double>(bytes) / (1024.0 * 1024.0));
    std::filesystem::remove(quippet::to_utf8(out_path));
}
BENCHMARK(BM_ReadSetWrite)->Unit(benchmark::kMillisecond)->MinTime(3.0)->UseRealTime();

} // namespace
