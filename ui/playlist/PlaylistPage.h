#pragma once

#include "lists/PlaylistTab.h"
#include "ui/ControlTable.h"
#include "ui/TabPage.h"

#include <QList>
#include <QStringList>

#include <string_view>
#include <vector>

class CDlgBase;
class CPlaylistRowsModel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTreeView;

namespace quippet {
class CSettings;
}

/// The "プレイリスト" page: the folders of the locations file, the playlists of the chosen folder, and the
/// rows of the loaded playlist, which files dropped from the file manager join, which are dragged into
/// another order and removed, and which a double click plays. The name field and the save button save,
/// overwrite or rename the playlist; the memo button opens its memo. What the buttons do lives in the
/// tab's state (lists/PlaylistTab.h); the page shows it and passes the user's actions on.
class CDlgMM : public CTabPage {
    Q_OBJECT
public:
    explicit CDlgMM(QWidget* parent = nullptr);
    ~CDlgMM() override;

    void attach(CDlgBase* window);

    const CControlTable& controls() const { return table_; }
    /// Reads the locations file and restores the three selections, loading the playlist they name.
    void load_controls(const quippet::CSettings& from);
    void save_controls(quippet::CSettings& into) const;

    /// The detailed settings changed: the display names follow them.
    void settings_changed(const quippet::CSettings& settings);

    const quippet::CPlaylistTab& state() const { return tab_; }
    QListWidget* folder_list() const { return folders_; }
    QListWidget* playlist_list() const { return playlists_; }
    QTreeView* rows_view() const { return rows_view_; }
    QLineEdit* name_field() const { return name_; }
    QPushButton* save_button() const { return save_; }
    QPushButton* delete_button() const { return delete_; }
    QPushButton* memo_button() const { return memo_; }

public Q_SLOTS:
    /// Reads the locations file again (created when missing), keeping the selections.
    void reload_places();
    void select_folder(int index);
    void select_playlist(int index);
    /// Files dropped on the rows: before row `at`, or at the end when the insert position says so (the
    /// settings and the main window's insert toggle) or `at` is negative.
    void drop_files(const QStringList& paths, int at = -1);
    /// Rows dragged inside the list to stand before row `to` (negative: the end).
    void move_rows(const QList<int>& rows, int to);
    void move_selected_up();
    void move_selected_down();
    void remove_selected();
    /// The state button: overwrite, save under the new name, or rename, as its caption says.
    void save();
    /// Sends the selected playlist to the trash.
    void delete_selected_playlist();
    /// Creates the loaded playlist's memo when missing and opens it in the text editor.
    void open_memo();
    /// Plays a row with the automatic choice of the player.
    void play_row(int row);
    /// Opens the locations file in the text editor.
    void open_places_file();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void show_playlists();
    void show_rows(int current_row = -1);
    void select_rows(int first, int count);
    void update_buttons();
    QList<int> selected_rows() const;
    void log_lines(const std::vector<std::u16string>& lines);

    CDlgBase* window_ = nullptr;
    CControlTable table_;
    quippet::CPlaylistTab tab_;
    QListWidget* folders_;
    QListWidget* playlists_;
    QTreeView* rows_view_;
    CPlaylistRowsModel* rows_model_;
    QLineEdit* name_;
    QPushButton* save_;
    QPushButton* delete_;
    QPushButton* memo_;
    /// The name field is being set by the page, not typed.
    bool filling_ = false;
};
