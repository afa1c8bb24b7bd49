#include "ui/playlist/PlaylistRowsModel.h"

#include "lists/PlaylistTab.h"
#include "ui/UiCall.h"

#include <QDataStream>
#include <QIODevice>
#include <QMimeData>

#include <algorithm>

using quippet::ui::to_qstring;

CPlaylistRowsModel::CPlaylistRowsModel(const quippet::CPlaylistTab& tab, QObject* parent)
    : QAbstractTableModel(parent), tab_(tab) {}

void CPlaylistRowsModel::refresh() {
    beginResetModel();
    endResetModel();
}

int CPlaylistRowsModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(tab_.rows().size());
}

int CPlaylistRowsModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : column_count;
}

QVariant CPlaylistRowsModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) return {};
    const auto& row = tab_.rows()[static_cast<size_t>(index.row())];
    if (role == Qt::DisplayRole) return to_qstring(index.column() == column_name ? row.name : row.path);
    if (role == Qt::ToolTipRole) return to_qstring(row.path);
    return {};
}

QVariant CPlaylistRowsModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    return section == column_name ? QStringLiteral("名前") : QStringLiteral("場所");
}

Qt::ItemFlags CPlaylistRowsModel::flags(const QModelIndex& index) const {
    const Qt::ItemFlags base = Qt::ItemIsDropEnabled;
    if (!index.isValid()) return base;
    return base | Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled;
}

QStringList CPlaylistRowsModel::mimeTypes() const {
    return {QString::fromLatin1(kRowsMime), QStringLiteral("text/uri-list")};
}

QMimeData* CPlaylistRowsModel::mimeData(const QModelIndexList& indexes) const {
    QList<int> rows;
    for (const QModelIndex& index : indexes)
        if (index.isValid() && !rows.contains(index.row())) rows.append(index.row());
    std::sort(rows.begin(), rows.end());
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out << rows;
    auto* data = new QMimeData;
    data->setData(QString::fromLatin1(kRowsMime), bytes);
    return data;
}

Qt::DropActions CPlaylistRowsModel::supportedDragActions() const {
    return Qt::MoveAction | Qt::CopyAction;
}

QList<int> CPlaylistRowsModel::dragged_rows(const QMimeData* data) {
    QList<int> rows;
    if (data == nullptr || !data->hasFormat(QString::fromLatin1(kRowsMime))) return rows;
    QDataStream in(data->data(QString::fromLatin1(kRowsMime)));
    in >> rows;
    return rows;
}
