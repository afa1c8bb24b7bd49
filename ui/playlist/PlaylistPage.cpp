#include "ui/playlist/PlaylistPage.h"

#include "app/Settings.h"
#include "app/SettingsTextFiles.h"
#include "lists/ListsTextFiles.h"
#include "lists/PlayerChoice.h"
#include "app/PlaylistTabKeys.h"
#include "resources/MessageIds.h"
#include "resources/Messages.h"
#include "text/OpenErrors.h"
#include "ui/DesktopOpen.h"
#include "ui/DropField.h"
#include "ui/ListPane.h"
#include "ui/LogPane.h"
#include "ui/MainWindow.h"
#include "ui/TabLayout.h"
#include "ui/UiCall.h"
#include "ui/playlist/PlaylistRowsModel.h"

#include <QDragMoveEvent>
#include <QDropEvent>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QPushButton>
#include <QSplitter>
#include <QTreeView>

#include <algorithm>

using quippet::CSettings;
using quippet::ui::to_qstring;
using quippet::ui::to_u16;

namespace {

using namespace quippet::ui::layout;

QPushButton* small_button(const QString& caption, QWidget* parent) {
    auto* b = new QPushButton(caption, parent);
    b->setAutoDefault(false);
    return b;
}

} // namespace

CDlgMM::CDlgMM(QWidget* parent)
    : CTabPage({}, parent), folders_(new QListWidget(this)), playlists_(new QListWidget(this)),
      rows_view_(new QTreeView(this)), rows_model_(new CPlaylistRowsModel(tab_, this)), name_(new QLineEdit(this)),
      save_(small_button(QStringLiteral("空白"), this)), delete_(small_button(QStringLiteral("削除"), this)),
      memo_(small_button(QStringLiteral("空白"), this)) {
    auto* controls = new QWidget(this);
    auto* layout = new QVBoxLayout(controls);
    layout->setContentsMargins(4, 4, 4, 0);
    layout->setSpacing(3);

    auto* lists = new QSplitter(Qt::Horizontal, controls);
    auto* left = new QSplitter(Qt::Vertical, lists);
    folders_->setToolTip(QStringLiteral("プレイリストの場所"));
    playlists_->setToolTip(QStringLiteral("プレイリスト"));
    left->addWidget(folders_);
    left->addWidget(playlists_);
    left->setStretchFactor(0, 1);
    left->setStretchFactor(1, 3);
    rows_view_->setModel(rows_model_);
    rows_view_->setRootIsDecorated(false);
    rows_view_->setUniformRowHeights(true);
    rows_view_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    rows_view_->setSelectionBehavior(QAbstractItemView::SelectRows);
    rows_view_->setDragEnabled(true);
    rows_view_->setAcceptDrops(true);
    rows_view_->viewport()->setAcceptDrops(true);
    rows_view_->setDropIndicatorShown(true);
    rows_view_->setDragDropMode(QAbstractItemView::DragDrop);
    rows_view_->viewport()->installEventFilter(this);
    rows_view_->header()->resizeSection(CPlaylistRowsModel::column_name, 220);
    rows_view_->setToolTip(QStringLiteral("動画ファイルをドロップして追加、ドラッグで並べ替え、ダブルクリックで再生"));
    lists->addWidget(left);
    lists->addWidget(rows_view_);
    lists->setStretchFactor(0, 1);
    lists->setStretchFactor(1, 3);
    layout->addWidget(lists, 1);

    Row edit(controls);
    auto* up = small_button(QStringLiteral("↑"), edit.parent());
    auto* down = small_button(QStringLiteral("↓"), edit.parent());
    auto* remove = small_button(QStringLiteral("行を削除"), edit.parent());
    auto* places = small_button(QStringLiteral("場所の設定"), edit.parent());
    name_->setParent(edit.parent());
    name_->setMinimumWidth(200);
    name_->setPlaceholderText(QStringLiteral("プレイリストの名前"));
    save_->setParent(edit.parent());
    delete_->setParent(edit.parent());
    memo_->setParent(edit.parent());
    delete_->setToolTip(QStringLiteral("選んだプレイリストをごみ箱に移動"));
    edit.add(up)
        .add(down)
        .add(remove)
        .gap()
        .text(u"名前")
        .add(name_)
        .add(save_)
        .gap()
        .add(delete_)
        .add(memo_)
        .gap()
        .add(places);
    layout->addWidget(edit.done());
    set_controls(controls, 380, 120);
    // The rows are the page's list; the log takes the width below them.
    list_view()->hide();

    // In the order a restore must run: the folder lists its playlists, the playlist fills the rows.
    table_.bind(quippet::kPlaylistFolderSel, folders_);
    table_.bind(quippet::kPlaylistSel, playlists_);
    table_.bind(quippet::kPlaylistRowSel, rows_view_);

    connect(folders_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                if (current.isValid() && current.row() != tab_.folder_index()) select_folder(current.row());
            });
    connect(playlists_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                if (!current.isValid()) return;
                const auto& names = tab_.playlists();
                if (static_cast<size_t>(current.row()) < names.size() && names[current.row()] == tab_.loaded()) return;
                select_playlist(current.row());
            });
    connect(rows_view_, &QTreeView::doubleClicked, this, [this](const QModelIndex& index) { play_row(index.row()); });
    connect(name_, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (filling_) return;
        tab_.set_name(to_u16(text));
        update_buttons();
    });
    connect(name_, &QLineEdit::returnPressed, this, &CDlgMM::save);
    connect(up, &QPushButton::clicked, this, &CDlgMM::move_selected_up);
    connect(down, &QPushButton::clicked, this, &CDlgMM::move_selected_down);
    connect(remove, &QPushButton::clicked, this, &CDlgMM::remove_selected);
    connect(save_, &QPushButton::clicked, this, &CDlgMM::save);
    connect(delete_, &QPushButton::clicked, this, &CDlgMM::delete_selected_playlist);
    connect(memo_, &QPushButton::clicked, this, &CDlgMM::open_memo);
    connect(places, &QPushButton::clicked, this, &CDlgMM::open_places_file);
    update_buttons();
}

CDlgMM::~CDlgMM() = default;

void CDlgMM::attach(CDlgBase* window) {
    window_ = window;
}

void CDlgMM::load_controls(const CSettings& from) {
    tab_.configure(window_ != nullptr ? window_->settings() : from);
    tab_.set_places(quippet::load_playlist_places(window_ != nullptr ? window_->settings() : from));
    folders_->clear();
    for (const quippet::PlaylistPlace& place : tab_.places()) {
        auto* item = new QListWidgetItem(to_qstring(place.name), folders_);
        item->setToolTip(to_qstring(place.folder));
    }
    show_playlists();
    show_rows();
    table_.load(from);
    update_buttons();
}

void CDlgMM::save_controls(CSettings& into) const {
    table_.save(into);
}

void CDlgMM::settings_changed(const CSettings& settings) {
    tab_.configure(settings);
    show_rows(rows_view_->currentIndex().row());
    update_buttons();
}

void CDlgMM::reload_places() {
    if (window_ == nullptr) return;
    CSettings stored = window_->settings();
    table_.save(stored);
    load_controls(stored);
}

void CDlgMM::log_lines(const std::vector<std::u16string>& lines) {
    for (const std::u16string& line : lines) {
        std::u16string text = line;
        if (log_pane()->length() > 0) text.insert(0, u"\r\n");
        log_pane()->append(text);
    }
}

void CDlgMM::select_folder(int index) {
    std::vector<std::u16string> log;
    tab_.select_folder(index, log);
    log_lines(log);
    {
        const QSignalBlocker block(folders_);
        if (folders_->currentRow() != index) folders_->setCurrentRow(index);
    }
    show_playlists();
    show_rows();
    update_buttons();
}

void CDlgMM::show_playlists() {
    const QSignalBlocker block(playlists_->selectionModel());
    playlists_->clear();
    for (const std::u16string& name : tab_.playlists())
        new QListWidgetItem(to_qstring(name), playlists_);
    const int loaded = tab_.playlist_index(tab_.loaded());
    if (loaded >= 0) playlists_->setCurrentRow(loaded);
}

void CDlgMM::select_playlist(int index) {
    std::vector<std::u16string> log;
    const int result = tab_.load(index, log);
    log_lines(log);
    if (result == 0) {
        const QSignalBlocker block(playlists_->selectionModel());
        playlists_->setCurrentRow(index);
        show_rows();
    } else {
        // The tab stays as it was, and the list shows the playlist that is still loaded.
        const QSignalBlocker block(playlists_->selectionModel());
        const int loaded = tab_.playlist_index(tab_.loaded());
        if (loaded >= 0)
            playlists_->setCurrentRow(loaded);
        else
            playlists_->setCurrentItem(nullptr);
    }
    update_buttons();
}

void CDlgMM::show_rows(int current_row) {
    rows_model_->refresh();
    if (current_row >= 0 && current_row < rows_model_->rowCount()) select_rows(current_row, 1);
    filling_ = true;
    if (name_->text() != to_qstring(tab_.name())) name_->setText(to_qstring(tab_.name()));
    filling_ = false;
}

void CDlgMM::select_rows(int first, int count) {
    if (count <= 0 || first < 0) return;
    QItemSelectionModel* selection = rows_view_->selectionModel();
    const QModelIndex top = rows_model_->index(first, 0);
    const QModelIndex bottom =
        rows_model_->index(std::min(first + count, rows_model_->rowCount()) - 1, CPlaylistRowsModel::column_count - 1);
    selection->setCurrentIndex(top, QItemSelectionModel::NoUpdate);
    selection->select(QItemSelection(top, bottom), QItemSelectionModel::ClearAndSelect);
}

QList<int> CDlgMM::selected_rows() const {
    QList<int> rows;
    for (const QModelIndex& index : rows_view_->selectionModel()->selectedRows())
        rows.append(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

void CDlgMM::update_buttons() {
    const quippet::SaveButton button = tab_.save_button();
    save_->setText(to_qstring(button.caption));
    save_->setEnabled(button.enabled());
    const std::u16string memo = tab_.memo_caption();
    memo_->setText(to_qstring(memo));
    memo_->setEnabled(!tab_.loaded().empty());
    delete_->setEnabled(playlists_->currentRow() >= 0);
}

// ---- editing the rows -------------------------------------------------------------------------

void CDlgMM::drop_files(const QStringList& paths, int at) {
    std::vector<std::u16string> added;
    for (const QString& p : paths)
        added.push_back(to_u16(p));
    bool at_end = at < 0;
    if (window_ != nullptr) {
        const bool bottom = window_->settings().number(quippet::OptNumber::kDropInsertPosition) == 1;
        at_end = at_end || (bottom != window_->insert_reversed());
    }
    const int first = tab_.insert(at_end ? -1 : at, added);
    show_rows();
    select_rows(first, static_cast<int>(added.size()));
    update_buttons();
}

void CDlgMM::move_rows(const QList<int>& rows, int to) {
    const int first = tab_.move(std::vector<int>(rows.begin(), rows.end()), to);
    if (first < 0) return;
    const int count = static_cast<int>(rows_model_->rowCount() == 0 ? 0 : rows.size());
    show_rows();
    select_rows(first, count);
    update_buttons();
}

void CDlgMM::move_selected_up() {
    const QList<int> rows = selected_rows();
    if (rows.isEmpty() || rows.front() == 0) return;
    move_rows(rows, rows.front() - 1);
}

void CDlgMM::move_selected_down() {
    const QList<int> rows = selected_rows();
    if (rows.isEmpty() || rows.back() + 1 >= rows_model_->rowCount()) return;
    // Before the row that follows the one below the block: the block goes down by one.
    move_rows(rows, rows.back() + 2);
}

void CDlgMM::remove_selected() {
    const QList<int> rows = selected_rows();
    if (rows.isEmpty()) return;
    tab_.remove(std::vector<int>(rows.begin(), rows.end()));
    show_rows(std::min(rows.front(), rows_model_->rowCount() - 1));
    update_buttons();
}

bool CDlgMM::eventFilter(QObject* watched, QEvent* event) {
    if (watched != rows_view_->viewport()) return CTabPage::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* drag = static_cast<QDragMoveEvent*>(event);
        const QMimeData* carried = drag->mimeData();
        if (CPlaylistRowsModel::dragged_rows(carried).isEmpty() && dropped_local_files(carried).isEmpty()) return false;
        drag->acceptProposedAction();
        // The view draws the drop indicator.
        return false;
    }
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        const QPoint at = drop->position().toPoint();
        const QModelIndex under = rows_view_->indexAt(at);
        int row = -1;
        if (under.isValid()) {
            const QRect rect = rows_view_->visualRect(under);
            row = at.y() > rect.center().y() ? under.row() + 1 : under.row();
        }
        const QList<int> moved = CPlaylistRowsModel::dragged_rows(drop->mimeData());
        if (!moved.isEmpty() && drop->source() == rows_view_) {
            move_rows(moved, row);
        } else {
            const QStringList paths = dropped_local_files(drop->mimeData());
            if (paths.isEmpty()) return false;
            drop_files(paths, row);
        }
        // Taken as a copy, so that the view does not remove the dragged rows afterwards.
        drop->setDropAction(Qt::CopyAction);
        drop->accept();
        return true;
    }
    default:
        return CTabPage::eventFilter(watched, event);
    }
}

// ---- the buttons ------------------------------------------------------------------------------

void CDlgMM::save() {
    std::vector<std::u16string> log;
    const int result = tab_.save(log);
    log_lines(log);
    if (result == 0) {
        show_playlists();
        show_rows();
    }
    update_buttons();
}

void CDlgMM::delete_selected_playlist() {
    const int index = playlists_->currentRow();
    if (index < 0) return;
    std::vector<std::u16string> log;
    tab_.delete_playlist(index, log);
    log_lines(log);
    show_playlists();
    show_rows();
    update_buttons();
}

void CDlgMM::open_memo() {
    std::vector<std::u16string> log;
    const std::u16string path = tab_.ensure_memo(log);
    log_lines(log);
    update_buttons();
    if (path.empty()) return;
    const int code = quippet::ui::open_with_desktop(to_qstring(path));
    if (code <= 32)
        log_lines({path + std::u16string(quippet::message_text(quippet::msg::kCouldNotOpen)) +
                   std::u16string(quippet::open_error_text(code))});
}

void CDlgMM::play_row(int row) {
    if (window_ == nullptr || row < 0 || static_cast<size_t>(row) >= tab_.rows().size()) return;
    window_->play(to_qstring(tab_.rows()[static_cast<size_t>(row)].path), quippet::kPlayAutomatic, log_pane());
}

void CDlgMM::open_places_file() {
    if (window_ == nullptr) return;
    const quippet::SettingsTextFile* file =
        quippet::find_settings_text_file(quippet::lists_settings_text_files(), "playlist-places");
    if (file != nullptr) window_->open_text_file(*file);
}
