#pragma once

#include "app/Settings.h"
#include "app/SettingsCatalogue.h"
#include "text/AppHome.h"
#include "text/Encoding.h"
#include "ui/ControlTable.h"
#include "ui/UiCall.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QRadioButton>
#include <QSpinBox>
#include <QTemporaryDir>

#include <string>
#include <vector>

namespace quippet::test {

/// A fresh app home for one test; the previous home comes back afterwards.
class TabHome {
public:
    TabHome() : previous_(quippet::app_home()) { quippet::set_app_home(ui::to_u16(dir_.path())); }
    ~TabHome() { quippet::set_app_home(previous_); }
    TabHome(const TabHome&) = delete;
    TabHome& operator=(const TabHome&) = delete;

    QString path() const { return dir_.path(); }
    QString file(const QString& name) const { return dir_.filePath(name); }
    QString copy_sample(const QString& name) const {
        const QString to = file(name);
        QFile::copy(QStringLiteral(QUIPPET_SAMPLES_DIR) + QLatin1Char('/') + name, to);
        return to;
    }

private:
    QTemporaryDir dir_;
    std::u16string previous_;
};

/// Sets every control of the table to a value other than its current one (radio buttons excepted: a
/// group is changed by the caller, since exactly one of them is on), as a user changing everything would.
inline void change_every_control(const CControlTable& table) {
    int n = 0;
    for (const CControlTable::Binding& b : table.bindings()) {
        ++n;
        if (qobject_cast<QRadioButton*>(b.control) != nullptr) continue;
        if (auto* button = qobject_cast<QAbstractButton*>(b.control)) {
            button->setChecked(!button->isChecked());
        } else if (auto* spin = qobject_cast<QSpinBox*>(b.control)) {
            const int other = spin->value() < spin->maximum() ? spin->value() + 1 : spin->value() - 1;
            spin->setValue(other);
        } else if (auto* combo = qobject_cast<QComboBox*>(b.control)) {
            if (combo->isEditable())
                combo->setCurrentText(QStringLiteral("名前%1").arg(n));
            else if (combo->count() > 1)
                combo->setCurrentIndex(combo->currentIndex() == combo->count() - 1 ? 0 : combo->count() - 1);
        } else if (auto* edit = qobject_cast<QLineEdit*>(b.control)) {
            edit->setText(QStringLiteral("文字%1").arg(n));
        }
    }
}

/// The keys of `section` whose values differ between the two settings.
inline std::vector<std::string> differing_keys(const CSettings& a, const CSettings& b, std::u16string_view section) {
    std::vector<std::string> out;
    for (const SettingDef& def : setting_catalogue()) {
        if (def.key.section != section) continue;
        const bool same = def.is_text() ? a.text(def.key) == b.text(def.key) : a.number(def.key) == b.number(def.key);
        if (!same) out.push_back(to_utf8(setting_key_name(def.key)));
    }
    return out;
}

} // namespace quippet::test
