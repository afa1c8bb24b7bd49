#include "ui/ClipboardMonitor.h"

#include <QClipboard>
#include <QGuiApplication>

CDlgClip::CDlgClip(std::function<void()> on_change, QObject* parent)
    : QObject(parent), on_change_(std::move(on_change)) {
    setObjectName(title());
    connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this, [this] {
        if (on_change_) on_change_();
    });
}

QString CDlgClip::title() {
    return QStringLiteral("クリップボード監視 - QuippetVellichor");
}
