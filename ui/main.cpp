#include "ui/MainWindow.h"
#include "ui/QuippetApp.h"

#include <QApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QTimer>
#include <QWindow>

#include <cstdio>

int main(int argc, char** argv) {
    QElapsedTimer process_start;
    process_start.start();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("QuippetVellichor"));
    // Lets the desktop match the window to the installed menu entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("quippetvellichor"));

    QStringList args = QApplication::arguments();
    args.removeFirst();
    CQuippetApp shell;
    switch (shell.start(args, process_start)) {
    case CQuippetApp::Outcome::usage_error:
        std::fprintf(stderr, "QuippetVellichor: %s\n", qPrintable(shell.error()));
        return 2;
    case CQuippetApp::Outcome::handed_over:
    case CQuippetApp::Outcome::reserved:
    case CQuippetApp::Outcome::listed:
        return 0;
    case CQuippetApp::Outcome::window:
        break;
    }
    if (qEnvironmentVariableIsSet("QUIPPET_STARTUP_PROBE")) {
        // For scripts/startup-time: the moment the window system shows the window (since main, and as
        // wall-clock time so that the loading before main counts too), then the program ends.
        auto* probe = new QTimer(&app);
        QObject::connect(probe, &QTimer::timeout, &app, [&shell, &process_start, probe] {
            const QWindow* handle = shell.window()->windowHandle();
            if (handle == nullptr || !handle->isExposed()) return;
            probe->stop();
            std::printf("shown %lld %lld\n", static_cast<long long>(process_start.elapsed()),
                        static_cast<long long>(QDateTime::currentMSecsSinceEpoch()));
            std::fflush(stdout);
            QApplication::quit();
        });
        probe->start(1);
    }
    return app.exec();
}
