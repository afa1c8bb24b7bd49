#include "app/MemorySinks.h"

#include "app/JobKinds.h"

namespace quippet {

std::size_t MemoryLogBox::length() const {
    std::lock_guard lock(mutex_);
    return text_.size();
}

char16_t MemoryLogBox::unit_at(std::size_t index) const {
    std::lock_guard lock(mutex_);
    return index < text_.size() ? text_[index] : u'\0';
}

void MemoryLogBox::append(std::u16string_view text) {
    std::lock_guard lock(mutex_);
    text_.append(text);
}

void MemoryLogBox::replace_last_line(std::u16string_view text) {
    std::lock_guard lock(mutex_);
    const std::size_t pos = text_.find_last_of(u'\n');
    text_.resize(pos == std::u16string::npos ? 0 : pos + 1);
    text_.append(text);
}

void MemoryLogBox::erase_front(std::size_t count) {
    std::lock_guard lock(mutex_);
    text_.erase(0, count);
}

std::u16string MemoryLogBox::text() const {
    std::lock_guard lock(mutex_);
    return text_;
}

void MemoryLogBox::set_text(std::u16string text) {
    std::lock_guard lock(mutex_);
    text_ = std::move(text);
}

int MemoryListView::row_count() const {
    std::lock_guard lock(mutex_);
    return static_cast<int>(rows_.size());
}

std::u16string MemoryListView::cell(int row, int column) const {
    std::lock_guard lock(mutex_);
    if (!valid(row) || column < 0) return {};
    const auto& cells = rows_[static_cast<std::size_t>(row)].cells;
    return static_cast<std::size_t>(column) < cells.size() ? cells[static_cast<std::size_t>(column)] : std::u16string();
}

void MemoryListView::set_cell(int row, int column, std::u16string_view text) {
    std::lock_guard lock(mutex_);
    if (!valid(row) || column < 0) return;
    auto& cells = rows_[static_cast<std::size_t>(row)].cells;
    if (static_cast<std::size_t>(column) >= cells.size()) cells.resize(static_cast<std::size_t>(column) + 1);
    cells[static_cast<std::size_t>(column)] = std::u16string(text);
}

std::int64_t MemoryListView::stored_value(int row) const {
    std::lock_guard lock(mutex_);
    return valid(row) ? rows_[static_cast<std::size_t>(row)].value : 0;
}

void MemoryListView::set_stored_value(int row, std::int64_t value) {
    std::lock_guard lock(mutex_);
    if (valid(row)) rows_[static_cast<std::size_t>(row)].value = value;
}

int MemoryListView::insert_row(int row, std::u16string_view first_cell) {
    std::lock_guard lock(mutex_);
    if (row < 0 || static_cast<std::size_t>(row) > rows_.size()) row = static_cast<int>(rows_.size());
    Row added;
    added.cells.emplace_back(first_cell);
    rows_.insert(rows_.begin() + row, std::move(added));
    return row;
}

bool MemoryListView::is_checked(int row) const {
    std::lock_guard lock(mutex_);
    return valid(row) && rows_[static_cast<std::size_t>(row)].checked;
}

void MemoryListView::set_checked(int row, bool checked) {
    std::lock_guard lock(mutex_);
    if (valid(row)) rows_[static_cast<std::size_t>(row)].checked = checked;
}

void MemoryListView::scroll_into_view(int row) {
    std::lock_guard lock(mutex_);
    scrolled_.push_back(row);
}

void MemoryListView::redraw_rows(int first, int last) {
    std::lock_guard lock(mutex_);
    redrawn_.emplace_back(first, last);
}

int MemoryListView::top_row() const {
    std::lock_guard lock(mutex_);
    return top_;
}

void MemoryListView::auto_fit_columns() {
    std::lock_guard lock(mutex_);
    ++auto_fits_;
}

int MemoryListView::add_row(std::vector<std::u16string> cells, bool checked) {
    std::lock_guard lock(mutex_);
    rows_.push_back(Row{std::move(cells), checked, 0});
    return static_cast<int>(rows_.size()) - 1;
}

std::vector<MemoryListView::Row> MemoryListView::rows() const {
    std::lock_guard lock(mutex_);
    return rows_;
}

std::vector<int> MemoryListView::scrolled_rows() const {
    std::lock_guard lock(mutex_);
    return scrolled_;
}

std::vector<std::pair<int, int>> MemoryListView::redrawn_ranges() const {
    std::lock_guard lock(mutex_);
    return redrawn_;
}

int MemoryListView::auto_fit_count() const {
    std::lock_guard lock(mutex_);
    return auto_fits_;
}

void MemoryListView::set_top_row(int row) {
    std::lock_guard lock(mutex_);
    top_ = row;
}

void MemoryNoticeSink::job_ended(const JobEndNotice& notice) {
    std::lock_guard lock(mutex_);
    notices_.push_back(notice);
}

BoxAnswer MemoryNoticeSink::message_box(const MessageBoxRequest& request) {
    std::lock_guard lock(mutex_);
    boxes_.push_back(request);
    if (answers_.empty()) return request.default_answer;
    const BoxAnswer answer = answers_.front();
    answers_.pop_front();
    return answer;
}

void MemoryNoticeSink::play_sound(std::u16string_view file) {
    std::lock_guard lock(mutex_);
    sounds_.emplace_back(file);
}

void MemoryNoticeSink::run_end_actions(JobKind kind, const JobKindInfo& /*info*/) {
    std::lock_guard lock(mutex_);
    end_actions_.push_back(to_int(kind));
}

void MemoryNoticeSink::queue_answer(BoxAnswer answer) {
    std::lock_guard lock(mutex_);
    answers_.push_back(answer);
}

std::vector<JobEndNotice> MemoryNoticeSink::notices() const {
    std::lock_guard lock(mutex_);
    return notices_;
}

std::vector<MessageBoxRequest> MemoryNoticeSink::boxes() const {
    std::lock_guard lock(mutex_);
    return boxes_;
}

std::vector<std::u16string> MemoryNoticeSink::sounds() const {
    std::lock_guard lock(mutex_);
    return sounds_;
}

std::vector<int> MemoryNoticeSink::end_action_kinds() const {
    std::lock_guard lock(mutex_);
    return end_actions_;
}

} // namespace quippet
