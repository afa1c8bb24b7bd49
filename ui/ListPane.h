#pragma once

#include "app/JobSinks.h"

#include <QStringList>
#include <QTreeWidget>

#include <cstdint>
#include <string>
#include <string_view>

/// A tab's list view: one row per item, a check box in the first column and a value kept with each
/// row (Qt::UserRole of the first column). Worker calls are carried out on the UI thread while the
/// worker waits; calls on the UI thread run at once. The searches run as one call each so that a
/// worker scanning the list does not wait for the UI thread once per row.
class CListPane : public QTreeWidget, public quippet::ListView {
    Q_OBJECT
public:
    /// Without labels the header is hidden; cells written past the last column add columns.
    explicit CListPane(const QStringList& labels = {}, QWidget* parent = nullptr);

    /// The column that keeps its 200 px when the columns are fitted; -1 for none.
    void set_fixed_column(int column) { fixed_column_ = column; }

    int row_count() const override;
    std::u16string cell(int row, int column) const override;
    void set_cell(int row, int column, std::u16string_view text) override;
    std::int64_t stored_value(int row) const override;
    void set_stored_value(int row, std::int64_t value) override;
    int insert_row(int row, std::u16string_view first_cell) override;
    bool is_checked(int row) const override;
    void set_checked(int row, bool checked) override;
    void scroll_into_view(int row) override;
    void redraw_rows(int first, int last) override;
    int top_row() const override;
    void auto_fit_columns() override;

    void set_column(int column, std::u16string_view text) override;
    int find_row(std::u16string_view text, int after, int column) override;
    int first_checked_row() override;
    int first_checked_open_row() override;

    static constexpr int min_column_width = 45;
    static constexpr int fixed_column_width = 200;

private:
    QTreeWidgetItem* row_item(int row) const;

    int fixed_column_ = -1;
};
