#include <QApplication>

#include "ui/MainWindow.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("QuippetVellichor"));
    CDlgBase window;
    window.show();
    return app.exec();
}
