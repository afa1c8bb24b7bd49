#pragma once

#include "app/JobSinks.h"
#include "app/MemorySinks.h"

#include <mutex>
#include <ostream>

namespace quippet {

/// Log pane and main window for a terminal. Log lines go to `out` as UTF-8 with plain line feeds.
/// A line that replaces the last one is a progress display: it is drawn over itself on `err` when
/// `progress` is on (a terminal) and dropped otherwise, so redirected output holds only real lines.
/// End notices become a last line on `out`; message boxes are shown on `err` and given their
/// default answer.
class TerminalSink : public LogBox, public NoticeSink {
public:
    TerminalSink(std::ostream& out, std::ostream& err, bool progress);
    /// Standard output and error; progress only when standard error is a terminal.
    static bool stderr_is_terminal();
    ~TerminalSink() override;
    TerminalSink(const TerminalSink&) = delete;
    TerminalSink& operator=(const TerminalSink&) = delete;

    std::size_t length() const override;
    char16_t unit_at(std::size_t index) const override;
    void append(std::u16string_view text) override;
    void replace_last_line(std::u16string_view text) override;
    void erase_front(std::size_t count) override;

    void job_ended(const JobEndNotice& notice) override;
    BoxAnswer message_box(const MessageBoxRequest& request) override;
    /// Through a player found on PATH; silently nothing when there is none.
    void play_sound(std::u16string_view file) override;

    /// Ends an unfinished output line and wipes the progress display.
    void finish();

private:
    void clear_progress();
    void close_line();

    mutable std::mutex mutex_;
    std::ostream& out_;
    std::ostream& err_;
    bool progress_;
    // What a window would show, so that the frame's line rules see the same box everywhere.
    MemoryLogBox mirror_;
    bool line_open_ = false;
    // The current line was ended here ahead of time; the line break the next text starts with has
    // been written already.
    bool closed_early_ = false;
    bool progress_shown_ = false;
};

} // namespace quippet
