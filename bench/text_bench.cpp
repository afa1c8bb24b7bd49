#include <benchmark/benchmark.h>

#include <unicode/ustring.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "text/CharBuffer.h"
#include "text/Encoding.h"
#include "text/FileSP.h"

namespace {

constexpr size_t kTargetBytes = 100u * 1024 * 1024;

/// Comment-file-like UTF-8: ASCII markup around Japanese text, as downloaded comment files are.
std::string make_comment_text(size_t target) {
    static const char* const bodies[] = {
        "ここすき",
        "草",
        "ｗｗｗｗｗ",
        "888888",
        "かわいい！！",
        "うぽつ",
        "弾幕薄いよ何やってんの",
        "ニコニコ動画①～",
        "wktk",
        "神回きたこれ",
        "ＧＧ",
        "じわじわくる",
        "おつかれさまでした〜",
    };
    std::string out;
    out.reserve(target + 256);
    out += "<?xml version=\"1.0\" encoding=\"UTF-8\"?><packet>\n";
    unsigned n = 0;
    while (out.size() < target) {
        out += "<chat thread=\"1700000000\" no=\"";
        out += std::to_string(n);
        out += "\" vpos=\"";
        out += std::to_string(n * 37 % 720000);
        out += "\" date=\"";
        out += std::to_string(1700000000 + n);
        out += "\" mail=\"184 shita\" user_id=\"a1b2C3d4e5F6\" anonymity=\"1\">";
        out += bodies[n % std::size(bodies)];
        out += bodies[(n * 7 + 3) % std::size(bodies)];
        out += "</chat>\n";
        ++n;
    }
    out += "</packet>\n";
    return out;
}

/// The generated file lives in a folder of its own that is removed when the benchmark ends.
class CommentFile {
public:
    CommentFile() {
        std::string pattern = (std::filesystem::temp_directory_path() / "quippet-bench-XXXXXX").string();
        if (::mkdtemp(pattern.data())) folder_ = pattern;
        text_ = make_comment_text(kTargetBytes);
        path_ = folder_ / "comments.xml";
        std::ofstream(path_, std::ios::binary).write(text_.data(), static_cast<std::streamsize>(text_.size()));
    }
    ~CommentFile() {
        std::error_code ec;
        std::filesystem::remove_all(folder_, ec);
    }
    std::u16string path() const { return quippet::from_utf8(path_.string()); }
    const std::string& text() const { return text_; }

private:
    std::filesystem::path folder_;
    std::filesystem::path path_;
    std::string text_;
};

const CommentFile& comment_file() {
    static const CommentFile file;
    return file;
}

void BM_ReadUtf8FileAsWide(benchmark::State& state) {
    const std::u16string path = comment_file().path();
    for (auto _ : state) {
        CCharM bytes;
        CCharW text;
        if (CFileSP().read(path, bytes) != 0) state.SkipWithError("read failed");
        quippet::narrow_to_wide(bytes, quippet::kCodePageUtf8, text);
        benchmark::DoNotOptimize(text.c_str());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(comment_file().text().size()));
}
BENCHMARK(BM_ReadUtf8FileAsWide)->Unit(benchmark::kMillisecond);

// How the comment-file reader takes a file: decoded piece by piece while reading.
void BM_ReadUtf8FileStreaming(benchmark::State& state) {
    const std::u16string path = comment_file().path();
    for (auto _ : state) {
        CCharW text;
        if (CFileSP().read_utf8_text(path, text) != 0) state.SkipWithError("read failed");
        benchmark::DoNotOptimize(text.c_str());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(comment_file().text().size()));
}
BENCHMARK(BM_ReadUtf8FileStreaming)->Unit(benchmark::kMillisecond);

void BM_DecodeUtf8(benchmark::State& state) {
    const CCharM bytes(comment_file().text());
    for (auto _ : state) {
        CCharW text;
        quippet::narrow_to_wide(bytes, quippet::kCodePageUtf8, text);
        benchmark::DoNotOptimize(text.c_str());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * bytes.length());
}
BENCHMARK(BM_DecodeUtf8)->Unit(benchmark::kMillisecond);

// ICU's own conversion, the reference the decoder above is measured against.
void BM_DecodeUtf8WithIcu(benchmark::State& state) {
    const std::string& bytes = comment_file().text();
    for (auto _ : state) {
        std::u16string text(bytes.size(), u'\0');
        int32_t length = 0;
        UErrorCode err = U_ZERO_ERROR;
        u_strFromUTF8WithSub(text.data(), static_cast<int32_t>(text.size()), &length, bytes.data(),
                             static_cast<int32_t>(bytes.size()), 0xFFFD, nullptr, &err);
        benchmark::DoNotOptimize(text.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes.size()));
}
BENCHMARK(BM_DecodeUtf8WithIcu)->Unit(benchmark::kMillisecond);

void BM_EncodeUtf8(benchmark::State& state) {
    const CCharW text(quippet::from_utf8(comment_file().text()));
    for (auto _ : state) {
        CCharM bytes;
        quippet::wide_to_utf8(text, bytes);
        benchmark::DoNotOptimize(bytes.c_str());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * text.length() *
                            static_cast<int64_t>(sizeof(char16_t)));
}
BENCHMARK(BM_EncodeUtf8)->Unit(benchmark::kMillisecond);

// A writer builds a whole comment file line by line, starting from a modest guess of its size.
void BM_FastAppend100MB(benchmark::State& state) {
    const std::u16string line =
        u"<chat thread=\"1700000000\" no=\"12345\" vpos=\"67890\" date=\"1700012345\" mail=\"184\" "
        u"user_id=\"a1b2C3d4e5F6\">ここすき草ｗｗｗ</chat>\r\n";
    const size_t lines = kTargetBytes / (line.size() * sizeof(char16_t));
    for (auto _ : state) {
        CCharW out;
        out.begin_fast_append(500 * 1000);
        for (size_t i = 0; i < lines; ++i)
            out.fast_append(line);
        out.end_fast_append();
        benchmark::DoNotOptimize(out.c_str());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * lines * line.size() * sizeof(char16_t)));
}
BENCHMARK(BM_FastAppend100MB)->Unit(benchmark::kMillisecond);

} // namespace
