#include "app/Settings.h"
#include "livelog/LiveLogAids.h"
#include "livelog/LiveLogSettingKeys.h"
#include "tests/support/CliRun.h"
#include "tests/ui/TabTestSupport.h"
#include "tests/ui/UiTestSupport.h"
#include "text/FileSP.h"
#include "ui/DesktopOpen.h"
#include "ui/LogPane.h"
#include "ui/MainWindow.h"
#include "ui/livelog/LiveLogPage.h"
#include "ui/livelog/PresetList.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>

#include <gtest/gtest.h>

namespace {

using quippet::key;
using quippet::WcNumber;
using quippet::WcSwitch;
using quippet::WcText;
using quippet::test::pump_until;
using quippet::test::TabHome;
using quippet::ui::to_qstring;

template <class W> W* control(const CDlgWC& page, const quippet::SettingKey& k) {
    W* w = qobject_cast<W*>(page.controls().control_for(k));
    EXPECT_NE(w, nullptr) << quippet::to_utf8(quippet::setting_key_name(k));
    return w;
}

QSpinBox* spin(const CDlgWC& page, const quippet::SettingKey& k) {
    return control<QSpinBox>(page, k);
}

QByteArray read_all(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void write_all(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

/// A home holding the bundled sample: its preset in the preset folder and its log as the source text.
void put_sample(const TabHome& home) {
    ASSERT_TRUE(QDir(home.path()).mkpath(QStringLiteral("list")));
    ASSERT_TRUE(QFile::copy(QStringLiteral(QUIPPET_SAMPLES_DIR "/livelog/sample-30min.txt"),
                            home.file(QStringLiteral("list/sample-30min.txt"))));
    ASSERT_TRUE(QFile::copy(QStringLiteral(QUIPPET_SAMPLES_DIR "/livelog/live-thread-30min-cm.txt"),
                            home.file(QStringLiteral("SourceOfConvert.txt"))));
}

TEST(LiveLogTab, ConvertingTheSampleWritesWhatTheCommandLineWrites) {
    TabHome home;
    put_sample(home);
    CDlgBase window;
    CDlgWC& page = *window.live_log_page();
    page.refresh_presets();
    ASSERT_EQ(page.preset_list()->count(), 1);
    Q_EMIT page.preset_list()->itemDoubleClicked(page.preset_list()->item(0));
    EXPECT_EQ(spin(page, key(WcNumber::kYear))->value(), 2024);
    EXPECT_EQ(spin(page, quippet::wc_aid(1))->value(), 150);
    EXPECT_TRUE(control<QCheckBox>(page, quippet::wc_row_enabled(1))->isChecked());

    // The date comes from the text this time; a year that is far off shows it was taken.
    spin(page, key(WcNumber::kYear))->setValue(2000);
    control<QRadioButton>(page, key(WcSwitch::kAutoDate))->setChecked(true);
    control<QLineEdit>(page, key(WcText::kOutputName))->setText(QStringLiteral("sample"));
    QStringList asked;
    page.set_question_hook([&asked](const QString& q) {
        asked.append(q);
        return true;
    });
    page.convert();
    ASSERT_TRUE(page.busy());
    ASSERT_TRUE(pump_until([&page] { return !page.busy(); }));
    EXPECT_TRUE(asked.isEmpty()) << asked.join(QLatin1Char(' ')).toStdString();
    EXPECT_EQ(spin(page, key(WcNumber::kYear))->value(), 2024);
    const QByteArray converted = read_all(home.file(QStringLiteral("sample.xml")));
    ASSERT_FALSE(converted.isEmpty()) << quippet::to_utf8(page.log_pane()->log_text());
    EXPECT_TRUE(QFile::exists(home.file(QStringLiteral("設定：コンバートのNGワード.txt"))));

    ASSERT_TRUE(QDir(home.path()).mkpath(QStringLiteral("cli")));
    const quippet::test::CommandRun run = quippet::test::run_quippet_in(
        home.path().toStdString(),
        {"livelog", "--preset", "sample-30min", "--set", "VuzirizIzeroz/CB0=1", "--set", "VuzirizIzeroz/CB1=0",
         "--source", home.file(QStringLiteral("SourceOfConvert.txt")).toStdString(), "--out-dir",
         home.file(QStringLiteral("cli")).toStdString(), "--out-name", "sample"});
    ASSERT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(converted, read_all(home.file(QStringLiteral("cli/sample.xml"))));
}

TEST(LiveLogTab, AutoDateFailureAsksAndCancelConvertsNothing) {
    TabHome home;
    write_all(home.file(QStringLiteral("SourceOfConvert.txt")), QByteArray("no header here\r\n"));
    CDlgBase window;
    CDlgWC& page = *window.live_log_page();
    page.reload_source_text();
    control<QRadioButton>(page, key(WcSwitch::kAutoDate))->setChecked(true);
    control<QLineEdit>(page, key(WcText::kOutputName))->setText(QStringLiteral("none"));
    QString asked;
    bool answer = false;
    page.set_question_hook([&](const QString& q) {
        asked = q;
        return answer;
    });
    page.convert();
    EXPECT_EQ(asked, to_qstring(quippet::kAutoDateFailedQuestion));
    EXPECT_FALSE(page.busy());
    EXPECT_EQ(page.log_pane()->length(), 0u);

    answer = true;
    page.convert();
    ASSERT_TRUE(page.busy());
    ASSERT_TRUE(pump_until([&page] { return !page.busy(); }));
    EXPECT_GT(page.log_pane()->length(), 0u);
}

TEST(LiveLogTab, ArrowAidsComputeTheCutAndTheClockTimeAndRefuseTimesGoingBack) {
    TabHome home;
    CDlgBase window;
    CDlgWC& page = *window.live_log_page();
    QString message;
    page.set_message_hook([&message](const QString& m) { message = m; });
    spin(page, quippet::wc_clock_time(0, 0))->setValue(21);
    control<QCheckBox>(page, quippet::wc_row_enabled(1))->setChecked(true);
    spin(page, quippet::wc_video_time(1, 1))->setValue(10);
    spin(page, quippet::wc_clock_time(1, 0))->setValue(21);
    spin(page, quippet::wc_clock_time(1, 1))->setValue(12);
    spin(page, quippet::wc_clock_time(1, 2))->setValue(30);
    page.aids_from_times();
    EXPECT_TRUE(message.isEmpty());
    EXPECT_EQ(spin(page, quippet::wc_aid(1))->value(), 150);

    spin(page, quippet::wc_aid(1))->setValue(200);
    page.times_from_aids();
    EXPECT_EQ(spin(page, quippet::wc_clock_time(1, 0))->value(), 21);
    EXPECT_EQ(spin(page, quippet::wc_clock_time(1, 1))->value(), 13);
    EXPECT_EQ(spin(page, quippet::wc_clock_time(1, 2))->value(), 20);
    // Row 0 is never changed by "←".
    EXPECT_EQ(spin(page, quippet::wc_clock_time(0, 0))->value(), 21);

    spin(page, quippet::wc_clock_time(1, 0))->setValue(20);
    page.aids_from_times();
    EXPECT_EQ(message, QStringLiteral("時間が逆戻っている箇所があります"));
    EXPECT_EQ(spin(page, quippet::wc_aid(1))->value(), 200);
    EXPECT_EQ(spin(page, quippet::wc_clock_time(1, 0))->value(), 20);

    spin(page, key(WcNumber::kYear))->setValue(2024);
    spin(page, key(WcNumber::kMonth))->setValue(2);
    spin(page, key(WcNumber::kDay))->setValue(26);
    page.shift_origin_forward();
    EXPECT_EQ(spin(page, key(WcNumber::kMonth))->value(), 3);
    EXPECT_EQ(spin(page, key(WcNumber::kDay))->value(), 4);
}

TEST(LiveLogTab, SaveButtonFollowsTheNameAndNewRestoresADeletedPreset) {
    TabHome home;
    CDlgBase window;
    CDlgWC& page = *window.live_log_page();
    QString message;
    page.set_message_hook([&message](const QString& m) { message = m; });
    QPushButton* save = page.save_button();
    EXPECT_EQ(save->text(), QStringLiteral("空白"));
    EXPECT_FALSE(save->isEnabled());
    page.save_preset();
    EXPECT_EQ(message, QStringLiteral("リスト名が入力されてないりゅん"));

    page.preset_name()->setText(QStringLiteral("a"));
    EXPECT_EQ(save->text(), QStringLiteral("新規作成"));
    page.save_preset();
    EXPECT_TRUE(QFile::exists(home.file(QStringLiteral("list/a.txt"))));
    EXPECT_EQ(save->text(), QStringLiteral("上書保存"));
    page.preset_name()->setText(QStringLiteral("b"));
    page.save_preset();
    page.preset_name()->setText(QStringLiteral("a"));
    EXPECT_EQ(save->text(), QStringLiteral("選択不一致"));
    EXPECT_FALSE(save->isEnabled());

    ASSERT_TRUE(QFile::rename(home.file(QStringLiteral("list/a.txt")), home.file(QStringLiteral("list/a.bak"))));
    page.refresh_presets();
    EXPECT_EQ(save->text(), QStringLiteral("新規作成"));
    spin(page, key(WcNumber::kMaxLines))->setValue(9);
    message.clear();
    page.save_preset();
    EXPECT_TRUE(message.startsWith(QStringLiteral("同名のプリセットが過去に存在していたので")))
        << message.toStdString();
    // The old preset came back as it was, not with the fields shown now.
    spin(page, key(WcNumber::kMaxLines))->setValue(1);
    page.restore_preset(QStringLiteral("a"));
    EXPECT_EQ(spin(page, key(WcNumber::kMaxLines))->value(), 4);

    page.restore_preset(QStringLiteral("missing"));
    EXPECT_EQ(message, QStringLiteral("ファイルの読み込みに失敗しました"));
}

TEST(LiveLogTab, PresetRestoredByDoubleClickGivesBackEveryStoredField) {
    TabHome home;
    CDlgBase window;
    CDlgWC& page = *window.live_log_page();
    quippet::test::change_every_control(page.controls());
    control<QRadioButton>(page, key(WcSwitch::kAutoDate))->setChecked(true);
    const quippet::CSettings saved = page.snapshot();
    page.preset_name()->setText(QStringLiteral("全部"));
    page.save_preset();

    const quippet::CSettings defaults;
    page.load_controls(defaults);
    Q_EMIT page.preset_list()->itemDoubleClicked(page.preset_list()->item(0));
    quippet::CSettings expected = saved;
    // A preset leaves these as the tab shows them; the output name names one conversion, not a setting.
    for (const quippet::SettingKey& k : {key(WcSwitch::kSavePresetOnConvert), key(WcSwitch::kSendToBrowser),
                                         key(WcSwitch::kManualAddress), quippet::kWcBrowserForm, quippet::kWcBoard})
        expected.set_number(k, defaults.number(k));
    expected.set_text(WcText::kOutputName, defaults.text(WcText::kOutputName));
    EXPECT_EQ(quippet::test::differing_keys(page.snapshot(), expected, quippet::section::kLiveLog),
              std::vector<std::string>{});
}

TEST(LiveLogTab, PastedSourceTextIsSavedAsTheWideSourceFile) {
    TabHome home;
    CDlgBase window;
    CDlgWC& page = *window.live_log_page();
    page.source_edit()->setPlainText(QStringLiteral("1 ：名無し\n本文"));
    page.save_source_text();
    const QByteArray bytes = read_all(home.file(QStringLiteral("SourceOfConvert.txt")));
    QByteArray expected("\xFF\xFE", 2);
    const QString text = QStringLiteral("1 ：名無し\r\n本文");
    expected.append(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
    EXPECT_EQ(bytes, expected);
    page.source_edit()->clear();
    page.reload_source_text();
    EXPECT_EQ(page.source_edit()->toPlainText(), QStringLiteral("1 ：名無し\n本文"));
}

TEST(LiveLogTab, FileButtonsCreateTheirFilesAndPlayOpensTheVideoBesideTheOutput) {
    TabHome home;
    CDlgBase window;
    CDlgWC& page = *window.live_log_page();
    QStringList opened;
    quippet::ui::set_desktop_opener([&opened](const QString& path) {
        opened.append(path);
        return 42;
    });
    page.button(QStringLiteral("NGワード"))->click();
    page.button(QStringLiteral("設定"))->click();
    page.button(QStringLiteral("変換元テキストを開く"))->click();
    ASSERT_EQ(opened.size(), 3);
    EXPECT_TRUE(opened[0].endsWith(QStringLiteral("設定：コンバートのNGワード.txt")));
    EXPECT_TRUE(opened[1].endsWith(QStringLiteral("設定：コンバートの置換.txt")));
    for (const QString& path : opened)
        EXPECT_TRUE(QFile::exists(path)) << path.toStdString();
    // The NG-word file starts with its default lists.
    const QByteArray ng = read_all(opened[0]);
    const QString first = QString::fromUtf16(reinterpret_cast<const char16_t*>(ng.constData() + 2), 6);
    EXPECT_EQ(first, QStringLiteral("[前方一致]"));

    write_all(home.file(QStringLiteral("番組.mp4")), "v");
    control<QLineEdit>(page, key(WcText::kOutputName))->setText(QStringLiteral("番組"));
    page.play();
    ASSERT_EQ(opened.size(), 4);
    EXPECT_EQ(opened[3], home.file(QStringLiteral("番組.mp4")));
    quippet::ui::set_desktop_opener({});
}

TEST(LiveLogTab, NikoJkSettingsAreKeptForTheNextStart) {
    TabHome home;
    {
        CDlgBase window;
        window.start_up();
        window.live_log_page()->apply_nikojk();
        EXPECT_EQ(window.settings().number(quippet::OptNumber::kLiveExtension), 1);
    }
    CDlgBase window;
    window.start_up();
    EXPECT_EQ(window.settings().number(quippet::OptNumber::kLiveExtension), 1);
    EXPECT_TRUE(window.settings().on(quippet::OptSwitch::kLiveChatOnly));
    EXPECT_TRUE(window.settings().on(quippet::OptSwitch::kLiveDateAsName));
}

} // namespace

namespace {

TEST(LiveLogTab, WarehouseSearchRunsFromTheTabAndEndsOnItsOwn) {
    TabHome home;
    // A board whose only server starts after the base date: the search ends before any request.
    ASSERT_EQ(CFileSP().write_wide_text(
                  quippet::ui::to_u16(home.file(QStringLiteral("設定：実況板の情報.txt"))),
                  u"▼未来\r\nフォルダ\tlivewh\r\n2030-01-01\tx\r\n", CFileSP::kOverwrite),
              0);
    CDlgBase window;
    CDlgWC& page = *window.live_log_page();
    page.load_controls(page.snapshot());
    auto* forms = qobject_cast<QComboBox*>(page.controls().control_for(quippet::kWcBrowserForm));
    ASSERT_NE(forms, nullptr);
    // The browser table is created with its default entries when the list is filled.
    EXPECT_EQ(forms->count(), 5);
    EXPECT_NE(page.button(QStringLiteral("クリップボード→\nブラウザ")), nullptr);
    QPushButton* search = page.button(QStringLiteral("過去ログ倉庫を探す"));
    ASSERT_NE(search, nullptr);
    ASSERT_TRUE(search->isEnabled());
    search->click();
    ASSERT_TRUE(page.busy());
    EXPECT_FALSE(search->isEnabled());
    ASSERT_TRUE(pump_until([&page] { return !page.busy(); }));
    EXPECT_TRUE(search->isEnabled());
    const std::string log = quippet::to_utf8(page.log_pane()->log_text());
    EXPECT_NE(log.find("条件に合うスレなし"), std::string::npos) << log;
}

} // namespace
