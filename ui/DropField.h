#pragma once

#include <QLineEdit>
#include <QStringList>

class QMimeData;

/// The local files named by dropped data (file-manager drags carry file URLs); empty for anything else.
QStringList dropped_local_files(const QMimeData* data);

/// A line edit that takes one file dropped from the file manager and hands its path on.
class CDropField : public QLineEdit {
    Q_OBJECT
public:
    explicit CDropField(QWidget* parent = nullptr);

Q_SIGNALS:
    void file_dropped(const QString& path);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
};
