#include "app/HandOverFile.h"
#include "app/IniFile.h"
#include "app/JobFrame.h"
#include "app/ShellRules.h"
#include "app/SingleInstance.h"
#include "app/WorkThread.h"
#include "resources/MessageIds.h"
#include "resources/Messages.h"
#include "tests/ui/UiTestSupport.h"
#include "text/AppHome.h"
#include "text/Encoding.h"
#include "text/OpenErrors.h"
#include "ui/DesktopOpen.h"
#include "ui/LogPane.h"
#include "ui/MainWindow.h"
#include "ui/QuippetApp.h"
#include "ui/UiCall.h"
#include "ui/download/DownloadPage.h"
#include "ui/reconstruct/ReconstructPage.h"
#include "ui/settings/SettingsDialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QLineEdit>
#include <QLocalServer>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProcess>
#include <QScreen>
#include <QSpinBox>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

namespace {

using namespace std::chrono_literals;
using quippet::ui::to_qstring;
using quippet::ui::to_u16;

using quippet::test::pump_until;

/// A fresh app home for one test; the previous home comes back afterwards.
class TestHome {
public:
    TestHome() : previous_(quippet::app_home()) { quippet::set_app_home(to_u16(path())); }
    ~TestHome() { quippet::set_app_home(previous_); }
    TestHome(const TestHome&) = delete;
    TestHome& operator=(const TestHome&) = delete;

    QString path() const { return dir_.path(); }
    QString file(const QString& name) const { return dir_.filePath(name); }
    QByteArray read(const QString& name) const {
        QFile f(file(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    void write(const QString& name, const QByteArray& bytes) const {
        QFile f(file(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
    }

private:
    QTemporaryDir dir_;
    std::u16string previous_;
};

/// A second start of the real program.
struct ProgramRun {
    int exit_code = -1;
    QString out;
};
ProgramRun run_program(const QStringList& args) {
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    // A start that opens a window says so and ends at once.
    env.insert(QStringLiteral("QUIPPET_STARTUP_PROBE"), QStringLiteral("1"));
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(QUIPPET_GUI_PATH), args);
    ProgramRun run;
    // The running window answers on this thread, so this thread must keep serving while it waits.
    if (!pump_until([&] { return process.state() == QProcess::NotRunning; }, 30s)) {
        process.kill();
        process.waitForFinished();
        return run;
    }
    run.exit_code = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    return run;
}

QString block_text() {
    return to_qstring(quippet::message_text(quippet::msg::kCloseWhileBusy));
}

TEST(SingleInstance, APathReachesTheRunningWindowsDownloadTabAndNoSecondWindowOpens) {
    TestHome home;
    home.write(QStringLiteral("sm9.xml"), "<packet/>");
    CQuippetApp first;
    ASSERT_EQ(first.start({QStringLiteral("--home"), home.path()}), CQuippetApp::Outcome::window);
    ASSERT_FALSE(first.server_name().isEmpty());

    const ProgramRun second =
        run_program({QStringLiteral("--home"), home.path(), home.file(QStringLiteral("sm9.xml"))});
    EXPECT_EQ(second.exit_code, 0);
    EXPECT_FALSE(second.out.contains(QStringLiteral("shown"))) << qPrintable(second.out);
    ASSERT_EQ(first.window()->download_page()->hand_overs(),
              QStringList{home.file(QStringLiteral("sm9.xml")) + QStringLiteral("\r\n")});
    EXPECT_TRUE(
        first.window()->download_page()->log_pane()->toPlainText().contains(home.file(QStringLiteral("sm9.xml"))));
    EXPECT_FALSE(QFile::exists(home.file(QStringLiteral("QuippetVellichor.txt")))) << "no reservation needed";

    // "-m" opens a window of its own even now.
    const ProgramRun multi = run_program({QStringLiteral("--home"), home.path(), QStringLiteral("-m")});
    EXPECT_EQ(multi.exit_code, 0);
    EXPECT_TRUE(multi.out.contains(QStringLiteral("shown"))) << qPrintable(multi.out);
    EXPECT_EQ(first.window()->download_page()->hand_overs().size(), 1);
}

TEST(SingleInstance, AMultiWindowAloneInItsHomeAnswersLaterStarts) {
    TestHome home;
    CQuippetApp app;
    ASSERT_EQ(app.start({QStringLiteral("--home"), home.path(), QStringLiteral("/M")}), CQuippetApp::Outcome::window);
    EXPECT_FALSE(app.server_name().isEmpty());
    const ProgramRun later = run_program({QStringLiteral("--home"), home.path(), QStringLiteral("sm9")});
    EXPECT_EQ(later.exit_code, 0);
    EXPECT_FALSE(later.out.contains(QStringLiteral("shown")));
    EXPECT_EQ(app.window()->download_page()->hand_overs(), QStringList{QStringLiteral("sm9\r\n")});
}

TEST(SingleInstance, ASearchWithNoWindowRunningIsReservedAndTheNewWindowTakesIt) {
    TestHome home;
    CQuippetApp app;
    ASSERT_EQ(app.start({QStringLiteral("--home"), home.path(), QStringLiteral("-s"), QStringLiteral("初音ミク")}),
              CQuippetApp::Outcome::window);
    const QString expected = QStringLiteral("▼検索オプション\r\n初音ミク");
    EXPECT_EQ(app.window()->download_page()->hand_overs(), QStringList{expected});
    EXPECT_TRUE(app.window()->download_page()->log_pane()->toPlainText().contains(
        to_qstring(quippet::message_text(quippet::msg::kReservationTaken))));
    EXPECT_FALSE(QFile::exists(home.file(QStringLiteral("QuippetVellichor.txt")))) << "taken once";
}

TEST(SingleInstance, ListingOpensTheListAndNoWindow) {
    TestHome home;
    QDir(home.path()).mkdir(QStringLiteral("videos"));
    home.write(QStringLiteral("videos/a.mp4"), "a");
    QStringList opened;
    quippet::ui::set_desktop_opener([&opened](const QString& path) {
        opened.append(path);
        return quippet::kOpenSucceeded;
    });
    CQuippetApp app;
    EXPECT_EQ(app.start({QStringLiteral("--home"), home.path(), QStringLiteral("-list"),
                         home.file(QStringLiteral("videos"))}),
              CQuippetApp::Outcome::listed);
    EXPECT_EQ(app.window(), nullptr);
    EXPECT_EQ(opened, QStringList{home.file(QStringLiteral("QuippetVellichor.txt"))});
    const QByteArray listing = home.read(QStringLiteral("QuippetVellichor.txt"));
    EXPECT_EQ(QString::fromUtf16(reinterpret_cast<const char16_t*>(listing.constData() + 2), (listing.size() - 2) / 2),
              home.file(QStringLiteral("videos/a.mp4")) + QStringLiteral("\r\n"));

    opened.clear();
    CQuippetApp not_a_folder;
    EXPECT_EQ(not_a_folder.start({QStringLiteral("--home"), home.path(), QStringLiteral("/L"),
                                  home.file(QStringLiteral("videos/a.mp4"))}),
              CQuippetApp::Outcome::listed);
    EXPECT_EQ(not_a_folder.window(), nullptr);
    EXPECT_TRUE(opened.isEmpty());
    quippet::ui::set_desktop_opener({});
}

TEST(SingleInstance, ASocketLeftByACrashDoesNotBlockAStartAndMegabytesArriveWhole) {
    TestHome home;
    const QString name =
        QString::fromStdString(quippet::instance_name(to_u16(QString::number(::getuid())), to_u16(home.path())));
    // A socket file nobody listens on, as a killed window leaves it.
    const QByteArray socket_path = QDir(QDir::tempPath()).filePath(name).toLocal8Bit();
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", socket_path.constData());
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ::close(fd);

    CQuippetApp app;
    ASSERT_EQ(app.start({QStringLiteral("--home"), home.path()}), CQuippetApp::Outcome::window);
    EXPECT_EQ(app.server_name(), name);

    const QString big = QString(3 * 1024 * 1024, QChar(u'あ')) + QStringLiteral("\r\n");
    std::atomic<int> taken{-1};
    std::thread sender(
        [&] { taken = CQuippetApp::hand_over(name, big, 20000) == CQuippetApp::HandOver::taken ? 1 : 0; });
    ASSERT_TRUE(pump_until([&] { return taken.load() >= 0; }, 30s));
    sender.join();
    EXPECT_EQ(taken.load(), 1);
    ASSERT_EQ(app.window()->download_page()->hand_overs().size(), 1);
    EXPECT_TRUE(app.window()->download_page()->hand_overs().front() == big);
}

TEST(SingleInstance, AWindowThatDoesNotAnswerKeepsItsNameAndTheTextIsReserved) {
    TestHome home;
    const QString name =
        QString::fromStdString(quippet::instance_name(to_u16(QString::number(::getuid())), to_u16(home.path())));
    // Listens but never serves: this thread is busy in the start below, as a hung window would be.
    QLocalServer hung;
    ASSERT_TRUE(hung.listen(name));
    CQuippetApp app;
    EXPECT_EQ(app.start({QStringLiteral("--home"), home.path(), QStringLiteral("-a"), QStringLiteral("sm9")}),
              CQuippetApp::Outcome::reserved);
    EXPECT_EQ(app.window(), nullptr);
    EXPECT_TRUE(hung.isListening());
    const std::optional<std::u16string> reserved = quippet::take_reservation(to_u16(home.path()));
    ASSERT_TRUE(reserved.has_value());
    EXPECT_EQ(to_qstring(*reserved), QStringLiteral("▼追加オプション\r\nsm9"));
}

TEST(Shutdown, AnInterruptedLiveLogSaveIsReportedOnceAtTheNextStart) {
    TestHome home;
    {
        CDlgBase window;
        window.start_up();
        EXPECT_TRUE(window.startup_warning().isEmpty());
        window.set_marker_hook([](int marker) { return marker != quippet::kMarkerLiveLogSaving; });
    }
    {
        CDlgBase window;
        window.start_up();
        EXPECT_TRUE(window.startup_warning().startsWith(
            QStringLiteral("前回の終了処理が中断されました。場所は「実況ログtoXML」です\r\n\r\n")));
        auto* box = window.findChild<QMessageBox*>();
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->text(), window.startup_warning());
    }
    {
        CDlgBase window;
        window.start_up();
        EXPECT_TRUE(window.startup_warning().isEmpty()) << "a clean shutdown leaves nothing to report";
    }
    quippet::CFileINI ini(to_u16(home.path()));
    EXPECT_EQ(ini.read_number(u"VovezurBase", u"EndOfWorld", -1), quippet::kMarkerClean);
}

TEST(Shutdown, CloseWhileAJobRunsKeepsTheWindowAndLogsTheBlockOncePerRequest) {
    TestHome home;
    CDlgBase window;
    window.start_up();
    window.show();
    window.select_tab(CDlgBase::tab_reconstruct);
    std::atomic<bool> stop_seen{false};
    std::atomic<bool> release{false};
    auto job = [&](quippet::CWorkThread& worker) {
        while (!release.load())
            std::this_thread::sleep_for(2ms);
        stop_seen = worker.stop_requested();
    };
    ASSERT_EQ(window.start_job(job, *window.download_page(), quippet::JobKind::kDownload), 0);
    EXPECT_EQ(window.tray_tip(), QStringLiteral("QuippetVellichor - 処理中"));

    EXPECT_FALSE(window.close());
    EXPECT_FALSE(window.close());
    EXPECT_TRUE(window.isVisible());
    const QString download_log = to_qstring(window.download_page()->log_pane()->log_text());
    const QString main_log = to_qstring(window.reconstruct_page()->log_pane()->log_text());
    EXPECT_EQ(download_log.count(block_text()), 2);
    EXPECT_EQ(download_log, block_text() + QStringLiteral("\r\n") + block_text() + QStringLiteral("\r\n"));
    EXPECT_EQ(main_log.count(block_text()), 2);
    EXPECT_EQ(window.frame().stop_job_flag().load(), 1);
    EXPECT_EQ(window.frame().stop_pass_flag().load(), 1);
    EXPECT_EQ(window.frame().stop_download_flag().load(), 1);

    release = true;
    ASSERT_TRUE(pump_until([&] { return !window.frame().busy(); }));
    EXPECT_TRUE(stop_seen.load());
    EXPECT_TRUE(window.close());
}

TEST(StartUp, BrokenSettingsAndAWindowOffEveryScreenStillOpenTheWindow) {
    TestHome home;
    const QByteArray broken("\xFF\xFE[\0W\0i\0n\0", 10);
    home.write(QStringLiteral("QuippetVellichor.ini"), broken);
    {
        CDlgBase window;
        window.start_up();
        EXPECT_TRUE(window.started_up());
        EXPECT_EQ(home.read(QStringLiteral("QuippetVellichor.ini.broken")), broken);
        EXPECT_TRUE(to_qstring(window.main_log()->log_text())
                        .startsWith(to_qstring(quippet::message_text(quippet::msg::kSettingsFileKeptAside))));
        EXPECT_EQ(window.settings().number(quippet::OptNumber::kFirstTab), 4) << "the defaults";
    }
    home.write(QStringLiteral("QuippetVellichor.ini"),
               "[Window]\nLeftPos=20000\nTopPos=15000\nWidth=800\nHeight=600\nTab=1\n");
    CDlgBase window;
    window.start_up();
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_TRUE(screen.intersects(QRect(window.pos(), window.size()))) << window.x() << "," << window.y();
    EXPECT_EQ(window.current_tab(), CDlgBase::tab_live_log);
}

TEST(StartUp, JobsWaitForTheDeferredStartUp) {
    TestHome home;
    home.write(QStringLiteral("QuippetVellichor.ini"), "[OptionDialog]\nCB42=1\nEN12=2\nCB41=1\nCB40=1\n");
    CDlgBase window;
    window.start_up();
    EXPECT_FALSE(window.started_up());
    EXPECT_EQ(window.start_job([](quippet::CWorkThread&) {}, *window.download_page(), quippet::JobKind::kDownload), -1);
    ASSERT_TRUE(pump_until([&] { return window.started_up(); }));
    const QString log = to_qstring(window.download_page()->log_pane()->log_text());
    EXPECT_TRUE(log.contains(QStringLiteral("前衛 （"))) << qPrintable(log);
    EXPECT_TRUE(log.contains(QStringLiteral("後衛 （"))) << qPrintable(log);
    EXPECT_TRUE(QFile::exists(home.file(QStringLiteral("デバッグモード：起動時の位置とサイズ.txt"))));
}

TEST(MainRow, ClipboardMonitorAndInsertToggle) {
    TestHome home;
    CDlgBase window;
    window.start_up();
    EXPECT_EQ(window.clipboard_button()->text(), QStringLiteral("　"));
    window.clipboard_button()->click();
    EXPECT_TRUE(window.clipboard_monitor_on());
    EXPECT_EQ(window.clipboard_button()->text(), QStringLiteral("監"));
    QGuiApplication::clipboard()->setText(QStringLiteral("sm9"));
    ASSERT_TRUE(pump_until([&] { return window.download_page()->clipboard_changes() > 0; }));
    window.clipboard_button()->click();
    EXPECT_EQ(window.clipboard_button()->text(), QStringLiteral("　"));
    const int seen = window.download_page()->clipboard_changes();
    QGuiApplication::clipboard()->setText(QStringLiteral("sm10"));
    QCoreApplication::processEvents();
    EXPECT_EQ(window.download_page()->clipboard_changes(), seen);

    EXPECT_TRUE(window.insert_button()->text().isEmpty());
    window.insert_button()->click();
    EXPECT_EQ(window.insert_button()->text(), QStringLiteral("下"));
    quippet::CSettings changed = window.settings();
    changed.set_number(quippet::OptNumber::kDropInsertPosition, 1);
    window.apply_settings(changed);
    EXPECT_EQ(window.insert_button()->text(), QStringLiteral("挿"));
    window.insert_button()->click();
    EXPECT_TRUE(window.insert_button()->text().isEmpty());
    EXPECT_NE(window.player_list(), nullptr);
    EXPECT_EQ(window.player_list()->count(), 5) << "the players of the default table";
}

TEST(MainRow, TheSwitchesAndTheTabOutliveTheWindow) {
    TestHome home;
    home.write(QStringLiteral("QuippetVellichor.ini"), "[VovezurBase]\nCB3=1\nComboSel=3\n");
    {
        CDlgBase window;
        window.start_up();
        window.set_clipboard_monitor(true);
        window.set_insert_reversed(true);
        window.select_tab(CDlgBase::tab_reconstruct);
    }
    CDlgBase window;
    window.start_up();
    EXPECT_TRUE(window.clipboard_monitor_on());
    EXPECT_TRUE(window.insert_reversed());
    EXPECT_EQ(window.current_tab(), CDlgBase::tab_reconstruct);
    // The pressed mode button and the player chosen in the list are kept as they were.
    EXPECT_TRUE(window.mode_button(1)->isChecked());
    EXPECT_EQ(window.player_list()->currentIndex(), 3);
    quippet::CFileINI ini(to_u16(home.path()));
    EXPECT_EQ(ini.read_number(u"VovezurBase", u"CB3", 0), 1);
    EXPECT_EQ(ini.read_number(u"VovezurBase", u"ComboSel", 0), 3);
}

TEST(MainWindow, TabsOtherThanTheDownloadTabResizeTheWindowAndTheNormalSizeIsSaved) {
    TestHome home;
    // Shortest on the reconstruction tab; the left edge stays because the window grows to the right.
    home.write(QStringLiteral("QuippetVellichor.ini"), "[OptionDialog]\nCB43=1\nEN14=1\nEN15=1\nEN12=2\n"
                                                       "[Window]\nLeftPos=10\nTopPos=20\nWidth=780\nHeight=560\n");
    {
        CDlgBase window;
        window.start_up();
        ASSERT_EQ(window.current_tab(), CDlgBase::tab_download);
        EXPECT_EQ(window.size(), QSize(780, 560));
        window.select_tab(CDlgBase::tab_reconstruct);
        EXPECT_EQ(window.size(), QSize(CDlgBase::initial_width, CDlgBase::initial_height));
        EXPECT_EQ(window.x(), 10);
        window.select_tab(CDlgBase::tab_live_log);
        EXPECT_EQ(window.size(), QSize(780, 560)) << "the live-log tab asks for nothing";
        window.select_tab(CDlgBase::tab_reconstruct);
    }
    quippet::CFileINI ini(to_u16(home.path()));
    EXPECT_EQ(ini.read_number(u"Window", u"Width", 0), 780) << "the normal size, not the forced one";
    EXPECT_EQ(ini.read_number(u"Window", u"Height", 0), 560);
    EXPECT_EQ(ini.read_number(u"Window", u"Tab", -1), CDlgBase::tab_reconstruct);
}

TEST(MainWindow, MinimisingHidesByTheSettingAndRestoringBringsTheWindowBack) {
    TestHome home;
    home.write(QStringLiteral("QuippetVellichor.ini"), "[OptionDialog]\nEN13=2\n");
    CDlgBase window;
    window.start_up();
    window.show();
    window.showMinimized();
    ASSERT_TRUE(pump_until([&] { return !window.isVisible(); }));
    // Hidden without an icon: what a second start's hand-over calls.
    window.restore_window();
    EXPECT_TRUE(window.isVisible());
    EXPECT_FALSE(window.isMinimized());

    // Without a system tray (as here) the tray mode minimises as usual instead of hiding for good.
    quippet::CSettings tray = window.settings();
    tray.set_number(quippet::OptNumber::kMinimizeMode, 1);
    window.apply_settings(tray);
    ASSERT_EQ(window.tray_icon(), nullptr);
    window.showMinimized();
    QCoreApplication::processEvents();
    EXPECT_TRUE(window.isVisible());
}

TEST(MainRow, ASettingsFileOpensInTheEditorAndAFailureIsLogged) {
    TestHome home;
    CDlgBase window;
    window.start_up();
    const quippet::SettingsTextFile* file =
        quippet::ui::settings_text_file_for(quippet::key(quippet::OptText::kNgIdList));
    ASSERT_NE(file, nullptr);
    QStringList opened;
    quippet::ui::set_desktop_opener([&opened](const QString& path) {
        opened.append(path);
        return opened.size() == 1 ? quippet::kOpenSucceeded : quippet::kOpenNoHandler;
    });
    EXPECT_EQ(window.open_text_file(*file), quippet::kOpenSucceeded);
    ASSERT_EQ(opened.size(), 1);
    EXPECT_TRUE(QFile::exists(opened.front())) << "created with its default text first";
    EXPECT_EQ(window.open_text_file(*file), quippet::kOpenNoHandler);
    EXPECT_TRUE(
        to_qstring(window.main_log()->log_text())
            .endsWith(opened.front() +
                      QStringLiteral(
                          "を開けませんでした：指定されたファイル拡張子に関連付けられたアプリケーションがありません")));
    quippet::ui::set_desktop_opener({});
}

TEST(SettingsWindow, EveryDetailedSettingHasAnEditorOfItsKind) {
    quippet::CSettings settings;
    CDlgSetting dialog(settings, nullptr);
    int count = 0;
    for (const quippet::SettingDef& def : quippet::setting_catalogue()) {
        if (!quippet::ui::is_detailed_setting(def)) continue;
        ++count;
        SCOPED_TRACE(quippet::to_utf8(def.label));
        QWidget* editor = dialog.editor_for(def.key);
        ASSERT_NE(editor, nullptr);
        switch (def.type) {
        case quippet::SettingType::kSwitch:
            EXPECT_NE(qobject_cast<QCheckBox*>(editor), nullptr);
            break;
        case quippet::SettingType::kNumber: {
            auto* spin = qobject_cast<QSpinBox*>(editor);
            ASSERT_NE(spin, nullptr);
            EXPECT_EQ(spin->minimum(), def.minimum);
            EXPECT_EQ(spin->maximum(), def.maximum);
            EXPECT_EQ(spin->value(), def.default_number);
            break;
        }
        case quippet::SettingType::kChoice:
            ASSERT_NE(qobject_cast<QComboBox*>(editor), nullptr);
            EXPECT_EQ(qobject_cast<QComboBox*>(editor)->count(), static_cast<int>(def.items.size()));
            break;
        case quippet::SettingType::kProtected:
            ASSERT_NE(qobject_cast<QLineEdit*>(editor), nullptr);
            EXPECT_EQ(qobject_cast<QLineEdit*>(editor)->echoMode(), QLineEdit::Password);
            break;
        case quippet::SettingType::kText:
            if (def.default_text.find(u'\n') != std::u16string::npos)
                EXPECT_NE(qobject_cast<QPlainTextEdit*>(editor), nullptr);
            else
                EXPECT_TRUE(qobject_cast<QLineEdit*>(editor) != nullptr ||
                            editor->findChild<QLineEdit*>(QStringLiteral("path")) != nullptr);
            break;
        }
    }
    EXPECT_GT(count, 100);
    // Untouched, the window gives back what it was given, line breaks of the header block included.
    quippet::CSettings unchanged = dialog.edited();
    unchanged.set_number(quippet::kOptionPage, settings.number(quippet::kOptionPage));
    EXPECT_TRUE(unchanged == settings);
}

TEST(SettingsWindow, OkWritesExactlyTheChangedKeyAndCancelNothing) {
    TestHome home;
    home.write(QStringLiteral("QuippetVellichor.ini"), "[OptionDialog]\nEN5=3\n");
    quippet::CFileINI ini(to_u16(home.path()));
    quippet::CSettings settings;
    quippet::load_settings(ini, settings);
    {
        CDlgSetting dialog(settings, &ini);
        qobject_cast<QSpinBox*>(dialog.editor_for(quippet::key(quippet::OptNumber::kDownloadWait)))->setValue(42);
        dialog.reject();
    }
    EXPECT_EQ(home.read(QStringLiteral("QuippetVellichor.ini")), QByteArray("[OptionDialog]\nEN5=3\n"));

    CDlgSetting dialog(settings, &ini);
    const int page = dialog.current_page();
    quippet::CSettings confirmed;
    QObject::connect(&dialog, &CDlgSetting::applied, [&](const quippet::CSettings& s) { confirmed = s; });
    qobject_cast<QSpinBox*>(dialog.editor_for(quippet::key(quippet::OptNumber::kDownloadWait)))->setValue(42);
    dialog.accept();
    EXPECT_EQ(confirmed.number(quippet::OptNumber::kDownloadWait), 42);
    EXPECT_EQ(home.read(QStringLiteral("QuippetVellichor.ini")),
              QByteArray("[OptionDialog]\nEN5=3\nEN21=42\nPage=") + QByteArray::number(page) + "\n");
}

TEST(SettingsWindow, FilesInTheCommonFolderAreShownRelativeAndFollowTheFolder) {
    using quippet::OptText;
    quippet::CSettings settings;
    settings.set_text(OptText::kNgIdList, u"/srv/lists/ng.txt");
    CDlgSetting dialog(settings, nullptr);
    auto path_of = [&](OptText key) {
        return dialog.editor_for(quippet::key(key))->findChild<QLineEdit*>(QStringLiteral("path"));
    };
    auto flag_of = [&](OptText key) {
        return dialog.editor_for(quippet::key(key))->findChild<QCheckBox*>(QStringLiteral("common"));
    };
    ASSERT_NE(flag_of(OptText::kInputHistory), nullptr);
    EXPECT_TRUE(flag_of(OptText::kInputHistory)->isChecked());
    EXPECT_EQ(path_of(OptText::kInputHistory)->text(), QStringLiteral("履歴：使用した入力欄の文字列を1行ずつ羅列.txt"));
    EXPECT_FALSE(flag_of(OptText::kNgIdList)->isChecked());
    EXPECT_EQ(flag_of(OptText::kCommonFolder), nullptr) << "the folder itself has no flag";

    path_of(OptText::kCommonFolder)->setText(QStringLiteral("conf"));
    flag_of(OptText::kNgIdList)->setChecked(true); // an absolute path loses the flag
    flag_of(OptText::kLogFile)->setChecked(true);
    const quippet::CSettings edited = dialog.edited();
    EXPECT_EQ(edited.text(OptText::kInputHistory), u"conf/履歴：使用した入力欄の文字列を1行ずつ羅列.txt");
    EXPECT_EQ(edited.text(OptText::kNgIdList), u"/srv/lists/ng.txt");
    EXPECT_EQ(edited.text(OptText::kLogFile), u"conf/QuippetVellichor.log");
    EXPECT_EQ(edited.text(OptText::kCacheFolder), u"cache");
}

TEST(SettingsWindow, TheFilterKeepsOnlyMatchingPagesAndThePageIsRemembered) {
    quippet::CSettings settings;
    settings.set_number(quippet::kOptionPage, 3);
    CDlgSetting dialog(settings, nullptr);
    EXPECT_EQ(dialog.current_page(), 3);
    const QStringList titles = dialog.page_titles();
    ASSERT_GE(titles.size(), 8);
    dialog.set_filter(QStringLiteral("プロキシ"));
    const int network = static_cast<int>(titles.indexOf(QStringLiteral("通信")));
    ASSERT_GE(network, 0);
    EXPECT_TRUE(dialog.page_listed(network));
    EXPECT_FALSE(dialog.page_listed(static_cast<int>(titles.indexOf(QStringLiteral("ファイル名")))));
    EXPECT_EQ(dialog.current_page(), network);
    dialog.set_filter(QString());
    for (int page = 0; page < titles.size(); ++page)
        EXPECT_TRUE(dialog.page_listed(page));
}

} // namespace
