#pragma once

#include "app/SettingKeys.h"

#include <QString>

#include <vector>

class QAbstractButton;
class QComboBox;
class QLineEdit;
class QSpinBox;
class QToolButton;
class QWidget;

namespace quippet {
class CSettings;
struct SettingDef;
} // namespace quippet

/// The one table of a tab that ties each control to its settings key. Loading the tab, saving it and the
/// settings snapshot of a job all go through it, so a control added to the table is stored, restored by
/// presets and seen by jobs without code of its own.
///
/// A check box, radio button or checkable tool button holds a switch (0/1); a spin box a number; a combo
/// box the index of a choice, or, when editable, a text; a line edit a text; a list or table view the row
/// of its current item. Ranges and choices come from
/// the settings catalogue.
class CControlTable {
public:
    struct Binding {
        quippet::SettingKey key;
        QWidget* control = nullptr;
        const quippet::SettingDef* def = nullptr;
    };

    /// Binds `control` to `key`; a key without a catalogue row is a programming error (asserted).
    void bind(const quippet::SettingKey& key, QWidget* control);

    void load(const quippet::CSettings& from) const;
    void save(quippet::CSettings& into) const;

    const std::vector<Binding>& bindings() const { return bindings_; }
    /// The control of `key`; null when the table has none.
    QWidget* control_for(const quippet::SettingKey& key) const;

    // Controls made and bound in one step, set up from the key's catalogue row.
    QSpinBox* spin(const quippet::SettingKey& key, QWidget* parent, int width = 0);
    QComboBox* choice(const quippet::SettingKey& key, QWidget* parent);
    QLineEdit* line(const quippet::SettingKey& key, QWidget* parent);
    template <class Button> Button* button(const quippet::SettingKey& key, const QString& text, QWidget* parent) {
        auto* b = new Button(text, parent);
        bind(key, b);
        return b;
    }

    /// A checkable button whose caption shows its state: `off` while released, `on` while pressed (the same
    /// text for both makes a plain toggle).
    QToolButton* toggle(const quippet::SettingKey& key, const QString& off, const QString& on, QWidget* parent);

private:
    std::vector<Binding> bindings_;
};
