// Saves pictures of the window for the README: the main window on the app home given by --home, and
// two pages of the detailed-settings window. Run by scripts/screenshots under a virtual X display.
#include "text/AppHome.h"
#include "ui/LogPane.h"
#include "ui/MainWindow.h"
#include "ui/UiCall.h"
#include "ui/download/DownloadPage.h"
#include "ui/settings/SettingsDialog.h"

#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QTabWidget>
#include <QThread>

#include <cstdio>

namespace {

void settle() {
    for (int i = 0; i < 20; ++i) {
        QCoreApplication::processEvents();
        QThread::msleep(10);
    }
}

bool save(QWidget& widget, const QString& path) {
    settle();
    const bool saved = widget.grab().save(path);
    std::printf("%s %s\n", saved ? "saved" : "FAILED", qPrintable(path));
    return saved;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QStringList args = QApplication::arguments();
    if (args.size() != 5 || args[1] != QStringLiteral("--home")) {
        std::fprintf(stderr, "usage: quippet_screenshots --home DIR --out DIR\n");
        return 2;
    }
    quippet::set_app_home(quippet::ui::to_u16(args[2]));
    const QDir out(args[4]);

    CDlgBase window;
    window.start_up();
    window.show();
    window.download_page()->take_hand_over(QStringLiteral("▼検索オプション\r\n初音ミク"), true);
    bool ok = save(window, out.filePath(QStringLiteral("main-window.png")));

    CDlgSetting dialog(window.settings(), nullptr, &window);
    dialog.show();
    const QStringList pages = dialog.page_titles();
    int shot = 0;
    for (const QString& title : {QStringLiteral("起動と終了"), QStringLiteral("通信")}) {
        dialog.select_page(static_cast<int>(pages.indexOf(title)));
        ok = save(dialog, out.filePath(QStringLiteral("settings-%1.png").arg(++shot))) && ok;
    }
    return ok ? 0 : 1;
}
