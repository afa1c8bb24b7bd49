#pragma once

#include "app/JobKinds.h"
#include "download/ListMenu.h"
#include "download/RegisterOptions.h"
#include "lists/BookmarkActions.h"
#include "ui/ControlTable.h"
#include "ui/TabPage.h"

#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class CDlgBase;
class CDownloadListModel;
class QButtonGroup;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QTableView;
class QToolButton;
class QVBoxLayout;

namespace quippet {
class CSettings;
class CTabRegistration;
} // namespace quippet

/// The "ダウンロード" page: the download list, the input box and its registrations, the download, chain
/// and login jobs, the list files, the thumbnails and the list's menu. The rows are the model's; every job
/// works on them through the model's job list, every registration on a copy whose new rows join the list
/// as the job finds them.
class CDlgES : public CTabPage {
    Q_OBJECT
public:
    explicit CDlgES(QWidget* parent = nullptr);
    ~CDlgES() override;

    void attach(CDlgBase* window);
    const CControlTable& controls() const { return table_; }
    void load_controls(const quippet::CSettings& from);
    void save_controls(quippet::CSettings& into) const;
    /// The window's settings with the controls laid over them and the run's service root, as a job gets them.
    quippet::CSettings snapshot() const;
    quippet::JobTarget job_target() const override;

    CDownloadListModel* model() const { return model_; }
    QTableView* table_view() const { return view_; }
    QLineEdit* input_box() const { return input_; }
    QLabel* kind_label() const { return kind_label_; }
    QComboBox* list_name_box() const { return list_name_; }
    QPushButton* button(const QString& caption) const;
    QToolButton* size_button(quippet::ThumbSize size) const;
    /// Where the bookmark tree goes (empty until set_bookmark_tree).
    QWidget* bookmark_area() const { return bookmark_area_; }
    QWidget* bookmark_tree() const { return bookmark_tree_; }
    bool busy() const;
    /// The menu the list shows on a right click, built from the menu file.
    QMenu* list_menu();

    /// Texts handed over by later starts and reservations, in the order they came (CR LF kept).
    const QStringList& hand_overs() const { return hand_overs_; }
    /// Clipboard changes seen while the monitor was on.
    int clipboard_changes() const { return clipboard_changes_; }

    /// Replaces the message box for the page's notices (tests answer it); empty: a message box.
    void set_message_hook(std::function<void(const QString&)> hook) { message_hook_ = std::move(hook); }
    /// Replaces the clipboard text for the monitor's notifications (tests); empty: the system clipboard.
    void set_clipboard_source(std::function<QString()> source) { clipboard_source_ = std::move(source); }
    /// Replaces where "XMLの再構成タブへ送る" and dragged rows go (tests); empty: the window's reconstruction tab.
    void set_reconstruct_sink(std::function<void(const QStringList&)> sink) { reconstruct_sink_ = std::move(sink); }

public Q_SLOTS:
    /// Puts the bookmark tree into its place beside the list (the page takes ownership).
    void set_bookmark_tree(QWidget* tree);
    /// A bookmark's target and its options text ("s=", "p=", "a=", "t=", "w="): registered as if typed.
    void register_text(const QString& text, const QString& options);
    /// "更新チェック" over the bookmarks the tree hands over (job kind 11); new rows join the list.
    void check_bookmarks(std::vector<quippet::CBookmarkEditor::UpdateItem> items);
    /// The input box's text, as Enter or "登録" does.
    void register_input();
    /// The search words of the input box with the search method at `method`.
    void register_search(int method);
    void register_serial();
    void serial_plus();
    void serial_minus();
    void run_chain();
    void run_download();
    void stop_job();
    void run_login();
    void save_list();
    /// "この名前で保存したリストを読込": a saved list, a history selection or a saved state.
    void load_list();
    void open_list_memo();
    /// Registers dropped files and folders (list files, playlists, comment files).
    void register_paths(const QStringList& paths);
    void run_command(quippet::ListCommand command);
    void set_thumb_size(quippet::ThumbSize size);
    void refresh_thumbnails();
    void refresh_list_names();

    /// A later start's arguments, or the reservation the last start left: paths are registered like dropped
    /// files, the option blocks as a search, an address and text for the input box.
    void take_hand_over(const QString& text, bool from_reservation);
    /// The clipboard changed while the monitor was on: the IDs of its text are registered.
    void clipboard_changed();

Q_SIGNALS:
    /// A job of the page ended (tests wait for it).
    void job_finished(int kind);

private:
    QWidget* build_controls();
    void update_kind_label();
    void update_busy();
    void fill_search_methods();
    void fill_login_entries();
    void apply_layout(const quippet::CSettings& from);
    void keep_layout(quippet::CSettings& into) const;
    /// Runs `body` on a worker with a registration over a copy of the list; its new rows join the list.
    bool start_registration(quippet::JobKind kind, std::function<void(quippet::CTabRegistration&)> body,
                            std::optional<int> sort_after = {});
    bool start(quippet::JobKind kind, quippet::JobFunction job, bool holds_rows);
    void job_done(quippet::JobKind kind, bool held_rows);
    void log_line(const QString& text);
    void notify(const QString& text);
    std::vector<int> selected_rows() const;
    void play_selected(bool default_program);
    void copy_selected(int column, bool as_address);
    void send_to_reconstruct();
    void open_selected_folder();
    void show_list_menu(const QPoint& at);
    void load_thumbnails(quippet::JobKind kind, bool all);
    bool eventFilter(QObject* watched, QEvent* event) override;

    CDlgBase* window_ = nullptr;
    CControlTable table_;
    CDownloadListModel* model_;
    QTableView* view_;
    QWidget* bookmark_area_;
    QVBoxLayout* bookmark_layout_;
    QWidget* bookmark_tree_ = nullptr;
    QLineEdit* input_ = nullptr;
    QLabel* kind_label_ = nullptr;
    QComboBox* search_methods_ = nullptr;
    QComboBox* list_name_ = nullptr;
    QComboBox* login_entries_ = nullptr;
    QButtonGroup* sizes_ = nullptr;
    QMenu* menu_ = nullptr;
    int running_ = 0;
    int holding_ = 0;
    bool thumbs_loading_ = false;
    /// IDs whose image was looked for since the last full load (a row without an image is not looked up
    /// again with every batch of new rows).
    QSet<QString> thumb_tried_;
    QStringList hand_overs_;
    int clipboard_changes_ = 0;
    std::function<void(const QString&)> message_hook_;
    std::function<QString()> clipboard_source_;
    std::function<void(const QStringList&)> reconstruct_sink_;
};
