// The download tab's list with 10,000 rows: registering them, sorting by each column, scrolling through the
// view, and four downloads writing progress into it. Runs offscreen (QT_QPA_PLATFORM=offscreen).

#include "download/DownloadList.h"
#include "download/ListFile.h"
#include "download/TabRegistration.h"
#include "text/AppHome.h"
#include "text/Encoding.h"
#include "ui/UiCall.h"
#include "ui/download/DownloadListModel.h"

#include <QApplication>
#include <QHeaderView>
#include <QScrollBar>
#include <QTableView>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

constexpr int kRows = 10000;

std::vector<quippet::DownloadRow> make_rows() {
    std::vector<quippet::DownloadRow> rows;
    rows.reserve(kRows);
    for (int i = 0; i < kRows; ++i) {
        quippet::DownloadRow r;
        // Scrambled so that no column is sorted already.
        const long long n = (static_cast<long long>(i) * 7919) % 100003 + 1;
        const std::u16string id = u"sm" + quippet::decimal_text(n);
        r.cells[quippet::dlcol::kMark] = i % 3 == 0 ? u"○" : (i % 3 == 1 ? u"×" : u"－");
        r.cells[quippet::dlcol::kMarker] = u"＊";
        r.cells[quippet::dlcol::kSaveName] =
            u"動画タイトル その" + quippet::decimal_text(n * 31 % 9973) + u"(" + id + u")";
        r.cells[quippet::dlcol::kDetail] = u"コメントのDL完了";
        r.cells[quippet::dlcol::kFolder] = u"/home/user/download/";
        r.cells[quippet::dlcol::kComments] = quippet::decimal_text(n * 13 % 50000);
        r.cells[quippet::dlcol::kPosted] = u"0" + quippet::decimal_text(n % 9) + u"/0" +
                                           quippet::decimal_text(n % 9 + 1) + u"/1" + quippet::decimal_text(n % 10) +
                                           u" 12:00";
        r.cells[quippet::dlcol::kId] = id;
        r.cells[quippet::dlcol::kViews] = quippet::decimal_text(n * 101 % 1000000);
        r.checked = i % 2 == 0;
        rows.push_back(std::move(r));
    }
    return rows;
}

struct Shown {
    CDownloadListModel model;
    QTableView view;
    Shown() {
        view.setModel(&model);
        view.verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
        view.verticalHeader()->setDefaultSectionSize(20);
        view.resize(1200, 700);
        view.show();
        QApplication::processEvents();
    }
    void paint() {
        view.viewport()->repaint();
        QApplication::processEvents();
    }
};

/// A list file of 10,000 rows read and registered as the tab's load does, handed to the shown list.
void BM_RegisterFromListFile(benchmark::State& state) {
    QTemporaryDir dir;
    quippet::set_app_home(quippet::ui::to_u16(dir.path()));
    quippet::CListDownload source;
    for (auto& r : make_rows())
        source.add_row(std::move(r));
    const std::u16string path = quippet::ui::to_u16(dir.filePath(QStringLiteral("list.txt")));
    int code = 0;
    quippet::save_list_file(path, source, quippet::ListSaveForm::kFullWithState, code);
    quippet::CSettings settings;
    for (auto _ : state) {
        Shown shown;
        quippet::CListDownload scratch;
        quippet::RegisterReport report;
        quippet::CTabRegistration reg(settings, scratch, report, u"download");
        reg.register_list_file(path);
        shown.model.add_rows_from_job(std::vector<quippet::DownloadRow>(scratch.rows()));
        shown.model.flush();
        shown.paint();
        benchmark::DoNotOptimize(shown.model.rowCount());
    }
    state.counters["rows"] = kRows;
}
BENCHMARK(BM_RegisterFromListFile)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_SortByColumn(benchmark::State& state) {
    Shown shown;
    shown.model.append_rows(make_rows());
    const int column = static_cast<int>(state.range(0));
    bool descending = false;
    for (auto _ : state) {
        shown.model.sort_by_code(descending ? -column : column);
        shown.paint();
        descending = !descending;
    }
}
BENCHMARK(BM_SortByColumn)->DenseRange(1, 9)->Unit(benchmark::kMillisecond)->Iterations(6);

/// From the top to the bottom of the list a page at a time, each page painted.
void BM_ScrollThroughList(benchmark::State& state) {
    Shown shown;
    shown.model.append_rows(make_rows());
    shown.paint();
    QScrollBar* bar = shown.view.verticalScrollBar();
    const int steps = 100;
    for (auto _ : state) {
        for (int i = 0; i <= steps; ++i) {
            bar->setValue(bar->maximum() * i / steps);
            shown.paint();
        }
    }
    state.counters["pages"] = steps + 1;
}
BENCHMARK(BM_ScrollThroughList)->Unit(benchmark::kMillisecond)->Iterations(3);

/// Four downloads writing 2,000 progress texts each while the list flushes and paints ten times a second.
void BM_FourDownloadsProgress(benchmark::State& state) {
    Shown shown;
    shown.model.append_rows(make_rows());
    quippet::ListView* list = shown.model.job_list();
    for (auto _ : state) {
        std::atomic<int> running{4};
        std::vector<std::thread> workers;
        for (int w = 0; w < 4; ++w)
            workers.emplace_back([list, w, &running] {
                for (int i = 0; i < 2000; ++i)
                    list->set_cell(w * 2500, quippet::dlcol::kDetail, u"動画DL中 " + quippet::decimal_text(i));
                --running;
            });
        int flushes = 0;
        while (running.load() > 0) {
            shown.model.flush();
            shown.paint();
            ++flushes;
        }
        for (auto& t : workers)
            t.join();
        shown.model.flush();
        state.counters["flushes"] = flushes;
    }
}
BENCHMARK(BM_FourDownloadsProgress)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? QByteArray("offscreen") : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
