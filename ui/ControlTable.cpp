#include "ui/ControlTable.h"

#include "app/Settings.h"
#include "app/SettingsCatalogue.h"
#include "ui/UiCall.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QComboBox>
#include <QLineEdit>
#include <QSpinBox>
#include <QToolButton>
#include <QVariant>

#include <algorithm>
#include <cassert>
#include <cstdlib>

using quippet::ui::to_qstring;
using quippet::ui::to_u16;

namespace {

/// A combo box or list whose entries are filled from a file (boards, presets, playlists) may not yet hold
/// the stored entry; the stored index is kept under this property so that saving does not lose it.
constexpr const char* kKeptIndex = "quippet_kept_index";

} // namespace

void CControlTable::bind(const quippet::SettingKey& key, QWidget* control) {
    const quippet::SettingDef* def = quippet::find_setting(key);
    assert(def != nullptr && control != nullptr);
    bindings_.push_back({key, control, def});
}

QWidget* CControlTable::control_for(const quippet::SettingKey& key) const {
    for (const Binding& b : bindings_)
        if (b.key == key) return b.control;
    return nullptr;
}

void CControlTable::load(const quippet::CSettings& from) const {
    for (const Binding& b : bindings_) {
        QWidget* c = b.control;
        const QSignalBlocker block(c);
        if (auto* button = qobject_cast<QAbstractButton*>(c)) {
            button->setChecked(from.on(b.key));
            // The caption of a two-state toggle follows its state; it listens to toggled, which is blocked.
            if (auto* tool = qobject_cast<QToolButton*>(c); tool && tool->property("caption_on").isValid())
                tool->setText(tool->property(from.on(b.key) ? "caption_on" : "caption_off").toString());
        } else if (auto* spin = qobject_cast<QSpinBox*>(c)) {
            spin->setValue(std::clamp(from.number(b.key), spin->minimum(), spin->maximum()));
        } else if (auto* combo = qobject_cast<QComboBox*>(c)) {
            if (b.def->is_text()) {
                combo->setCurrentText(to_qstring(from.text(b.key)));
            } else {
                const int index = from.number(b.key);
                combo->setProperty(kKeptIndex, index);
                combo->setCurrentIndex(index >= 0 && index < combo->count() ? index : -1);
            }
        } else if (auto* edit = qobject_cast<QLineEdit*>(c)) {
            edit->setText(to_qstring(from.text(b.key)));
        } else if (auto* view = qobject_cast<QAbstractItemView*>(c)) {
            // The view's own signals are blocked, its selection model's are not: a page that fills one list
            // from the selection of another sees each selection arrive in the order of its table.
            const int row = from.number(b.key);
            view->setProperty(kKeptIndex, row);
            QAbstractItemModel* model = view->model();
            if (model != nullptr && row >= 0 && row < model->rowCount())
                view->setCurrentIndex(model->index(row, 0));
            else
                view->setCurrentIndex({});
        }
    }
}

void CControlTable::save(quippet::CSettings& into) const {
    for (const Binding& b : bindings_) {
        QWidget* c = b.control;
        if (auto* button = qobject_cast<QAbstractButton*>(c)) {
            into.set_number(b.key, button->isChecked() ? 1 : 0);
        } else if (auto* spin = qobject_cast<QSpinBox*>(c)) {
            into.set_number(b.key, spin->value());
        } else if (auto* combo = qobject_cast<QComboBox*>(c)) {
            if (b.def->is_text()) {
                into.set_text(b.key, to_u16(combo->currentText()));
            } else if (combo->currentIndex() >= 0) {
                into.set_number(b.key, combo->currentIndex());
            } else if (combo->property(kKeptIndex).isValid()) {
                into.set_number(b.key, combo->property(kKeptIndex).toInt());
            }
        } else if (auto* edit = qobject_cast<QLineEdit*>(c)) {
            into.set_text(b.key, to_u16(edit->text()));
        } else if (auto* view = qobject_cast<QAbstractItemView*>(c)) {
            if (view->currentIndex().isValid())
                into.set_number(b.key, view->currentIndex().row());
            else if (view->property(kKeptIndex).isValid())
                into.set_number(b.key, view->property(kKeptIndex).toInt());
        }
    }
}

QSpinBox* CControlTable::spin(const quippet::SettingKey& key, QWidget* parent, int width) {
    auto* s = new QSpinBox(parent);
    bind(key, s);
    const quippet::SettingDef* def = bindings_.back().def;
    s->setRange(def->minimum, def->maximum);
    s->setValue(std::clamp(def->default_number, def->minimum, def->maximum));
    s->setButtonSymbols(QAbstractSpinBox::NoButtons);
    s->setAlignment(Qt::AlignRight);
    if (width > 0) {
        s->setFixedWidth(width);
    } else {
        // Wide enough for the largest value the field takes, no wider.
        const int digits = static_cast<int>(QString::number(std::max(std::abs(def->minimum), def->maximum)).size()) +
                           (def->minimum < 0 ? 1 : 0);
        s->setFixedWidth(s->fontMetrics().horizontalAdvance(QString(std::min(digits, 9) + 1, QLatin1Char('0'))) + 8);
    }
    if (!def->note.empty())
        s->setToolTip(QString::fromUtf8(def->note.data(), static_cast<qsizetype>(def->note.size())));
    return s;
}

QComboBox* CControlTable::choice(const quippet::SettingKey& key, QWidget* parent) {
    auto* combo = new QComboBox(parent);
    bind(key, combo);
    const quippet::SettingDef* def = bindings_.back().def;
    for (const std::u16string& item : def->items)
        combo->addItem(to_qstring(item));
    combo->setCurrentIndex(std::clamp(def->default_number, 0, std::max(0, combo->count() - 1)));
    return combo;
}

QLineEdit* CControlTable::line(const quippet::SettingKey& key, QWidget* parent) {
    auto* edit = new QLineEdit(parent);
    bind(key, edit);
    edit->setText(to_qstring(bindings_.back().def->default_text));
    return edit;
}

QToolButton* CControlTable::toggle(const quippet::SettingKey& key, const QString& off, const QString& on,
                                   QWidget* parent) {
    auto* t = new QToolButton(parent);
    t->setCheckable(true);
    t->setText(off);
    if (off != on) {
        t->setProperty("caption_off", off);
        t->setProperty("caption_on", on);
        QObject::connect(t, &QToolButton::toggled, t, [t, off, on](bool pressed) { t->setText(pressed ? on : off); });
    }
    bind(key, t);
    return t;
}
