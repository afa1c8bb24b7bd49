#include "ui/livelog/LiveLogPage.h"

#include "app/IniFile.h"
#include "app/Settings.h"
#include "app/SettingsCatalogue.h"
#include "app/SettingsTextFiles.h"
#include "app/WorkThread.h"
#include "livelog/LiveLogAids.h"
#include "livelog/LiveLogFiles.h"
#include "livelog/LiveLogJob.h"
#include "livelog/LiveLogPlay.h"
#include "livelog/LiveLogSettingKeys.h"
#include "livelog/Warehouse.h"
#include "livelog/WcPreset.h"
#include "reconstruct/Presets.h"
#include "resources/MessageIds.h"
#include "resources/Messages.h"
#include "text/FileSP.h"
#include "text/OpenErrors.h"
#include "ui/DesktopOpen.h"
#include "ui/ListPane.h"
#include "ui/LogPane.h"
#include "ui/MainWindow.h"
#include "ui/TabLayout.h"
#include "ui/UiCall.h"
#include "ui/livelog/PresetList.h"
#include "warehouse/WarehouseJob.h"
#include "ui/reconstruct/ReconstructPage.h"

#include <QCheckBox>
#include <QClipboard>
#include <QGuiApplication>
#include <QComboBox>
#include <QGridLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>

using quippet::CSettings;
using quippet::key;
using quippet::WcNumber;
using quippet::WcSwitch;
using quippet::WcText;
using quippet::ui::to_qstring;
using quippet::ui::to_u16;

namespace {

using namespace quippet::ui::layout;

constexpr std::u16string_view kRowNames[] = {u"開始",     u"Aパート",  u"Bパート", u"予告", u"開始2",
                                             u"Aパート2", u"Bパート2", u"予告2",   u"終了"};

QString to_shown(std::u16string_view stored) {
    return to_qstring(stored).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

std::u16string to_stored(const QString& shown) {
    QString text = shown;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return to_u16(text.replace(QLatin1Char('\n'), QStringLiteral("\r\n")));
}

} // namespace

CDlgWC::CDlgWC(QWidget* parent) : CTabPage({}, parent), sections_(new QTabWidget(this)) {
    auto* controls = new QWidget(this);
    auto* layout = new QVBoxLayout(controls);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    sections_->addTab(build_time_page(), QStringLiteral("時間"));
    sections_->addTab(build_convert_page(), QStringLiteral("変換・出力"));
    sections_->addTab(build_source_page(), QStringLiteral("変換元テキスト"));
    sections_->addTab(build_search_page(), QStringLiteral("過去ログ倉庫を探す"));
    sections_->addTab(build_preset_page(), QStringLiteral("プリセット"));
    layout->addWidget(sections_, 1);

    Row buttons(controls);
    convert_ = new QPushButton(QStringLiteral("変換"), buttons.parent());
    stop_ = new QPushButton(QStringLiteral("中止"), buttons.parent());
    auto* source = new QPushButton(QStringLiteral("変換元テキストを開く"), buttons.parent());
    auto* ng = new QPushButton(QStringLiteral("NGワード"), buttons.parent());
    auto* table = new QPushButton(QStringLiteral("設定"), buttons.parent());
    auto* play_button = new QPushButton(QStringLiteral("再生"), buttons.parent());
    buttons.add(convert_).add(stop_).gap().add(source).add(ng).add(table).add(play_button);
    layout->addWidget(buttons.done());
    connect(convert_, &QPushButton::clicked, this, &CDlgWC::convert);
    connect(stop_, &QPushButton::clicked, this, &CDlgWC::stop_job);
    connect(source, &QPushButton::clicked, this, &CDlgWC::open_source);
    connect(ng, &QPushButton::clicked, this, &CDlgWC::open_ng_words);
    connect(table, &QPushButton::clicked, this, &CDlgWC::open_replace_table);
    connect(play_button, &QPushButton::clicked, this, &CDlgWC::play);
    set_controls(controls);
    // The conversion has no list of its own; its log takes the width.
    list_view()->hide();
    update_busy();
    update_save_caption();
}

QWidget* CDlgWC::build_time_page() {
    QWidget* col = column(sections_);
    CControlTable& t = table_;

    QGroupBox* origin = group(u"起点", col);
    Row o(origin);
    auto* mode = new QButtonGroup(origin);
    auto* forward = new QPushButton(QStringLiteral("+7日"), o.parent());
    auto* back = new QPushButton(QStringLiteral("-7日"), o.parent());
    auto* from_warehouse = new QPushButton(QStringLiteral("倉"), o.parent());
    o.add(t.spin(key(WcNumber::kYear), o.parent(), 44))
        .text(u"年")
        .add(t.spin(key(WcNumber::kMonth), o.parent(), 26))
        .text(u"月")
        .add(t.spin(key(WcNumber::kDay), o.parent(), 26))
        .text(u"日を起点")
        .gap()
        .add(radio(mode, t.button<QRadioButton>(key(WcSwitch::kAutoDate), QStringLiteral("自動"), o.parent())))
        .add(radio(mode, t.button<QRadioButton>(key(WcSwitch::kManualDate), QStringLiteral("手動"), o.parent())))
        .gap()
        .add(forward)
        .add(back)
        .add(from_warehouse);
    put(origin, o.done());
    add_to(col, origin);
    connect(forward, &QPushButton::clicked, this, &CDlgWC::shift_origin_forward);
    connect(back, &QPushButton::clicked, this, &CDlgWC::shift_origin_back);
    connect(from_warehouse, &QPushButton::clicked, this, &CDlgWC::origin_from_warehouse);

    QGroupBox* rows = group(u"タイミング（動画の時間 ＝ 板の時計）", col);
    auto* holder = new QWidget(rows);
    auto* grid = new QGridLayout(holder);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setHorizontalSpacing(3);
    grid->setVerticalSpacing(1);
    const char16_t* video_units[] = {u"時間", u"分", u"秒"};
    const char16_t* clock_units[] = {u"何時", u"何分", u"何秒"};
    for (int r = 0; r < 9; ++r) {
        int c = 0;
        if (r >= 1 && r <= 7)
            grid->addWidget(t.button<QCheckBox>(quippet::wc_row_enabled(r), T(kRowNames[r]), holder), r, c);
        else
            grid->addWidget(new QLabel(T(kRowNames[r]), holder), r, c);
        ++c;
        for (int f = 0; f < 3; ++f) {
            grid->addWidget(t.spin(quippet::wc_video_time(r, f), holder, 28), r, c++);
            grid->addWidget(new QLabel(T(video_units[f]), holder), r, c++);
        }
        if (r == 8) break;
        grid->addWidget(new QLabel(QStringLiteral("＝"), holder), r, c++);
        for (int f = 0; f < 3; ++f) {
            grid->addWidget(t.spin(quippet::wc_clock_time(r, f), holder, 28), r, c++);
            grid->addWidget(new QLabel(T(clock_units[f]), holder), r, c++);
        }
        if (r >= 1) grid->addWidget(t.spin(quippet::wc_aid(r), holder, 40), r, c++);
    }
    auto* to_aids = new QPushButton(QStringLiteral("→"), holder);
    auto* to_times = new QPushButton(QStringLiteral("←"), holder);
    to_aids->setToolTip(QStringLiteral("各行の時刻からCMの長さ（秒）を求める"));
    to_times->setToolTip(QStringLiteral("CMの長さ（秒）から各行の時刻を求める"));
    grid->addWidget(to_aids, 8, 15);
    grid->addWidget(to_times, 8, 16);
    grid->setColumnStretch(17, 1);
    put(rows, holder);
    add_to(col, rows);
    connect(to_aids, &QPushButton::clicked, this, &CDlgWC::aids_from_times);
    connect(to_times, &QPushButton::clicked, this, &CDlgWC::times_from_aids);
    return scrolling(col, sections_);
}

QWidget* CDlgWC::build_convert_page() {
    QWidget* col = column(sections_);
    CControlTable& t = table_;

    QGroupBox* conv = group(u"変換", col);
    Row a(conv);
    a.add(t.spin(key(WcNumber::kMaxLines), a.parent()))
        .text(u"行を超えるコメントは無視")
        .gap()
        .add(t.spin(key(WcNumber::kMaxChars), a.parent()))
        .text(u"文字を超えるコメントは無視");
    put(conv, a.done());
    Row b(conv);
    b.add(t.button<QCheckBox>(key(WcSwitch::kThin), QStringLiteral("コメント数を間引く"), b.parent()))
        .add(t.spin(key(WcNumber::kThinLimit), b.parent()))
        .text(u"まで")
        .gap()
        .add(t.button<QCheckBox>(key(WcSwitch::kReplace), QStringLiteral("コメントを置換する"), b.parent()));
    put(conv, b.done());
    Row c(conv);
    auto* rebuild = new QComboBox(c.parent());
    rebuild->setEditable(true);
    rebuild->setMinimumContentsLength(16);
    rebuild->setToolTip(QStringLiteral("XMLの再構成のプリセット"));
    t.bind(quippet::kWcPresetName, rebuild);
    c.add(t.button<QCheckBox>(key(WcSwitch::kReconstruct), QStringLiteral("再構成"), c.parent())).add(rebuild);
    put(conv, c.done());
    add_to(col, conv);

    QGroupBox* out = group(u"出力", col);
    Row d(out);
    QLineEdit* name = t.line(key(WcText::kOutputName), d.parent());
    name->setPlaceholderText(QStringLiteral("出力ファイル名（拡張子なし）"));
    name->setMinimumWidth(220);
    d.text(u"出力ファイル名")
        .add(name)
        .add(t.button<QCheckBox>(key(WcSwitch::kOverwrite), QStringLiteral("上書"), d.parent()));
    put(out, d.done());
    Row e(out);
    QLineEdit* folder = t.line(key(WcText::kPlaceFolder), e.parent());
    folder->setMinimumWidth(260);
    e.add(t.button<QCheckBox>(key(WcSwitch::kPlace), QStringLiteral("指定"), e.parent())).text(u"場所").add(folder);
    put(out, e.done());
    Row f(out);
    auto* nikojk = new QPushButton(QStringLiteral("NikoJK用の設定にする"), f.parent());
    f.add(t.button<QCheckBox>(key(WcSwitch::kSavePresetOnConvert), QStringLiteral("変換と同時に設定の保存も行う"),
                              f.parent()))
        .gap()
        .add(nikojk);
    put(out, f.done());
    add_to(col, out);
    connect(nikojk, &QPushButton::clicked, this, &CDlgWC::apply_nikojk);
    return scrolling(col, sections_);
}

QWidget* CDlgWC::build_source_page() {
    QWidget* col = column(sections_);
    QGroupBox* g = group(u"変換元テキスト（スレッドをここに貼り付けられます）", col);
    source_ = new QPlainTextEdit(g);
    source_->setLineWrapMode(QPlainTextEdit::NoWrap);
    source_->setMinimumHeight(120);
    put(g, source_);
    Row r(g);
    auto* save = new QPushButton(QStringLiteral("変換元テキストに保存"), r.parent());
    auto* reload = new QPushButton(QStringLiteral("読み直す"), r.parent());
    r.add(save).add(reload);
    put(g, r.done());
    add_to(col, g);
    connect(save, &QPushButton::clicked, this, &CDlgWC::save_source_text);
    connect(reload, &QPushButton::clicked, this, &CDlgWC::reload_source_text);
    return scrolling(col, sections_);
}

QWidget* CDlgWC::build_search_page() {
    QWidget* col = column(sections_);
    CControlTable& t = table_;
    QGroupBox* g = group(u"過去ログ倉庫を探す", col);
    Row a(g);
    boards_ = new QComboBox(a.parent());
    boards_->setMinimumContentsLength(10);
    t.bind(quippet::kWcBoard, boards_);
    auto* start = new QPushButton(QStringLiteral("起"), a.parent());
    auto* start7 = new QPushButton(QStringLiteral("起+7"), a.parent());
    a.text(u"板")
        .add(boards_)
        .gap()
        .add(t.spin(key(WcNumber::kSearchYear), a.parent(), 44))
        .text(u"年")
        .add(t.spin(key(WcNumber::kSearchMonth), a.parent(), 26))
        .text(u"月")
        .add(t.spin(key(WcNumber::kSearchDay), a.parent(), 26))
        .text(u"日")
        .add(t.spin(key(WcNumber::kSearchHour), a.parent(), 26))
        .text(u"時")
        .add(t.spin(key(WcNumber::kSearchMinute), a.parent(), 26))
        .text(u"分")
        .add(start)
        .add(start7);
    put(g, a.done());
    Row b(g);
    QLineEdit* words = t.line(key(WcText::kTitleWords), b.parent());
    words->setMinimumWidth(160);
    b.text(u"＋")
        .add(t.spin(key(WcNumber::kHoursBack), b.parent(), 34))
        .text(u"H")
        .add(t.spin(key(WcNumber::kHoursForward), b.parent(), 34))
        .gap()
        .add(t.spin(key(WcNumber::kMinPosts), b.parent(), 40))
        .text(u"レス以上")
        .gap()
        .add(words)
        .text(u"含む");
    put(g, b.done());
    Row c(g);
    auto* forms = new QComboBox(c.parent());
    forms->setMinimumContentsLength(10);
    t.bind(quippet::kWcBrowserForm, forms);
    auto* manual_field = new QLineEdit(c.parent());
    auto* send = new QPushButton(QStringLiteral("→"), c.parent());
    c.add(t.button<QCheckBox>(key(WcSwitch::kSendToBrowser), QStringLiteral("結果をブラウザに送る"), c.parent()))
        .add(forms)
        .gap()
        .add(t.button<QCheckBox>(key(WcSwitch::kManualAddress), QStringLiteral("手動"), c.parent()))
        .add(manual_field)
        .add(send);
    put(g, c.done());
    Row d(g);
    search_ = new QPushButton(QStringLiteral("過去ログ倉庫を探す"), d.parent());
    auto* clipboard = new QPushButton(QStringLiteral("クリップボード→\nブラウザ"), d.parent());
    forms_ = forms;
    manual_address_ = manual_field;
    d.add(search_).add(clipboard);
    put(g, d.done());
    add_to(col, g);
    connect(start, &QPushButton::clicked, this, [this] { warehouse_from_origin(0); });
    connect(start7, &QPushButton::clicked, this, [this] { warehouse_from_origin(7); });
    connect(search_, &QPushButton::clicked, this, &CDlgWC::search_warehouse);
    connect(clipboard, &QPushButton::clicked, this,
            [this] { send_copied_threads(QGuiApplication::clipboard()->text()); });
    connect(send, &QPushButton::clicked, this, [this] { send_manual_address(manual_address_->text()); });
    return scrolling(col, sections_);
}

QWidget* CDlgWC::build_preset_page() {
    QWidget* col = column(sections_);
    QGroupBox* g = group(u"プリセット", col);
    Row r(g);
    preset_name_ = new QLineEdit(r.parent());
    preset_name_->setMinimumWidth(200);
    save_ = new QPushButton(QStringLiteral("空白"), r.parent());
    save_->setMinimumWidth(save_->fontMetrics().horizontalAdvance(QStringLiteral("選択不一致")) + 20);
    auto* remove = new QPushButton(QStringLiteral("削除"), r.parent());
    r.text(u"名前").add(preset_name_).add(save_).add(remove);
    put(g, r.done());
    presets_ = new CListPreset(g);
    presets_->setMinimumHeight(80);
    put(g, presets_);
    add_to(col, g);
    connect(preset_name_, &QLineEdit::textChanged, this, [this] { update_save_caption(); });
    connect(presets_, &QListWidget::itemSelectionChanged, this, [this] { update_save_caption(); });
    connect(presets_, &QListWidget::itemDoubleClicked, this,
            [this](QListWidgetItem* item) { restore_preset(item->text()); });
    connect(save_, &QPushButton::clicked, this, &CDlgWC::save_preset);
    connect(remove, &QPushButton::clicked, this, &CDlgWC::delete_preset);
    return scrolling(col, sections_);
}

// ---- settings --------------------------------------------------------------------------------

void CDlgWC::attach(CDlgBase* window) {
    window_ = window;
    load_controls(window->settings());
}

void CDlgWC::fill_boards(const CSettings& settings) {
    const QSignalBlocker block(boards_);
    boards_->clear();
    for (const std::u16string& name : quippet::board_names(settings))
        boards_->addItem(to_qstring(name));
    const QSignalBlocker block_forms(forms_);
    forms_->clear();
    for (const quippet::WhBrowserEntry& entry : quippet::load_browser_table(settings))
        forms_->addItem(to_qstring(entry.name));
    // The reconstruction presets the "再構成" field offers.
    auto* rebuild = qobject_cast<QComboBox*>(table_.control_for(quippet::kWcPresetName));
    const QString kept = rebuild->currentText();
    const QSignalBlocker block_rebuild(rebuild);
    rebuild->clear();
    for (const std::u16string& name : quippet::list_reconstruct_presets(settings))
        rebuild->addItem(to_qstring(name));
    rebuild->setCurrentText(kept);
}

void CDlgWC::load_controls(const CSettings& from) {
    fill_boards(from);
    table_.load(from);
    refresh_presets();
    reload_source_text();
    const CSettings& style = window_ != nullptr ? window_->settings() : from;
    presets_->set_style(style.on(quippet::OptSwitch::kLivePresetGridLines),
                        style.number(quippet::OptNumber::kLivePresetRowHeight));
}

void CDlgWC::save_controls(CSettings& into) const {
    table_.save(into);
}

CSettings CDlgWC::snapshot() const {
    CSettings s = window_ != nullptr ? window_->settings() : CSettings();
    table_.save(s);
    return s;
}

QPushButton* CDlgWC::button(const QString& caption) const {
    for (QPushButton* b : findChildren<QPushButton*>())
        if (b->text() == caption) return b;
    return nullptr;
}

void CDlgWC::log_line(std::u16string_view text) {
    std::u16string line(text);
    if (log_pane()->length() > 0) line.insert(0, u"\r\n");
    log_pane()->append(line);
}

void CDlgWC::notify(const QString& text) {
    if (message_hook_) {
        message_hook_(text);
        return;
    }
    QMessageBox::information(this, QStringLiteral("実況ログ to XML"), text);
}

bool CDlgWC::ask(const QString& text) {
    if (question_hook_) return question_hook_(text);
    return QMessageBox::question(this, QStringLiteral("実況ログ to XML"), text, QMessageBox::Ok | QMessageBox::Cancel,
                                 QMessageBox::Ok) == QMessageBox::Ok;
}

// ---- the aids --------------------------------------------------------------------------------

void CDlgWC::run_aid(const std::function<std::u16string(CSettings&)>& fn) {
    CSettings s = snapshot();
    const std::u16string message = fn(s);
    if (!message.empty()) {
        notify(to_qstring(message));
        return;
    }
    table_.load(s);
}

void CDlgWC::shift_origin_forward() {
    run_aid([](CSettings& s) {
        quippet::shift_origin(s, 7);
        return std::u16string();
    });
}

void CDlgWC::shift_origin_back() {
    run_aid([](CSettings& s) {
        quippet::shift_origin(s, -7);
        return std::u16string();
    });
}

void CDlgWC::origin_from_warehouse() {
    run_aid([](CSettings& s) {
        quippet::origin_from_warehouse(s);
        return std::u16string();
    });
}

void CDlgWC::warehouse_from_origin(int extra_days) {
    run_aid([extra_days](CSettings& s) {
        quippet::warehouse_from_origin(s, extra_days);
        return std::u16string();
    });
}

void CDlgWC::aids_from_times() {
    run_aid([](CSettings& s) { return quippet::aids_from_times(s); });
}

void CDlgWC::times_from_aids() {
    run_aid([](CSettings& s) { return quippet::times_from_aids(s); });
}

void CDlgWC::apply_nikojk() {
    if (window_ == nullptr) return;
    const CSettings before = window_->settings();
    CSettings s = before;
    quippet::apply_nikojk_settings(s);
    window_->apply_settings(s);
    // These are detailed settings, which the window writes only from the settings window: written here,
    // or they would be gone at the next start.
    if (quippet::CFileINI* ini = window_->settings_file()) {
        quippet::CFileINI::Batch batch(*ini);
        for (const quippet::SettingDef& def : quippet::setting_catalogue())
            if (def.key.section == quippet::section::kOption && !def.is_text() &&
                s.number(def.key) != before.number(def.key))
                ini->write_number(def.key.section, quippet::setting_key_name(def.key), s.number(def.key));
    }
    log_line(quippet::message_text(quippet::msg::kNikoJkApplied));
}

// ---- files -----------------------------------------------------------------------------------

void CDlgWC::open_file(std::string_view name) {
    if (window_ == nullptr) return;
    if (const quippet::SettingsTextFile* file =
            quippet::find_settings_text_file(quippet::live_settings_text_files(), name))
        window_->open_text_file(*file);
}

void CDlgWC::open_source() {
    // What was pasted is what the editor should show.
    if (source_->document()->isModified()) save_source_text();
    open_file("live-source");
}

void CDlgWC::open_ng_words() {
    open_file("live-ng-words");
}

void CDlgWC::open_replace_table() {
    open_file("live-replace");
}

void CDlgWC::save_source_text() {
    const std::u16string path = quippet::live_source_path(snapshot());
    CFileSP file;
    if (file.write_wide_text(path, to_stored(source_->toPlainText()), CFileSP::kOverwrite) != 0) {
        log_line(path + u"：" + std::u16string(quippet::message_text(file.error())));
        return;
    }
    source_->document()->setModified(false);
}

void CDlgWC::reload_source_text() {
    std::u16string text;
    int error = 0;
    const QSignalBlocker block(source_);
    if (quippet::read_source_text(quippet::live_source_path(snapshot()), text, error) != 0) text.clear();
    source_->setPlainText(to_shown(text));
    source_->document()->setModified(false);
}

void CDlgWC::play() {
    const CSettings s = snapshot();
    const std::u16string video = quippet::live_video_to_play(s);
    if (video.empty()) {
        log_line(quippet::live_output_folder(s) + s.text(WcText::kOutputName) + u".*" +
                 std::u16string(quippet::message_text(quippet::msg::kNoVideoToPlay)));
        return;
    }
    if (window_ != nullptr) window_->play(to_qstring(video), quippet::kPlayAutomatic, log_pane());
}

// ---- the conversion --------------------------------------------------------------------------

void CDlgWC::convert() {
    if (window_ == nullptr || busy_) return;
    if (source_->document()->isModified()) save_source_text();
    CSettings s = snapshot();
    const auto question = [this](std::u16string_view text) { return ask(to_qstring(text)); };
    const auto failure = [this](std::u16string_view message) { log_line(message); };
    if (!quippet::prepare_live_conversion(s, to_u16(presets_->selected_name()), question, failure)) return;
    // The date found in the text shows in the fields, and the window keeps the fields as converted.
    table_.load(s);
    window_->store_page_settings(s, quippet::section::kLiveLog);
    refresh_presets();
    if (s.on(WcSwitch::kReconstruct) && !s.text(quippet::kWcPresetName).empty())
        window_->reconstruct_page()->restore_preset(to_qstring(s.text(quippet::kWcPresetName)));

    std::vector<std::u16string>& inputs = window_->frame().job_data().inputs();
    inputs = {quippet::live_source_path(s)};
    quippet::JobFunction job = [s](quippet::CWorkThread& worker) { quippet::run_livelog_job(worker, s); };
    busy_ = true;
    update_busy();
    if (window_->start_job(ending_with(std::move(job), [this] { job_done(); }), *this, quippet::JobKind::kLiveLog) !=
        0) {
        busy_ = false;
        update_busy();
        log_line(quippet::message_text(quippet::msg::kJobNotStarted));
    }
}

void CDlgWC::start_search_job(quippet::JobFunction job) {
    if (window_ == nullptr || busy_) return;
    window_->frame().job_data().inputs().clear();
    busy_ = true;
    update_busy();
    if (window_->start_job(ending_with(std::move(job), [this] { job_done(); }), *this,
                           quippet::JobKind::kWarehouseSearch) != 0) {
        busy_ = false;
        update_busy();
        log_line(quippet::message_text(quippet::msg::kJobNotStarted));
    }
}

void CDlgWC::search_warehouse() {
    const CSettings s = snapshot();
    start_search_job([s](quippet::CWorkThread& worker) { quippet::run_warehouse_job(worker, s); });
}

void CDlgWC::send_copied_threads(const QString& copied) {
    const CSettings s = snapshot();
    start_search_job([s, text = to_u16(copied)](quippet::CWorkThread& worker) {
        quippet::send_copied_threads(worker, s, text);
    });
}

void CDlgWC::send_manual_address(const QString& address) {
    const CSettings s = snapshot();
    start_search_job([s, text = to_u16(address.trimmed())](quippet::CWorkThread& worker) {
        quippet::send_manual_address(worker, s, text);
    });
}

void CDlgWC::stop_job() {
    if (window_ == nullptr || !busy_) return;
    window_->frame().stop_job_flag().store(1);
    window_->frame().stop_pass_flag().store(1);
}

void CDlgWC::job_done() {
    busy_ = false;
    update_busy();
}

void CDlgWC::update_busy() {
    convert_->setEnabled(!busy_);
    search_->setEnabled(!busy_);
    stop_->setEnabled(busy_);
}

// ---- presets ---------------------------------------------------------------------------------

void CDlgWC::refresh_presets() {
    presets_->refresh(quippet::live_preset_folder(snapshot()));
    update_save_caption();
}

void CDlgWC::update_save_caption() {
    const quippet::WcSaveCaption caption =
        quippet::wc_save_caption(to_u16(preset_name_->text()), to_u16(presets_->selected_name()), presets_->names());
    save_->setText(to_qstring(quippet::wc_save_caption_text(caption)));
    save_->setEnabled(quippet::wc_save_enabled(caption));
}

void CDlgWC::save_preset() {
    const CSettings s = snapshot();
    const std::u16string folder = quippet::live_preset_folder(s);
    const std::u16string name = to_u16(preset_name_->text());
    const std::vector<std::u16string> boards = quippet::board_names(s);
    const quippet::WcSaveCaption caption =
        quippet::wc_save_caption(name, to_u16(presets_->selected_name()), presets_->names());
    if (caption == quippet::WcSaveCaption::kOverwrite) {
        std::u16string error;
        if (quippet::WcPreset::write(s, folder, name, &error, boards) != 0) notify(to_qstring(error));
    } else if (caption == quippet::WcSaveCaption::kCreate || caption == quippet::WcSaveCaption::kEmpty) {
        std::u16string message;
        const quippet::WcCreateResult result = quippet::create_wc_preset(s, folder, name, &message, boards);
        if (result != quippet::WcCreateResult::kWritten && !message.empty()) notify(to_qstring(message));
    } else {
        return;
    }
    refresh_presets();
    presets_->select_name(preset_name_->text());
    update_save_caption();
}

void CDlgWC::restore_preset(const QString& name) {
    CSettings s = snapshot();
    std::u16string error;
    if (quippet::WcPreset::read(quippet::live_preset_folder(s), to_u16(name), s, &error, quippet::board_names(s)) !=
        0) {
        notify(to_qstring(error));
        return;
    }
    table_.load(s);
    preset_name_->setText(name);
    presets_->select_name(name);
    update_save_caption();
}

void CDlgWC::delete_preset() {
    const QString name = presets_->selected_name();
    if (name.isEmpty()) return;
    const CSettings s = snapshot();
    std::u16string error;
    if (quippet::delete_wc_preset(quippet::live_preset_folder(s), to_u16(name),
                                  s.on(quippet::OptSwitch::kLivePresetToBak), &error) != 0)
        notify(to_qstring(error));
    refresh_presets();
}
