// Writes the benchmark inputs: `quippet_bench_gen comments N FILE` (a comment file of N comments) — the
// same bytes for the same arguments, so runs on different days compare.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/CommentGen.h"

int main(int argc, char** argv) {
    if (argc != 4 || std::string(argv[1]) != "comments") {
        std::fprintf(stderr, "usage: quippet_bench_gen comments N FILE\n");
        return 2;
    }
    const int count = std::atoi(argv[2]);
    std::FILE* out = std::fopen(argv[3], "wb");
    if (count <= 0 || !out) {
        std::fprintf(stderr, "quippet_bench_gen: bad count or cannot write %s\n", argv[3]);
        return 2;
    }
    quippet::bench::CommentGenerator(20250001).write(count, out);
    return std::fclose(out) == 0 ? 0 : 1;
}
