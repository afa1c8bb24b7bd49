#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "download/DownloadHistory.h"
#include "download/DownloadList.h"
#include "download/IdRecognition.h"
#include "download/ListFile.h"
#include "text/Encoding.h"
#include "text/FileSP.h"

namespace {

using namespace quippet;

constexpr int kIds = 100000;

/// A pasted text of many IDs: addresses, bare IDs and names, with words between them.
std::u16string id_text() {
    std::u16string text;
    for (int i = 1; i <= kIds; ++i) {
        switch (i % 3) {
        case 0:
            text += u"https://www.nicovideo.jp/watch/sm" + decimal_text(i) + u" ";
            break;
        case 1:
            text += u"sm" + decimal_text(i) + u"\r\n";
            break;
        default:
            text += u"見て(sm" + decimal_text(i) + u")、";
        }
    }
    return text;
}

/// Extracting 100,000 IDs from a text and adding a row for each, every add first asking the ID set.
void BM_RegisterIdsFromText(benchmark::State& state) {
    const std::u16string text = id_text();
    const IdSettings settings;
    for (auto _ : state) {
        CListDownload list;
        std::vector<std::u16string> ids;
        extract_ids(text, ids, kIdModeInput, settings);
        for (auto& id : ids) {
            DownloadRow row;
            row.cells[dlcol::kMarker] = kRegisteredMarker;
            row.cells[dlcol::kSaveName] = kPendingName;
            row.cells[dlcol::kFolder] = u"/videos/";
            row.cells[dlcol::kId] = std::move(id);
            list.add_row(std::move(row));
        }
        if (list.row_count() != kIds) state.SkipWithError("not every ID was registered");
        benchmark::DoNotOptimize(list);
    }
    state.counters["ids"] = kIds;
}
BENCHMARK(BM_RegisterIdsFromText)->Unit(benchmark::kMillisecond);

HistoryLine history_line(int i) {
    HistoryLine l;
    l.states = {HistoryState::kNotRequested, HistoryState::kDone,    HistoryState::kNotRequested,
                HistoryState::kDone,         HistoryState::kNothing, HistoryState::kNotRequested};
    l.columns = {u"＊",
                 u"テスト動画 " + decimal_text(i) + u"(sm" + decimal_text(i) + u")",
                 u"コメントのDL完了",
                 u"/videos/",
                 u"1234",
                 u"07/03/06 00:33"};
    l.id = u"sm" + decimal_text(i);
    l.views = u"5678";
    return l;
}

/// A history file of 100,000 lines.
void write_history(const std::u16string& path) {
    CDownloadHistory seed(kIds);
    for (int i = 0; i < kIds; ++i)
        seed.add(history_line(i));
    CFileSP file;
    file.write_wide_text(path, seed.text(), CFileSP::kOverwrite);
}

/// A line added to a history of 100,000 lines in memory (the keep rule scans the lines of the video).
void BM_HistoryAddInMemory(benchmark::State& state) {
    CDownloadHistory history(kIds);
    for (int i = 0; i < kIds; ++i)
        history.add(history_line(i));
    int next = kIds;
    for (auto _ : state)
        benchmark::DoNotOptimize(history.add(history_line(++next)));
}
BENCHMARK(BM_HistoryAddInMemory)->Unit(benchmark::kMicrosecond);

/// The same through the history file of a job: loaded once, then each line appended (the file is written
/// whole when it holds a tenth of the limit more than the history; with room left, never).
void BM_HistoryAddToFile(benchmark::State& state) {
    const bool at_limit = state.range(0) != 0;
    std::string pattern = (std::filesystem::temp_directory_path() / "quippet-bench-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) {
        state.SkipWithError("no temporary folder");
        return;
    }
    const std::u16string path = from_utf8(pattern) + u"/down.txt";
    write_history(path);
    CDownloadHistoryFile history;
    int code = 0;
    if (history.load(path, at_limit ? kIds : 10 * kIds, code) != 0) state.SkipWithError("no history");
    int next = kIds;
    for (auto _ : state)
        if (history.add(history_line(++next), code) != 0) state.SkipWithError("the history could not be written");
    std::error_code ec;
    std::filesystem::remove_all(pattern, ec);
}
BENCHMARK(BM_HistoryAddToFile)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

/// A single row outside a job: the line appended to a file of 100,000 lines; with room for the line the
/// file's size tells so (0), at the limit the line count kept beside the file does (1; the first add counts
/// the lines once) and every tenth of the limit the file is replayed and written whole.
void BM_HistoryLoadAndAdd(benchmark::State& state) {
    std::string pattern = (std::filesystem::temp_directory_path() / "quippet-bench-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) {
        state.SkipWithError("no temporary folder");
        return;
    }
    const std::u16string path = from_utf8(pattern) + u"/down.txt";
    write_history(path);
    int next = kIds;
    for (auto _ : state) {
        int code = 0;
        if (append_history_file(path, history_line(++next), state.range(0) ? kIds : 10 * kIds, code) != 0)
            state.SkipWithError("the history could not be written");
    }
    std::error_code ec;
    std::filesystem::remove_all(pattern, ec);
}
BENCHMARK(BM_HistoryLoadAndAdd)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

} // namespace
