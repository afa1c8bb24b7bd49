#pragma once

#include "lists/BookmarkActions.h"
#include "lists/BookmarkMenu.h"
#include "lists/BookmarkTree.h"

#include <QAbstractItemModel>
#include <QString>
#include <QTreeView>

#include <functional>
#include <memory>

namespace quippet {
class CSettings;
}

/// The tree as a model: one column, the labels; check boxes, in-place names and drags go through the
/// editor, so that every change is saved and logged as the tree's operations are.
class CBookmarkModel : public QAbstractItemModel {
    Q_OBJECT
public:
    explicit CBookmarkModel(quippet::CBookmarkEditor& editor, QObject* parent = nullptr);

    quippet::BookmarkNode* node(const QModelIndex& index) const;
    QModelIndex index_of(const quippet::BookmarkNode* node) const;
    /// After the tree changed behind the model's back (a load, an operation of the editor).
    void refresh();

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    Qt::DropActions supportedDropActions() const override;
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    bool dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                      const QModelIndex& parent) override;

private:
    quippet::CBookmarkEditor& editor_;
};

/// The download tab's bookmark tree. Double-clicking a bookmark asks the page to register its target with
/// its options; the right-click menu comes from the menu file; edits are saved at once.
class CTreeBookmark : public QTreeView {
    Q_OBJECT
public:
    /// `settings` outlives the tree (the main window's).
    explicit CTreeBookmark(const quippet::CSettings& settings, QWidget* parent = nullptr);
    ~CTreeBookmark() override;

    quippet::CBookmarkTree& tree() { return tree_; }
    quippet::CBookmarkEditor& editor() { return *editor_; }
    CBookmarkModel& bookmark_model() { return *model_; }
    const quippet::CSettings& settings() const { return settings_; }
    quippet::BookmarkNode* selected_node() const;
    void select_node(const quippet::BookmarkNode* node);
    const quippet::BmMenu& menu() const { return menu_; }
    /// The checked bookmarks, taken here on the window's thread, for the update-check job.
    std::vector<quippet::CBookmarkEditor::UpdateItem> update_items() const { return editor_->update_items(); }
    /// How the tree asks a question (tests answer it themselves). True for "OK" / "はい".
    void set_question(std::function<int(const QString& text)> ask) { ask_ = std::move(ask); }

public Q_SLOTS:
    /// Loads the tree file ("設定ファイルから再読込") and the menu file.
    void reload();
    /// Registers the selected bookmark's videos, as a double-click does.
    void register_selected();
    void new_folder();
    void rename_selected();
    /// Deletes the selected item; for a folder bookmark the user is asked whether its folder goes to the
    /// trash (`ask` false: `trash` decides).
    void delete_selected(bool ask = true, bool trash = false);
    void edit_selected();
    void add_anime();
    void run_command(quippet::BmCommand command);

Q_SIGNALS:
    /// A bookmark's target (ID, address, words, folder, list file or special selection), its option text
    /// and its save folder: the download page registers them (it may take the first two only).
    void register_requested(const QString& target, const QString& options, const QString& save_folder);
    /// "更新チェック": the page runs job kind 11 over update_items().
    void update_check_requested();
    /// A line for the tab's log.
    void log_line(const QString& text);

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void on_double_clicked(const QModelIndex& index);
    void restore_expansion();
    void log(std::u16string_view text);

    const quippet::CSettings& settings_;
    quippet::CBookmarkTree tree_;
    std::unique_ptr<quippet::CBookmarkEditor> editor_;
    CBookmarkModel* model_ = nullptr;
    quippet::BmMenu menu_;
    std::function<int(const QString& text)> ask_;
};
