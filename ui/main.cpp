#include <QApplication>

#include "net/ServiceAddress.h"
#include "ui/MainWindow.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    // The same overrides as the command line's; without them $QUIPPET_SERVICE_ROOT and $QUIPPET_CA_FILE apply.
    const QStringList args = QApplication::arguments();
    for (qsizetype i = 1; i + 1 < args.size(); ++i) {
        if (args[i] == QStringLiteral("--service-root"))
            quippet::set_service_root(args[i + 1].toStdU16String());
        else if (args[i] == QStringLiteral("--ca-file"))
            quippet::set_extra_ca_file(args[i + 1].toStdU16String());
    }
    QApplication::setApplicationName(QStringLiteral("QuippetVellichor"));
    CDlgBase window;
    window.show();
    return app.exec();
}
