#pragma once

#include <QAbstractTableModel>
#include <QList>

namespace quippet {
class CPlaylistTab;
}

/// The rows of the loaded playlist as the view shows them: the display name and the full path. The rows
/// themselves live in the tab's state; the page calls refresh() after each change of them.
class CPlaylistRowsModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { column_name = 0, column_path = 1, column_count = 2 };
    /// The format of rows dragged inside the list: their numbers, so that a drop moves them.
    static constexpr const char* kRowsMime = "application/x-quippet-playlist-rows";

    explicit CPlaylistRowsModel(const quippet::CPlaylistTab& tab, QObject* parent = nullptr);

    void refresh();

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    Qt::DropActions supportedDragActions() const override;

    /// The row numbers carried by dragged rows; empty for other data.
    static QList<int> dragged_rows(const QMimeData* data);

private:
    const quippet::CPlaylistTab& tab_;
};
