#include "ui/settings/SettingsDialog.h"

#include "livelog/LiveLogFiles.h"
#include "reconstruct/SettingsFiles.h"
#include "text/AppHome.h"
#include "ui/UiCall.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QSpinBox>
#include <QStackedWidget>
#include <QVBoxLayout>

#include <algorithm>

using quippet::CSettings;
using quippet::SettingDef;
using quippet::SettingType;
using quippet::ui::to_qstring;
using quippet::ui::to_u16;

namespace quippet::ui {

bool is_detailed_setting(const SettingDef& def) {
    return def.key.section == section::kOption && def.key.index >= 0;
}

const SettingsTextFile* settings_text_file_for(const SettingKey& key) {
    for (const SettingsTextFile* file : all_settings_text_files())
        if (file->path_setting == key) return file;
    return nullptr;
}

PathKind path_kind(const SettingDef& def) {
    if (def.type != SettingType::kText) return PathKind::none;
    if (settings_text_file_for(def.key) != nullptr) return PathKind::file;
    const std::u16string_view label = def.label;
    const bool names_folder =
        label.find(u"フォルダ") != std::u16string_view::npos || label.find(u"場所") != std::u16string_view::npos;
    if (def.page == u"ファイル名") return names_folder ? PathKind::folder : PathKind::file;
    if (def.note == "program" || label.find(u"WAVファイル") != std::u16string_view::npos ||
        label.ends_with(u"ファイル）") || label.find(u"プログラム") != std::u16string_view::npos)
        return PathKind::file;
    if (label.find(u"保存場所") != std::u16string_view::npos) return PathKind::folder;
    return PathKind::none;
}

} // namespace quippet::ui

namespace {

QString shown_text(std::u16string_view stored) {
    return to_qstring(stored).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

std::u16string stored_text(QString shown) {
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return to_u16(shown.replace(QLatin1Char('\n'), QStringLiteral("\r\n")));
}

/// The caption of a check box, set beside it so that it can wrap: many captions here are whole
/// sentences, and a check box's own text never wraps and would push the page wider than the window.
class CheckCaption : public QLabel {
public:
    CheckCaption(const QString& text, QCheckBox* box, QWidget* parent) : QLabel(text, parent), box_(box) {
        setWordWrap(true);
        setBuddy(box);
    }

protected:
    void mouseReleaseEvent(QMouseEvent* event) override {
        QLabel::mouseReleaseEvent(event);
        if (box_->isEnabled()) box_->toggle();
    }

private:
    QCheckBox* box_;
};

bool multi_line(const SettingDef& def, const CSettings& settings) {
    return def.default_text.find(u'\n') != std::u16string::npos ||
           settings.text(def.key).find(u'\n') != std::u16string::npos;
}

} // namespace

CDlgSetting::CDlgSetting(const CSettings& current, quippet::CFileINI* ini, QWidget* parent)
    : QDialog(parent), original_(current), ini_(ini), filter_(new QLineEdit(this)), pages_(new QListWidget(this)),
      stack_(new QStackedWidget(this)), stored_page_(current.number(quippet::kOptionPage)) {
    setWindowTitle(QStringLiteral("詳細設定"));
    filter_->setPlaceholderText(QStringLiteral("設定の名前で絞り込む"));
    filter_->setClearButtonEnabled(true);

    // Pages in the order the catalogue first names them.
    std::vector<std::u16string> titles;
    std::vector<std::vector<const SettingDef*>> members;
    for (const SettingDef& def : quippet::setting_catalogue()) {
        if (!quippet::ui::is_detailed_setting(def)) continue;
        auto at = std::find(titles.begin(), titles.end(), def.page);
        if (at == titles.end()) {
            titles.push_back(def.page);
            members.emplace_back();
            at = titles.end() - 1;
        }
        members[static_cast<size_t>(at - titles.begin())].push_back(&def);
    }
    for (size_t page = 0; page < titles.size(); ++page) {
        pages_->addItem(to_qstring(titles[page]));
        stack_->addWidget(build_page(members[page], static_cast<int>(page)));
    }
    // Long page names wrap rather than take the width the settings need.
    pages_->setWordWrap(true);
    pages_->setTextElideMode(Qt::ElideNone);
    pages_->setFixedWidth(220);

    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("キャンセル"), QDialogButtonBox::RejectRole);
    QPushButton* apply_button = buttons->addButton(QStringLiteral("適用"), QDialogButtonBox::ApplyRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &CDlgSetting::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CDlgSetting::reject);
    connect(apply_button, &QPushButton::clicked, this, &CDlgSetting::apply);
    connect(pages_, &QListWidget::currentRowChanged, stack_, &QStackedWidget::setCurrentIndex);
    connect(filter_, &QLineEdit::textChanged, this, &CDlgSetting::set_filter);

    auto* body = new QHBoxLayout;
    body->addWidget(pages_);
    body->addWidget(stack_, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(filter_);
    layout->addLayout(body, 1);
    layout->addWidget(buttons);
    resize(960, 680);

    select_page(stored_page_ >= 0 && stored_page_ < pages_->count() ? stored_page_ : 0);
}

QWidget* CDlgSetting::build_page(const std::vector<const SettingDef*>& defs, int page) {
    auto* scroll = new QScrollArea(stack_);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto* content = new QWidget(scroll);
    auto* column = new QVBoxLayout(content);
    QGroupBox* box = nullptr;
    QFormLayout* form = nullptr;
    std::u16string group;
    for (const SettingDef* def : defs) {
        if (box == nullptr || def->group != group) {
            group = def->group;
            box = new QGroupBox(shown_text(group).replace(QLatin1Char('\n'), QLatin1Char(' ')), content);
            form = new QFormLayout(box);
            form->setRowWrapPolicy(QFormLayout::WrapLongRows);
            form->setFieldGrowthPolicy(QFormLayout::ExpandingFieldsGrow);
            column->addWidget(box);
        }
        auto* row_widget = new QWidget(box);
        auto* row_layout = new QHBoxLayout(row_widget);
        row_layout->setContentsMargins(0, 0, 0, 0);
        QWidget* editor = make_editor(*def, row_widget);
        if (def->type == SettingType::kSwitch) {
            auto* check = static_cast<QCheckBox*>(editor);
            check->setAccessibleName(shown_text(def->label));
            row_layout->addWidget(check, 0, Qt::AlignTop);
            row_layout->addWidget(new CheckCaption(shown_text(def->label), check, row_widget), 1);
            form->addRow(row_widget);
        } else {
            auto* label = new QLabel(shown_text(def->label), row_widget);
            label->setWordWrap(true);
            // One width for every caption, so that the fields of a page line up.
            label->setFixedWidth(240);
            label->setBuddy(editor);
            row_layout->addWidget(label);
            const bool narrow = def->type == SettingType::kNumber;
            row_layout->addWidget(editor, narrow ? 0 : 1);
            if (narrow) row_layout->addStretch(1);
            form->addRow(row_widget);
        }
        if (!def->note.empty())
            editor->setToolTip(QString::fromUtf8(def->note.data(), static_cast<qsizetype>(def->note.size())));
        rows_.push_back({def, editor, row_widget, box, page});
    }
    column->addStretch(1);
    scroll->setWidget(content);
    return scroll;
}

QWidget* CDlgSetting::make_editor(const SettingDef& def, QWidget* parent) {
    switch (def.type) {
    case SettingType::kSwitch: {
        auto* box = new QCheckBox(parent);
        box->setChecked(original_.on(def.key));
        return box;
    }
    case SettingType::kNumber: {
        auto* spin = new QSpinBox(parent);
        spin->setRange(def.minimum, def.maximum);
        spin->setValue(std::clamp(original_.number(def.key), def.minimum, def.maximum));
        spin->setMaximumWidth(160);
        return spin;
    }
    case SettingType::kChoice: {
        auto* combo = new QComboBox(parent);
        for (const std::u16string& item : def.items)
            combo->addItem(shown_text(item));
        combo->setCurrentIndex(std::clamp(original_.number(def.key), 0, std::max(0, combo->count() - 1)));
        return combo;
    }
    case SettingType::kProtected: {
        auto* edit = new QLineEdit(to_qstring(original_.text(def.key)), parent);
        edit->setEchoMode(QLineEdit::Password);
        return edit;
    }
    case SettingType::kText:
        break;
    }
    if (multi_line(def, original_)) {
        auto* edit = new QPlainTextEdit(shown_text(original_.text(def.key)), parent);
        edit->setLineWrapMode(QPlainTextEdit::NoWrap);
        edit->setFixedHeight(fontMetrics().lineSpacing() * 5 + 12);
        return edit;
    }
    // The file-name page shows the files inside the common settings folder relative to it, with a
    // flag; the path stored is joined again when the page is confirmed.
    const bool in_common_folder =
        def.page == u"ファイル名" && !(def.key == quippet::key(quippet::OptText::kCommonFolder));
    const quippet::CommonFolderView view = in_common_folder
                                               ? quippet::split_common_folder(original_.text(def.key), common_folder())
                                               : quippet::CommonFolderView{false, original_.text(def.key)};
    auto* edit = new QLineEdit(to_qstring(view.shown), parent);
    const quippet::ui::PathKind kind = quippet::ui::path_kind(def);
    const quippet::SettingsTextFile* text_file = quippet::ui::settings_text_file_for(def.key);
    if (kind == quippet::ui::PathKind::none && text_file == nullptr) return edit;

    // The editor stays the line edit; the buttons sit beside it in a holder of their own.
    auto* holder = new QWidget(parent);
    auto* layout = new QHBoxLayout(holder);
    layout->setContentsMargins(0, 0, 0, 0);
    edit->setParent(holder);
    if (in_common_folder) {
        auto* flag = new QCheckBox(QStringLiteral("共通フォルダ内"), holder);
        flag->setObjectName(QStringLiteral("common"));
        flag->setChecked(view.inside);
        layout->addWidget(flag);
    }
    layout->addWidget(edit, 1);
    if (kind != quippet::ui::PathKind::none) {
        auto* choose = new QPushButton(QStringLiteral("参照…"), holder);
        const bool folder = kind == quippet::ui::PathKind::folder;
        connect(choose, &QPushButton::clicked, this, [this, edit, folder] {
            const QString start = to_qstring(quippet::resolve_in_home(to_u16(edit->text())));
            const QString chosen = folder ? QFileDialog::getExistingDirectory(this, QString(), start)
                                          : QFileDialog::getOpenFileName(this, QString(), start);
            if (!chosen.isEmpty()) edit->setText(chosen);
        });
        layout->addWidget(choose);
    }
    if (text_file != nullptr) {
        auto* open = new QPushButton(QStringLiteral("開く"), holder);
        connect(open, &QPushButton::clicked, this, [this, text_file] { Q_EMIT open_file_requested(text_file); });
        layout->addWidget(open);
    }
    holder->setFocusProxy(edit);
    edit->setObjectName(QStringLiteral("path"));
    return holder;
}

void CDlgSetting::read_editor(const Row& row, CSettings& into, std::u16string_view common) const {
    const SettingDef& def = *row.def;
    QWidget* editor = row.editor;
    if (auto* box = qobject_cast<QCheckBox*>(editor)) {
        into.set_number(def.key, box->isChecked() ? 1 : 0);
    } else if (auto* spin = qobject_cast<QSpinBox*>(editor)) {
        into.set_number(def.key, spin->value());
    } else if (auto* combo = qobject_cast<QComboBox*>(editor)) {
        into.set_number(def.key, combo->currentIndex());
    } else if (auto* plain = qobject_cast<QPlainTextEdit*>(editor)) {
        into.set_text(def.key, stored_text(plain->toPlainText()));
    } else if (auto* line = qobject_cast<QLineEdit*>(editor)) {
        into.set_text(def.key, to_u16(line->text()));
    } else if (auto* path = editor->findChild<QLineEdit*>(QStringLiteral("path"))) {
        const auto* flag = editor->findChild<QCheckBox*>(QStringLiteral("common"));
        const quippet::CommonFolderView view{flag != nullptr && flag->isChecked(), to_u16(path->text())};
        into.set_text(def.key, quippet::join_common_folder(view, common));
    }
}

std::u16string CDlgSetting::common_folder() const {
    return original_.text(quippet::OptText::kCommonFolder);
}

CSettings CDlgSetting::edited() const {
    CSettings out = original_;
    // The common folder as edited now: the flagged paths are joined to it, not to the old one.
    CSettings folder_only = original_;
    if (const Row* row = row_of(quippet::key(quippet::OptText::kCommonFolder)))
        read_editor(*row, folder_only, common_folder());
    const std::u16string common = folder_only.text(quippet::OptText::kCommonFolder);
    for (const Row& row : rows_)
        read_editor(row, out, common);
    out.set_number(quippet::kOptionPage, current_page());
    return out;
}

int CDlgSetting::write_changes(const CSettings& now) {
    if (ini_ == nullptr) return 0;
    quippet::CFileINI::Batch batch(*ini_);
    for (const Row& row : rows_) {
        const SettingDef& def = *row.def;
        const std::u16string name = quippet::setting_key_name(def.key);
        if (def.is_text()) {
            if (now.text(def.key) == original_.text(def.key)) continue;
            if (def.type == SettingType::kProtected)
                ini_->write_protected(name, now.text(def.key));
            else
                ini_->write_text(def.key.section, name, now.text(def.key));
        } else if (now.number(def.key) != original_.number(def.key)) {
            ini_->write_number(def.key.section, name, now.number(def.key));
        }
    }
    const int page = now.number(quippet::kOptionPage);
    if (page != stored_page_)
        ini_->write_number(quippet::kOptionPage.section, quippet::setting_key_name(quippet::kOptionPage), page);
    return batch.commit();
}

void CDlgSetting::apply() {
    const CSettings now = edited();
    write_changes(now);
    original_ = now;
    stored_page_ = now.number(quippet::kOptionPage);
    Q_EMIT applied(now);
}

void CDlgSetting::accept() {
    apply();
    QDialog::accept();
}

QStringList CDlgSetting::page_titles() const {
    QStringList titles;
    for (int i = 0; i < pages_->count(); ++i)
        titles.append(pages_->item(i)->text());
    return titles;
}

int CDlgSetting::current_page() const {
    return stack_->currentIndex();
}

void CDlgSetting::select_page(int page) {
    if (page < 0 || page >= pages_->count()) return;
    pages_->setCurrentRow(page);
    stack_->setCurrentIndex(page);
}

const CDlgSetting::Row* CDlgSetting::row_of(const quippet::SettingKey& key) const {
    for (const Row& row : rows_)
        if (row.def->key == key) return &row;
    return nullptr;
}

QWidget* CDlgSetting::editor_for(const quippet::SettingKey& key) const {
    const Row* row = row_of(key);
    return row != nullptr ? row->editor : nullptr;
}

void CDlgSetting::set_filter(const QString& text) {
    const QString needle = text.trimmed();
    std::vector<int> shown_per_page(static_cast<size_t>(pages_->count()), 0);
    std::vector<std::pair<QWidget*, bool>> boxes;
    for (const Row& row : rows_) {
        const bool match = needle.isEmpty() || shown_text(row.def->label).contains(needle, Qt::CaseInsensitive) ||
                           shown_text(row.def->group).contains(needle, Qt::CaseInsensitive);
        row.row_widget->setVisible(match);
        if (match) ++shown_per_page[static_cast<size_t>(row.page)];
        auto at = std::find_if(boxes.begin(), boxes.end(), [&](const auto& b) { return b.first == row.group_box; });
        if (at == boxes.end())
            boxes.emplace_back(row.group_box, match);
        else
            at->second = at->second || match;
    }
    for (const auto& [box, any] : boxes)
        box->setVisible(any);
    int first_listed = -1;
    for (int page = 0; page < pages_->count(); ++page) {
        const bool listed = shown_per_page[static_cast<size_t>(page)] > 0;
        pages_->item(page)->setHidden(!listed);
        if (listed && first_listed < 0) first_listed = page;
    }
    if (first_listed >= 0 && !page_listed(current_page())) select_page(first_listed);
}

bool CDlgSetting::page_listed(int page) const {
    return page >= 0 && page < pages_->count() && !pages_->item(page)->isHidden();
}
