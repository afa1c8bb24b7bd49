// A comment file of 100,000 comments converted into the ASS subtitles mpv is given: reading, placing
// in lanes and writing, as a play with comments does before the player starts.
#include <unistd.h>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "bench/CommentGen.h"
#include "lists/CommentSubtitles.h"
#include "text/Encoding.h"

namespace {

constexpr int kComments = 100000;

struct GeneratedInput {
    GeneratedInput()
        : path(std::filesystem::temp_directory_path() /
               ("quippet-subtitles-bench-" + std::to_string(::getpid()) + ".xml")) {
        std::FILE* out = std::fopen(path.c_str(), "wb");
        quippet::bench::CommentGenerator(20260001).write(kComments, out);
        std::fclose(out);
    }
    ~GeneratedInput() {
        std::error_code ec;
        std::filesystem::remove(path, ec);
        std::filesystem::remove(path.string() + ".ass", ec);
    }
    GeneratedInput(const GeneratedInput&) = delete;
    GeneratedInput& operator=(const GeneratedInput&) = delete;

    std::filesystem::path path;
};

void BM_CommentsToAss(benchmark::State& state) {
    static const GeneratedInput input;
    const std::u16string in = quippet::from_utf8(input.path.string());
    const std::u16string out = quippet::from_utf8(input.path.string() + ".ass");
    for (auto _ : state) {
        int error = 0;
        if (quippet::write_comment_subtitles(in, out, error) != 0) {
            state.SkipWithError("the conversion failed");
            break;
        }
    }
    state.counters["comments"] = kComments;
}
BENCHMARK(BM_CommentsToAss)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();

} // namespace
