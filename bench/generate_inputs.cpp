// Writes the benchmark inputs: `quippet_bench_gen comments N FILE` (a comment file of N comments) and
// `quippet_bench_gen livelog N FILE` (a live-thread log of N posts, 2024-04-07 from 19:00) — the same
// bytes for the same arguments, so runs on different days compare.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/CommentGen.h"
#include "bench/LiveLogGen.h"

int main(int argc, char** argv) {
    const std::string kind = argc == 4 ? argv[1] : "";
    if (kind != "comments" && kind != "livelog") {
        std::fprintf(stderr, "usage: quippet_bench_gen (comments | livelog) N FILE\n");
        return 2;
    }
    const int count = std::atoi(argv[2]);
    std::FILE* out = std::fopen(argv[3], "wb");
    if (count <= 0 || !out) {
        std::fprintf(stderr, "quippet_bench_gen: bad count or cannot write %s\n", argv[3]);
        return 2;
    }
    if (kind == "comments")
        quippet::bench::CommentGenerator(20250001).write(count, out);
    else
        quippet::bench::LiveLogGenerator(20240407).write(count, out);
    return std::fclose(out) == 0 ? 0 : 1;
}
