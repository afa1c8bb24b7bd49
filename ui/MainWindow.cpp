#include "ui/MainWindow.h"

#include "app/HandOverFile.h"
#include "app/ShellRules.h"
#include "lists/ListsTextFiles.h"
#include "resources/MessageIds.h"
#include "resources/Messages.h"
#include "text/AppHome.h"
#include "text/FileSP.h"
#include "text/OpenErrors.h"
#include "ui/AppIcon.h"
#include "ui/ClipboardMonitor.h"
#include "ui/DesktopOpen.h"
#include "ui/ListPane.h"
#include "ui/LogPane.h"
#include "ui/UiCall.h"
#include "ui/download/DownloadPage.h"
#include "ui/livelog/LiveLogPage.h"
#include "ui/playlist/PlaylistPage.h"
#include "ui/reconstruct/ReconstructPage.h"
#include "ui/settings/SettingsDialog.h"

#include <QButtonGroup>
#include <QCloseEvent>
#include <QComboBox>
#include <QEventLoop>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QTabWidget>
#include <QToolButton>
#include <QWindowStateChangeEvent>

#include <array>
#include <thread>
#include <vector>

using quippet::BoxAnswer;
using quippet::BoxButtons;
using quippet::OptNumber;
using quippet::OptSwitch;
using quippet::SettingKey;
using quippet::WindowRect;
using quippet::ui::call_on_owner;
using quippet::ui::to_qstring;
using quippet::ui::to_u16;

namespace {

QMessageBox::StandardButtons buttons_for(BoxButtons buttons) {
    switch (buttons) {
    case BoxButtons::ok:
        return QMessageBox::Ok;
    case BoxButtons::ok_cancel:
        return QMessageBox::Ok | QMessageBox::Cancel;
    case BoxButtons::yes_no:
        return QMessageBox::Yes | QMessageBox::No;
    case BoxButtons::yes_no_cancel:
        return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    }
    return QMessageBox::Ok;
}

QMessageBox::StandardButton button_for(BoxAnswer answer) {
    switch (answer) {
    case BoxAnswer::ok:
        return QMessageBox::Ok;
    case BoxAnswer::cancel:
        return QMessageBox::Cancel;
    case BoxAnswer::yes:
        return QMessageBox::Yes;
    case BoxAnswer::no:
        return QMessageBox::No;
    }
    return QMessageBox::Ok;
}

BoxAnswer answer_for(QMessageBox::StandardButton button, BoxAnswer fallback) {
    switch (button) {
    case QMessageBox::Ok:
        return BoxAnswer::ok;
    case QMessageBox::Cancel:
        return BoxAnswer::cancel;
    case QMessageBox::Yes:
        return BoxAnswer::yes;
    case QMessageBox::No:
        return BoxAnswer::no;
    default:
        return fallback;
    }
}

QString program_title() {
    return to_qstring(quippet::program_name);
}

/// The main window's own switches: the clipboard monitor, the insert toggle, "←", and the pressed mode
/// button, which as the one of three buttons that is down is stored as its number (0–2).
constexpr SettingKey main_switch(int index) {
    return {quippet::section::kMain, u"CB", index};
}
constexpr SettingKey kClipboardSwitch = main_switch(0);
constexpr SettingKey kInsertSwitch = main_switch(1);
constexpr SettingKey kArrowSwitch = main_switch(2);
constexpr SettingKey kModeSwitch = main_switch(3);
constexpr int kMainSwitchCount = 4;

enum class MinimiseMode { normal = 0, tray = 1, hide = 2, hide_or_tray_while_busy = 3 };

WindowRect rect_of(const QRect& r) {
    return {r.x(), r.y(), r.width(), r.height()};
}

std::u16string decimal(qint64 value) {
    return to_u16(QString::number(value));
}

} // namespace

CDlgBase::CDlgBase(QWidget* parent) : QMainWindow(parent), tabs_(new QTabWidget(this)), tray_tip_(program_title()) {
    setWindowTitle(program_title());
    setWindowIcon(quippet::ui::app_icon());
    reconstruct_ = new CDlgDD(tabs_);
    live_log_ = new CDlgWC(tabs_);
    download_ = new CDlgES(tabs_);
    playlist_ = new CDlgMM(tabs_);
    tabs_->addTab(reconstruct_, QStringLiteral("XMLの再構成"));
    tabs_->addTab(live_log_, QStringLiteral("実況ログ to XML"));
    tabs_->addTab(download_, QStringLiteral("ダウンロード"));
    tabs_->addTab(playlist_, QStringLiteral("プレイリスト"));
    setCentralWidget(tabs_);
    reconstruct_->attach(this);
    live_log_->attach(this);
    download_->attach(this);
    playlist_->attach(this);
    build_main_row();
    setMinimumSize(initial_width, initial_height);
    resize(initial_width, initial_height);
    create_tray_icon();

    // Dragging a window sends a stream of moves; the file is written once the window rests.
    geometry_timer_.setSingleShot(true);
    geometry_timer_.setInterval(500);
    connect(&geometry_timer_, &QTimer::timeout, this, [this] { save_geometry_now(); });
    connect(tabs_, &QTabWidget::currentChanged, this, [this](int index) {
        if (started_up_ && ini_) apply_tab_size(index);
    });

    quippet::JobFrameOptions options;
    // A job's end is acknowledged on this thread, where its notice may touch the tray; the worker
    // does not wait for it, so a worker ending while this thread waits for workers cannot hang.
    options.post_end = [this](int kind, bool notify) {
        QMetaObject::invokeMethod(
            this,
            [this, kind, notify] {
                frame_->end_of_job(kind, notify);
                update_tray_icon();
            },
            Qt::QueuedConnection);
    };
    frame_ = std::make_unique<quippet::CJobFrame>(this, std::move(options));
    frame_->set_ready(true);
}

CDlgBase::~CDlgBase() {
    finish_jobs();
    if (ini_) shut_down();
}

void CDlgBase::build_main_row() {
    auto* row = new QWidget(tabs_);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(4, 0, 4, 0);
    layout->setSpacing(4);
    players_ = new QComboBox(row);
    players_->setToolTip(QStringLiteral("プレイヤー"));
    players_->setMinimumContentsLength(12);
    players_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    players_->setContextMenuPolicy(Qt::CustomContextMenu);
    arrow_button_ = new QToolButton(row);
    arrow_button_->setCheckable(true);
    arrow_button_->setText(QStringLiteral("←"));
    arrow_button_->setToolTip(QStringLiteral("左のプレイヤーで再生する"));
    mode_group_ = new QButtonGroup(row);
    mode_group_->setExclusive(true);
    for (int mode = 0; mode < quippet::PlayerTable::kModeCount; ++mode) {
        auto* button = new QToolButton(row);
        button->setCheckable(true);
        mode_group_->addButton(button, mode);
        mode_buttons_[static_cast<std::size_t>(mode)] = button;
    }
    mode_buttons_[0]->setChecked(true);
    clipboard_button_ = new QToolButton(row);
    clipboard_button_->setCheckable(true);
    clipboard_button_->setText(QStringLiteral("　"));
    clipboard_button_->setToolTip(QStringLiteral("クリップボード監視"));
    insert_button_ = new QToolButton(row);
    insert_button_->setCheckable(true);
    insert_button_->setToolTip(QStringLiteral("ドラッグ＆ドロップの挿入位置を逆にする"));
    auto* settings_button = new QPushButton(QStringLiteral("詳細設定"), row);
    layout->addWidget(players_);
    layout->addWidget(arrow_button_);
    for (QToolButton* button : mode_buttons_)
        layout->addWidget(button);
    layout->addSpacing(6);
    layout->addWidget(clipboard_button_);
    layout->addWidget(insert_button_);
    layout->addWidget(settings_button);
    tabs_->setCornerWidget(row, Qt::TopRightCorner);

    connect(clipboard_button_, &QToolButton::toggled, this, [this](bool on) { set_clipboard_monitor(on); });
    connect(insert_button_, &QToolButton::toggled, this, [this](bool on) { set_insert_reversed(on); });
    connect(settings_button, &QPushButton::clicked, this, [this] { open_settings(); });
    connect(arrow_button_, &QToolButton::toggled, this, [this](bool on) { set_arrow(on); });
    connect(mode_group_, &QButtonGroup::idClicked, this, [this](int mode) { select_mode(mode); });
    connect(players_, &QComboBox::customContextMenuRequested, this, [this](const QPoint& at) {
        QMenu menu(players_);
        menu.addAction(QStringLiteral("プレイヤー設定を再読込"), this, [this] { reload_player_table(); });
        menu.addAction(QStringLiteral("プレイヤー設定を開く"), this, [this] {
            const auto* file = quippet::find_settings_text_file(quippet::lists_settings_text_files(), "player-table");
            if (file != nullptr) open_text_file(*file);
        });
        menu.exec(players_->mapToGlobal(at));
    });
    update_insert_caption();
    show_player_table();
}

// ---- players ----------------------------------------------------------------------------------

QToolButton* CDlgBase::mode_button(int mode) const {
    return mode >= 0 && mode < quippet::PlayerTable::kModeCount ? mode_buttons_[static_cast<std::size_t>(mode)]
                                                                : nullptr;
}

void CDlgBase::show_player_table() {
    const QString selected = players_->currentText();
    const int selected_index = players_->currentIndex();
    {
        const QSignalBlocker block(players_);
        players_->clear();
        for (const quippet::Player& player : player_table_.players)
            players_->addItem(to_qstring(player.name), to_qstring(player.path));
        const int by_name = selected.isEmpty() ? -1 : players_->findText(selected, Qt::MatchExactly);
        if (by_name >= 0)
            players_->setCurrentIndex(by_name);
        else if (players_->count() > 0)
            players_->setCurrentIndex(std::clamp(selected_index, 0, players_->count() - 1));
    }
    for (int mode = 0; mode < quippet::PlayerTable::kModeCount; ++mode) {
        QToolButton* button = mode_buttons_[static_cast<std::size_t>(mode)];
        button->setText(to_qstring(player_table_.mode_caption(mode)));
        button->setEnabled(mode < static_cast<int>(player_table_.modes.size()));
    }
}

void CDlgBase::reload_player_table() {
    player_table_ = quippet::load_player_table(settings_);
    show_player_table();
}

void CDlgBase::set_arrow(bool pressed) {
    settings_.set_number(kArrowSwitch, pressed ? 1 : 0);
    const QSignalBlocker block(arrow_button_);
    arrow_button_->setChecked(pressed);
}

void CDlgBase::select_mode(int mode) {
    if (mode < 0 || mode >= quippet::PlayerTable::kModeCount) return;
    settings_.set_number(kModeSwitch, mode);
    const QSignalBlocker block(mode_group_);
    mode_buttons_[static_cast<std::size_t>(mode)]->setChecked(true);
}

quippet::PlayerSelection CDlgBase::player_selection() const {
    quippet::PlayerSelection selection;
    selection.use_selected = arrow_button_->isChecked();
    selection.selected_player = players_->currentIndex();
    selection.mode = std::max(0, mode_group_->checkedId());
    return selection;
}

int CDlgBase::play(const QString& video, int index, CLogPane* log) {
    quippet::CommandStarter starter = player_starter_;
    if (!starter) {
        // The desktop's default program is asked through the desktop itself, as every other file is opened.
        starter = [](const quippet::LaunchCommand& command) {
            if (command.argv.size() == 2 && command.argv.front() == quippet::kDesktopOpener)
                return quippet::ui::open_with_desktop(to_qstring(command.argv[1]));
            return quippet::start_detached(command);
        };
    }
    const quippet::PlayOutcome outcome =
        quippet::play_video(settings_, player_table_, to_u16(video), index, player_selection(), false, starter);
    CLogPane* pane = log != nullptr ? log : main_log();
    for (const std::u16string& line : outcome.log) {
        std::u16string text = line;
        if (pane->length() > 0) text.insert(0, u"\r\n");
        pane->append(text);
    }
    return outcome.code;
}

CTabPage* CDlgBase::page(int index) const {
    const std::array<CTabPage*, tab_count> pages{reconstruct_, live_log_, download_, playlist_};
    return index >= 0 && index < tab_count ? pages[static_cast<std::size_t>(index)] : nullptr;
}

int CDlgBase::current_tab() const {
    // The tab widget's indexes are the tab indexes: only the last tab is ever left out.
    return tabs_->currentIndex();
}

void CDlgBase::select_tab(int index) {
    if (index >= 0 && index < tabs_->count()) tabs_->setCurrentIndex(index);
}

CLogPane* CDlgBase::main_log() const {
    CTabPage* shown = page(current_tab());
    return (shown != nullptr ? shown : download_)->log_pane();
}

void CDlgBase::log_main(std::u16string_view text) {
    CLogPane* pane = main_log();
    std::u16string line(text);
    if (pane->length() > 0) line.insert(0, u"\r\n");
    pane->append(line);
}

int CDlgBase::start_job(quippet::JobFunction job, CTabPage& target_page, quippet::JobKind kind) {
    if (closing_ || !started_up_) return -1;
    const int result = frame_->start_job(std::move(job), target_page.job_target(), kind);
    if (result == 0) update_tray_icon();
    return result;
}

// ---- start-up -------------------------------------------------------------------------------

void CDlgBase::start_up(QElapsedTimer process_start) {
    start_clock_ = process_start.isValid() ? process_start : QElapsedTimer();
    if (!start_clock_.isValid()) start_clock_.start();
    started_up_ = false;
    frame_->set_ready(false);

    const std::u16string& home = quippet::app_home();
    std::u16string kept_as;
    const int broken = quippet::set_aside_broken_settings_file(home, &kept_as);
    ini_ = std::make_unique<quippet::CFileINI>(home);
    settings_ = quippet::CSettings();
    quippet::load_settings(*ini_, settings_);
    loaded_ = settings_;
    reconstruct_->load_controls(settings_);
    live_log_->load_controls(settings_);
    download_->load_controls(settings_);

    show_playlist_tab(settings_.on(OptSwitch::kShowPlaylistTab));
    restore_geometry();
    const int first = quippet::load_initial_tab(*ini_, settings_.number(OptNumber::kFirstTab),
                                                settings_.on(OptSwitch::kShowPlaylistTab));
    select_tab(first);
    {
        const QSignalBlocker block_clipboard(clipboard_button_);
        const QSignalBlocker block_insert(insert_button_);
        clipboard_button_->setChecked(settings_.on(kClipboardSwitch));
        insert_button_->setChecked(settings_.on(kInsertSwitch));
    }
    set_arrow(settings_.on(kArrowSwitch));
    select_mode(std::clamp(settings_.number(kModeSwitch), 0, quippet::PlayerTable::kModeCount - 1));
    update_insert_caption();
    if (broken == 1) log_main(std::u16string(quippet::message_text(quippet::msg::kSettingsFileKeptAside)) + kept_as);

    if (settings_.on(OptSwitch::kFastStartup) && first == tab_download) {
        // The window shows first; the rest comes as the window's own start-up message.
        QMetaObject::invokeMethod(
            this, [this] { receive_copy_data(1, {}); }, Qt::QueuedConnection);
    } else {
        deferred_start_up();
    }
    if (settings_.on(OptSwitch::kDebugMode)) log_main(u"前衛 （" + decimal(start_clock_.elapsed()) + u"ミリ秒）");
}

void CDlgBase::deferred_start_up() {
    if (started_up_ || !ini_) return;
    reload_player_table();
    if (players_->count() > 0)
        players_->setCurrentIndex(std::clamp(settings_.number(quippet::kMainPlayer), 0, players_->count() - 1));
    playlist_->load_controls(settings_);
    if (std::optional<std::u16string> reserved = quippet::take_reservation(quippet::app_home()))
        download_->take_hand_over(to_qstring(*reserved), true);

    started_up_ = true;
    frame_->set_ready(true);

    const int last_run = quippet::take_shutdown_marker(*ini_);
    if (settings_.on(OptSwitch::kWarnUncleanShutdown) && last_run != 0) {
        startup_warning_ = to_qstring(quippet::shutdown_warning(last_run));
        // Shown beside the window rather than before it: the window is usable at once, and a second
        // window of "-multi" (which always finds the marker of the first) does not stop on it.
        auto* box = new QMessageBox(QMessageBox::Warning, program_title(), startup_warning_, QMessageBox::Ok, this);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->open();
    }
    if (current_tab() != tab_download) apply_tab_size(current_tab());
    if (settings_.on(OptSwitch::kDebugMode)) log_main(u"後衛 （" + decimal(start_clock_.elapsed()) + u"ミリ秒）");
    set_clipboard_monitor(settings_.on(kClipboardSwitch));
}

void CDlgBase::restore_geometry() {
    QScreen* primary = QGuiApplication::primaryScreen();
    const QRect area = primary != nullptr ? primary->availableGeometry() : QRect(0, 0, 1920, 1080);
    const quippet::RestoredGeometry restored =
        quippet::load_geometry(*ini_, initial_width, initial_height, area.width(), area.height());
    WindowRect rect = restored.rect;
    if (restored.first_run) {
        rect.left += area.x();
        rect.top += area.y();
    }
    std::vector<WindowRect> screens;
    if (primary != nullptr) screens.push_back(rect_of(area));
    for (QScreen* screen : QGuiApplication::screens())
        if (screen != primary) screens.push_back(rect_of(screen->availableGeometry()));
    if (restored.apply) rect = quippet::place_on_screens(rect, screens);

    std::u16string debug;
    if (settings_.on(OptSwitch::kDebugMode)) {
        debug = u"読込 LeftPos:" + decimal(restored.rect.left) + u" TopPos:" + decimal(restored.rect.top) + u" Width:" +
                decimal(restored.rect.width) + u" Height:" + decimal(restored.rect.height) + u"\r\n" + u" Left:" +
                decimal(rect.left) + u" Top:" + decimal(rect.top) + u"\r\n";
    }
    if (restored.apply) {
        move(rect.left, rect.top);
        resize(std::max(rect.width, initial_width), std::max(rect.height, initial_height));
        debug += u"メルヘン。\r\n";
    }
    if (restored.first_run) debug += u"初回補正。\r\n";
    if (settings_.on(OptSwitch::kDebugMode)) {
        CFileSP file;
        file.write_wide_text(quippet::resolve_in_home(u"デバッグモード：起動時の位置とサイズ.txt"), debug,
                             CFileSP::kOverwrite);
    }
}

void CDlgBase::show_playlist_tab(bool shown) {
    const bool present = tabs_->indexOf(playlist_) >= 0;
    if (shown && !present) tabs_->addTab(playlist_, QStringLiteral("プレイリスト"));
    if (!shown && present) tabs_->removeTab(tabs_->indexOf(playlist_));
}

// ---- messages from elsewhere ------------------------------------------------------------------

void CDlgBase::receive_copy_data(int type, const QString& text) {
    switch (type) {
    case 0:
        if (!text.isEmpty()) download_->take_hand_over(text, false);
        break;
    case 1:
        deferred_start_up();
        break;
    case 3:
        if (clipboard_monitor_on()) download_->clipboard_changed();
        break;
    default:
        break;
    }
}

void CDlgBase::restore_window() {
    hidden_by_minimise_ = false;
    if (tray_state_ == TrayState::hidden_in_tray) tray_state_ = TrayState::icon_shown;
    update_tray_icon();
    showNormal();
    raise();
    activateWindow();
}

void CDlgBase::set_clipboard_monitor(bool on) {
    if (on && !clipboard_monitor_)
        clipboard_monitor_ = std::make_unique<CDlgClip>([this] { receive_copy_data(3, {}); });
    if (!on) clipboard_monitor_.reset();
    settings_.set_number(kClipboardSwitch, on ? 1 : 0);
    const QSignalBlocker block(clipboard_button_);
    clipboard_button_->setChecked(on);
    clipboard_button_->setText(on ? QStringLiteral("監") : QStringLiteral("　"));
}

bool CDlgBase::insert_reversed() const {
    return insert_button_->isChecked();
}

void CDlgBase::set_insert_reversed(bool reversed) {
    settings_.set_number(kInsertSwitch, reversed ? 1 : 0);
    const QSignalBlocker block(insert_button_);
    insert_button_->setChecked(reversed);
    update_insert_caption();
}

void CDlgBase::update_insert_caption() {
    if (!insert_button_->isChecked()) {
        insert_button_->setText(QString());
        return;
    }
    const bool at_drop = settings_.number(OptNumber::kDropInsertPosition) == 0;
    insert_button_->setText(at_drop ? QStringLiteral("下") : QStringLiteral("挿"));
}

void CDlgBase::open_settings(int first_page) {
    CDlgSetting dialog(settings_, ini_.get(), this);
    if (first_page >= 0) dialog.select_page(first_page);
    connect(&dialog, &CDlgSetting::applied, this,
            [this](const quippet::CSettings& confirmed) { apply_settings(confirmed); });
    connect(&dialog, &CDlgSetting::open_file_requested, this,
            [this](const quippet::SettingsTextFile* file) { open_text_file(*file); });
    dialog.exec();
}

void CDlgBase::store_page_settings(const quippet::CSettings& from, std::u16string_view section) {
    for (const quippet::SettingDef& def : quippet::setting_catalogue()) {
        if (def.key.section != section) continue;
        if (def.is_text())
            settings_.set_text(def.key, from.text(def.key));
        else
            settings_.set_number(def.key, from.number(def.key));
    }
}

void CDlgBase::apply_settings(const quippet::CSettings& confirmed) {
    // Only the detailed settings come from the dialog; the window's own state stays as it is now.
    for (const quippet::SettingDef& def : quippet::setting_catalogue()) {
        if (def.key.section != quippet::section::kOption) continue;
        if (def.is_text())
            settings_.set_text(def.key, confirmed.text(def.key));
        else
            settings_.set_number(def.key, confirmed.number(def.key));
    }
    show_playlist_tab(settings_.on(OptSwitch::kShowPlaylistTab));
    update_insert_caption();
    // The table's file may be another one now, and the playlists' names follow their settings.
    reload_player_table();
    playlist_->settings_changed(settings_);
    if (started_up_ && ini_) apply_tab_size(current_tab());
}

int CDlgBase::open_text_file(const quippet::SettingsTextFile& file) {
    std::u16string failure;
    const int made = file.ensure(settings_, [&failure](std::u16string_view message) { failure = message; });
    const std::u16string path = quippet::resolve_in_home(file.path(settings_));
    if (made < 0) {
        log_main(failure.empty() ? path + u"の新規作成に失敗しました" : failure);
        return quippet::kOpenFileMissing;
    }
    const int code = quippet::ui::open_with_desktop(to_qstring(path));
    if (code <= 32) {
        log_main(path + std::u16string(quippet::message_text(quippet::msg::kCouldNotOpen)) +
                 std::u16string(quippet::open_error_text(code)));
    }
    return code;
}

// ---- tray, minimising and sizes ---------------------------------------------------------------

void CDlgBase::create_tray_icon() {
    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        tray_state_ = TrayState::normal;
        return;
    }
    tray_ = new QSystemTrayIcon(windowIcon(), this);
    tray_->setToolTip(tray_tip_);
    connect(tray_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason != QSystemTrayIcon::Trigger && reason != QSystemTrayIcon::DoubleClick) return;
        restore_window();
    });
    tray_->show();
    tray_state_ = TrayState::icon_shown;
}

void CDlgBase::update_tray_icon() {
    const bool busy = frame_ && frame_->busy();
    // The end notice stays as the tip until the next job starts.
    if (busy)
        tray_tip_ =
            program_title() + QStringLiteral(" - ") + to_qstring(quippet::message_text(quippet::msg::kBusyWord));
    if (tray_ == nullptr) return;
    tray_->setToolTip(tray_tip_);
    const auto mode = static_cast<MinimiseMode>(settings_.number(OptNumber::kMinimizeMode));
    // Hidden without an icon, the window comes back through a second start; while a job runs the
    // fourth mode shows the icon so that the job's end can be seen.
    const bool icon_hidden =
        hidden_by_minimise_ && (mode == MinimiseMode::hide || (mode == MinimiseMode::hide_or_tray_while_busy && !busy));
    tray_->setVisible(!icon_hidden);
}

void CDlgBase::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange || !isMinimized()) return;
    const auto mode = static_cast<MinimiseMode>(settings_.number(OptNumber::kMinimizeMode));
    if (mode == MinimiseMode::normal) return;
    // Without a tray the icon could never bring the window back: minimise as usual.
    if (mode == MinimiseMode::tray && tray_ == nullptr) return;
    hidden_by_minimise_ = true;
    if (mode == MinimiseMode::tray || (mode == MinimiseMode::hide_or_tray_while_busy && frame_->busy() && tray_))
        tray_state_ = TrayState::hidden_in_tray;
    update_tray_icon();
    QMetaObject::invokeMethod(
        this, [this] { hide(); }, Qt::QueuedConnection);
}

void CDlgBase::moveEvent(QMoveEvent* event) {
    QMainWindow::moveEvent(event);
    if (started_up_ && ini_) geometry_timer_.start();
}

void CDlgBase::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    if (started_up_ && ini_) geometry_timer_.start();
}

void CDlgBase::save_geometry_now() {
    if (!ini_ || !started_up_ || isMinimized() || tray_state_ == TrayState::hidden_in_tray || hidden_by_minimise_)
        return;
    std::optional<quippet::ForcedSize> forced;
    if (normal_rect_)
        forced = quippet::ForcedSize{normal_rect_->width, normal_rect_->height, settings_.on(OptSwitch::kResizeToLeft)};
    quippet::save_geometry(*ini_, {x(), y(), width(), height()}, forced, initial_width, initial_height);
}

void CDlgBase::apply_tab_size(int index) {
    quippet::TabSizeRules rules;
    rules.grows_left = settings_.on(OptSwitch::kResizeToLeft);
    if (settings_.on(OptSwitch::kResizeForTabs) && index == tab_reconstruct) {
        rules.height = settings_.number(OptNumber::kReconstructTabHeight);
        rules.width = settings_.number(OptNumber::kReconstructTabWidth);
    } else if (settings_.on(OptSwitch::kResizeForTabs) && index == tab_live_log) {
        rules.height = settings_.number(OptNumber::kLiveTabHeight);
        rules.width = settings_.number(OptNumber::kLiveTabWidth);
    }
    if (!quippet::forces_size(rules)) {
        if (normal_rect_) {
            move(normal_rect_->left, normal_rect_->top);
            resize(normal_rect_->width, normal_rect_->height);
            normal_rect_.reset();
        }
        return;
    }
    if (!normal_rect_) normal_rect_ = WindowRect{x(), y(), width(), height()};
    QScreen* shown_on = screen() != nullptr ? screen() : QGuiApplication::primaryScreen();
    const QRect area = shown_on != nullptr ? shown_on->availableGeometry() : QRect(0, 0, 1920, 1080);
    const WindowRect forced =
        quippet::tab_window_rect(*normal_rect_, rules, initial_width, initial_height, rect_of(area));
    move(forced.left, forced.top);
    resize(forced.width, forced.height);
}

// ---- jobs' notices ----------------------------------------------------------------------------

void CDlgBase::job_ended(const quippet::JobEndNotice& notice) {
    call_on_owner(this, [this, &notice] { show_job_end(notice); });
}

void CDlgBase::show_job_end(const quippet::JobEndNotice& notice) {
    tray_tip_ = to_qstring(notice.tooltip);
    if (notice.balloon) balloon_text_ = to_qstring(notice.text);
    if (tray_ == nullptr || !tray_->isVisible()) return;
    tray_->setToolTip(tray_tip_);
    if (notice.balloon) tray_->showMessage(program_title(), balloon_text_);
}

BoxAnswer CDlgBase::message_box(const quippet::MessageBoxRequest& request) {
    return call_on_owner(this, request.default_answer, [this, &request] { return ask(request); });
}

BoxAnswer CDlgBase::ask(const quippet::MessageBoxRequest& request) {
    // Nobody is left to answer while the window goes away; the job takes the answer meant for that.
    if (closing_) return request.default_answer;
    QMessageBox box(this);
    box.setWindowTitle(request.caption.empty() ? program_title() : to_qstring(request.caption));
    box.setText(to_qstring(request.text));
    box.setStandardButtons(buttons_for(request.buttons));
    box.setDefaultButton(button_for(request.default_answer));
    box.exec();
    return answer_for(box.standardButton(box.clickedButton()), request.default_answer);
}

// ---- closing and shutdown ---------------------------------------------------------------------

void CDlgBase::closeEvent(QCloseEvent* event) {
    if (frame_->busy()) {
        // The window stays responsive meanwhile: the workers keep reporting and end through their
        // stopped paths, and the user closes again.
        const std::u16string block(quippet::message_text(quippet::msg::kCloseWhileBusy));
        download_->log_pane()->append(block + u"\r\n");
        if (main_log() != download_->log_pane()) main_log()->append(block);
        frame_->request_stop_all();
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
}

void CDlgBase::finish_jobs() {
    closing_ = true;
    frame_->set_ready(false);
    frame_->request_stop_all();
    // Workers still report into the panes and wait for this thread to carry out each call; joining
    // them here without serving those calls would wait forever. So the joining happens elsewhere
    // while this thread keeps serving, leaving out the user's input.
    QEventLoop loop;
    std::thread joiner([this, &loop] {
        frame_->wait_all();
        QMetaObject::invokeMethod(
            &loop, [&loop] { loop.quit(); }, Qt::QueuedConnection);
    });
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    joiner.join();
}

void CDlgBase::save_changed(std::u16string_view section) {
    // Only what changed in this run: a key the file never held keeps following its default.
    quippet::CFileINI::Batch batch(*ini_);
    for (const quippet::SettingDef& def : quippet::setting_catalogue()) {
        if (def.key.section != section) continue;
        const std::u16string name = quippet::setting_key_name(def.key);
        if (def.is_text()) {
            if (settings_.text(def.key) != loaded_.text(def.key))
                ini_->write_text(section, name, settings_.text(def.key));
        } else if (settings_.number(def.key) != loaded_.number(def.key)) {
            ini_->write_number(section, name, settings_.number(def.key));
        }
    }
}

bool CDlgBase::write_marker(int marker) {
    quippet::write_shutdown_marker(*ini_, marker);
    return !marker_hook_ || marker_hook_(marker);
}

void CDlgBase::shut_down() {
    geometry_timer_.stop();
    if (!write_marker(quippet::kMarkerShutdownBegun)) return;
    // The monitor stops, but its switch is saved as the user left it.
    const bool monitoring = clipboard_monitor_on();
    set_clipboard_monitor(false);
    settings_.set_number(kClipboardSwitch, monitoring ? 1 : 0);
    {
        quippet::CFileINI::Batch batch(*ini_);
        quippet::save_selected_tab(*ini_, current_tab());
        for (int index = 0; index < kMainSwitchCount; ++index) {
            const SettingKey key = main_switch(index);
            ini_->write_number(key.section, quippet::setting_key_name(key), settings_.number(key));
        }
        // While no player table fills the list, the stored choice is kept rather than reset.
        const int player = players_->count() > 0 ? players_->currentIndex() : settings_.number(quippet::kMainPlayer);
        ini_->write_number(quippet::kMainPlayer.section, quippet::setting_key_name(quippet::kMainPlayer),
                           std::max(0, player));
    }
    const bool in_tray = tray_state_ == TrayState::hidden_in_tray;
    if (tray_ != nullptr) tray_->hide();
    if (!in_tray && started_up_) {
        hidden_by_minimise_ = false;
        save_geometry_now();
    }

    // The pages save after the window, the live-log page between its own two markers and the
    // download page last.
    reconstruct_->save_controls(settings_);
    playlist_->save_controls(settings_);
    if (!write_marker(quippet::kMarkerLiveLogSaving)) return;
    live_log_->save_controls(settings_);
    save_changed(quippet::section::kLiveLog);
    if (!write_marker(quippet::kMarkerLiveLogSaved)) return;
    download_->save_controls(settings_);
    {
        quippet::CFileINI::Batch batch(*ini_);
        for (std::u16string_view section : {quippet::section::kReconstruct, quippet::section::kPlaylist,
                                            quippet::section::kAnime, quippet::section::kDownload})
            save_changed(section);
    }
    write_marker(quippet::kMarkerClean);
}
