#include "ui/DropField.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

QStringList dropped_local_files(const QMimeData* data) {
    QStringList paths;
    if (data == nullptr || !data->hasUrls()) return paths;
    for (const QUrl& url : data->urls())
        if (url.isLocalFile()) paths.append(url.toLocalFile());
    return paths;
}

CDropField::CDropField(QWidget* parent) : QLineEdit(parent) {
    setAcceptDrops(true);
}

void CDropField::dragEnterEvent(QDragEnterEvent* event) {
    if (!dropped_local_files(event->mimeData()).isEmpty())
        event->acceptProposedAction();
    else
        QLineEdit::dragEnterEvent(event);
}

void CDropField::dragMoveEvent(QDragMoveEvent* event) {
    if (!dropped_local_files(event->mimeData()).isEmpty())
        event->acceptProposedAction();
    else
        QLineEdit::dragMoveEvent(event);
}

void CDropField::dropEvent(QDropEvent* event) {
    const QStringList files = dropped_local_files(event->mimeData());
    if (files.isEmpty()) {
        QLineEdit::dropEvent(event);
        return;
    }
    event->acceptProposedAction();
    Q_EMIT file_dropped(files.front());
}
