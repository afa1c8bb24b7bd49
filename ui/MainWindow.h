#pragma once

#include "app/IniFile.h"
#include "app/JobFrame.h"
#include "app/JobSinks.h"
#include "app/Settings.h"
#include "app/SettingsTextFiles.h"
#include "lists/PlayerChoice.h"
#include "lists/PlayerStart.h"
#include "lists/PlayerTable.h"
#include "ui/ClipboardBridge.h"

#include <QElapsedTimer>
#include <QMainWindow>
#include <QString>
#include <QTimer>

#include <array>
#include <functional>
#include <memory>
#include <optional>

class QCloseEvent;
class QButtonGroup;
class QComboBox;
class QSystemTrayIcon;
class QTabWidget;
class QToolButton;
class CDlgClip;
class CDlgSetting;
class CLogPane;
class CTabPage;
class CDlgDD;
class CDlgWC;
class CDlgES;
class CDlgMM;

/// The one window: four tab pages, the tray icon, and the job frame through which every long
/// operation runs on a worker thread.
///
/// A window built without start_up is bare: no settings file is read or written, and jobs may start
/// at once. start_up reads the settings of the app home, places the window and checks how the last
/// run ended; from then on the window saves its state while it is destroyed, leaving the shutdown
/// marker at each stage.
///
/// Workers report into the pages' log panes and list views while holding the frame's locks, and
/// each such call waits for this window's thread. Code on this thread therefore writes to the panes
/// directly and never through the frame's log or list access, which would wait for those locks; nor
/// does it wait for the workers through the frame (the destructor shows how to wait while serving).
class CDlgBase : public QMainWindow, public quippet::NoticeSink {
    Q_OBJECT
public:
    enum TabIndex { tab_reconstruct = 0, tab_live_log = 1, tab_download = 2, tab_playlist = 3, tab_count = 4 };
    enum class TrayState { not_set, icon_shown, hidden_in_tray, normal };
    /// The size the window is built with, which is also its minimum.
    static constexpr int initial_width = 760;
    static constexpr int initial_height = 520;

    explicit CDlgBase(QWidget* parent = nullptr);
    /// Stops the jobs still running and waits for them, serving their calls in the meantime; then,
    /// after a start_up, saves the window's state stage by stage.
    ~CDlgBase() override;

    /// Reads the settings of the app home and runs the start-up. `process_start` is when the program
    /// started (for the debug timing lines); invalid: now.
    void start_up(QElapsedTimer process_start = {});
    /// Jobs may start: the deferred part of the start-up has run (always true for a bare window).
    bool started_up() const { return started_up_; }

    QTabWidget* tabs() const { return tabs_; }
    /// The page of a tab index, shown or not (the playlist page exists even while its tab is hidden).
    CTabPage* page(int index) const;
    /// The page of the selected tab.
    int current_tab() const;
    void select_tab(int index);
    CDlgDD* reconstruct_page() const { return reconstruct_; }
    CDlgWC* live_log_page() const { return live_log_; }
    CDlgES* download_page() const { return download_; }
    CDlgMM* playlist_page() const { return playlist_; }
    /// The log that texts for the window as a whole go to: the selected tab's.
    CLogPane* main_log() const;

    quippet::CJobFrame& frame() { return *frame_; }
    /// Starts `job` of `kind` reporting to `target_page`. -1 when no job may start now.
    int start_job(quippet::JobFunction job, CTabPage& target_page, quippet::JobKind kind);
    bool job_running() const { return frame_->busy(); }

    const quippet::CSettings& settings() const { return settings_; }
    /// Takes the values of one tab's section from `from`: what the tab's controls show now.
    void store_page_settings(const quippet::CSettings& from, std::u16string_view section);
    /// Null for a bare window.
    quippet::CFileINI* settings_file() const { return ini_.get(); }
    /// Takes the settings confirmed in the detailed-settings window and applies what the window shows.
    void apply_settings(const quippet::CSettings& settings);

    /// The tip of the tray icon: the program name, while a job runs with the busy word, after a job's
    /// end its end notice. Kept even where there is no system tray.
    QString tray_tip() const { return tray_tip_; }
    /// Text of the last job-end balloon; empty while none was shown.
    QString balloon_text() const { return balloon_text_; }
    /// Null where the platform has no system tray.
    QSystemTrayIcon* tray_icon() const { return tray_; }
    TrayState tray_state() const { return tray_state_; }

    QComboBox* player_list() const { return players_; }
    /// "←": the player selected in the list plays, rather than the pressed mode's choice.
    QToolButton* arrow_button() const { return arrow_button_; }
    /// The three mode buttons, captioned by the player table's modes ("未設定" and disabled for a missing one).
    QToolButton* mode_button(int mode) const;
    const quippet::PlayerTable& player_table() const { return player_table_; }
    /// What the buttons and the list add to the automatic choice of a player.
    quippet::PlayerSelection player_selection() const;
    /// Plays a video with player `index` of the table, or kPlayAutomatic / kPlayDefaultProgram; the log
    /// lines go to `log` (null: the main log). The open-result code, above 32 when it started.
    int play(const QString& video, int index = quippet::kPlayAutomatic, CLogPane* log = nullptr);
    /// Replaces what starts the players (tests record the commands instead); empty: the real start.
    void set_player_starter(quippet::CommandStarter starter) { player_starter_ = std::move(starter); }
    QToolButton* clipboard_button() const { return clipboard_button_; }
    QToolButton* insert_button() const { return insert_button_; }
    bool clipboard_monitor_on() const { return clipboard_monitor_ != nullptr; }
    /// Whether dropped items go where the settings say ("下"/"挿" pressed: the other place).
    bool insert_reversed() const;

    /// The text of the warning about the last run's shutdown shown by start_up; empty when none.
    QString startup_warning() const { return startup_warning_; }
    /// Called after each shutdown marker is written; returning false ends the shutdown right there,
    /// as a crash at that point would.
    void set_marker_hook(std::function<bool(int marker)> hook) { marker_hook_ = std::move(hook); }

    /// Creates the file with its default text when it is missing and opens it with the desktop's
    /// default program; failures are logged in the main log. The shell result code.
    int open_text_file(const quippet::SettingsTextFile& file);

    void job_ended(const quippet::JobEndNotice& notice) override;
    quippet::BoxAnswer message_box(const quippet::MessageBoxRequest& request) override;

public Q_SLOTS:
    /// The window's messages from elsewhere, by type: 0 a hand-over text for the download tab, 1 the
    /// deferred start-up, 3 the clipboard changed.
    void receive_copy_data(int type, const QString& text);
    /// Brings the window back from the tray, hiding or minimising, and to the front.
    void restore_window();
    void set_clipboard_monitor(bool on);
    void set_insert_reversed(bool reversed);
    /// Reads the player table again: the player list keeps its selection by name, the mode buttons take
    /// the modes' titles.
    void reload_player_table();
    void set_arrow(bool pressed);
    void select_mode(int mode);
    /// Opens the detailed-settings window; `page` is shown first when it is valid.
    void open_settings(int page = -1);

protected:
    /// Refused while a job runs: the jobs are asked to stop and the user closes again once they have.
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void build_main_row();
    void show_player_table();
    void create_tray_icon();
    void update_tray_icon();
    void show_job_end(const quippet::JobEndNotice& notice);
    quippet::BoxAnswer ask(const quippet::MessageBoxRequest& request);
    void finish_jobs();
    void deferred_start_up();
    void restore_geometry();
    void apply_tab_size(int index);
    void show_playlist_tab(bool shown);
    void update_insert_caption();
    void save_geometry_now();
    void shut_down();
    void save_changed(std::u16string_view section);
    bool write_marker(int marker);
    void log_main(std::u16string_view text);

    QTabWidget* tabs_;
    CDlgDD* reconstruct_;
    CDlgWC* live_log_;
    CDlgES* download_;
    CDlgMM* playlist_;
    QComboBox* players_ = nullptr;
    QToolButton* arrow_button_ = nullptr;
    std::array<QToolButton*, quippet::PlayerTable::kModeCount> mode_buttons_{};
    QButtonGroup* mode_group_ = nullptr;
    quippet::PlayerTable player_table_;
    quippet::CommandStarter player_starter_;
    QToolButton* clipboard_button_ = nullptr;
    QToolButton* insert_button_ = nullptr;
    QSystemTrayIcon* tray_ = nullptr;
    TrayState tray_state_ = TrayState::not_set;
    QString tray_tip_;
    QString balloon_text_;
    QString startup_warning_;
    bool closing_ = false;
    bool started_up_ = true;
    bool hidden_by_minimise_ = false;
    QElapsedTimer start_clock_;
    quippet::CSettings settings_;
    /// The settings as the file held them at start-up.
    quippet::CSettings loaded_;
    std::unique_ptr<quippet::CFileINI> ini_;
    /// The window's own size while a tab forces another one.
    std::optional<quippet::WindowRect> normal_rect_;
    QTimer geometry_timer_;
    std::function<bool(int)> marker_hook_;
    std::unique_ptr<CDlgClip> clipboard_monitor_;
    CClipboardBridge clipboard_;
    // Last, so that it goes first: its workers may still report into everything above.
    std::unique_ptr<quippet::CJobFrame> frame_;
};
