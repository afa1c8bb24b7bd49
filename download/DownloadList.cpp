#include "download/DownloadList.h"

namespace quippet {

std::u16string CListDownload::cell(int row, int column) const {
    if (!valid(row) || column < 0 || column >= dlcol::kCount) return {};
    return rows_[static_cast<size_t>(row)].cells[static_cast<size_t>(column)];
}

void CListDownload::set_cell(int row, int column, std::u16string_view text) {
    if (!valid(row) || column < 0 || column >= dlcol::kCount) return;
    std::u16string& target = rows_[static_cast<size_t>(row)].cells[static_cast<size_t>(column)];
    if (column == dlcol::kId) {
        forget_id(target);
        target.assign(text);
        remember_id(target);
        return;
    }
    target.assign(text);
}

std::int64_t CListDownload::stored_value(int row) const {
    return valid(row) ? rows_[static_cast<size_t>(row)].value : 0;
}

void CListDownload::set_stored_value(int row, std::int64_t value) {
    if (valid(row)) rows_[static_cast<size_t>(row)].value = value;
}

int CListDownload::insert_row(int row, std::u16string_view first_cell) {
    DownloadRow r;
    r.cells[0].assign(first_cell);
    if (row < 0 || static_cast<size_t>(row) >= rows_.size()) {
        rows_.push_back(std::move(r));
        return static_cast<int>(rows_.size()) - 1;
    }
    rows_.insert(rows_.begin() + row, std::move(r));
    return row;
}

bool CListDownload::is_checked(int row) const {
    return valid(row) && rows_[static_cast<size_t>(row)].checked;
}

void CListDownload::set_checked(int row, bool checked) {
    if (valid(row)) rows_[static_cast<size_t>(row)].checked = checked;
}

int CListDownload::find_row(std::u16string_view text, int after, int column) {
    if (column == dlcol::kId && !has_id(text)) return -1;
    return ListView::find_row(text, after, column);
}

int CListDownload::add_row(DownloadRow row) {
    if (!row.id().empty() && has_id(row.id())) return -1;
    remember_id(row.id());
    rows_.push_back(std::move(row));
    return static_cast<int>(rows_.size()) - 1;
}

void CListDownload::remove_row(int row) {
    if (!valid(row)) return;
    forget_id(rows_[static_cast<size_t>(row)].id());
    rows_.erase(rows_.begin() + row);
}

void CListDownload::clear() {
    rows_.clear();
    ids_.clear();
}

void CListDownload::forget_id(const std::u16string& id) {
    if (id.empty()) return;
    const auto it = ids_.find(id);
    if (it != ids_.end() && --it->second <= 0) ids_.erase(it);
}

void CListDownload::remember_id(const std::u16string& id) {
    if (!id.empty()) ++ids_[id];
}

} // namespace quippet
