#include "ui/AppIcon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace quippet::ui {
namespace {

/// Drawn on a 64-unit grid, like resources/quippetvellichor.svg.
QPixmap drawn_icon(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 64.0, size / 64.0);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x26, 0x32, 0x38));
    painter.drawRoundedRect(QRectF(4, 14, 56, 42), 6, 6);
    painter.setBrush(QColor(0xEC, 0xEF, 0xF1));
    for (int hole = 0; hole < 6; ++hole) {
        painter.drawRect(QRectF(9 + hole * 8.5, 17, 4, 4));
        painter.drawRect(QRectF(9 + hole * 8.5, 49, 4, 4));
    }
    QPainterPath balloon;
    balloon.addRoundedRect(QRectF(10, 4, 44, 30), 8, 8);
    QPainterPath tail;
    tail.moveTo(22, 32);
    tail.lineTo(18, 42);
    tail.lineTo(32, 33);
    tail.closeSubpath();
    painter.setBrush(QColor(0xFF, 0xB3, 0x00));
    painter.drawPath(balloon.united(tail));
    painter.setBrush(QColor(0x26, 0x32, 0x38));
    for (int dot = 0; dot < 3; ++dot)
        painter.drawEllipse(QPointF(22 + dot * 10, 19), 3.2, 3.2);
    return pixmap;
}

} // namespace

QIcon app_icon() {
    static const QIcon icon = [] {
        QIcon drawn;
        for (int size : {16, 24, 32, 48, 64, 128, 256})
            drawn.addPixmap(drawn_icon(size));
        return QIcon::fromTheme(QStringLiteral("quippetvellichor"), drawn);
    }();
    return icon;
}

} // namespace quippet::ui
