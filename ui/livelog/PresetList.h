#pragma once

#include <QListWidget>

#include <string>
#include <vector>

/// The live-log tab's list of presets: the ".txt" files of the preset folder, in the list style of the
/// settings ("グリッド線を表示する", "1行の高さ").
class CListPreset : public QListWidget {
    Q_OBJECT
public:
    explicit CListPreset(QWidget* parent = nullptr);

    /// Lists the folder again, keeping the selection when its name is still there.
    void refresh(const std::u16string& folder);
    void set_style(bool grid_lines, int row_height);
    /// The selected preset's name; empty when none is selected.
    QString selected_name() const;
    std::vector<std::u16string> names() const;
    bool select_name(const QString& name);
};
