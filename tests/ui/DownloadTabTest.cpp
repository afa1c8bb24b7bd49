#include "app/Settings.h"
#include "download/DownloadHistory.h"
#include "download/DownloadTabKeys.h"
#include "download/ListFile.h"
#include "net/ServiceAddress.h"
#include "resources/MessageIds.h"
#include "resources/Messages.h"
#include "tests/net/FakeServiceFixture.h"
#include "tests/ui/TabTestSupport.h"
#include "tests/ui/UiTestSupport.h"
#include "text/AppHome.h"
#include "text/FileSP.h"
#include "ui/LogPane.h"
#include "ui/MainWindow.h"
#include "ui/download/DownloadListModel.h"
#include "ui/download/BookmarkTree.h"
#include "ui/download/DownloadPage.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTableView>
#include <QThread>
#include <QToolButton>

#include <gtest/gtest.h>

#include <map>
#include <thread>

namespace {

using quippet::DlSwitch;
using quippet::DlText;
using quippet::key;
using quippet::test::pump_until;
using quippet::test::TabHome;
using quippet::ui::to_qstring;
using quippet::ui::to_u16;
namespace dlcol = quippet::dlcol;

template <class W> W* control(const CDlgES& page, const quippet::SettingKey& k) {
    W* w = qobject_cast<W*>(page.controls().control_for(k));
    EXPECT_NE(w, nullptr) << quippet::to_utf8(quippet::setting_key_name(k));
    return w;
}

QString cell(const CDlgES& page, int row, int column) {
    return page.model()->index(row, column).data().toString();
}

bool wait_idle(const CDlgES& page) {
    return pump_until([&page] { return !page.busy(); }, std::chrono::seconds(60));
}

void press_enter(QWidget* w) {
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QCoreApplication::sendEvent(w, &press);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_Return, Qt::NoModifier);
    QCoreApplication::sendEvent(w, &release);
}

/// The window's detailed settings for the replacement service: direct connections, no waits.
void use_quick_settings(CDlgBase& window) {
    quippet::CSettings s = window.settings();
    using quippet::OptNumber;
    s.set_number(OptNumber::kProxyMode, 1);
    for (OptNumber k : {OptNumber::kDownloadWait, OptNumber::kThumbApiInterval, OptNumber::kVideoRetryWait,
                        OptNumber::kCommentRetryWait, OptNumber::kPastLogInterval, OptNumber::kVideoFreeSpaceMb,
                        OptNumber::kFreeSpaceMb})
        s.set_number(k, 0);
    s.set_number(OptNumber::kParallelDownloads, 1);
    s.set_text(quippet::OptProtected::kMail, u"quippet@example.invalid");
    s.set_text(quippet::OptProtected::kPassword, u"vellichor");
    window.apply_settings(s);
}

class DownloadTabServiceTest : public quippet::test::FakeServiceTest {
protected:
    void SetUp() override {
        FakeServiceTest::SetUp();
        previous_root_ = quippet::service_root();
        quippet::set_service_root(service().root(false));
    }
    void TearDown() override {
        quippet::set_service_root(previous_root_);
        FakeServiceTest::TearDown();
    }
    std::u16string previous_root_;
};

TEST_F(DownloadTabServiceTest, TypedIdIsRegisteredAndDownloadedWithItsMarkTextAndFiles) {
    TabHome home;
    CDlgBase window;
    use_quick_settings(window);
    CDlgES& page = *window.download_page();
    const QString folder = home.file(QStringLiteral("dl"));
    control<QLineEdit>(page, key(DlText::kFolder))->setText(folder);
    for (DlSwitch k : {DlSwitch::kVideo, DlSwitch::kNicowari, DlSwitch::kOwnerComments, DlSwitch::kPastLogs})
        control<QCheckBox>(page, key(k))->setChecked(false);
    for (DlSwitch k : {DlSwitch::kComments, DlSwitch::kThumbnail, DlSwitch::kInfoFile})
        control<QCheckBox>(page, key(k))->setChecked(true);

    page.input_box()->setText(QStringLiteral("sm9"));
    EXPECT_EQ(page.kind_label()->text(), QStringLiteral("文字列（ID含み）"));
    press_enter(page.input_box());
    ASSERT_TRUE(wait_idle(page));
    ASSERT_TRUE(pump_until([&] { return page.model()->rowCount() == 1; }));
    SCOPED_TRACE(quippet::to_utf8(page.log_pane()->log_text()));
    EXPECT_EQ(cell(page, 0, dlcol::kId), QStringLiteral("sm9"));
    EXPECT_FALSE(cell(page, 0, dlcol::kSaveName).isEmpty());
    EXPECT_FALSE(cell(page, 0, dlcol::kSaveName).startsWith(QLatin1Char('*'))) << "the information was fetched";

    // Enter again: the ID is listed already and is not added twice.
    press_enter(page.input_box());
    ASSERT_TRUE(wait_idle(page));
    EXPECT_EQ(page.model()->rowCount(), 1);

    page.button(QStringLiteral("ダウンロード"))->click();
    EXPECT_FALSE(page.button(QStringLiteral("ダウンロード"))->isEnabled()) << "one download over the rows at a time";
    ASSERT_TRUE(wait_idle(page));
    page.model()->flush();
    EXPECT_EQ(cell(page, 0, dlcol::kMark), QStringLiteral("○"));
    EXPECT_TRUE(cell(page, 0, dlcol::kDetail).contains(QStringLiteral("コメントのDL完了")))
        << cell(page, 0, 3).toStdString();
    const QStringList files = QDir(folder).entryList(QDir::Files);
    EXPECT_TRUE(files.filter(QStringLiteral(".xml")).size() >= 1) << files.join(QLatin1Char(' ')).toStdString();
    EXPECT_TRUE(files.filter(QStringLiteral(".jpg")).size() >= 1) << files.join(QLatin1Char(' ')).toStdString();
    EXPECT_TRUE(page.button(QStringLiteral("ダウンロード"))->isEnabled());

    // The history now holds the row: its selection registers it back into an empty list.
    page.model()->clear();
    page.list_name_box()->setCurrentText(QStringLiteral("<最近コメントをDLした一覧>"));
    page.load_list();
    ASSERT_TRUE(wait_idle(page));
    ASSERT_TRUE(pump_until([&] { return page.model()->rowCount() == 1; }));
    EXPECT_EQ(cell(page, 0, dlcol::kId), QStringLiteral("sm9"));
    // And the list as the download found it is kept.
    page.model()->clear();
    page.list_name_box()->setCurrentText(to_qstring(quippet::kListAtDownloadStart));
    page.load_list();
    ASSERT_TRUE(wait_idle(page));
    ASSERT_TRUE(pump_until([&] { return page.model()->rowCount() == 1; }));
}

TEST_F(DownloadTabServiceTest, ClipboardTextRegistersTheIdsItNames) {
    TabHome home;
    CDlgBase window;
    use_quick_settings(window);
    CDlgES& page = *window.download_page();
    page.set_clipboard_source([] { return QStringLiteral("これ見て sm9 と https://example.invalid/watch/sm10 だよ"); });
    page.clipboard_changed();
    ASSERT_TRUE(wait_idle(page));
    ASSERT_TRUE(pump_until([&] { return page.model()->rowCount() == 2; }));
    EXPECT_EQ(cell(page, 0, dlcol::kId), QStringLiteral("sm9"));
    EXPECT_EQ(cell(page, 1, dlcol::kId), QStringLiteral("sm10"));
    page.set_clipboard_source([] { return QStringLiteral("IDのない文"); });
    page.clipboard_changed();
    EXPECT_FALSE(page.busy()) << "text without IDs starts nothing";
    EXPECT_EQ(page.clipboard_changes(), 2);
}

/// Comment files named as the download names them, in a folder of the home.
QString folder_of_saved(const TabHome& home, const QStringList& names) {
    const QString dir = home.file(QStringLiteral("saved"));
    QDir().mkpath(dir);
    for (const QString& n : names) {
        QFile f(dir + QLatin1Char('/') + n);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("<packet></packet>");
    }
    return dir;
}

TEST(DownloadTab, SavedListComesBackWithItsRowsAndChecksAndAHistorySelectionRegistersItsVideos) {
    TabHome home;
    CDlgBase window;
    CDlgES& page = *window.download_page();
    const QString dir = folder_of_saved(home, {QStringLiteral("a(sm3).xml"), QStringLiteral("b(sm1).xml")});
    page.register_paths({dir});
    ASSERT_TRUE(wait_idle(page));
    ASSERT_TRUE(pump_until([&] { return page.model()->rowCount() == 2; }));
    // Folder rows come checked; the saved state must bring back the one taken off.
    page.model()->set_checked({1}, false);

    page.list_name_box()->setCurrentText(QStringLiteral("私のリスト"));
    page.save_list();
    EXPECT_TRUE(QFile::exists(home.file(QStringLiteral("down/私のリスト.txt"))));
    EXPECT_GE(page.list_name_box()->findText(QStringLiteral("私のリスト")), 0) << "offered for loading";
    page.model()->clear();
    page.load_list();
    ASSERT_TRUE(wait_idle(page));
    ASSERT_TRUE(pump_until([&] { return page.model()->rowCount() == 2; }));
    EXPECT_EQ(cell(page, 0, dlcol::kId), QStringLiteral("sm3"));
    EXPECT_EQ(cell(page, 1, dlcol::kId), QStringLiteral("sm1"));
    EXPECT_EQ(page.model()->index(0, 0).data(Qt::CheckStateRole).toInt(), Qt::Checked);
    EXPECT_EQ(page.model()->index(1, 0).data(Qt::CheckStateRole).toInt(), Qt::Unchecked);

    // A name that would leave the folder is refused.
    QString refused;
    page.set_message_hook([&](const QString& t) { refused = t; });
    page.list_name_box()->setCurrentText(QStringLiteral("../外"));
    page.save_list();
    EXPECT_EQ(refused, to_qstring(quippet::message_text(quippet::msg::kDlListNameInvalid)));

    // Two history lines: one video done, one that failed.
    quippet::HistoryLine done, failed;
    done.states[1] = quippet::HistoryState::kDone;
    done.id = u"sm100";
    done.columns[1] = u"動画A(sm100)";
    failed.states[1] = quippet::HistoryState::kFailed;
    failed.id = u"sm200";
    QDir().mkpath(home.file(QStringLiteral("cache/log")));
    CFileSP file;
    ASSERT_EQ(file.write_wide_text(to_u16(home.file(QStringLiteral("cache/log/down.txt"))),
                                   done.text() + u"\r\n" + failed.text() + u"\r\n", 0),
              0);
    // The load replaces the two rows listed now.
    page.list_name_box()->setCurrentText(QStringLiteral("<最近動画のDLに失敗した一覧>"));
    page.load_list();
    ASSERT_TRUE(wait_idle(page));
    ASSERT_TRUE(pump_until([&] { return page.model()->rowCount() == 1; }));
    EXPECT_EQ(cell(page, 0, dlcol::kId), QStringLiteral("sm200"));
    // What the load replaced is there under "[前回抽出前のリスト]".
    page.model()->clear();
    page.list_name_box()->setCurrentText(to_qstring(quippet::kListBeforeFilter));
    page.load_list();
    ASSERT_TRUE(wait_idle(page));
    EXPECT_TRUE(pump_until([&] { return page.model()->rowCount() == 2; }));
}

TEST(DownloadTab, BookmarkTextWithOptionsClearsSortsAndSetsTheThumbnails) {
    TabHome home;
    CDlgBase window;
    CDlgES& page = *window.download_page();
    const QString dir = folder_of_saved(
        home, {QStringLiteral("x(sm3).xml"), QStringLiteral("y(sm20).xml"), QStringLiteral("z(sm1).xml")});
    page.model()->append_rows({[] {
        quippet::DownloadRow r;
        r.cells[dlcol::kId] = u"sm999";
        return r;
    }()});
    page.register_text(dir, QStringLiteral("s=-7 a=0 t=1 w=-4"));
    ASSERT_TRUE(wait_idle(page));
    ASSERT_TRUE(pump_until([&] { return page.model()->rowCount() == 3; }));
    EXPECT_EQ(cell(page, 0, dlcol::kId), QStringLiteral("sm20"));
    EXPECT_EQ(cell(page, 1, dlcol::kId), QStringLiteral("sm3"));
    EXPECT_EQ(cell(page, 2, dlcol::kId), QStringLiteral("sm1"));
    EXPECT_TRUE(page.size_button(quippet::ThumbSize::kSmall)->isChecked());
    EXPECT_TRUE(control<QCheckBox>(page, key(DlSwitch::kThumbFourThree))->isChecked());
    EXPECT_FALSE(page.table_view()->isColumnHidden(dlcol::kThumb));
    EXPECT_EQ(page.model()->thumb_size().width, 48);

    page.set_thumb_size(quippet::ThumbSize::kNone);
    EXPECT_TRUE(page.table_view()->isColumnHidden(dlcol::kThumb));
    EXPECT_FALSE(control<QCheckBox>(page, key(DlSwitch::kShowThumbnails))->isChecked());
}

TEST(DownloadTab, TheWindowsBookmarkTreeRegistersIntoTheListBesideIt) {
    TabHome home;
    CDlgBase window;
    CDlgES& page = *window.download_page();
    auto* tree = qobject_cast<CTreeBookmark*>(page.bookmark_tree());
    ASSERT_NE(tree, nullptr) << "the window puts the tree beside the list";
    const QString dir = folder_of_saved(home, {QStringLiteral("x(sm3).xml"), QStringLiteral("z(sm1).xml")});
    // What a double-click on a bookmark of this folder hands over, with the list cleared first.
    Q_EMIT tree->register_requested(dir, QStringLiteral("a=0 s=7"), QString());
    ASSERT_TRUE(wait_idle(page));
    ASSERT_TRUE(pump_until([&] { return page.model()->rowCount() == 2; }));
    EXPECT_EQ(cell(page, 0, dlcol::kId), QStringLiteral("sm1"));
    EXPECT_EQ(cell(page, 1, dlcol::kId), QStringLiteral("sm3"));
}

TEST(DownloadTab, TheMenuFileSkipsUnknownCommandsWithALogLineAndItsCommandsAct) {
    TabHome home;
    CDlgBase window;
    CDlgES& page = *window.download_page();
    CFileSP file;
    ASSERT_EQ(file.write_wide_text(to_u16(home.file(QStringLiteral("設定：メニュー（DLリストの右クリ）.txt"))),
                                   u"全部チェック\tcheck-all\r\n謎の項目\tfly-away\r\n▼消す\r\n選択行\tremove\r\n▲\r\n",
                                   0),
              0);
    QMenu* menu = page.list_menu();
    QStringList captions;
    for (QAction* a : menu->actions())
        captions.append(a->text());
    EXPECT_EQ(captions, (QStringList{QStringLiteral("全部チェック"), QStringLiteral("消す")}));
    const QString log = to_qstring(page.log_pane()->log_text());
    EXPECT_TRUE(log.contains(QStringLiteral("謎の項目"))) << log.toStdString();
    EXPECT_TRUE(log.contains(to_qstring(quippet::message_text(quippet::msg::kDlMenuLineSkipped))));

    page.model()->append_rows({[] {
                                   quippet::DownloadRow r;
                                   r.cells[dlcol::kId] = u"sm1";
                                   return r;
                               }(),
                               [] {
                                   quippet::DownloadRow r;
                                   r.cells[dlcol::kId] = u"sm2";
                                   return r;
                               }()});
    menu->actions().front()->trigger();
    EXPECT_EQ(page.model()->index(1, 0).data(Qt::CheckStateRole).toInt(), Qt::Checked);
    page.table_view()->selectRow(0);
    menu->actions().at(1)->menu()->actions().front()->trigger();
    ASSERT_EQ(page.model()->rowCount(), 1);
    EXPECT_EQ(cell(page, 0, dlcol::kId), QStringLiteral("sm2"));
}

TEST(DownloadTab, RowsHeldByADownloadAreNeitherSortedNorRemovedAndJobUpdatesAreCoalesced) {
    CDlgBase window;
    CDlgES& page = *window.download_page();
    CDownloadListModel& model = *page.model();
    std::vector<quippet::DownloadRow> rows;
    for (int i = 0; i < 50; ++i) {
        quippet::DownloadRow r;
        r.cells[dlcol::kId] = u"sm" + quippet::decimal_text(50 - i);
        rows.push_back(std::move(r));
    }
    model.append_rows(std::move(rows));
    int changes = 0, inserts = 0;
    QObject::connect(&model, &QAbstractItemModel::dataChanged, [&] { ++changes; });
    QObject::connect(&model, &QAbstractItemModel::rowsInserted, [&] { ++inserts; });

    // A worker's thousand progress lines and a new row: nothing reaches the view until the flush, and then
    // one signal each.
    quippet::ListView* jobs = model.job_list();
    std::thread worker([jobs] {
        for (int i = 0; i < 1000; ++i)
            jobs->set_cell(i % 4, dlcol::kDetail, u"DL中 " + quippet::decimal_text(i));
        const int at = jobs->insert_row(-1, u"");
        jobs->set_cell(at, dlcol::kId, u"sm77");
    });
    worker.join();
    EXPECT_EQ(model.rowCount(), 50) << "the new row waits for the flush";
    model.flush();
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(inserts, 1);
    EXPECT_EQ(model.rowCount(), 51);
    EXPECT_EQ(cell(page, 3, dlcol::kDetail), QStringLiteral("DL中 999"));

    model.set_structure_locked(true);
    EXPECT_FALSE(model.sort_by_code(dlcol::kId));
    model.remove_rows({0, 1});
    EXPECT_EQ(model.rowCount(), 51);
    EXPECT_EQ(cell(page, 0, dlcol::kId), QStringLiteral("sm50"));
    model.set_structure_locked(false);
    EXPECT_TRUE(model.sort_by_code(dlcol::kId));
    EXPECT_EQ(cell(page, 0, dlcol::kId), QStringLiteral("sm1"));
    EXPECT_EQ(cell(page, 50, dlcol::kId), QStringLiteral("sm77"));
    // A large removal goes through one pass; the rows left keep their order.
    std::vector<quippet::DownloadRow> more(100);
    for (int i = 0; i < 100; ++i)
        more[static_cast<size_t>(i)].cells[dlcol::kId] = u"so" + quippet::decimal_text(i);
    model.append_rows(std::move(more));
    std::vector<int> evens;
    for (int i = 0; i < 151; i += 2)
        evens.push_back(i);
    model.remove_rows(evens);
    ASSERT_EQ(model.rowCount(), 75);
    EXPECT_EQ(cell(page, 0, dlcol::kId), QStringLiteral("sm2"));
    EXPECT_EQ(cell(page, 74, dlcol::kId), QStringLiteral("so98"));
}

TEST(DownloadTab, HandOverTextRegistersPathsAndFillsTheInputBox) {
    TabHome home;
    CDlgBase window;
    CDlgES& page = *window.download_page();
    const QString dir = folder_of_saved(home, {QStringLiteral("p(sm5).xml")});
    page.take_hand_over(dir + QStringLiteral("/p(sm5).xml\r\n▼追加オプション\r\n追加の言葉\r\n"), true);
    ASSERT_TRUE(wait_idle(page));
    ASSERT_TRUE(pump_until([&] { return page.model()->rowCount() == 1; }));
    EXPECT_EQ(cell(page, 0, dlcol::kId), QStringLiteral("sm5"));
    EXPECT_EQ(page.input_box()->text(), QStringLiteral("追加の言葉"));
    EXPECT_EQ(page.hand_overs().size(), 1);

    // Rows sent to the reconstruction go as their comment files.
    QStringList sent;
    page.set_reconstruct_sink([&](const QStringList& files) { sent = files; });
    page.table_view()->selectRow(0);
    page.run_command(quippet::ListCommand::kToReconstruct);
    EXPECT_EQ(sent, QStringList{dir + QStringLiteral("/p(sm5).xml")});
}

} // namespace

namespace {

TEST(DownloadTab, EveryTabKeyHasOneControlAndLoadThenSaveChangesNothing) {
    TabHome home;
    CDlgBase window;
    CDlgES& page = *window.download_page();
    std::map<std::string, int> bound;
    for (const CControlTable::Binding& b : page.controls().bindings())
        ++bound[quippet::to_utf8(quippet::setting_key_name(b.key))];
    for (const quippet::SettingDef& def : quippet::setting_catalogue()) {
        if (def.key.section != quippet::section::kDownload) continue;
        // The list's column layout is the header's, not a control's.
        const std::u16string_view family = def.key.prefix;
        if (family == u"RO" || family == u"RU" || family == u"RW") continue;
        const std::string name = quippet::to_utf8(quippet::setting_key_name(def.key));
        EXPECT_EQ(bound[name], 1) << name << " (" << quippet::to_utf8(def.label) << ")";
    }
    quippet::CSettings stored;
    stored.set_number(key(quippet::DlNumber::kThumbSize), 3);
    stored.set_number(key(DlSwitch::kShowThumbnails), 1);
    stored.set_text(key(DlText::kListName), u"保存名");
    stored.set_number({quippet::section::kDownload, u"RU", 2}, 300);
    page.load_controls(stored);
    EXPECT_TRUE(page.size_button(quippet::ThumbSize::kLarge)->isChecked());
    quippet::CSettings saved = stored;
    page.save_controls(saved);
    EXPECT_EQ(quippet::test::differing_keys(saved, stored, quippet::section::kDownload), std::vector<std::string>{});
}

} // namespace
