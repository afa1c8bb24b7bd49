#pragma once

#include "app/JobSinks.h"

#include <deque>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace quippet {

/// Log pane kept as a string; also the mirror behind the terminal front end.
class MemoryLogBox : public LogBox {
public:
    std::size_t length() const override;
    char16_t unit_at(std::size_t index) const override;
    void append(std::u16string_view text) override;
    void replace_last_line(std::u16string_view text) override;
    void erase_front(std::size_t count) override;

    std::u16string text() const;
    void set_text(std::u16string text);

private:
    mutable std::mutex mutex_;
    std::u16string text_;
};

/// List view kept as vectors; records the display requests it cannot show.
class MemoryListView : public ListView {
public:
    struct Row {
        std::vector<std::u16string> cells;
        bool checked = false;
        std::int64_t value = 0;
    };

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

    /// Appends a row with the given cells (for setting up a list).
    int add_row(std::vector<std::u16string> cells, bool checked = false);
    std::vector<Row> rows() const;
    std::vector<int> scrolled_rows() const;
    std::vector<std::pair<int, int>> redrawn_ranges() const;
    int auto_fit_count() const;
    void set_top_row(int row);

private:
    bool valid(int row) const { return row >= 0 && static_cast<std::size_t>(row) < rows_.size(); }

    mutable std::mutex mutex_;
    std::vector<Row> rows_;
    std::vector<int> scrolled_;
    std::vector<std::pair<int, int>> redrawn_;
    int auto_fits_ = 0;
    int top_ = 0;
};

/// Main-window notices kept for inspection; message boxes are answered from a queue of prepared
/// answers, then with their default.
class MemoryNoticeSink : public NoticeSink {
public:
    void job_ended(const JobEndNotice& notice) override;
    BoxAnswer message_box(const MessageBoxRequest& request) override;
    void play_sound(std::u16string_view file) override;
    void run_end_actions(JobKind kind, const JobKindInfo& info) override;

    void queue_answer(BoxAnswer answer);
    std::vector<JobEndNotice> notices() const;
    std::vector<MessageBoxRequest> boxes() const;
    std::vector<std::u16string> sounds() const;
    std::vector<int> end_action_kinds() const;

private:
    mutable std::mutex mutex_;
    std::vector<JobEndNotice> notices_;
    std::vector<MessageBoxRequest> boxes_;
    std::deque<BoxAnswer> answers_;
    std::vector<std::u16string> sounds_;
    std::vector<int> end_actions_;
};

} // namespace quippet
