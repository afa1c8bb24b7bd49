// The four rule stages of a reconstruction with their built-in texts, compiled and run over a large generated
// comment set: the per-comment cost every rebuild pays when the stages are on.
#include <unistd.h>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "bench/CommentGen.h"
#include "comments/ChatReader.h"
#include "reconstruct/FuzzyFold.h"
#include "reconstruct/RuleProgram.h"
#include "resources/DefaultTextsCommands.h"
#include "text/Encoding.h"

namespace {

constexpr int kComments = 500000;

/// The generated comments, read once into a comment set.
const CWorkChatdata& comments() {
    static const CWorkChatdata set = [] {
        std::error_code ec;
        const bool shm = std::filesystem::is_directory("/dev/shm", ec) && ::access("/dev/shm", W_OK) == 0;
        const std::filesystem::path path =
            (shm ? std::filesystem::path("/dev/shm") : std::filesystem::temp_directory_path()) /
            ("quippet-rules-bench-" + std::to_string(::getpid()) + ".xml");
        std::FILE* out = std::fopen(path.c_str(), "wb");
        quippet::bench::CommentGenerator(20250001).write(kComments, out);
        std::fclose(out);
        CWorkChatdata read;
        quippet::ChatReadContext context;
        quippet::read_comment_file(quippet::from_utf8(path.string()), read, 0, context);
        std::filesystem::remove(path, ec);
        return read;
    }();
    return set;
}

void fill(ChatEntry& e, const CWorkChatdata& set, int i) {
    e.user_id.assign(set.user_id(i));
    e.mail.assign(set.mail(i));
    e.text.assign(set.text(i));
    e.vpos = set.vpos(i);
    e.date = set.date(i);
    e.filterable = 1;
    e.score = set.get(ChatColumn::score, i);
    e.premium = set.get(ChatColumn::premium, i);
    e.anonymity = set.get(ChatColumn::anonymity, i);
    e.fork = set.get(ChatColumn::fork, i);
    e.deleted = set.get(ChatColumn::deleted, i);
    quippet::fuzzy_fold_copy(e.text.view(), e.work_text);
}

void BM_FourStagesOverAllComments(benchmark::State& state) {
    const CWorkChatdata& set = comments();
    if (set.count() != kComments) {
        state.SkipWithError("the generated comments did not read back");
        return;
    }
    const quippet::CommandVocabulary vocabulary = quippet::read_vocabulary(quippet::default_command_vocabulary_text());
    int64_t excluded = 0;
    for (auto _ : state) {
        quippet::RuleProgram stages[4];
        stages[0].compile_text(quippet::default_priority_rules_text(), {});
        for (int s = 1; s < 4; ++s)
            stages[s].compile_text(quippet::default_command_rules_text(), {});
        const quippet::RuleRunOptions options;
        ChatEntry e;
        for (int i = 0; i < set.count(); ++i) {
            fill(e, set, i);
            for (auto& stage : stages)
                excluded += stage.evaluate(e, vocabulary, options, 0) ? 1 : 0;
        }
        benchmark::DoNotOptimize(e.mail.length());
    }
    state.counters["comments_per_s"] =
        benchmark::Counter(static_cast<double>(set.count()), benchmark::Counter::kIsIterationInvariantRate);
    state.counters["exclusions_per_pass"] = static_cast<double>(excluded) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_FourStagesOverAllComments)->Unit(benchmark::kMillisecond)->MinTime(3.0)->UseRealTime();

} // namespace
