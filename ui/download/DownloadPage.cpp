#include "ui/download/DownloadPage.h"

#include "app/Settings.h"
#include "app/WorkThread.h"
#include "download/DownloadHistory.h"
#include "download/DownloadJob.h"
#include "download/DownloadReport.h"
#include "download/DownloadTextFiles.h"
#include "download/DownloadTabKeys.h"
#include "download/IdRecognition.h"
#include "download/ListFile.h"
#include "download/ListSort.h"
#include "download/PageRegistration.h"
#include "download/TabRegistration.h"
#include "lists/BookmarkUpdate.h"
#include "ui/download/BookmarkTree.h"
#include "download/Thumbnail.h"
#include "lists/ListsTextFiles.h"
#include "lists/PlayHistory.h"
#include "lists/PlayerStart.h"
#include "net/CookieStore.h"
#include "net/Login.h"
#include "net/ServiceAddress.h"
#include "resources/MessageIds.h"
#include "resources/Messages.h"
#include "text/AppHome.h"
#include "text/Encoding.h"
#include "text/FileSP.h"
#include "ui/DesktopOpen.h"
#include "ui/ListPane.h"
#include "ui/LogPane.h"
#include "ui/MainWindow.h"
#include "ui/TabLayout.h"
#include "ui/UiCall.h"
#include "ui/download/DownloadListModel.h"
#include "ui/reconstruct/ReconstructPage.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QHeaderView>
#include <QImageReader>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPointer>
#include <QPushButton>
#include <QSpinBox>
#include <QSplitter>
#include <QTableView>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>
#include <filesystem>
#include <set>

using quippet::CSettings;
using quippet::DlNumber;
using quippet::DlSwitch;
using quippet::DlText;
using quippet::JobKind;
using quippet::key;
using quippet::ThumbSize;
using quippet::ui::to_qstring;
using quippet::ui::to_u16;
namespace dlcol = quippet::dlcol;

namespace {

using namespace quippet::ui::layout;

/// Default widths of the ten columns, without and with thumbnails.
constexpr int kPlainWidths[dlcol::kCount] = {40, 24, 260, 220, 160, 56, 110, 90, 64, 0};
constexpr int kThumbWidths[dlcol::kCount] = {40, 24, 220, 200, 120, 56, 110, 90, 64, 140};

constexpr const char16_t* kQualityItems[] = {u"（画質）",        u"旧サーバを使う", u"超（1080p）優先",
                                             u"高（720p）優先",  u"中（540p）優先", u"低（360p）優先",
                                             u"360p/600＆低音質"};

quippet::SettingKey layout_key(const char16_t* family, int column) {
    return {quippet::section::kDownload, family, column};
}

/// The registration's report over the worker: its log, its stop flags, and the rows the registration found
/// so far handed to the tab's list with every log line, so that a long walk fills the list page by page.
class TabRegisterReport : public quippet::RegisterReport {
public:
    TabRegisterReport(quippet::CWorkThread& worker, bool debug, std::function<void()> on_log)
        : worker_(worker), debug_(debug), on_log_(std::move(on_log)) {}
    void log(std::u16string_view text) override {
        on_log_();
        worker_.log(text);
    }
    void log_replace(std::u16string_view text) override { worker_.log(text, quippet::LogMode::replace_last_line); }
    void debug(std::u16string_view text) override {
        if (debug_) worker_.log(text);
    }
    bool stop_requested() const override { return worker_.stop_requested() || worker_.download_stop_requested(); }

private:
    quippet::CWorkThread& worker_;
    bool debug_;
    std::function<void()> on_log_;
};

/// Adds the rows of `scratch` from `from` on to the tab's list (from the worker: the model takes rows at the
/// end from any thread) and returns where the next batch starts.
int hand_rows(CDownloadListModel* model, const quippet::CListDownload& scratch, int from) {
    std::vector<quippet::DownloadRow> rows;
    for (int r = from; r < scratch.row_count(); ++r)
        rows.push_back(scratch.row(r));
    if (!rows.empty()) model->add_rows_from_job(std::move(rows));
    return scratch.row_count();
}

} // namespace

CDlgES::CDlgES(QWidget* parent)
    : CTabPage({}, parent), model_(new CDownloadListModel(this)), view_(new QTableView(this)),
      bookmark_area_(new QWidget(this)) {
    QWidget* controls = build_controls();
    set_controls(controls, 230, 400);

    // The list and the bookmark tree take the place of the page's plain list, the log stays below them.
    auto* body = qobject_cast<QSplitter*>(log_pane()->parentWidget());
    auto* lists = new QSplitter(Qt::Horizontal, this);
    bookmark_layout_ = new QVBoxLayout(bookmark_area_);
    bookmark_layout_->setContentsMargins(0, 0, 0, 0);
    bookmark_area_->setObjectName(QStringLiteral("bookmark_area"));
    bookmark_area_->setMinimumWidth(120);
    bookmark_area_->hide();
    lists->addWidget(bookmark_area_);
    lists->addWidget(view_);
    lists->setStretchFactor(0, 0);
    lists->setStretchFactor(1, 1);
    if (body != nullptr) {
        body->setOrientation(Qt::Vertical);
        QWidget* plain = body->replaceWidget(0, lists);
        if (plain != nullptr) {
            plain->setParent(this);
            plain->hide();
        }
        body->setStretchFactor(0, 4);
        body->setStretchFactor(1, 1);
    }

    view_->setModel(model_);
    view_->setObjectName(QStringLiteral("download_list"));
    view_->setSelectionBehavior(QAbstractItemView::SelectRows);
    view_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    view_->setSortingEnabled(true);
    view_->horizontalHeader()->setSectionsMovable(true);
    view_->horizontalHeader()->setSortIndicatorShown(true);
    view_->verticalHeader()->hide();
    // Fixed heights: the view never asks ten thousand rows for their size.
    view_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    view_->verticalHeader()->setDefaultSectionSize(view_->fontMetrics().height() + 6);
    view_->setWordWrap(false);
    view_->setDragEnabled(true);
    view_->setDragDropMode(QAbstractItemView::DragOnly);
    view_->setContextMenuPolicy(Qt::CustomContextMenu);
    view_->setEditTriggers(QAbstractItemView::EditKeyPressed);
    view_->viewport()->setAcceptDrops(true);
    view_->viewport()->installEventFilter(this);
    view_->installEventFilter(this);
    for (int c = 0; c < dlcol::kCount; ++c)
        view_->setColumnWidth(c, kPlainWidths[c]);
    view_->setColumnHidden(dlcol::kThumb, true);
    connect(view_, &QTableView::customContextMenuRequested, this, &CDlgES::show_list_menu);
    connect(model_, &CDownloadListModel::scroll_requested, this, [this](int row) {
        if (static_cast<QCheckBox*>(table_.control_for(key(DlSwitch::kFollowNewRows)))->isChecked() || holding_ > 0)
            view_->scrollTo(model_->index(row, dlcol::kSaveName));
    });
    connect(model_, &CDownloadListModel::structure_refused, this,
            [this] { log_line(to_qstring(quippet::message_text(quippet::msg::kDlListBusy))); });
    connect(model_, &QAbstractItemModel::rowsInserted, this, [this] {
        if (model_->thumb_size().height > 0 && !thumbs_loading_) load_thumbnails(JobKind::kThumbnails, false);
    });
    update_kind_label();
    update_busy();
}

CDlgES::~CDlgES() = default;

QWidget* CDlgES::build_controls() {
    auto* controls = new QWidget(this);
    auto* layout = new QVBoxLayout(controls);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setSpacing(2);
    CControlTable& t = table_;

    // The input box and what registers from it.
    Row r1(controls);
    input_ = t.line(key(DlText::kInput), r1.parent());
    input_->setMinimumWidth(320);
    input_->setPlaceholderText(QStringLiteral("ID・URL・フォルダ・ファイル・検索ワード"));
    kind_label_ = new QLabel(r1.parent());
    kind_label_->setObjectName(QStringLiteral("kind_label"));
    kind_label_->setMinimumWidth(90);
    auto* add = new QPushButton(QStringLiteral("登録"), r1.parent());
    search_methods_ = new QComboBox(r1.parent());
    t.bind(key(DlNumber::kSearchMethod), search_methods_);
    auto* search = new QToolButton(r1.parent());
    search->setText(QStringLiteral("検索"));
    search->setPopupMode(QToolButton::MenuButtonPopup);
    search->setMenu(new QMenu(search));
    r1.add(input_).add(kind_label_).add(add).add(search_methods_).add(search);
    r1.add(t.button<QCheckBox>(key(DlSwitch::kSearchStartPage), QStringLiteral("検索開始ページ"), r1.parent()))
        .add(t.spin(key(DlNumber::kStartPage), r1.parent(), 70))
        .add(t.button<QCheckBox>(key(DlSwitch::kPageLimit), QStringLiteral("辿るページの上限"), r1.parent()))
        .add(t.spin(key(DlNumber::kPageLimit), r1.parent(), 60));
    layout->addWidget(r1.done());
    connect(input_, &QLineEdit::returnPressed, this, &CDlgES::register_input);
    connect(input_, &QLineEdit::textChanged, this, [this] { update_kind_label(); });
    connect(add, &QPushButton::clicked, this, &CDlgES::register_input);
    connect(search, &QToolButton::clicked, this, [this] { register_search(search_methods_->currentIndex()); });
    connect(search->menu(), &QMenu::aboutToShow, this, [this, search] {
        QMenu* m = search->menu();
        m->clear();
        for (int i = 0; i < search_methods_->count(); ++i)
            m->addAction(search_methods_->itemText(i), this, [this, i] {
                search_methods_->setCurrentIndex(i);
                register_search(i);
            });
    });

    // Serial registration, the chain, and the rest of the registration's switches.
    Row r2(controls);
    auto* plus = new QPushButton(QStringLiteral("プラス"), r2.parent());
    auto* minus = new QPushButton(QStringLiteral("マイナス"), r2.parent());
    auto* serial = new QPushButton(QStringLiteral("連番登録"), r2.parent());
    auto* chain = new QPushButton(QStringLiteral("連鎖DL"), r2.parent());
    r2.text(u"sm")
        .add(t.spin(key(DlNumber::kSerialFirst), r2.parent(), 100))
        .text(u"～")
        .add(t.spin(key(DlNumber::kSerialLast), r2.parent(), 100))
        .add(minus)
        .add(t.spin(key(DlNumber::kSerialCount), r2.parent(), 70))
        .add(plus)
        .add(serial)
        .gap()
        .add(chain)
        .gap()
        .text(u"追加する文字列")
        .add(t.line(key(DlText::kAddition), r2.parent()));
    layout->addWidget(r2.done());
    connect(plus, &QPushButton::clicked, this, &CDlgES::serial_plus);
    connect(minus, &QPushButton::clicked, this, &CDlgES::serial_minus);
    connect(serial, &QPushButton::clicked, this, &CDlgES::register_serial);
    connect(chain, &QPushButton::clicked, this, &CDlgES::run_chain);

    // What a download fetches.
    QGroupBox* what = group(u"ダウンロードするもの", controls);
    Row r3(what);
    r3.add(t.button<QCheckBox>(key(DlSwitch::kVideo), QStringLiteral("動画ファイル"), r3.parent()))
        .add(t.button<QCheckBox>(key(DlSwitch::kThumbnail), QStringLiteral("サムネイル画像"), r3.parent()))
        .add(t.button<QCheckBox>(key(DlSwitch::kNicowari), QStringLiteral("ユーザーニコ割"), r3.parent()))
        .add(t.button<QCheckBox>(key(DlSwitch::kInfoFile), QStringLiteral("動画情報ファイル"), r3.parent()))
        .add(t.button<QCheckBox>(key(DlSwitch::kComments), QStringLiteral("コメントファイル"), r3.parent()))
        .add(t.button<QCheckBox>(key(DlSwitch::kOwnerComments), QStringLiteral("投稿者コメント"), r3.parent()))
        .gap()
        .add(t.choice(key(DlNumber::kCommentMode), r3.parent()))
        .add(t.button<QCheckBox>(key(DlSwitch::kPastLogs), QStringLiteral("過去ログも取得"), r3.parent()))
        .add(t.button<QCheckBox>(key(DlSwitch::kPastLogStart), QStringLiteral("起点"), r3.parent()))
        .add(t.button<QCheckBox>(key(DlSwitch::kPastLogLimit), QStringLiteral("上限"), r3.parent()))
        .add(t.button<QCheckBox>(key(DlSwitch::kPastMoment), QStringLiteral("昔"), r3.parent()));
    auto* moment = t.line(quippet::kDlPastMoment, r3.parent());
    moment->setMaximumWidth(110);
    moment->setToolTip(QStringLiteral("「昔」の日時（1970年からの秒数）"));
    r3.add(moment);
    auto* quality = new QComboBox(r3.parent());
    for (const char16_t* item : kQualityItems)
        quality->addItem(T(item));
    t.bind(key(quippet::OptNumber::kVideoQuality), quality);
    r3.text(u"画質").add(quality);
    put(what, r3.done());
    layout->addWidget(what);

    // Where, and the job buttons.
    Row r4(controls);
    auto* folder = t.line(key(DlText::kFolder), r4.parent());
    folder->setMinimumWidth(220);
    auto* download = new QPushButton(QStringLiteral("ダウンロード"), r4.parent());
    auto* stop = new QPushButton(QStringLiteral("中止"), r4.parent());
    auto* login = new QPushButton(QStringLiteral("ログイン"), r4.parent());
    login_entries_ = new QComboBox(r4.parent());
    login_entries_->setToolTip(QStringLiteral("ログインの設定"));
    t.bind(key(DlNumber::kLoginEntry), login_entries_);
    r4.text(u"保存場所")
        .add(folder)
        .add(t.button<QCheckBox>(key(DlSwitch::kRenameOnNameChange), QStringLiteral("改名に追従"), r4.parent()))
        .add(t.button<QCheckBox>(key(DlSwitch::kReconstructAfter), QStringLiteral("DL後に再構成"), r4.parent()))
        .add(t.line(key(DlText::kReconstructPreset), r4.parent()))
        .gap()
        .add(download)
        .add(stop)
        .add(login)
        .add(login_entries_);
    layout->addWidget(r4.done());
    connect(download, &QPushButton::clicked, this, &CDlgES::run_download);
    connect(stop, &QPushButton::clicked, this, &CDlgES::stop_job);
    connect(login, &QPushButton::clicked, this, &CDlgES::run_login);

    // List files, the thumbnails, the list's own switches and the update checks' skips.
    Row r5(controls);
    list_name_ = new QComboBox(r5.parent());
    list_name_->setEditable(true);
    list_name_->setMinimumWidth(200);
    list_name_->setInsertPolicy(QComboBox::NoInsert);
    t.bind(key(DlText::kListName), list_name_);
    auto* save = new QPushButton(QStringLiteral("この名前でリストを保存"), r5.parent());
    auto* load = new QPushButton(QStringLiteral("この名前で保存したリストを読込"), r5.parent());
    auto* memo = new QPushButton(QStringLiteral("メモ"), r5.parent());
    r5.add(list_name_).add(t.choice(key(DlNumber::kSaveForm), r5.parent())).add(save).add(load).add(memo).gap();
    sizes_ = new QButtonGroup(r5.parent());
    sizes_->setExclusive(true);
    const std::pair<const char16_t*, ThumbSize> size_buttons[] = {{u"特", ThumbSize::kHuge},
                                                                  {u"大", ThumbSize::kLarge},
                                                                  {u"中", ThumbSize::kMedium},
                                                                  {u"小", ThumbSize::kSmall},
                                                                  {u"無", ThumbSize::kNone}};
    for (const auto& [caption, size] : size_buttons) {
        auto* b = new QToolButton(r5.parent());
        b->setText(T(caption));
        b->setCheckable(true);
        sizes_->addButton(b, static_cast<int>(size));
        r5.add(b);
    }
    // The size buttons stand for two keys: whether thumbnails are shown, and how large.
    auto* shown = t.button<QCheckBox>(key(DlSwitch::kShowThumbnails), QStringLiteral("サムネイルを表示"), r5.parent());
    auto* size = t.spin(key(DlNumber::kThumbSize), r5.parent());
    shown->hide();
    size->hide();
    auto* ratio = t.button<QCheckBox>(key(DlSwitch::kThumbFourThree), QStringLiteral("4:3"), r5.parent());
    r5.add(shown).add(size).add(ratio).gap();
    r5.add(t.button<QCheckBox>(key(DlSwitch::kFollowNewRows), QStringLiteral("追加した行を表示"), r5.parent()))
        .add(t.button<QCheckBox>(key(DlSwitch::kUncheckDone), QStringLiteral("DL成功した行のチェックを外す"),
                                 r5.parent()));
    layout->addWidget(r5.done());
    connect(save, &QPushButton::clicked, this, &CDlgES::save_list);
    connect(load, &QPushButton::clicked, this, &CDlgES::load_list);
    connect(memo, &QPushButton::clicked, this, &CDlgES::open_list_memo);
    connect(sizes_, &QButtonGroup::idClicked, this, [this](int id) { set_thumb_size(static_cast<ThumbSize>(id)); });
    connect(ratio, &QCheckBox::toggled, this, [this] {
        if (model_->thumb_size().height > 0)
            set_thumb_size(static_cast<ThumbSize>(sizes_->checkedId() < 0 ? 0 : sizes_->checkedId()));
    });

    Row r6(controls);
    r6.text(u"更新チェック：")
        .add(t.button<QCheckBox>(key(DlSwitch::kUpdateSkipThumb), QStringLiteral("サムネ既存はスルー"), r6.parent()))
        .add(
            t.button<QCheckBox>(key(DlSwitch::kUpdateSkipOld), QStringLiteral("投稿日が古いものはスルー"), r6.parent()))
        .add(t.spin(key(DlNumber::kUpdateOldDays), r6.parent(), 60))
        .text(u"日")
        .add(t.button<QCheckBox>(key(DlSwitch::kUpdateSound), QStringLiteral("結果を音で知らせる"), r6.parent()));
    layout->addWidget(r6.done());
    return controls;
}

// ---- settings --------------------------------------------------------------------------------

void CDlgES::attach(CDlgBase* window) {
    window_ = window;
    auto* tree = new CTreeBookmark(window->settings(), this);
    connect(tree, &CTreeBookmark::register_requested, this,
            [this](const QString& target, const QString& options, const QString&) { register_text(target, options); });
    connect(tree, &CTreeBookmark::log_line, this, &CDlgES::log_line);
    connect(tree, &CTreeBookmark::update_check_requested, this,
            [this, tree] { check_bookmarks(tree->update_items()); });
    set_bookmark_tree(tree);
    fill_search_methods();
    fill_login_entries();
    refresh_list_names();
}

void CDlgES::fill_search_methods() {
    const int kept = search_methods_->currentIndex();
    search_methods_->clear();
    for (const auto& m : quippet::load_search_methods(snapshot()))
        search_methods_->addItem(to_qstring(m.label));
    search_methods_->setCurrentIndex(kept >= 0 && kept < search_methods_->count() ? kept : 0);
}

void CDlgES::fill_login_entries() {
    const int kept = login_entries_->currentIndex();
    login_entries_->clear();
    for (const auto& e : quippet::load_cookie_sharing(snapshot()))
        login_entries_->addItem(to_qstring(e.label));
    login_entries_->setCurrentIndex(kept >= 0 && kept < login_entries_->count() ? kept : 0);
}

void CDlgES::refresh_list_names() {
    const QString current = list_name_->currentText();
    const QSignalBlocker block(list_name_);
    list_name_->clear();
    const CSettings s = snapshot();
    for (const auto& name : quippet::saved_list_names(s))
        list_name_->addItem(to_qstring(name));
    for (int i = 0; i < quippet::kHistorySelectionCount; ++i)
        list_name_->addItem(to_qstring(quippet::history_selection_name(static_cast<quippet::HistorySelection>(i))));
    list_name_->addItem(to_qstring(quippet::kListBeforeFilter));
    list_name_->addItem(to_qstring(quippet::kListAtDownloadStart));
    list_name_->setCurrentText(current);
}

void CDlgES::load_controls(const CSettings& from) {
    table_.load(from);
    // The stored index of a drop-down whose items come from a file is kept until the items are there.
    if (window_ != nullptr) {
        fill_search_methods();
        fill_login_entries();
    }
    search_methods_->setCurrentIndex(
        std::clamp(from.number(DlNumber::kSearchMethod), 0, std::max(0, search_methods_->count() - 1)));
    if (login_entries_->count() > 0)
        login_entries_->setCurrentIndex(std::clamp(from.number(DlNumber::kLoginEntry), 0, login_entries_->count() - 1));
    const bool shown = from.on(DlSwitch::kShowThumbnails);
    const int size = std::clamp(from.number(DlNumber::kThumbSize), 1, 4);
    set_thumb_size(shown ? static_cast<ThumbSize>(size) : ThumbSize::kNone);
    apply_layout(from);
    refresh_list_names();
    list_name_->setCurrentText(to_qstring(from.text(DlText::kListName)));
    // The tree file's place is a setting: read it again with the settings just loaded.
    if (auto* tree = qobject_cast<CTreeBookmark*>(bookmark_tree_)) tree->reload();
}

void CDlgES::save_controls(CSettings& into) const {
    table_.save(into);
    keep_layout(into);
}

CSettings CDlgES::snapshot() const {
    CSettings s = window_ != nullptr ? window_->settings() : CSettings();
    table_.save(s);
    quippet::apply_service_root(s, quippet::service_root());
    return s;
}

quippet::JobTarget CDlgES::job_target() const {
    return quippet::JobTarget{log_pane(), model_->job_list()};
}

void CDlgES::apply_layout(const CSettings& from) {
    // "RO": the place of each column (0 everywhere: the natural order); "RU" and "RW": the widths without
    // and with thumbnails (0: the default).
    QHeaderView* header = view_->horizontalHeader();
    std::vector<int> places(dlcol::kCount);
    bool any = false;
    for (int c = 0; c < dlcol::kCount; ++c) {
        places[static_cast<size_t>(c)] = from.number(layout_key(u"RO", c));
        any = any || places[static_cast<size_t>(c)] != 0;
    }
    std::vector<int> sorted = places;
    std::sort(sorted.begin(), sorted.end());
    const bool permutation = any && std::adjacent_find(sorted.begin(), sorted.end()) == sorted.end() &&
                             sorted.front() == 0 && sorted.back() == dlcol::kCount - 1;
    if (permutation) {
        for (int place = 0; place < dlcol::kCount; ++place)
            for (int c = 0; c < dlcol::kCount; ++c)
                if (places[static_cast<size_t>(c)] == place) header->moveSection(header->visualIndex(c), place);
    }
    const bool thumbs = model_->thumb_size().height > 0;
    for (int c = 0; c < dlcol::kCount; ++c) {
        const int stored = from.number(layout_key(thumbs ? u"RW" : u"RU", c));
        const int width = stored > 0 ? stored : (thumbs ? kThumbWidths[c] : kPlainWidths[c]);
        if (width > 0) view_->setColumnWidth(c, width);
    }
    if (thumbs)
        view_->setColumnWidth(dlcol::kThumb,
                              std::max(view_->columnWidth(dlcol::kThumb), model_->thumb_size().width + 8));
}

void CDlgES::keep_layout(CSettings& into) const {
    const QHeaderView* header = view_->horizontalHeader();
    bool moved = false;
    for (int c = 0; c < dlcol::kCount; ++c)
        moved = moved || header->visualIndex(c) != c;
    const bool thumbs = model_->thumb_size().height > 0;
    for (int c = 0; c < dlcol::kCount; ++c) {
        into.set_number(layout_key(u"RO", c), moved ? header->visualIndex(c) : 0);
        const int width = view_->columnWidth(c);
        const int natural = thumbs ? kThumbWidths[c] : kPlainWidths[c];
        if (!view_->isColumnHidden(c))
            into.set_number(layout_key(thumbs ? u"RW" : u"RU", c), width == natural ? 0 : width);
    }
}

// ---- small helpers ---------------------------------------------------------------------------

QPushButton* CDlgES::button(const QString& caption) const {
    for (QPushButton* b : findChildren<QPushButton*>())
        if (b->text() == caption) return b;
    return nullptr;
}

QToolButton* CDlgES::size_button(ThumbSize size) const {
    return static_cast<QToolButton*>(sizes_->button(static_cast<int>(size)));
}

bool CDlgES::busy() const {
    return running_ > 0;
}

void CDlgES::set_bookmark_tree(QWidget* tree) {
    if (bookmark_tree_ != nullptr) bookmark_tree_->deleteLater();
    bookmark_tree_ = tree;
    if (tree != nullptr) {
        tree->setParent(bookmark_area_);
        bookmark_layout_->addWidget(tree);
        tree->show();
    }
    bookmark_area_->setVisible(tree != nullptr);
}

void CDlgES::log_line(const QString& text) {
    std::u16string line = to_u16(text);
    if (log_pane()->length() > 0) line.insert(0, u"\r\n");
    log_pane()->append(line);
}

void CDlgES::notify(const QString& text) {
    if (message_hook_) {
        message_hook_(text);
        return;
    }
    QMessageBox::information(this, QStringLiteral("ダウンロード"), text);
}

void CDlgES::update_kind_label() {
    const quippet::InputClass kind =
        quippet::classify_input(to_u16(input_->text()), quippet::id_settings_from(snapshot()));
    kind_label_->setText(to_qstring(kind.label));
}

void CDlgES::update_busy() {
    const bool holding = holding_ > 0;
    for (const char16_t* caption : {u"ダウンロード", u"連鎖DL"})
        if (QPushButton* b = button(T(caption))) b->setEnabled(!holding);
    if (QPushButton* b = button(QStringLiteral("中止"))) b->setEnabled(running_ > 0);
    model_->set_structure_locked(holding);
}

std::vector<int> CDlgES::selected_rows() const {
    std::vector<int> rows;
    for (const QModelIndex& i : view_->selectionModel()->selectedRows())
        rows.push_back(i.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

// ---- jobs ------------------------------------------------------------------------------------

bool CDlgES::start(JobKind kind, quippet::JobFunction job, bool holds_rows) {
    if (window_ == nullptr) return false;
    window_->store_page_settings(snapshot(), quippet::section::kDownload);
    ++running_;
    if (holds_rows) ++holding_;
    update_busy();
    if (window_->start_job(ending_with(std::move(job), [this, kind, holds_rows] { job_done(kind, holds_rows); }), *this,
                           kind) != 0) {
        --running_;
        if (holds_rows) --holding_;
        update_busy();
        log_line(to_qstring(quippet::message_text(quippet::msg::kJobNotStarted)));
        return false;
    }
    return true;
}

void CDlgES::job_done(JobKind kind, bool held_rows) {
    --running_;
    if (held_rows) --holding_;
    model_->flush();
    update_busy();
    if (kind == JobKind::kThumbnails || kind == JobKind::kListRefresh) thumbs_loading_ = false;
    // A download may have saved the images the list had none of.
    if ((kind == JobKind::kDownload || kind == JobKind::kChainDownload) && model_->thumb_size().height > 0) {
        thumb_tried_.clear();
        if (!thumbs_loading_) load_thumbnails(JobKind::kThumbnails, false);
    }
    Q_EMIT job_finished(static_cast<int>(kind));
}

bool CDlgES::start_registration(JobKind kind, std::function<void(quippet::CTabRegistration&)> body,
                                std::optional<int> sort_after) {
    const CSettings settings = snapshot();
    // The job registers into a copy, so that the rows already listed are passed over without a lock per
    // look-up; what it adds joins the list in batches.
    auto scratch = std::make_shared<quippet::CListDownload>(model_->copy());
    const int base = scratch->row_count();
    QPointer<CDownloadListModel> model(model_);
    const std::u16string played_file = quippet::play_history_path(settings);
    quippet::JobFunction job = [settings, scratch, base, model, body, played_file](quippet::CWorkThread& worker) {
        worker.job_begin();
        int handed = base;
        CDownloadListModel* m = model.data();
        TabRegisterReport report(worker, settings.on(quippet::OptSwitch::kDebugMode),
                                 [&] { handed = hand_rows(m, *scratch, handed); });
        quippet::CTabRegistration reg(settings, *scratch, report, settings.text(DlText::kFolder));
        reg.set_played([played_file] { return quippet::recently_played(played_file); });
        body(reg);
        handed = hand_rows(m, *scratch, handed);
        const int added = scratch->row_count() - base;
        worker.log(quippet::decimal_text(added) + std::u16string(quippet::message_text(quippet::msg::kRowsRegistered)));
    };
    if (!start(kind, std::move(job), false)) return false;
    if (sort_after && *sort_after != 0) {
        const int code = *sort_after;
        auto conn = std::make_shared<QMetaObject::Connection>();
        *conn = connect(this, &CDlgES::job_finished, this, [this, conn, kind, code](int ended) {
            if (ended != static_cast<int>(kind)) return;
            disconnect(*conn);
            model_->sort_by_code(code);
        });
    }
    return true;
}

void CDlgES::register_input() {
    const QString text = input_->text();
    if (text.trimmed().isEmpty()) return;
    const quippet::InputKind kind = quippet::classify_input(to_u16(text), quippet::id_settings_from(snapshot())).kind;
    const JobKind job = kind == quippet::InputKind::kSearchWords ? JobKind::kSearchRegister
                        : kind == quippet::InputKind::kFile || kind == quippet::InputKind::kFolder
                            ? JobKind::kLocalFiles
                            : JobKind::kRegister;
    const std::u16string input = to_u16(text);
    start_registration(job, [input](quippet::CTabRegistration& r) { r.register_input(input); });
}

void CDlgES::register_search(int method) {
    const std::u16string words = to_u16(input_->text().trimmed());
    if (words.empty()) return;
    start_registration(JobKind::kSearchRegister,
                       [words, method](quippet::CTabRegistration& r) { r.register_search(words, method); });
}

void CDlgES::register_text(const QString& text, const QString& options) {
    const quippet::RegisterOptions o = quippet::parse_register_options(to_u16(options));
    if (o.clears_list()) model_->clear();
    if (o.thumbs || o.ratio) {
        if (o.ratio)
            static_cast<QCheckBox*>(table_.control_for(key(DlSwitch::kThumbFourThree)))->setChecked(*o.ratio == -4);
        set_thumb_size(o.thumbs ? *o.thumbs : static_cast<ThumbSize>(std::max(0, sizes_->checkedId())));
    }
    const std::u16string input = to_u16(text);
    const std::optional<long long> pages = o.pages;
    start_registration(
        JobKind::kRegister,
        [input, pages](quippet::CTabRegistration& r) {
            if (pages) r.set_page_limit(pages);
            r.register_input(input);
        },
        o.sort);
}

void CDlgES::check_bookmarks(std::vector<quippet::CBookmarkEditor::UpdateItem> items) {
    if (items.empty()) return;
    start_registration(JobKind::kUpdateCheck, [items = std::move(items)](quippet::CTabRegistration& r) {
        quippet::RegisterContext& c = r.context();
        quippet::run_bookmark_update_check(r.settings(), items, *c.list, c.folder, *c.report);
    });
}

void CDlgES::register_paths(const QStringList& paths) {
    std::vector<std::u16string> list;
    for (const QString& p : paths)
        list.push_back(to_u16(p));
    if (list.empty()) return;
    start_registration(JobKind::kLocalFiles, [list](quippet::CTabRegistration& r) { r.register_paths(list); });
}

void CDlgES::register_serial() {
    const CSettings s = snapshot();
    const long long first = s.number(DlNumber::kSerialFirst), last = s.number(DlNumber::kSerialLast);
    const std::u16string folder = quippet::folder_with_slash(
        quippet::resolve_in_home(s.text(DlText::kFolder).empty() ? u"download" : s.text(DlText::kFolder)));
    // The rows are only names until a download fills them: built here, they join the list at once.
    quippet::CListDownload scratch = model_->copy();
    const int base = scratch.row_count();
    const quippet::SerialResult r =
        quippet::register_serial(scratch, first, last, folder, quippet::id_settings_from(s));
    if (!r.refusal.empty()) {
        notify(to_qstring(r.refusal));
        return;
    }
    std::vector<quippet::DownloadRow> rows(scratch.rows().begin() + base, scratch.rows().end());
    model_->append_rows(std::move(rows));
    log_line(to_qstring(quippet::decimal_text(r.added) +
                        std::u16string(quippet::message_text(quippet::msg::kRowsRegistered))));
}

void CDlgES::serial_plus() {
    auto* first = static_cast<QSpinBox*>(table_.control_for(key(DlNumber::kSerialFirst)));
    auto* last = static_cast<QSpinBox*>(table_.control_for(key(DlNumber::kSerialLast)));
    auto* count = static_cast<QSpinBox*>(table_.control_for(key(DlNumber::kSerialCount)));
    last->setValue(static_cast<int>(quippet::serial_plus(first->value(), count->value())));
}

void CDlgES::serial_minus() {
    auto* first = static_cast<QSpinBox*>(table_.control_for(key(DlNumber::kSerialFirst)));
    auto* last = static_cast<QSpinBox*>(table_.control_for(key(DlNumber::kSerialLast)));
    auto* count = static_cast<QSpinBox*>(table_.control_for(key(DlNumber::kSerialCount)));
    first->setValue(static_cast<int>(quippet::serial_minus(last->value(), count->value())));
}

void CDlgES::run_download() {
    if (holding_ > 0) return;
    const CSettings settings = snapshot();
    // The list as the download found it, for "[前回DL開始時のリスト]".
    int code = 0;
    const quippet::CListDownload before = model_->copy();
    // A folder typed into the tab need not exist yet: the rows' folders are made before the first file.
    std::set<std::u16string> folders;
    for (const quippet::DownloadRow& r : before.rows())
        if (!r.cells[dlcol::kFolder].empty()) folders.insert(r.cells[dlcol::kFolder]);
    for (const std::u16string& f : folders) {
        std::error_code ec;
        std::filesystem::create_directories(quippet::to_fs_path(f), ec);
    }
    if (quippet::save_list_snapshot(quippet::saved_lists_folder(settings), quippet::kListAtDownloadStart, before,
                                    code) != 0)
        log_line(to_qstring(quippet::kListAtDownloadStart) + QStringLiteral(" : ") +
                 to_qstring(quippet::message_text(code)));
    start(
        JobKind::kDownload, [settings](quippet::CWorkThread& worker) { quippet::run_download_job(worker, settings); },
        true);
}

void CDlgES::run_chain() {
    if (holding_ > 0) return;
    const CSettings settings = snapshot();
    const quippet::IdSettings ids = quippet::id_settings_from(settings);
    const std::u16string start_id = quippet::recognise_id(to_u16(input_->text()), quippet::kIdModeItem, ids);
    if (start_id.empty()) return;
    const std::u16string folder = quippet::folder_with_slash(quippet::resolve_in_home(
        settings.text(DlText::kFolder).empty() ? u"download" : settings.text(DlText::kFolder)));
    auto scratch = std::make_shared<quippet::CListDownload>(model_->copy());
    QPointer<CDownloadListModel> model(model_);
    const bool follow = settings.on(DlSwitch::kFollowNewRows);
    start(
        JobKind::kChainDownload,
        [settings, ids, start_id, folder, scratch, model, follow](quippet::CWorkThread& worker) {
            worker.job_begin();
            quippet::CDownloadJob download(worker, settings);
            TabRegisterReport report(worker, settings.on(quippet::OptSwitch::kDebugMode), [] {});
            // The walk keeps its visited set in the copy; each row it visits joins the tab's list, where the
            // download works on it.
            quippet::chain_walk(
                *scratch, start_id, ids, folder,
                [&](quippet::CListDownload& walked, int row, std::u16string& description) {
                    const int at = model->add_rows_from_job({walked.row(row)});
                    if (at < 0) return 0;
                    if (download.ProcessRow(at) == -2) return -2;
                    description = download.last_description();
                    return 0;
                },
                report, follow);
            const quippet::DownloadTotals& totals = download.totals();
            for (const auto& line : quippet::download_end_lines(totals.tried, totals.succeeded, totals.failed))
                worker.log(line);
        },
        true);
}

void CDlgES::stop_job() {
    if (window_ == nullptr) return;
    window_->frame().stop_job_flag().store(1);
    window_->frame().stop_download_flag().store(1);
}

void CDlgES::run_login() {
    const CSettings settings = snapshot();
    const int entry = std::max(0, login_entries_->currentIndex());
    start(
        JobKind::kLogin,
        [settings, entry](quippet::CWorkThread& worker) {
            worker.job_begin();
            const quippet::LoginSettings login = quippet::login_settings_from(settings, entry);
            TabRegisterReport report(worker, settings.on(quippet::OptSwitch::kDebugMode), [] {});
            quippet::CookieStore store;
            const quippet::LoginOutcome outcome = quippet::login_command(store, login, report);
            worker.log(outcome.line);
        },
        false);
}

// ---- list files ------------------------------------------------------------------------------

void CDlgES::save_list() {
    const QString name = list_name_->currentText().trimmed();
    const CSettings s = snapshot();
    if (name.isEmpty() || name.startsWith(QLatin1Char('<')) || name.startsWith(QLatin1Char('[')) ||
        name.contains(QLatin1Char('/'))) {
        notify(to_qstring(quippet::message_text(quippet::msg::kDlListNameInvalid)));
        return;
    }
    std::error_code ec;
    std::filesystem::create_directories(quippet::to_fs_path(quippet::saved_lists_folder(s)), ec);
    const std::u16string path = quippet::saved_list_path(s, to_u16(name));
    int code = 0;
    const auto form = static_cast<quippet::ListSaveForm>(std::clamp(s.number(DlNumber::kSaveForm), 0, 3));
    if (quippet::save_list_file(path, model_->copy(), form, code) != 0) {
        log_line(to_qstring(path) + QStringLiteral(" : ") + to_qstring(quippet::message_text(code)));
        return;
    }
    log_line(to_qstring(path) + to_qstring(quippet::message_text(quippet::msg::kDlListSaved)));
    refresh_list_names();
    list_name_->setCurrentText(name);
}

void CDlgES::load_list() {
    const QString name = list_name_->currentText().trimmed();
    if (name.isEmpty()) return;
    const std::u16string n = to_u16(name);
    const CSettings s = snapshot();
    const int selection = quippet::history_selection_of(n);
    if (selection < 0 && n != quippet::kListBeforeFilter && n != quippet::kListAtDownloadStart) {
        const std::u16string path = quippet::saved_list_path(s, n);
        std::error_code ec;
        if (!std::filesystem::is_regular_file(quippet::to_fs_path(path), ec)) {
            log_line(to_qstring(path) + to_qstring(quippet::message_text(quippet::msg::kPathMissing)));
            return;
        }
    }
    if (model_->structure_locked()) {
        log_line(to_qstring(quippet::message_text(quippet::msg::kDlListBusy)));
        return;
    }
    // What the list held before the load can be had back under "[前回抽出前のリスト]".
    int code = 0;
    if (n != quippet::kListBeforeFilter)
        quippet::save_list_snapshot(quippet::saved_lists_folder(s), quippet::kListBeforeFilter, model_->copy(), code);
    model_->clear();
    start_registration(JobKind::kListFileRegister, [n, selection, s](quippet::CTabRegistration& r) {
        if (selection >= 0)
            r.register_history(selection);
        else if (n == quippet::kListBeforeFilter || n == quippet::kListAtDownloadStart)
            r.register_snapshot(n);
        else
            r.register_list_file(quippet::saved_list_path(s, n));
    });
}

void CDlgES::open_list_memo() {
    const QString name = list_name_->currentText().trimmed();
    if (name.isEmpty() || name.contains(QLatin1Char('/'))) return;
    const std::u16string path = quippet::list_memo_path(snapshot(), to_u16(name));
    std::error_code ec;
    std::filesystem::create_directories(quippet::to_fs_path(path).parent_path(), ec);
    quippet::ensure_file_exists(path, u"", [](std::u16string_view) {});
    quippet::ui::open_with_desktop(to_qstring(path));
}

// ---- the list's menu -------------------------------------------------------------------------

QMenu* CDlgES::list_menu() {
    if (menu_ != nullptr) menu_->deleteLater();
    menu_ = new QMenu(this);
    const CSettings s = snapshot();
    const std::u16string path =
        quippet::resolve_in_home(quippet::with_default_extension(s.text(quippet::OptText::kDownloadListMenu), u".txt"));
    quippet::ensure_file_exists(path, quippet::default_list_menu_text(), [](std::u16string_view) {});
    CFileSP file;
    CCharW text;
    const quippet::ListMenu parsed = file.read_settings_text(path, text) == 0
                                         ? quippet::parse_list_menu(text.view())
                                         : quippet::parse_list_menu(quippet::default_list_menu_text());
    for (const auto& problem : parsed.problems)
        log_line(to_qstring(path) + QStringLiteral(" ") + to_qstring(problem) +
                 to_qstring(quippet::message_text(quippet::msg::kDlMenuLineSkipped)));
    std::vector<QMenu*> stack{menu_};
    for (const quippet::ListMenuEntry& e : parsed.entries) {
        switch (e.kind) {
        case quippet::ListMenuEntry::Kind::kSeparator:
            stack.back()->addSeparator();
            break;
        case quippet::ListMenuEntry::Kind::kSubmenu:
            stack.push_back(stack.back()->addMenu(to_qstring(e.label)));
            break;
        case quippet::ListMenuEntry::Kind::kEnd:
            if (stack.size() > 1) stack.pop_back();
            break;
        case quippet::ListMenuEntry::Kind::kItem: {
            const quippet::ListCommand command = e.command;
            stack.back()->addAction(to_qstring(e.label), this, [this, command] { run_command(command); });
            break;
        }
        }
    }
    return menu_;
}

void CDlgES::show_list_menu(const QPoint& at) {
    list_menu()->popup(view_->viewport()->mapToGlobal(at));
}

void CDlgES::run_command(quippet::ListCommand command) {
    using quippet::ListCommand;
    switch (command) {
    case ListCommand::kDownload:
        run_download();
        break;
    case ListCommand::kStop:
        stop_job();
        break;
    case ListCommand::kRegister:
        register_input();
        break;
    case ListCommand::kChain:
        run_chain();
        break;
    case ListCommand::kLogin:
        run_login();
        break;
    case ListCommand::kPlay:
        play_selected(false);
        break;
    case ListCommand::kPlayDefault:
        play_selected(true);
        break;
    case ListCommand::kOpenFolder:
        open_selected_folder();
        break;
    case ListCommand::kCopyAddress:
        copy_selected(dlcol::kId, true);
        break;
    case ListCommand::kCopyId:
        copy_selected(dlcol::kId, false);
        break;
    case ListCommand::kCopyName:
        copy_selected(dlcol::kSaveName, false);
        break;
    case ListCommand::kRemoveSelected:
        model_->remove_rows(selected_rows());
        break;
    case ListCommand::kRemoveChecked:
        model_->remove_if([](const quippet::DownloadRow& r) { return r.checked; });
        break;
    case ListCommand::kRemoveDone:
        model_->remove_if([](const quippet::DownloadRow& r) { return r.cells[dlcol::kMark] == quippet::kMarkSuccess; });
        break;
    case ListCommand::kClear:
        model_->clear();
        break;
    case ListCommand::kCheckSelected:
        model_->set_checked(selected_rows(), true);
        break;
    case ListCommand::kUncheckSelected:
        model_->set_checked(selected_rows(), false);
        break;
    case ListCommand::kCheckAll:
        model_->set_all_checked(true);
        break;
    case ListCommand::kUncheckAll:
        model_->set_all_checked(false);
        break;
    case ListCommand::kInvertChecks:
        model_->invert_checks();
        break;
    case ListCommand::kSaveList:
        save_list();
        break;
    case ListCommand::kLoadList:
        load_list();
        break;
    case ListCommand::kOpenMemo:
        open_list_memo();
        break;
    case ListCommand::kToReconstruct:
        send_to_reconstruct();
        break;
    case ListCommand::kRefreshThumbnails:
        refresh_thumbnails();
        break;
    }
}

void CDlgES::play_selected(bool default_program) {
    const std::vector<int> rows = selected_rows();
    if (rows.empty()) return;
    const CSettings s = snapshot();
    const quippet::DownloadRow row = model_->with_rows([&](const quippet::CListDownload& l) {
        return rows.front() < l.row_count() ? l.row(rows.front()) : quippet::DownloadRow{};
    });
    const std::u16string video = quippet::saved_video_of(s, row.cells[dlcol::kFolder], row.cells[dlcol::kSaveName]);
    if (video.empty()) {
        log_line(to_qstring(row.cells[dlcol::kFolder] + row.cells[dlcol::kSaveName]) +
                 to_qstring(quippet::message_text(quippet::msg::kDlNoVideoSaved)));
        return;
    }
    quippet::PlayerSelection selection;
    const quippet::PlayOutcome outcome =
        quippet::play_video(s, quippet::load_player_table(s), video,
                            default_program ? quippet::kPlayDefaultProgram : quippet::kPlayAutomatic, selection, false);
    for (const auto& line : outcome.log)
        log_line(to_qstring(line));
}

void CDlgES::copy_selected(int column, bool as_address) {
    const std::vector<int> rows = selected_rows();
    if (rows.empty()) return;
    const CSettings s = snapshot();
    QStringList lines;
    model_->with_rows([&](const quippet::CListDownload& l) {
        for (int r : rows) {
            if (r >= l.row_count()) continue;
            const std::u16string& cell = l.row(r).cells[static_cast<size_t>(column)];
            lines.append(to_qstring(as_address ? quippet::watch_address_of(s, cell) : cell));
        }
        return 0;
    });
    QApplication::clipboard()->setText(lines.join(QStringLiteral("\r\n")));
}

void CDlgES::open_selected_folder() {
    const std::vector<int> rows = selected_rows();
    if (rows.empty()) return;
    const std::u16string folder = model_->with_rows([&](const quippet::CListDownload& l) {
        return rows.front() < l.row_count() ? l.row(rows.front()).cells[dlcol::kFolder] : std::u16string();
    });
    if (!folder.empty()) quippet::ui::open_with_desktop(to_qstring(folder));
}

void CDlgES::send_to_reconstruct() {
    std::vector<int> rows = selected_rows();
    QStringList files;
    model_->with_rows([&](const quippet::CListDownload& l) {
        if (rows.empty())
            for (int r = 0; r < l.row_count(); ++r)
                if (l.row(r).checked) rows.push_back(r);
        for (int r : rows)
            if (r < l.row_count())
                files.append(to_qstring(l.row(r).cells[dlcol::kFolder] + l.row(r).cells[dlcol::kSaveName] + u".xml"));
        return 0;
    });
    if (files.isEmpty()) return;
    if (reconstruct_sink_) {
        reconstruct_sink_(files);
    } else if (window_ != nullptr) {
        window_->reconstruct_page()->drop_paths(files);
        window_->select_tab(0);
    }
}

// ---- thumbnails ------------------------------------------------------------------------------

void CDlgES::set_thumb_size(ThumbSize size) {
    const bool four_three = static_cast<QCheckBox*>(table_.control_for(key(DlSwitch::kThumbFourThree)))->isChecked();
    const quippet::ThumbPixels px = quippet::thumb_pixels(size, four_three ? -4 : -16);
    const bool was_shown = model_->thumb_size().height > 0;
    const quippet::ThumbPixels before = model_->thumb_size();
    model_->set_thumb_size(px);
    if (QAbstractButton* b = sizes_->button(static_cast<int>(size))) b->setChecked(true);
    static_cast<QCheckBox*>(table_.control_for(key(DlSwitch::kShowThumbnails)))->setChecked(px.height > 0);
    if (px.height > 0)
        static_cast<QSpinBox*>(table_.control_for(key(DlNumber::kThumbSize)))->setValue(static_cast<int>(size));
    view_->setColumnHidden(dlcol::kThumb, px.height == 0);
    view_->verticalHeader()->setDefaultSectionSize(std::max(view_->fontMetrics().height() + 6, px.height + 4));
    if (px.height > 0) {
        view_->setColumnWidth(dlcol::kThumb, px.width + 8);
        if (!was_shown || before.width != px.width || before.height != px.height) {
            model_->clear_thumbnails();
            load_thumbnails(was_shown ? JobKind::kListRefresh : JobKind::kThumbnails, true);
        }
    } else {
        model_->clear_thumbnails();
    }
}

void CDlgES::refresh_thumbnails() {
    if (model_->thumb_size().height == 0) return;
    model_->clear_thumbnails();
    load_thumbnails(JobKind::kListRefresh, true);
}

void CDlgES::load_thumbnails(JobKind kind, bool all) {
    if (window_ == nullptr || !window_->started_up()) return;
    const CSettings s = snapshot();
    const quippet::ThumbnailOptions options = quippet::thumbnail_options_from(s);
    const quippet::ThumbPixels px = model_->thumb_size();
    // The rows' IDs and where their images may be: the list's cache, else the thumbnail saved beside them.
    struct Want {
        QString id;
        std::u16string cache;
        std::u16string saved;
    };
    auto wants = std::make_shared<std::vector<Want>>();
    if (all) thumb_tried_.clear();
    model_->with_rows([&](const quippet::CListDownload& l) {
        for (const quippet::DownloadRow& r : l.rows()) {
            if (r.id().empty()) continue;
            const QString id = to_qstring(r.id());
            if (!all && (model_->has_thumbnail(id) || thumb_tried_.contains(id))) continue;
            thumb_tried_.insert(id);
            wants->push_back({id, quippet::thumbnail_cache_path(options, r.id()),
                              r.cells[dlcol::kFolder] + r.cells[dlcol::kSaveName] + u"." + options.extension});
        }
        return 0;
    });
    if (wants->empty()) return;
    thumbs_loading_ = true;
    QPointer<CDownloadListModel> model(model_);
    start(
        kind,
        [wants, px, model](quippet::CWorkThread& worker) {
            for (const Want& w : *wants) {
                if (worker.stop_requested()) break;
                QImage image;
                for (const std::u16string* path : {&w.cache, &w.saved}) {
                    QImageReader reader(to_qstring(*path));
                    // A thumbnail is small; a file that claims to be huge is no thumbnail of ours.
                    const QSize size = reader.size();
                    if (size.isValid() && (size.width() > 4096 || size.height() > 4096)) continue;
                    if (reader.read(&image)) break;
                }
                if (image.isNull()) continue;
                const QImage scaled =
                    image.scaled(px.width, px.height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
                QMetaObject::invokeMethod(
                    model.data(),
                    [model, id = w.id, scaled] {
                        if (model) model->set_thumbnail(id, scaled);
                    },
                    Qt::QueuedConnection);
            }
        },
        false);
}

// ---- hand-overs, the clipboard and drops ---------------------------------------------------------------

void CDlgES::take_hand_over(const QString& text, bool from_reservation) {
    hand_overs_.append(text);
    const int id = from_reservation ? quippet::msg::kReservationTaken : quippet::msg::kHandOverReceived;
    // A hand-over may hold megabytes of paths; the log shows the start of it, the page keeps it all.
    constexpr qsizetype shown_units = 2000;
    QString shown = to_qstring(quippet::message_text(id)) + QStringLiteral("\r\n") + text.left(shown_units);
    if (text.size() > shown_units) shown += QStringLiteral("…（全%1文字）").arg(text.size());
    log_line(shown);
    const quippet::HandOver h = quippet::parse_hand_over(to_u16(text));
    if (!h.addition.empty()) {
        const QString now = input_->text();
        input_->setText(now.isEmpty() ? to_qstring(h.addition) : now + QLatin1Char(' ') + to_qstring(h.addition));
    }
    if (h.paths.empty() && h.searches.empty() && h.addresses.empty() && h.other.empty()) return;
    start_registration(JobKind::kRegister, [h](quippet::CTabRegistration& r) {
        r.register_paths(h.paths);
        for (const auto& words : h.searches)
            r.register_search(words);
        for (const auto& address : h.addresses)
            r.register_address(address);
        for (const auto& line : h.other)
            r.register_input(line);
    });
}

void CDlgES::clipboard_changed() {
    ++clipboard_changes_;
    const QString text = clipboard_source_ ? clipboard_source_() : QApplication::clipboard()->text();
    if (text.isEmpty()) return;
    // The clipboard may hold a whole page; its IDs are what counts.
    const std::u16string t = to_u16(text.left(1 << 20));
    std::vector<std::u16string> ids;
    if (quippet::extract_ids(t, ids, quippet::kIdModeInput, quippet::id_settings_from(snapshot())) < 0) return;
    start_registration(JobKind::kRegister, [t](quippet::CTabRegistration& r) { r.register_ids_in(t); });
}

bool CDlgES::eventFilter(QObject* watched, QEvent* event) {
    if (watched == view_->viewport()) {
        switch (event->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove: {
            auto* drag = static_cast<QDragMoveEvent*>(event);
            // The list's own rows dragged over it are no drop.
            if (drag->source() == view_ || !drag->mimeData()->hasUrls()) return false;
            drag->acceptProposedAction();
            return true;
        }
        case QEvent::Drop: {
            auto* drop = static_cast<QDropEvent*>(event);
            if (drop->source() == view_) return false;
            QStringList paths;
            for (const QUrl& url : drop->mimeData()->urls())
                if (url.isLocalFile()) paths.append(url.toLocalFile());
            if (paths.isEmpty()) return false;
            drop->acceptProposedAction();
            register_paths(paths);
            return true;
        }
        default:
            break;
        }
    }
    if (watched == view_ && event->type() == QEvent::KeyPress) {
        auto* key_event = static_cast<QKeyEvent*>(event);
        if (key_event->key() == Qt::Key_Delete) {
            model_->remove_rows(selected_rows());
            return true;
        }
    }
    return CTabPage::eventFilter(watched, event);
}
