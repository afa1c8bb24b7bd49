#include "app/JobSinks.h"

namespace quippet {

void ListView::set_column(int column, std::u16string_view text) {
    const int rows = row_count();
    for (int row = 0; row < rows; ++row)
        set_cell(row, column, text);
}

int ListView::find_row(std::u16string_view text, int after, int column) {
    const int rows = row_count();
    for (int row = after < 0 ? 0 : after + 1; row < rows; ++row)
        if (cell(row, column) == text) return row;
    return -1;
}

int ListView::first_checked_row() {
    const int rows = row_count();
    for (int row = 0; row < rows; ++row)
        if (is_checked(row)) return row;
    return -1;
}

int ListView::first_checked_open_row() {
    const int rows = row_count();
    for (int row = 0; row < rows; ++row) {
        if (!is_checked(row)) continue;
        const std::u16string first = cell(row, 0);
        if (first.empty() || first == u"^") return row;
    }
    return -1;
}

} // namespace quippet
