#pragma once

#include "app/IniFile.h"
#include "app/Settings.h"
#include "app/SettingsCatalogue.h"
#include "app/SettingsTextFiles.h"

#include <QDialog>
#include <QString>
#include <QStringList>

#include <vector>

class QLineEdit;
class QListWidget;
class QStackedWidget;
class QWidget;

namespace quippet::ui {

/// The detailed settings the window edits: the numbered keys of "OptionDialog", page by page.
bool is_detailed_setting(const SettingDef& def);

/// The settings text file whose path a setting holds, or nullptr.
const SettingsTextFile* settings_text_file_for(const SettingKey& key);

/// What kind of path a text setting holds, read from where the catalogue puts it and how it names it.
enum class PathKind { none, file, folder };
PathKind path_kind(const SettingDef& def);

} // namespace quippet::ui

/// The detailed-settings window "詳細設定". Its pages are built from the settings catalogue, one per
/// catalogue page, so that a setting added to the catalogue appears here without code of its own.
///
/// The window edits a copy. OK and 適用 write the settings that changed (and the page shown) in one
/// write of the settings file and hand the copy to the main window; キャンセル changes nothing.
class CDlgSetting : public QDialog {
    Q_OBJECT
public:
    /// `ini` may be null (nothing is written then).
    CDlgSetting(const quippet::CSettings& current, quippet::CFileINI* ini, QWidget* parent = nullptr);

    QStringList page_titles() const;
    int current_page() const;
    /// The control that edits `key`; null when no page has one.
    QWidget* editor_for(const quippet::SettingKey& key) const;
    /// The settings as the controls show them now.
    quippet::CSettings edited() const;
    /// Shows only the settings whose label or group holds `text`; pages without such a setting leave
    /// the list. An empty text shows everything.
    void set_filter(const QString& text);
    /// Whether the page list shows the page (it may be left out by the filter).
    bool page_listed(int page) const;

public Q_SLOTS:
    void select_page(int page);
    /// Writes the changes and hands them over; the window stays open.
    void apply();
    void accept() override;

Q_SIGNALS:
    void applied(const quippet::CSettings& settings);
    /// The user asked to open a settings text file in the editor.
    void open_file_requested(const quippet::SettingsTextFile* file);

private:
    struct Row {
        const quippet::SettingDef* def;
        QWidget* editor;
        QWidget* row_widget; // label and editor together, hidden by the filter
        QWidget* group_box;
        int page;
    };

    QWidget* build_page(const std::vector<const quippet::SettingDef*>& defs, int page);
    QWidget* make_editor(const quippet::SettingDef& def, QWidget* parent);
    void read_editor(const Row& row, quippet::CSettings& into, std::u16string_view common) const;
    const Row* row_of(const quippet::SettingKey& key) const;
    /// The common settings folder as the window was opened with it.
    std::u16string common_folder() const;
    int write_changes(const quippet::CSettings& now);

    quippet::CSettings original_;
    quippet::CFileINI* ini_;
    QLineEdit* filter_;
    QListWidget* pages_;
    QStackedWidget* stack_;
    std::vector<Row> rows_;
    int stored_page_;
};
