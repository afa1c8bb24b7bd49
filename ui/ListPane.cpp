#include "ui/ListPane.h"

#include "ui/UiCall.h"

#include <QHeaderView>

#include <algorithm>
#include <memory>

using quippet::ui::call_on_owner;
using quippet::ui::to_qstring;
using quippet::ui::to_u16;

CListPane::CListPane(const QStringList& labels, QWidget* parent) : QTreeWidget(parent) {
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    if (labels.isEmpty()) {
        setColumnCount(1);
        setHeaderHidden(true);
    } else {
        setHeaderLabels(labels);
    }
}

QTreeWidgetItem* CListPane::row_item(int row) const {
    return row >= 0 && row < topLevelItemCount() ? topLevelItem(row) : nullptr;
}

int CListPane::row_count() const {
    return call_on_owner(this, 0, [this] { return topLevelItemCount(); });
}

std::u16string CListPane::cell(int row, int column) const {
    return call_on_owner(this, std::u16string(), [this, row, column] {
        const QTreeWidgetItem* item = row_item(row);
        if (item == nullptr || column < 0) return std::u16string();
        return to_u16(item->text(column));
    });
}

void CListPane::set_cell(int row, int column, std::u16string_view text) {
    call_on_owner(this, [this, row, column, text] {
        QTreeWidgetItem* item = row_item(row);
        if (item == nullptr || column < 0) return;
        if (column >= columnCount()) setColumnCount(column + 1);
        item->setText(column, to_qstring(text));
    });
}

std::int64_t CListPane::stored_value(int row) const {
    return call_on_owner(this, std::int64_t{0}, [this, row] {
        const QTreeWidgetItem* item = row_item(row);
        return item == nullptr ? std::int64_t{0} : static_cast<std::int64_t>(item->data(0, Qt::UserRole).toLongLong());
    });
}

void CListPane::set_stored_value(int row, std::int64_t value) {
    call_on_owner(this, [this, row, value] {
        if (QTreeWidgetItem* item = row_item(row)) item->setData(0, Qt::UserRole, QVariant(qint64{value}));
    });
}

int CListPane::insert_row(int row, std::u16string_view first_cell) {
    return call_on_owner(this, -1, [this, row, first_cell] {
        const int count = topLevelItemCount();
        const int at = row < 0 || row > count ? count : row;
        auto item = std::make_unique<QTreeWidgetItem>();
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(0, Qt::Unchecked);
        item->setData(0, Qt::UserRole, QVariant(qint64{0}));
        item->setText(0, to_qstring(first_cell));
        insertTopLevelItem(at, item.release());
        return at;
    });
}

bool CListPane::is_checked(int row) const {
    return call_on_owner(this, false, [this, row] {
        const QTreeWidgetItem* item = row_item(row);
        return item != nullptr && item->checkState(0) == Qt::Checked;
    });
}

void CListPane::set_checked(int row, bool checked) {
    call_on_owner(this, [this, row, checked] {
        if (QTreeWidgetItem* item = row_item(row)) item->setCheckState(0, checked ? Qt::Checked : Qt::Unchecked);
    });
}

void CListPane::scroll_into_view(int row) {
    call_on_owner(this, [this, row] {
        if (QTreeWidgetItem* item = row_item(row)) scrollToItem(item);
    });
}

void CListPane::redraw_rows(int /*first*/, int /*last*/) {
    // Items repaint themselves when they change; this only catches what was drawn from outside data.
    call_on_owner(this, [this] { viewport()->update(); });
}

int CListPane::top_row() const {
    return call_on_owner(this, 0, [this] {
        QTreeWidgetItem* top = itemAt(0, 0);
        return top == nullptr ? 0 : indexOfTopLevelItem(top);
    });
}

void CListPane::auto_fit_columns() {
    call_on_owner(this, [this] {
        const int columns = columnCount();
        const bool has_fixed = fixed_column_ >= 0 && fixed_column_ < columns;
        const int shrinkable = columns - (has_fixed ? 1 : 0);
        int available = viewport()->width();
        if (has_fixed) {
            setColumnWidth(fixed_column_, fixed_column_width);
            available -= fixed_column_width;
        }
        if (shrinkable <= 0) return;
        const int each = std::max(min_column_width, available / shrinkable);
        for (int column = 0; column < columns; ++column)
            if (column != fixed_column_) setColumnWidth(column, each);
    });
}

void CListPane::set_column(int column, std::u16string_view text) {
    call_on_owner(this, [this, column, text] { ListView::set_column(column, text); });
}

int CListPane::find_row(std::u16string_view text, int after, int column) {
    return call_on_owner(this, -1, [this, text, after, column] { return ListView::find_row(text, after, column); });
}

int CListPane::first_checked_row() {
    return call_on_owner(this, -1, [this] { return ListView::first_checked_row(); });
}

int CListPane::first_checked_open_row() {
    return call_on_owner(this, -1, [this] { return ListView::first_checked_open_row(); });
}
