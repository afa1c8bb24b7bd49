#include "ui/download/BookmarkTree.h"

#include "app/Settings.h"
#include "lists/BookmarkKeys.h"
#include "lists/ListsTextFiles.h"
#include "resources/MessageIds.h"
#include "resources/Messages.h"
#include "text/AppHome.h"
#include "ui/DesktopOpen.h"
#include "ui/download/BookmarkDialog.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDataStream>
#include <QFile>
#include <QHeaderView>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>

namespace {

using quippet::BookmarkNode;

const QString kMimeType = QStringLiteral("application/x-quippet-bookmark");
/// The question before deleting a folder bookmark (after the folder's path).
constexpr int kTrashQuestion = 1991;

QString qs(std::u16string_view s) {
    return QString::fromUtf16(s.data(), static_cast<qsizetype>(s.size()));
}

std::u16string us(const QString& s) {
    return s.toStdU16String();
}

} // namespace

CBookmarkModel::CBookmarkModel(quippet::CBookmarkEditor& editor, QObject* parent)
    : QAbstractItemModel(parent), editor_(editor) {}

BookmarkNode* CBookmarkModel::node(const QModelIndex& index) const {
    return index.isValid() ? static_cast<BookmarkNode*>(index.internalPointer()) : &editor_.tree().root();
}

QModelIndex CBookmarkModel::index_of(const BookmarkNode* n) const {
    if (!n || !n->parent) return {};
    return createIndex(n->row(), 0, const_cast<BookmarkNode*>(n));
}

void CBookmarkModel::refresh() {
    beginResetModel();
    endResetModel();
}

QModelIndex CBookmarkModel::index(int row, int column, const QModelIndex& parent) const {
    const BookmarkNode* p = node(parent);
    if (column != 0 || row < 0 || row >= static_cast<int>(p->children.size())) return {};
    return createIndex(row, 0, p->children[static_cast<size_t>(row)].get());
}

QModelIndex CBookmarkModel::parent(const QModelIndex& child) const {
    if (!child.isValid()) return {};
    return index_of(node(child)->parent);
}

int CBookmarkModel::rowCount(const QModelIndex& parent) const {
    if (parent.column() > 0) return 0;
    return static_cast<int>(node(parent)->children.size());
}

int CBookmarkModel::columnCount(const QModelIndex&) const {
    return 1;
}

QVariant CBookmarkModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    const BookmarkNode* n = node(index);
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return qs(n->label);
    case Qt::ToolTipRole: {
        QString tip = qs(n->target);
        if (!n->options.empty()) tip += QStringLiteral("\n") + qs(n->options);
        if (!n->save_folder.empty()) tip += QStringLiteral("\n→ ") + qs(n->save_folder);
        return tip;
    }
    case Qt::CheckStateRole:
        return n->checked() ? Qt::Checked : Qt::Unchecked;
    default:
        return {};
    }
}

bool CBookmarkModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid()) return false;
    BookmarkNode* n = node(index);
    if (role == Qt::CheckStateRole) {
        n->set_checked(value.toInt() == Qt::Checked);
        editor_.save();
        Q_EMIT dataChanged(index, index, {role});
        return true;
    }
    if (role != Qt::EditRole) return false;
    const std::u16string label = us(value.toString());
    if (label == n->label) return true;
    const bool folder = quippet::is_local_folder(n->target);
    const bool done = editor_.rename(n, label);
    // A renamed folder may have rebuilt the subfolders of its parent bookmark; a plain name changes one row.
    if (folder)
        refresh();
    else
        Q_EMIT dataChanged(index, index, {role});
    return done;
}

Qt::ItemFlags CBookmarkModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::ItemIsDropEnabled;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable | Qt::ItemIsUserCheckable |
           Qt::ItemIsDragEnabled | Qt::ItemIsDropEnabled;
}

Qt::DropActions CBookmarkModel::supportedDropActions() const {
    return Qt::MoveAction;
}

QStringList CBookmarkModel::mimeTypes() const {
    return {kMimeType};
}

QMimeData* CBookmarkModel::mimeData(const QModelIndexList& indexes) const {
    if (indexes.isEmpty()) return nullptr;
    // The path of rows from the top: a pointer would dangle if the tree changed during the drag.
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    QList<int> rows;
    for (const BookmarkNode* n = node(indexes.first()); n && n->parent; n = n->parent)
        rows.prepend(n->row());
    out << rows;
    auto* mime = new QMimeData;
    mime->setData(kMimeType, bytes);
    return mime;
}

bool CBookmarkModel::dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int,
                                  const QModelIndex& parent) {
    if (action != Qt::MoveAction || !data->hasFormat(kMimeType)) return false;
    QDataStream in(data->data(kMimeType));
    QList<int> rows;
    in >> rows;
    BookmarkNode* n = &editor_.tree().root();
    for (int r : rows) {
        if (r < 0 || r >= static_cast<int>(n->children.size())) return false;
        n = n->children[static_cast<size_t>(r)].get();
    }
    if (n == &editor_.tree().root()) return false;
    editor_.move(n, node(parent), row);
    refresh();
    // Refused on purpose: a taken drop makes the view remove the source rows, and the editor has moved
    // the item already.
    return false;
}

CTreeBookmark::CTreeBookmark(const quippet::CSettings& settings, QWidget* parent)
    : QTreeView(parent), settings_(settings) {
    quippet::BookmarkEditorSettings es;
    es.tree_path = quippet::bookmark_tree_path(settings);
    es.saved_lists_folder = quippet::resolve_in_home(settings.text(quippet::OptText::kDownloadListFolder));
    es.add_subfolders = settings.on(quippet::kBmAddSubfolders);
    es.new_folder_on_disk = settings.on(quippet::kBmNewFolderOnDisk);
    es.trash = [](std::u16string_view path) { return QFile::moveToTrash(qs(path)); };
    editor_ = std::make_unique<quippet::CBookmarkEditor>(tree_, es, [this](std::u16string_view line) { log(line); });
    model_ = new CBookmarkModel(*editor_, this);
    setModel(model_);
    setHeaderHidden(true);
    setDragDropMode(QAbstractItemView::InternalMove);
    setDragEnabled(true);
    setAcceptDrops(true);
    setDropIndicatorShown(true);
    setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
    setExpandsOnDoubleClick(true);
    setObjectName(QStringLiteral("bookmark_tree"));
    connect(this, &QTreeView::doubleClicked, this, &CTreeBookmark::on_double_clicked);
    connect(this, &QTreeView::expanded, this, [this](const QModelIndex& i) {
        model_->node(i)->set_expanded(true);
        editor_->save();
    });
    connect(this, &QTreeView::collapsed, this, [this](const QModelIndex& i) {
        model_->node(i)->set_expanded(false);
        editor_->save();
    });
    connect(model_, &QAbstractItemModel::modelReset, this, &CTreeBookmark::restore_expansion);
    ask_ = [this](const QString& text) {
        return QMessageBox::question(this, qs(quippet::message_text(quippet::msg::kBmDialogTitle)), text,
                                     QMessageBox::Ok | QMessageBox::Cancel) == QMessageBox::Ok
                   ? 1
                   : 0;
    };
}

CTreeBookmark::~CTreeBookmark() = default;

void CTreeBookmark::log(std::u16string_view text) {
    Q_EMIT log_line(qs(text));
}

void CTreeBookmark::reload() {
    if (editor_->load() == 1)
        QMessageBox::warning(this, qs(quippet::message_text(quippet::msg::kBmDialogTitle)),
                             qs(quippet::message_text(quippet::msg::kBmInsertFailed)));
    menu_ = quippet::load_bookmark_menu(settings_);
    for (const std::u16string& line : menu_.log)
        log(line);
    model_->refresh();
}

void CTreeBookmark::restore_expansion() {
    // Expanding here must not count as the user's expanding: the states are the file's already.
    const QSignalBlocker block(this);
    tree_.for_each([this](BookmarkNode& n) {
        if (n.expanded() && !n.children.empty()) setExpanded(model_->index_of(&n), true);
    });
}

BookmarkNode* CTreeBookmark::selected_node() const {
    const QModelIndex i = currentIndex();
    return i.isValid() ? model_->node(i) : nullptr;
}

void CTreeBookmark::select_node(const BookmarkNode* node) {
    setCurrentIndex(model_->index_of(node));
}

void CTreeBookmark::on_double_clicked(const QModelIndex& index) {
    if (!index.isValid()) return;
    setCurrentIndex(index);
    register_selected();
}

void CTreeBookmark::register_selected() {
    BookmarkNode* n = selected_node();
    if (!n || n->target.empty()) return;
    const QString target = qs(n->target), options = qs(n->options), folder = qs(n->save_folder);
    if (editor_->registered(*n) > 0) {
        model_->refresh();
        select_node(n);
    }
    Q_EMIT register_requested(target, options, folder);
}

void CTreeBookmark::new_folder() {
    BookmarkNode* made = editor_->new_folder(selected_node());
    model_->refresh();
    if (made) {
        select_node(made);
        edit(currentIndex());
    }
}

void CTreeBookmark::rename_selected() {
    if (currentIndex().isValid()) edit(currentIndex());
}

void CTreeBookmark::delete_selected(bool ask, bool trash) {
    BookmarkNode* n = selected_node();
    if (!n) return;
    if (ask && quippet::is_local_folder(n->target)) {
        QMessageBox box(QMessageBox::Question, qs(quippet::message_text(quippet::msg::kBmDialogTitle)),
                        qs(n->target) + qs(quippet::message_text(kTrashQuestion)),
                        QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, this);
        const int answer = box.exec();
        if (answer == QMessageBox::Cancel) return;
        trash = answer == QMessageBox::Yes;
    }
    editor_->remove(n, trash);
    model_->refresh();
}

void CTreeBookmark::edit_selected() {
    CDlgSetBm dialog(*this, this);
    if (BookmarkNode* n = selected_node())
        dialog.set_fields(qs(n->label), qs(n->target), qs(n->save_folder), qs(n->options));
    dialog.exec();
}

void CTreeBookmark::add_anime() {
    CDlgSetAnime dialog(*this, this);
    dialog.exec();
}

void CTreeBookmark::run_command(quippet::BmCommand command) {
    using quippet::BmCommand;
    BookmarkNode* n = selected_node();
    switch (command) {
    case BmCommand::kSeparator:
        break;
    case BmCommand::kRegister:
        register_selected();
        break;
    case BmCommand::kEdit:
        edit_selected();
        break;
    case BmCommand::kNewFolder:
        new_folder();
        break;
    case BmCommand::kRename:
        rename_selected();
        break;
    case BmCommand::kDelete:
        delete_selected();
        break;
    case BmCommand::kCheckAll:
    case BmCommand::kUncheckAll:
        editor_->check_all(command == BmCommand::kCheckAll);
        model_->refresh();
        break;
    case BmCommand::kUpdateCheck:
        Q_EMIT update_check_requested();
        break;
    case BmCommand::kAnime:
        add_anime();
        break;
    case BmCommand::kReload:
        reload();
        break;
    case BmCommand::kExpandAll:
        expandAll();
        break;
    case BmCommand::kCollapseAll:
        collapseAll();
        break;
    case BmCommand::kOpenFolder:
        if (n && quippet::is_local_folder(n->target)) quippet::ui::open_with_desktop(qs(n->target));
        break;
    case BmCommand::kCopyTarget:
        if (n) QApplication::clipboard()->setText(qs(n->target));
        break;
    }
}

void CTreeBookmark::contextMenuEvent(QContextMenuEvent* event) {
    const QModelIndex at = indexAt(event->pos());
    if (at.isValid()) setCurrentIndex(at);
    QMenu menu(this);
    for (const quippet::BmMenuEntry& e : menu_.entries) {
        if (e.command == quippet::BmCommand::kSeparator) {
            menu.addSeparator();
            continue;
        }
        const quippet::BmCommand command = e.command;
        QAction* action = menu.addAction(qs(e.label));
        connect(action, &QAction::triggered, this, [this, command] { run_command(command); });
    }
    menu.exec(event->globalPos());
}
