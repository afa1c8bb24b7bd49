// The reading and joining side of a past-log walk without the network: 1,000 answers of 1,000 comments,
// as the comment server sends them (each older answer ends with the comment the walk held lowest), read,
// cut and joined into one thread of a million comments. bench/comment_walk.sh measures the whole walk.
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "download/CommentJoin.h"

namespace {

constexpr int kPerAnswer = 1000;
constexpr int kAnswers = 1000;

std::string answer_ending_at(int last) {
    std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><packet><thread resultcode=\"0\" "
                      "thread=\"1000000019\" last_res=\"1000000\" ticket=\"0x19\"/>";
    for (int no = std::max(1, last - kPerAnswer + 1); no <= last; ++no) {
        out += "<chat thread=\"1000000019\" no=\"" + std::to_string(no) + "\" vpos=\"" +
               std::to_string((no * 7919L) % 61900) + "\" date=\"" + std::to_string(1174750380 + no * 60L) +
               "\" mail=\"184\" user_id=\"u" + std::to_string(no % 97) + "\" anonymity=\"1\">コメント" +
               std::to_string(no) + "</chat>";
    }
    return out + "</packet>";
}

const std::vector<std::string>& answers() {
    static const std::vector<std::string> all = [] {
        std::vector<std::string> a;
        int last = kPerAnswer * kAnswers;
        a.push_back(answer_ending_at(last));
        for (last -= kPerAnswer - 1; last > 1; last -= kPerAnswer - 1)
            a.push_back(answer_ending_at(last));
        return a;
    }();
    return all;
}

void BM_WalkJoinMillion(benchmark::State& state) {
    const auto& all = answers();
    std::size_t bytes = 0;
    for (auto _ : state) {
        state.PauseTiming();
        std::vector<std::string> copies(all.begin(), all.end());
        state.ResumeTiming();
        quippet::CommentPieces pieces;
        const quippet::CommentAnswer latest = quippet::read_comment_answer(copies[0]);
        pieces.add(std::move(copies[0]), latest);
        for (std::size_t i = 1; i < copies.size(); ++i) {
            const quippet::CommentAnswer read = quippet::read_comment_answer(copies[i]);
            if (pieces.add_older(std::move(copies[i]), read, pieces.lowest()) <= 0) state.SkipWithError("cut failed");
        }
        std::string body;
        if (pieces.join(1, body) != kPerAnswer * kAnswers) state.SkipWithError("join lost comments");
        bytes = body.size();
        benchmark::DoNotOptimize(body.data());
    }
    state.counters["comments"] = kPerAnswer * kAnswers;
    state.counters["MiB"] = static_cast<double>(bytes) / 1048576.0;
}
BENCHMARK(BM_WalkJoinMillion)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace
