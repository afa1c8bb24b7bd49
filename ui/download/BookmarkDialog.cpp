#include "ui/download/BookmarkDialog.h"

#include "app/Settings.h"
#include "lists/BookmarkOptions.h"
#include "lists/BookmarkUpdate.h"
#include "resources/MessageIds.h"
#include "resources/Messages.h"
#include "ui/download/BookmarkTree.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QThread>
#include <QVBoxLayout>

#include <memory>

namespace {

/// A button of a dialog's bottom row, named by its caption so that tests find it.
template <class Dialog, class Slot> void add_button(Dialog* dialog, QHBoxLayout* row, const QString& text, Slot slot) {
    auto* b = new QPushButton(text, dialog);
    b->setObjectName(text);
    QObject::connect(b, &QPushButton::clicked, dialog, slot);
    row->addWidget(b);
}

QString qs(std::u16string_view s) {
    return QString::fromUtf16(s.data(), static_cast<qsizetype>(s.size()));
}

QString tr_msg(int id) {
    return qs(quippet::message_text(id));
}

/// Runs `work` on a thread of its own and `done` with its result back on `owner`'s thread, unless the
/// owner is gone by then.
template <class R> void run_aside(QObject* owner, std::function<R()> work, std::function<void(R)> done) {
    QPointer<QObject> guard(owner);
    QThread* thread = QThread::create([guard, work = std::move(work), done = std::move(done)]() mutable {
        R result = work();
        if (!guard) return;
        QMetaObject::invokeMethod(guard.data(), [guard, done = std::move(done), result = std::move(result)]() mutable {
            if (guard) done(std::move(result));
        });
    });
    QObject::connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    thread->start();
}

} // namespace

CDlgSetBm::CDlgSetBm(CTreeBookmark& tree, QWidget* parent) : QDialog(parent), tree_(tree) {
    setWindowTitle(tr_msg(quippet::msg::kBmDialogTitle));
    setObjectName(QStringLiteral("bookmark_dialog"));
    auto* form = new QGridLayout;
    int row = 0;
    auto field_row = [&](const QString& caption, QLineEdit*& edit, const QString& button, auto slot) {
        edit = new QLineEdit(this);
        form->addWidget(new QLabel(caption, this), row, 0);
        form->addWidget(edit, row, 1);
        auto* b = new QPushButton(button, this);
        b->setObjectName(caption);
        connect(b, &QPushButton::clicked, this, slot);
        form->addWidget(b, row++, 2);
    };
    field_row(QStringLiteral("ツリーに表示する名前"), label_, QStringLiteral("自動"), &CDlgSetBm::auto_name);
    field_row(QStringLiteral("ブクマするURL・ローカルパス"), target_, QStringLiteral("作"), &CDlgSetBm::make_target);
    field_row(QStringLiteral("登録時に設定する保存場所"), folder_, QStringLiteral("作"), &CDlgSetBm::make_save_folder);
    special_ = new QComboBox(this);
    special_->addItems({QString(), QStringLiteral("保存したリストの一覧"), QStringLiteral("最近再生した動画の一覧")});
    connect(special_, &QComboBox::activated, this, &CDlgSetBm::choose_special);
    form->addWidget(new QLabel(QStringLiteral("特殊なブクマ："), this), row, 0);
    form->addWidget(special_, row++, 1);

    auto* switches = new QGridLayout;
    int s = 0;
    auto check = [this](const QString& text) { return new QCheckBox(text, this); };
    depth_on_ = check(QStringLiteral("サブフォルダの追加や更新チェックで階層を制限する"));
    depth_ = new QSpinBox(this);
    depth_->setRange(0, 256);
    depth_->setValue(1);
    switches->addWidget(depth_on_, s, 0);
    switches->addWidget(depth_, s++, 1);
    subfolders_ =
        check(QStringLiteral("このブクマがローカルなフォルダのパスなら、登録時にサブフォルダもツリーに追加していく"));
    subfolders_->setChecked(true);
    switches->addWidget(subfolders_, s++, 0, 1, 3);
    sort_on_ = check(QStringLiteral("このブクマのURL／フォルダからの登録後、リストをソートする"));
    sort_ = new QComboBox(this);
    sort_->addItem(QString());
    for (const quippet::BookmarkSortChoice& c : quippet::kBookmarkSorts)
        sort_->addItem(qs(c.label), c.code);
    switches->addWidget(sort_on_, s, 0);
    switches->addWidget(sort_, s++, 1);
    page_on_ = check(QStringLiteral("このブクマからの登録前に、ページ上限の設定を変更する"));
    page_limit_on_ = check(QStringLiteral("ページ上限"));
    page_limit_ = new QSpinBox(this);
    page_limit_->setRange(1, 999999);
    switches->addWidget(page_on_, s, 0);
    switches->addWidget(page_limit_on_, s, 1);
    switches->addWidget(page_limit_, s++, 2);
    mode_on_ = check(QStringLiteral("このブクマからの登録は、常に「追記／クリア」で行う"));
    append_ = new QRadioButton(QStringLiteral("追記"), this);
    clear_ = new QRadioButton(QStringLiteral("クリア"), this);
    append_->setChecked(true);
    switches->addWidget(mode_on_, s, 0);
    switches->addWidget(append_, s, 1);
    switches->addWidget(clear_, s++, 2);
    thumb_on_ = check(QStringLiteral("このブクマからの登録は、右のサムネサイズで行う（常にクリア）"));
    thumb_ = new QComboBox(this);
    thumb_->addItems(
        {QStringLiteral("無"), QStringLiteral("小"), QStringLiteral("中"), QStringLiteral("大"), QStringLiteral("特")});
    switches->addWidget(thumb_on_, s, 0);
    switches->addWidget(thumb_, s++, 1);
    ratio_on_ = check(QStringLiteral("このブクマからの登録は、右のサムネ比で行う（常にクリア）"));
    ratio_ = new QComboBox(this);
    ratio_->addItems({QStringLiteral("4:3"), QStringLiteral("16:9"), QStringLiteral("指定")});
    ratio_->setCurrentIndex(1);
    ratio_value_ = new QSpinBox(this);
    ratio_value_->setRange(1, 1000);
    ratio_value_->setValue(100);
    switches->addWidget(ratio_on_, s, 0);
    switches->addWidget(ratio_, s, 1);
    switches->addWidget(ratio_value_, s++, 2);
    update_on_ = check(QStringLiteral("このブクマの更新チェックでは、右の条件によるスルーをしない"));
    update_thumb_ = check(QStringLiteral("既存サムネ"));
    update_date_ = check(QStringLiteral("投稿日"));
    switches->addWidget(update_on_, s, 0);
    switches->addWidget(update_thumb_, s, 1);
    switches->addWidget(update_date_, s++, 2);

    message_ = new QLabel(this);
    message_->setObjectName(QStringLiteral("message"));
    message_->setWordWrap(true);
    auto* buttons = new QHBoxLayout;
    auto button = [&](const QString& text, auto slot) { add_button(this, buttons, text, slot); };
    button(QStringLiteral("追加する"), &CDlgSetBm::add);
    button(QStringLiteral("追加して閉じる"), &CDlgSetBm::add_and_close);
    button(QStringLiteral("置き換えて閉じる"), &CDlgSetBm::replace_and_close);
    button(QStringLiteral("キャンセル"), &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(switches);
    layout->addWidget(message_);
    layout->addLayout(buttons);

    ask_ = [this](const QString& text) {
        return QMessageBox::question(this, windowTitle(), text, QMessageBox::Ok | QMessageBox::Cancel) ==
               QMessageBox::Ok;
    };
}

void CDlgSetBm::set_fields(const QString& label, const QString& target, const QString& save_folder,
                           const QString& options) {
    set_label(label);
    set_target(target);
    set_save_folder(save_folder);
    set_options(options);
}

void CDlgSetBm::set_label(const QString& text) {
    label_->setText(text);
}
void CDlgSetBm::set_target(const QString& text) {
    target_->setText(text);
}
void CDlgSetBm::set_save_folder(const QString& text) {
    folder_->setText(text);
}
QString CDlgSetBm::label_text() const {
    return label_->text();
}
QString CDlgSetBm::target_text() const {
    return target_->text();
}
QString CDlgSetBm::save_folder_text() const {
    return folder_->text();
}
QString CDlgSetBm::message() const {
    return message_->text();
}

void CDlgSetBm::set_options(const QString& options) {
    const quippet::BookmarkOptions o = quippet::parse_bookmark_options(options.toStdU16String());
    depth_on_->setChecked(o.depth_on);
    depth_->setValue(o.depth);
    subfolders_->setChecked(o.subfolders);
    sort_on_->setChecked(o.sort_on);
    const int sort_at = sort_->findData(o.sort_code);
    sort_->setCurrentIndex(o.sort_code != 0 && sort_at >= 0 ? sort_at : 0);
    page_on_->setChecked(o.page_on);
    page_limit_on_->setChecked(o.page_limit_on);
    if (o.page_limit > 0) page_limit_->setValue(o.page_limit);
    mode_on_->setChecked(o.mode_on);
    (o.append ? append_ : clear_)->setChecked(true);
    thumb_on_->setChecked(o.thumb_size_on);
    thumb_->setCurrentIndex(o.thumb_size);
    ratio_on_->setChecked(o.ratio_on);
    ratio_->setCurrentIndex(o.ratio == quippet::kBmRatio4x3 ? 0 : o.ratio == quippet::kBmRatio16x9 ? 1 : 2);
    if (o.ratio > 0) ratio_value_->setValue(o.ratio);
    update_on_->setChecked(o.update_on);
    update_thumb_->setChecked(o.update_thumb);
    update_date_->setChecked(o.update_date);
    unknown_options_ = o.unknown;
}

QString CDlgSetBm::options_text() const {
    quippet::BookmarkOptions o;
    o.depth_on = depth_on_->isChecked();
    o.depth = depth_->value();
    o.subfolders = subfolders_->isChecked();
    o.sort_on = sort_on_->isChecked();
    o.sort_code = sort_->currentData().toInt();
    o.page_on = page_on_->isChecked();
    o.page_limit_on = page_limit_on_->isChecked();
    o.page_limit = page_limit_->value();
    o.mode_on = mode_on_->isChecked();
    o.append = append_->isChecked();
    o.thumb_size_on = thumb_on_->isChecked();
    o.thumb_size = thumb_->currentIndex();
    o.ratio_on = ratio_on_->isChecked();
    const int r = ratio_->currentIndex();
    o.ratio = r == 0 ? quippet::kBmRatio4x3 : r == 1 ? quippet::kBmRatio16x9 : ratio_value_->value();
    o.update_on = update_on_->isChecked();
    o.update_thumb = update_thumb_->isChecked();
    o.update_date = update_date_->isChecked();
    o.unknown = unknown_options_;
    return qs(quippet::bookmark_options_text(o));
}

quippet::BookmarkNode CDlgSetBm::data() const {
    quippet::BookmarkNode n;
    n.label = label_->text().toStdU16String();
    n.target = target_->text().toStdU16String();
    n.save_folder = folder_->text().toStdU16String();
    n.options = options_text().toStdU16String();
    // A bookmark without a name shows its target, so that it is never an invisible row.
    if (n.label.empty()) n.label = n.target;
    return n;
}

void CDlgSetBm::show_message(const QString& text) {
    message_->setText(text);
}

bool CDlgSetBm::add() {
    const quippet::BookmarkNode d = data();
    const std::u16string question = quippet::same_target_question(tree_.tree(), d.target);
    if (!question.empty() && !ask_(qs(question))) return false;
    quippet::BookmarkNode* added = tree_.editor().add(tree_.selected_node(), d);
    tree_.bookmark_model().refresh();
    if (!added) {
        show_message(tr_msg(quippet::msg::kBmInsertFailed));
        return false;
    }
    tree_.select_node(added);
    return true;
}

void CDlgSetBm::add_and_close() {
    if (add()) accept();
}

void CDlgSetBm::replace_and_close() {
    quippet::BookmarkNode* selected = tree_.selected_node();
    if (!selected) {
        show_message(tr_msg(quippet::msg::kBmNothingToReplace));
        return;
    }
    tree_.editor().replace(selected, data());
    tree_.bookmark_model().refresh();
    tree_.select_node(selected);
    accept();
}

void CDlgSetBm::make_target() {
    show_message(qs(quippet::make_bookmark_path(target_->text().toStdU16String(), false, write_list_)));
}

void CDlgSetBm::make_save_folder() {
    show_message(qs(quippet::make_bookmark_path(folder_->text().toStdU16String(), true, write_list_)));
}

void CDlgSetBm::choose_special(int index) {
    if (index == 1) target_->setText(qs(quippet::kBmSavedLists));
    if (index == 2) target_->setText(qs(quippet::kBmRecentlyPlayed));
    if (index > 0 && label_->text().isEmpty()) label_->setText(special_->itemText(index));
}

void CDlgSetBm::auto_name() {
    const quippet::CSettings settings = tree_.settings();
    const std::u16string target = target_->text().toStdU16String();
    run_aside<QString>(
        this,
        [settings, target]() {
            std::u16string name;
            return quippet::bookmark_auto_name(settings, target, name) == 0 ? qs(name) : QString();
        },
        [this](QString name) {
            if (!name.isEmpty()) label_->setText(name);
            Q_EMIT auto_name_done(name);
        });
}

CDlgSetAnime::CDlgSetAnime(CTreeBookmark& tree, QWidget* parent) : QDialog(parent), tree_(tree) {
    setWindowTitle(tr_msg(quippet::msg::kBmAnimeTitle));
    setObjectName(QStringLiteral("anime_dialog"));
    list_ = new QListWidget(this);
    message_ = new QLabel(this);
    message_->setWordWrap(true);
    auto* buttons = new QHBoxLayout;
    auto button = [&](const QString& text, auto slot) { add_button(this, buttons, text, slot); };
    button(QStringLiteral("取得"), &CDlgSetAnime::fetch);
    button(QStringLiteral("最新話無料のアニメのみ登録"), &CDlgSetAnime::add_free);
    button(QStringLiteral("すべて登録"), &CDlgSetAnime::add_all);
    button(QStringLiteral("閉じる"), &QDialog::accept);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(list_);
    layout->addWidget(message_);
    layout->addLayout(buttons);
}

QString CDlgSetAnime::message() const {
    return message_->text();
}

void CDlgSetAnime::fetch() {
    struct Result {
        int code = -1;
        std::vector<quippet::AnimeEntry> entries;
        QString message;
    };
    const quippet::CSettings settings = tree_.settings();
    run_aside<std::shared_ptr<Result>>(
        this,
        [settings]() {
            auto r = std::make_shared<Result>();
            std::u16string message;
            r->code = quippet::fetch_anime_schedule(settings, r->entries, message);
            r->message = qs(message);
            return r;
        },
        [this](std::shared_ptr<Result> r) { take(r->code, std::move(r->entries), r->message); });
}

void CDlgSetAnime::take(int result, std::vector<quippet::AnimeEntry> entries, const QString& message) {
    entries_ = std::move(entries);
    list_->clear();
    for (const quippet::AnimeEntry& e : entries_)
        list_->addItem((e.latest_free ? QStringLiteral("○ ") : QStringLiteral("× ")) + qs(e.title) +
                       QStringLiteral("　") + qs(e.start));
    message_->setText(message);
    Q_EMIT fetched(result == 0);
}

void CDlgSetAnime::add(bool free_only) {
    const std::u16string line =
        quippet::add_anime_bookmarks(tree_.editor(), tree_.selected_node(), entries_, free_only, tree_.settings());
    tree_.bookmark_model().refresh();
    message_->setText(qs(line));
}

void CDlgSetAnime::add_free() {
    add(true);
}

void CDlgSetAnime::add_all() {
    add(false);
}
