#include "app/JobFrame.h"
#include "app/MemorySinks.h"
#include "app/WorkThread.h"
#include "resources/Messages.h"
#include "tests/ui/UiTestSupport.h"
#include "text/Clipboard.h"
#include "ui/ListPane.h"
#include "ui/LogPane.h"
#include "ui/MainWindow.h"
#include "ui/TabPage.h"
#include "ui/download/DownloadPage.h"
#include "ui/reconstruct/ReconstructPage.h"

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QMessageBox>
#include <QTabWidget>
#include <QThread>
#include <QTimer>
#include <QTreeWidgetItem>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
using quippet::BoxAnswer;
using quippet::BoxButtons;
using quippet::CWorkThread;
using quippet::LogMode;

using quippet::test::pump_until;

/// Turns a hang into a failed run: a deadlock would otherwise only end at the test driver's timeout.
class Watchdog {
public:
    explicit Watchdog(std::chrono::seconds limit)
        : thread_([this, limit] {
              std::unique_lock lock(mutex_);
              if (!ended_.wait_for(lock, limit, [this] { return done_; })) {
                  std::fputs("watchdog: the UI thread hung\n", stderr);
                  std::abort();
              }
          }) {}
    ~Watchdog() {
        {
            std::lock_guard lock(mutex_);
            done_ = true;
        }
        ended_.notify_all();
        thread_.join();
    }
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;

private:
    std::mutex mutex_;
    std::condition_variable ended_;
    bool done_ = false;
    std::thread thread_;
};

QString qs(std::u16string_view text) {
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

/// What the pane shows for held text: the same lines with plain line breaks.
QString shown(std::u16string_view held) {
    return qs(held).remove(QLatin1Char('\r'));
}

/// A job that keeps reporting until it is asked to stop; `stopped` tells whether the request came.
quippet::JobFunction busy_job(std::atomic<bool>& stopped) {
    return [&stopped](CWorkThread& worker) {
        const auto give_up = std::chrono::steady_clock::now() + 15s;
        while (!worker.stop_requested() && std::chrono::steady_clock::now() < give_up) {
            worker.log(u"作業中", LogMode::replace_last_line);
            worker.set_column(0, u"行");
            std::this_thread::sleep_for(2ms);
        }
        stopped = worker.stop_requested();
    };
}

TEST(MainWindow, HasItsTitleTabsAndAReadyFrame) {
    CDlgBase window;
    EXPECT_EQ(window.windowTitle(), QStringLiteral("QuippetVellichor"));
    ASSERT_EQ(window.tabs()->count(), 4);
    EXPECT_EQ(window.tabs()->tabText(0), QStringLiteral("XMLの再構成"));
    EXPECT_EQ(window.tabs()->tabText(1), QStringLiteral("実況ログ to XML"));
    EXPECT_EQ(window.tabs()->tabText(2), QStringLiteral("ダウンロード"));
    EXPECT_EQ(window.tabs()->tabText(3), QStringLiteral("プレイリスト"));
    for (int index = 0; index < CDlgBase::tab_count; ++index) {
        ASSERT_NE(window.page(index), nullptr);
        EXPECT_EQ(window.tabs()->widget(index), window.page(index));
        EXPECT_NE(window.page(index)->log_pane(), nullptr);
        EXPECT_NE(window.page(index)->list_view(), nullptr);
    }
    EXPECT_TRUE(window.frame().ready());
    EXPECT_EQ(window.tray_tip(), QStringLiteral("QuippetVellichor"));
    EXPECT_TRUE(window.balloon_text().isEmpty());
}

TEST(LogPane, ShownTextFollowsTheHeldLinesAcrossEveryChange) {
    Watchdog watchdog(60s);
    CLogPane pane;
    pane.append(u"一行目\r\n二行目");
    pane.replace_last_line(u"置換");
    EXPECT_EQ(pane.log_text(), u"一行目\r\n置換");
    EXPECT_EQ(pane.toPlainText(), QStringLiteral("一行目\n置換"));

    // A cut between CR and LF leaves the line break: the shown text must lose the same characters.
    pane.erase_front(4);
    EXPECT_EQ(pane.log_text(), u"\n置換");
    EXPECT_EQ(pane.toPlainText(), QStringLiteral("\n置換"));

    pane.append(u"\r\n最後");
    pane.replace_last_line(u"本当の最後");
    EXPECT_EQ(pane.log_text(), u"\n置換\r\n本当の最後");
    EXPECT_EQ(pane.toPlainText(), QStringLiteral("\n置換\n本当の最後"));
    EXPECT_EQ(pane.length(), pane.log_text().size());
    EXPECT_EQ(pane.unit_at(3), u'\r');

    pane.erase_front(1000);
    EXPECT_EQ(pane.length(), 0u);
    EXPECT_TRUE(pane.toPlainText().isEmpty());
}

TEST(JobThroughWindow, ReportsReachTheWidgetsAndTheEndNoticeReachesTheWindow) {
    Watchdog watchdog(60s);
    CDlgBase window;
    CDlgDD& page = *window.reconstruct_page();
    CListPane& list = *page.list_view();
    // Called on the UI thread these must run at once rather than wait for the UI thread.
    ASSERT_EQ(list.insert_row(-1, u"old.xml"), 0);
    list.set_cell(0, 1, u"○");
    list.set_cell(0, 2, u"前回の結果");

    const std::u16string long_line(15000, u'x');
    struct Seen {
        std::vector<int> inserted;
        int rows = 0;
        std::u16string cell;
        std::u16string reset_status;
        std::int64_t value = 0;
        int first_checked = 0;
        int first_open = 0;
        int found = 0;
    } seen;
    auto job = [&](CWorkThread& worker) {
        worker.job_begin(1, 2);
        worker.log(u"一", LogMode::new_line);
        worker.log(u"の続き", LogMode::continue_line);
        worker.log(u"カウント 1", LogMode::new_line);
        worker.log(u"カウント 2", LogMode::replace_last_line);
        worker.log(u"段落", LogMode::blank_line);
        worker.log(long_line, LogMode::new_line);
        worker.log(u"切り詰め後", LogMode::new_line);

        seen.inserted.push_back(worker.insert_row(-1, u"b.xml"));
        seen.inserted.push_back(worker.insert_row(0, u"a.xml"));
        worker.set_cell(2, 3, u"成功");
        worker.set_checked(2, true);
        worker.set_stored_value(2, 9'000'000'000);
        const int open = worker.insert_row(-1, u"^");
        seen.inserted.push_back(open);
        worker.set_checked(open, true);
        seen.rows = worker.row_count();
        seen.cell = worker.cell(2, 3);
        seen.reset_status = worker.cell(1, 1);
        seen.value = worker.stored_value(2);
        seen.first_checked = worker.first_checked_row();
        seen.first_open = worker.first_checked_open_row();
        seen.found = worker.find_row(u"b.xml", -1);
        worker.job_end(3, 3, 16, {});
    };
    ASSERT_EQ(window.start_job(job, page, quippet::JobKind::kReconstruct), 0);
    ASSERT_TRUE(pump_until([&] { return !window.frame().busy(); }));

    // The same reports written into a plain box by the frame's own rules.
    quippet::CJobFrame reference_frame;
    quippet::MemoryLogBox reference;
    reference_frame.log(&reference, quippet::message_text(1), LogMode::blank_line);
    reference_frame.log(&reference, u"一", LogMode::new_line);
    reference_frame.log(&reference, u"の続き", LogMode::continue_line);
    reference_frame.log(&reference, u"カウント 1", LogMode::new_line);
    reference_frame.log(&reference, u"カウント 2", LogMode::replace_last_line);
    reference_frame.log(&reference, u"段落", LogMode::blank_line);
    reference_frame.log(&reference, long_line, LogMode::new_line);
    reference_frame.log(&reference, u"切り詰め後", LogMode::new_line);
    const std::u16string expected = reference.text();

    const std::u16string held = page.log_pane()->log_text();
    ASSERT_GE(held.size(), expected.size());
    EXPECT_EQ(held.substr(0, expected.size()), expected);
    // The long line pushed the box past its limit, so the start announcement was trimmed away.
    EXPECT_EQ(held.find(quippet::message_text(1)), std::u16string::npos);
    EXPECT_LT(held.size(), quippet::CJobFrame::log_trim_threshold);
    const std::u16string tail = held.substr(expected.size());
    EXPECT_TRUE(tail.starts_with(u"\r\n" + quippet::summary_text(3, 16, 3) + u" （")) << tail.size();
    EXPECT_TRUE(tail.ends_with(u"）"));
    EXPECT_EQ(page.log_pane()->toPlainText(), shown(held));

    EXPECT_EQ(seen.inserted, (std::vector<int>{1, 0, 3}));
    EXPECT_EQ(seen.rows, 4);
    EXPECT_EQ(seen.cell, u"成功");
    EXPECT_EQ(seen.reset_status, u"－");
    EXPECT_EQ(seen.value, 9'000'000'000);
    EXPECT_EQ(seen.first_checked, 2);
    EXPECT_EQ(seen.first_open, 3);
    EXPECT_EQ(seen.found, 2);

    ASSERT_EQ(list.topLevelItemCount(), 4);
    EXPECT_EQ(list.topLevelItem(0)->text(0), QStringLiteral("a.xml"));
    EXPECT_EQ(list.topLevelItem(1)->text(0), QStringLiteral("old.xml"));
    EXPECT_EQ(list.topLevelItem(1)->text(1), QStringLiteral("－"));
    EXPECT_TRUE(list.topLevelItem(1)->text(2).isEmpty());
    EXPECT_GE(list.columnCount(), 4);
    EXPECT_EQ(list.topLevelItem(2)->text(3), QStringLiteral("成功"));
    EXPECT_EQ(list.topLevelItem(2)->checkState(0), Qt::Checked);
    EXPECT_EQ(list.topLevelItem(2)->data(0, Qt::UserRole).toLongLong(), 9'000'000'000);
    EXPECT_EQ(list.topLevelItem(3)->checkState(0), Qt::Checked);
    EXPECT_EQ(list.topLevelItem(0)->checkState(0), Qt::Unchecked);

    EXPECT_EQ(window.tray_tip(), QStringLiteral("QuippetVellichor - 再構成が終了（全処理が終了）"));
    EXPECT_EQ(window.balloon_text(), QStringLiteral("再構成が終了（全処理が終了）"));
}

TEST(JobThroughWindow, WorkersWritingAtOnceKeepTheirLinesWholeAndInOrder) {
    Watchdog watchdog(60s);
    CDlgBase window;
    CDlgDD& page = *window.reconstruct_page();
    constexpr int lines_per_job = 150;
    auto writer = [](char16_t name) {
        return [name](CWorkThread& worker) {
            for (int n = 0; n < lines_per_job; ++n)
                worker.log(std::u16string(1, name) + u":" + quippet::summary_text(n, 15, n), LogMode::new_line);
        };
    };
    // Splitting (kind 0) may run twice at once.
    ASSERT_EQ(window.start_job(writer(u'A'), page, quippet::JobKind::kSplit), 0);
    ASSERT_EQ(window.start_job(writer(u'B'), page, quippet::JobKind::kSplit), 0);
    ASSERT_TRUE(pump_until([&] { return !window.frame().busy(); }));

    const QStringList lines = qs(page.log_pane()->log_text()).split(QStringLiteral("\r\n"));
    ASSERT_EQ(lines.size(), 2 * lines_per_job);
    int next_a = 0;
    int next_b = 0;
    for (const QString& line : lines) {
        int& next = line.startsWith(QLatin1Char('A')) ? next_a : next_b;
        const QChar name = line.startsWith(QLatin1Char('A')) ? QLatin1Char('A') : QLatin1Char('B');
        EXPECT_EQ(line, QString(name) + QStringLiteral(":") + qs(quippet::summary_text(next, 15, next)));
        ++next;
    }
    EXPECT_EQ(next_a, lines_per_job);
    EXPECT_EQ(next_b, lines_per_job);
    EXPECT_EQ(window.tray_tip(), QStringLiteral("QuippetVellichor - 分割が終了（全処理が終了）"));
}

TEST(JobThroughWindow, WorkerQuestionIsAskedAndAnsweredOnTheUiThread) {
    Watchdog watchdog(60s);
    CDlgBase window;
    std::atomic<BoxAnswer> answer{BoxAnswer::ok};
    QString title;
    QString text;
    int boxes = 0;
    QTimer answerer;
    answerer.setInterval(5);
    QObject::connect(&answerer, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr) return;
        ++boxes;
        title = box->windowTitle();
        text = box->text();
        box->button(QMessageBox::No)->click();
    });
    answerer.start();

    auto job = [&answer](CWorkThread& worker) {
        answer = worker.message_box({u"上書きしますか？", u"", BoxButtons::yes_no, BoxAnswer::yes});
    };
    ASSERT_EQ(window.start_job(job, *window.reconstruct_page(), quippet::JobKind::kSplit), 0);
    ASSERT_TRUE(pump_until([&] { return !window.frame().busy(); }));

    EXPECT_EQ(boxes, 1);
    EXPECT_EQ(answer.load(), BoxAnswer::no);
    EXPECT_EQ(title, QStringLiteral("QuippetVellichor"));
    EXPECT_EQ(text, QStringLiteral("上書きしますか？"));
}

TEST(WindowShutdown, CloseIsRefusedWhileAJobRunsAndAsksItToStop) {
    Watchdog watchdog(60s);
    CDlgBase window;
    window.show();
    std::atomic<bool> stopped{false};
    ASSERT_EQ(window.start_job(busy_job(stopped), *window.download_page(), quippet::JobKind::kDownload), 0);
    ASSERT_TRUE(pump_until([&] { return window.download_page()->log_pane()->length() > 0; }));

    EXPECT_FALSE(window.close());
    EXPECT_TRUE(window.isVisible());
    ASSERT_TRUE(pump_until([&] { return !window.frame().busy(); }));
    EXPECT_TRUE(stopped.load());
    EXPECT_TRUE(window.close());
}

TEST(WindowShutdown, DestroyingTheWindowWhileWorkersWaitForItStopsThemWithoutHanging) {
    Watchdog watchdog(60s);
    auto window = std::make_unique<CDlgBase>();
    std::atomic<bool> first_stopped{false};
    std::atomic<bool> second_stopped{false};
    ASSERT_EQ(window->start_job(busy_job(first_stopped), *window->download_page(), quippet::JobKind::kDownload), 0);
    // Waits for admission behind the first download: it must get its turn and stop as well.
    ASSERT_EQ(window->start_job(busy_job(second_stopped), *window->download_page(), quippet::JobKind::kDownload), 0);
    ASSERT_TRUE(pump_until([&] { return window->download_page()->log_pane()->length() > 0; }));

    const auto started = std::chrono::steady_clock::now();
    window.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - started, 10s);
    EXPECT_TRUE(first_stopped.load());
    EXPECT_TRUE(second_stopped.load());
}

TEST(Clipboard, WorkersReachTheSystemClipboardWhileTheWindowLives) {
    Watchdog watchdog(60s);
    {
        CDlgBase window;
        QGuiApplication::clipboard()->setText(QStringLiteral("前からの内容"));
        std::u16string read;
        int read_result = -1;
        int write_result = -1;
        auto job = [&](CWorkThread&) {
            read_result = quippet::clipboard_read(read);
            write_result = quippet::clipboard_write(u"sm9 を写す");
        };
        ASSERT_EQ(window.start_job(job, *window.reconstruct_page(), quippet::JobKind::kSplit), 0);
        ASSERT_TRUE(pump_until([&] { return !window.frame().busy(); }));
        EXPECT_EQ(read_result, 0);
        EXPECT_EQ(read, u"前からの内容");
        EXPECT_EQ(write_result, 0);
        EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("sm9 を写す"));
    }
    EXPECT_EQ(quippet::clipboard_write(u"窓なし"), -1);
}

} // namespace
