#include "app/Settings.h"
#include "reconstruct/ReconstructSettingKeys.h"
#include "resources/MessageIds.h"
#include "resources/Messages.h"
#include "tests/ui/TabTestSupport.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/DropField.h"
#include "ui/ListPane.h"
#include "ui/LogPane.h"
#include "ui/MainWindow.h"
#include "ui/reconstruct/ReconstructPage.h"

#include <QCheckBox>
#include <QDir>
#include <QDragEnterEvent>
#include <QElapsedTimer>
#include <QFile>
#include <QListWidget>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTreeWidgetItem>
#include <QUrl>

#include <gtest/gtest.h>

namespace {

using quippet::key;
using quippet::RcNumber;
using quippet::RcSwitch;
using quippet::RcText;
using quippet::test::pump_until;
using quippet::test::TabHome;
using quippet::ui::to_qstring;

const QStringList kSamples = {QStringLiteral("sm13800000-comments.xml"), QStringLiteral("sm24500001-comments.xml"),
                              QStringLiteral("so29000000-comments.xml")};

template <class W> W* control(const CDlgDD& page, const quippet::SettingKey& k) {
    W* w = qobject_cast<W*>(page.controls().control_for(k));
    EXPECT_NE(w, nullptr) << quippet::to_utf8(quippet::setting_key_name(k));
    return w;
}

QStringList xml_files(const TabHome& home) {
    return QDir(home.path()).entryList({QStringLiteral("*.xml")}, QDir::Files, QDir::Name);
}

int chat_count(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return -1;
    return static_cast<int>(f.readAll().count("<chat "));
}

QString cell(const CDlgDD& page, int row, int column) {
    return page.list_view()->topLevelItem(row)->text(column);
}

/// The three samples dropped on the page's list.
void drop_samples(CDlgDD& page, const TabHome& home) {
    QStringList paths;
    for (const QString& name : kSamples)
        paths.append(home.copy_sample(name));
    page.drop_paths(paths);
}

bool run_and_wait(CDlgDD& page, void (CDlgDD::*slot)()) {
    (page.*slot)();
    return page.busy() && pump_until([&page] { return !page.busy(); });
}

TEST(ReconstructTab, ReconstructsDroppedFilesWithDuplicatesRemovedAndALimit) {
    TabHome home;
    CDlgBase window;
    CDlgDD& page = *window.reconstruct_page();
    drop_samples(page, home);
    ASSERT_EQ(page.files().size(), 3);

    control<QCheckBox>(page, key(RcSwitch::kDuplicates))->setChecked(true);
    control<QCheckBox>(page, key(RcSwitch::kDupBody))->setChecked(true);
    control<QCheckBox>(page, key(RcSwitch::kLimit))->setChecked(true);
    control<QSpinBox>(page, key(RcNumber::kLimitCount))->setValue(40);
    control<QRadioButton>(page, key(RcSwitch::kLimitThin))->setChecked(true);
    ASSERT_TRUE(run_and_wait(page, &CDlgDD::run_reconstruct));

    const QStringList written = xml_files(home);
    ASSERT_EQ(written.size(), 6) << written.join(QLatin1Char(' ')).toStdString();
    for (const QString& name : written) {
        if (kSamples.contains(name)) continue;
        const int count = chat_count(home.file(name));
        EXPECT_GT(count, 0) << name.toStdString();
        EXPECT_LE(count, 40) << name.toStdString();
    }
    for (int row = 0; row < 3; ++row) {
        EXPECT_EQ(cell(page, row, CDlgDD::column_status), QStringLiteral("成功"));
        // The row's short report names what the limit did.
        EXPECT_FALSE(cell(page, row, CDlgDD::column_result).isEmpty());
    }
    const QString log = to_qstring(page.log_pane()->log_text());
    EXPECT_TRUE(log.contains(QStringLiteral("3個のファイルで成功りゅん！"))) << log.toStdString();
    // The window keeps what the controls showed when the job started.
    EXPECT_EQ(window.settings().number(RcNumber::kLimitCount), 40);
    EXPECT_TRUE(window.settings().on(RcSwitch::kDuplicates));
}

TEST(ReconstructTab, SplitsAndCutsTheListedFilesBesideThem) {
    TabHome home;
    CDlgBase window;
    CDlgDD& page = *window.reconstruct_page();
    drop_samples(page, home);

    control<QRadioButton>(page, key(RcSwitch::kSplitTyped))->setChecked(true);
    control<QSpinBox>(page, key(RcNumber::kSplitSize))->setValue(100);
    control<QCheckBox>(page, key(RcSwitch::kSplitRemainder))->setChecked(true);
    ASSERT_TRUE(run_and_wait(page, &CDlgDD::run_split));
    for (int row = 0; row < 3; ++row) {
        EXPECT_EQ(cell(page, row, CDlgDD::column_status), QStringLiteral("成功"));
        EXPECT_TRUE(cell(page, row, CDlgDD::column_result).endsWith(QStringLiteral("個のファイルを出力")));
    }
    const int after_split = static_cast<int>(xml_files(home).size());
    EXPECT_GT(after_split, 3);
    for (const QString& name : xml_files(home)) {
        if (!kSamples.contains(name)) {
            EXPECT_LE(chat_count(home.file(name)), 100) << name.toStdString();
        }
    }

    control<QSpinBox>(page, key(RcNumber::kCutFirst))->setValue(5);
    control<QSpinBox>(page, key(RcNumber::kCutLast))->setValue(14);
    ASSERT_TRUE(run_and_wait(page, &CDlgDD::run_cut));
    for (int row = 0; row < 3; ++row)
        EXPECT_EQ(cell(page, row, CDlgDD::column_result), QStringLiteral("切り出しに成功"));
    const QStringList all = xml_files(home);
    EXPECT_EQ(all.size(), after_split + 3);
    for (const QString& name : all) {
        if (name.contains(QStringLiteral("切り出し"))) {
            EXPECT_EQ(chat_count(home.file(name)), 10) << name.toStdString();
        }
    }

    // The reversed range is each file's failure, reported on its row, and nothing is written.
    control<QSpinBox>(page, key(RcNumber::kCutFirst))->setValue(20);
    control<QSpinBox>(page, key(RcNumber::kCutLast))->setValue(10);
    ASSERT_TRUE(run_and_wait(page, &CDlgDD::run_cut));
    EXPECT_EQ(cell(page, 0, CDlgDD::column_result), QStringLiteral("切り出し設定範囲の最初と最後が逆"));
    EXPECT_EQ(xml_files(home).size(), all.size());
}

TEST(ReconstructTab, ListTakesDroppedFoldersAndReordersAndRemovesRows) {
    TabHome home;
    CDlgBase window;
    CDlgDD& page = *window.reconstruct_page();
    QDir(home.path()).mkpath(QStringLiteral("in/deep"));
    for (const QString& name :
         {QStringLiteral("in/b.xml"), QStringLiteral("in/a.xml"), QStringLiteral("in/deep/c.xml")}) {
        QFile f(home.file(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    // A drop from the file manager, as the list's view receives it.
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(home.file(QStringLiteral("in")))});
    QWidget* view = page.list_view()->viewport();
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(view, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(view, &drop);
    EXPECT_EQ(page.files(),
              (QStringList{home.file(QStringLiteral("in/a.xml")), home.file(QStringLiteral("in/b.xml"))}));

    control<QCheckBox>(page, key(RcSwitch::kRecurse))->setChecked(true);
    control<QRadioButton>(page, key(RcSwitch::kClear))->setChecked(true);
    page.drop_paths({home.file(QStringLiteral("in"))});
    ASSERT_EQ(page.files().size(), 3);
    EXPECT_TRUE(page.files()[2].endsWith(QStringLiteral("deep/c.xml")));

    page.list_view()->topLevelItem(2)->setSelected(true);
    page.move_selected(-1);
    EXPECT_TRUE(page.files()[1].endsWith(QStringLiteral("deep/c.xml")));
    page.remove_selected();
    EXPECT_EQ(page.files().size(), 2);
    EXPECT_FALSE(page.files().join(QLatin1Char(' ')).contains(QStringLiteral("deep")));
}

TEST(ReconstructTab, TenThousandDroppedFilesAreListedQuickly) {
    TabHome home;
    CDlgBase window;
    CDlgDD& page = *window.reconstruct_page();
    QDir(home.path()).mkpath(QStringLiteral("many"));
    for (int i = 0; i < 10000; ++i) {
        QFile f(home.file(QStringLiteral("many/%1.xml").arg(i, 5, 10, QLatin1Char('0'))));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    QElapsedTimer clock;
    clock.start();
    page.drop_paths({home.file(QStringLiteral("many"))});
    EXPECT_EQ(page.files().size(), 10000);
    EXPECT_LT(clock.elapsed(), 3000);
}

TEST(ReconstructTab, PresetSavedChangedAndRestoredByDoubleClickGivesBackEveryControl) {
    TabHome home;
    CDlgBase window;
    CDlgDD& page = *window.reconstruct_page();
    quippet::test::change_every_control(page.controls());
    control<QRadioButton>(page, key(RcSwitch::kClear))->setChecked(true);
    control<QRadioButton>(page, key(RcSwitch::kMergeBySuffix))->setChecked(true);
    control<QRadioButton>(page, key(RcSwitch::kLimitPerMinute))->setChecked(true);
    control<QRadioButton>(page, key(RcSwitch::kSplitAuto))->setChecked(true);
    control<QLineEdit>(page, key(RcText::kPresetName))->setText(QStringLiteral("録画用"));
    const quippet::CSettings saved = page.snapshot();
    page.save_preset_new();
    ASSERT_EQ(page.preset_list()->count(), 1);

    // Everything back to the defaults, but the video: a restore never touches that field.
    quippet::CSettings defaults;
    defaults.set_text(RcText::kVideoPath, saved.text(RcText::kVideoPath));
    page.load_controls(defaults);
    ASSERT_FALSE(quippet::test::differing_keys(page.snapshot(), saved, quippet::section::kReconstruct).empty());

    QListWidgetItem* item = page.preset_list()->item(0);
    EXPECT_EQ(item->text(), QStringLiteral("録画用"));
    Q_EMIT page.preset_list()->itemDoubleClicked(item);
    EXPECT_EQ(quippet::test::differing_keys(page.snapshot(), saved, quippet::section::kReconstruct),
              std::vector<std::string>{});
}

TEST(ReconstructTab, NewSaveOfADeletedPresetBringsItBackWithTheNotice) {
    TabHome home;
    CDlgBase window;
    CDlgDD& page = *window.reconstruct_page();
    QString notice;
    page.set_message_hook([&notice](const QString& text) { notice = text; });
    control<QLineEdit>(page, key(RcText::kPresetName))->setText(QStringLiteral("old"));
    page.save_preset_new();
    const QString ini = home.file(QStringLiteral("set/old.ini"));
    ASSERT_TRUE(QFile::exists(ini));
    ASSERT_TRUE(QFile::rename(ini, home.file(QStringLiteral("set/old.bak"))));
    page.refresh_presets();
    EXPECT_EQ(page.preset_list()->count(), 0);

    page.save_preset_new();
    EXPECT_TRUE(notice.startsWith(QStringLiteral("同名のプリセットが過去に存在していたので"))) << notice.toStdString();
    EXPECT_TRUE(QFile::exists(ini));
    EXPECT_EQ(page.preset_list()->count(), 1);
}

TEST(ReconstructTab, RunWithSaveOnRunStoresThePresetUnderTheTypedName) {
    TabHome home;
    CDlgBase window;
    CDlgDD& page = *window.reconstruct_page();
    page.drop_paths({home.copy_sample(kSamples[0])});
    control<QCheckBox>(page, key(RcSwitch::kSavePresetOnRun))->setChecked(true);
    control<QLineEdit>(page, key(RcText::kPresetName))->setText(QStringLiteral("毎回"));
    control<QSpinBox>(page, key(RcNumber::kDupWindow))->setValue(55);
    ASSERT_TRUE(run_and_wait(page, &CDlgDD::run_reconstruct));
    ASSERT_TRUE(QFile::exists(home.file(QStringLiteral("set/毎回.ini"))));
    EXPECT_EQ(page.preset_list()->count(), 1);
    control<QSpinBox>(page, key(RcNumber::kDupWindow))->setValue(1);
    page.restore_preset(QStringLiteral("毎回"));
    EXPECT_EQ(control<QSpinBox>(page, key(RcNumber::kDupWindow))->value(), 55);
}

TEST(ReconstructTab, StopEndsTheJobThroughItsStoppedPathAndFreesTheTab) {
    TabHome home;
    CDlgBase window;
    CDlgDD& page = *window.reconstruct_page();
    const QString sample = home.copy_sample(kSamples[0]);
    QStringList many;
    for (int i = 0; i < 300; ++i) {
        const QString copy = home.file(QStringLiteral("c%1.xml").arg(i, 3, 10, QLatin1Char('0')));
        ASSERT_TRUE(QFile::copy(sample, copy));
        many.append(copy);
    }
    page.drop_paths(many);
    page.run_reconstruct();
    ASSERT_TRUE(page.busy());
    EXPECT_FALSE(page.button(QStringLiteral("再構成"))->isEnabled());
    page.stop_job();
    ASSERT_TRUE(pump_until([&page] { return !page.busy(); }));
    EXPECT_TRUE(page.button(QStringLiteral("再構成"))->isEnabled());
    const QString log = to_qstring(page.log_pane()->log_text());
    EXPECT_TRUE(log.contains(to_qstring(quippet::message_text(quippet::msg::kJobStopped)))) << log.toStdString();
    // Far from every file was written.
    EXPECT_LT(xml_files(home).size(), 2 * 300);
}

TEST(ReconstructTab, SurveyFieldShowsTheLatestDisplayTimeOfADroppedFile) {
    TabHome home;
    CDlgBase window;
    CDlgDD& page = *window.reconstruct_page();
    const QString path = home.copy_sample(kSamples[0]);
    page.survey_dropped(path);
    EXPECT_FALSE(page.survey_field()->text().isEmpty());
    EXPECT_TRUE(to_qstring(page.log_pane()->log_text()).contains(page.survey_field()->text()));
}

TEST(ReconstructTab, VideoFieldTurnsPinkWhileSavingBesideTheVideo) {
    CDlgBase window;
    CDlgDD& page = *window.reconstruct_page();
    EXPECT_TRUE(page.video_field()->styleSheet().isEmpty());
    control<QCheckBox>(page, key(RcSwitch::kSaveBesideVideo))->setChecked(true);
    EXPECT_TRUE(page.video_field()->styleSheet().contains(QStringLiteral("#ffc0cb")));
    page.set_video(QStringLiteral("/videos/a.mp4"));
    EXPECT_EQ(page.snapshot().text(RcText::kVideoPath), u"/videos/a.mp4");
}

} // namespace
