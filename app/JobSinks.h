#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace quippet {

struct JobKindInfo;
enum class JobKind : int;

/// A tab's log pane as seen by the job frame. Only primitives live here: the line and trimming
/// rules are applied once, by CJobFrame::log, so every front end behaves alike. The frame calls
/// these from worker threads under its log lock; an implementation that hands the work to the UI
/// thread must finish it before returning, and that thread must then never wait for the log lock
/// itself (it would wait for a worker that waits for it).
class LogBox {
public:
    virtual ~LogBox() = default;

    /// Number of UTF-16 units held.
    virtual std::size_t length() const = 0;
    /// Unit at `index` (< length()).
    virtual char16_t unit_at(std::size_t index) const = 0;
    virtual void append(std::u16string_view text) = 0;
    /// Replaces everything after the last line break (the whole text when there is none).
    virtual void replace_last_line(std::u16string_view text) = 0;
    virtual void erase_front(std::size_t count) = 0;
};

/// A tab's list view as seen by the job frame. Rows and columns count from 0. The frame calls these
/// under its list lock, with the same caution as for LogBox. The searches have plain default implementations on top of
/// the primitives; a front end whose per-call cost is high may answer them in one go.
class ListView {
public:
    virtual ~ListView() = default;

    virtual int row_count() const = 0;
    /// Text of a cell; empty for a row or column that does not exist.
    virtual std::u16string cell(int row, int column) const = 0;
    virtual void set_cell(int row, int column, std::u16string_view text) = 0;
    /// The value kept with a row beside its cells (0 for a row that does not exist).
    virtual std::int64_t stored_value(int row) const = 0;
    virtual void set_stored_value(int row, std::int64_t value) = 0;
    /// Inserts a row whose first cell is `first_cell` before `row` (at the end when `row` is negative
    /// or past the end) and returns its index.
    virtual int insert_row(int row, std::u16string_view first_cell) = 0;
    virtual bool is_checked(int row) const = 0;
    virtual void set_checked(int row, bool checked) = 0;
    virtual void scroll_into_view(int row) = 0;
    virtual void redraw_rows(int first, int last) = 0;
    virtual int top_row() const = 0;
    /// Recomputes column widths from the window width (shrinkable columns at least 45 px, the fixed
    /// one 200 px).
    virtual void auto_fit_columns() = 0;

    virtual void set_column(int column, std::u16string_view text);
    /// First row after `after` whose cell in `column` equals `text`; -1 when none.
    virtual int find_row(std::u16string_view text, int after, int column);
    /// First checked row; -1 when none.
    virtual int first_checked_row();
    /// First checked row whose first cell is empty or "^" (a row not yet taken by any worker); -1
    /// when none.
    virtual int first_checked_open_row();
};

enum class BoxButtons { ok, ok_cancel, yes_no, yes_no_cancel };
enum class BoxAnswer { ok, cancel, yes, no };

struct MessageBoxRequest {
    std::u16string text;
    std::u16string caption;
    BoxButtons buttons = BoxButtons::ok;
    /// The answer a front end without a user gives.
    BoxAnswer default_answer = BoxAnswer::ok;
};

/// What the main window shows when a job ends.
struct JobEndNotice {
    /// The end message with its "others still running" or "all done" suffix.
    std::u16string text;
    /// Tooltip for the tray icon: program name + " - " + text.
    std::u16string tooltip;
    /// Show `text` as a balloon titled with the program name as well.
    bool balloon = false;
};

/// The main window as seen by the job frame. Calls come from any thread, several at once (a worker
/// may ask a question while another job's end is shown), and no frame lock is held during them. A
/// windowing front end marshals them to its UI thread and shows the tray parts only while its tray
/// icon is shown.
class NoticeSink {
public:
    virtual ~NoticeSink() = default;

    virtual void job_ended(const JobEndNotice& notice) = 0;
    virtual BoxAnswer message_box(const MessageBoxRequest& request) = 0;
    virtual void play_sound(std::u16string_view /*file*/) {}
    /// Follow-up work the window does for some kinds when one of their jobs ended.
    virtual void run_end_actions(JobKind /*kind*/, const JobKindInfo& /*info*/) {}
};

/// Program name used as the tray tooltip prefix and the balloon title.
inline constexpr std::u16string_view program_name = u"QuippetVellichor";

} // namespace quippet
