#include "app/TerminalSink.h"

#include "app/JobText.h"
#include "app/SoundPlayer.h"

#include <cstdio>
#include <string>
#include <unistd.h>

namespace quippet {

namespace {

/// Plain line feeds for a terminal or a file; CR LF and lone CR alike.
std::string terminal_text(std::u16string_view text) {
    std::u16string lines;
    lines.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == u'\r') {
            lines.push_back(u'\n');
            if (i + 1 < text.size() && text[i + 1] == u'\n') ++i;
        } else {
            lines.push_back(text[i]);
        }
    }
    return jobtext::to_utf8(lines);
}

bool is_break(char16_t c) {
    return c == u'\r' || c == u'\n';
}

std::u16string_view drop_leading_break(std::u16string_view text) {
    if (text.starts_with(u"\r\n")) return text.substr(2);
    if (!text.empty() && is_break(text.front())) return text.substr(1);
    return text;
}

} // namespace

TerminalSink::TerminalSink(std::ostream& out, std::ostream& err, bool progress)
    : out_(out), err_(err), progress_(progress) {}

bool TerminalSink::stderr_is_terminal() {
    return ::isatty(STDERR_FILENO) == 1;
}

TerminalSink::~TerminalSink() {
    finish();
}

std::size_t TerminalSink::length() const {
    std::lock_guard lock(mutex_);
    return mirror_.length();
}

char16_t TerminalSink::unit_at(std::size_t index) const {
    std::lock_guard lock(mutex_);
    return mirror_.unit_at(index);
}

void TerminalSink::append(std::u16string_view text) {
    std::lock_guard lock(mutex_);
    mirror_.append(text);
    clear_progress();
    if (closed_early_) {
        text = drop_leading_break(text);
        closed_early_ = false;
    }
    if (text.empty()) return;
    out_ << terminal_text(text);
    out_.flush();
    line_open_ = !is_break(text.back());
}

void TerminalSink::replace_last_line(std::u16string_view text) {
    std::lock_guard lock(mutex_);
    mirror_.replace_last_line(text);
    if (!progress_) return;
    // Both streams usually share one screen: the open line must not be drawn over.
    close_line();
    std::string shown = terminal_text(text);
    for (char& c : shown)
        if (c == '\n') c = ' ';
    err_ << '\r' << shown << "\x1b[K";
    err_.flush();
    progress_shown_ = true;
}

void TerminalSink::erase_front(std::size_t count) {
    std::lock_guard lock(mutex_);
    mirror_.erase_front(count);
}

void TerminalSink::job_ended(const JobEndNotice& notice) {
    std::lock_guard lock(mutex_);
    clear_progress();
    close_line();
    out_ << terminal_text(notice.text) << '\n';
    out_.flush();
    closed_early_ = true;
}

BoxAnswer TerminalSink::message_box(const MessageBoxRequest& request) {
    std::lock_guard lock(mutex_);
    clear_progress();
    close_line();
    err_ << '[' << terminal_text(request.caption) << "] " << terminal_text(request.text) << '\n';
    err_.flush();
    return request.default_answer;
}

void TerminalSink::play_sound(std::u16string_view file) {
    play_sound_detached(file);
}

void TerminalSink::finish() {
    std::lock_guard lock(mutex_);
    clear_progress();
    if (line_open_) {
        out_ << '\n';
        out_.flush();
        line_open_ = false;
    }
}

void TerminalSink::clear_progress() {
    if (!progress_shown_) return;
    err_ << "\r\x1b[K";
    err_.flush();
    progress_shown_ = false;
}

void TerminalSink::close_line() {
    if (!line_open_) return;
    out_ << '\n';
    out_.flush();
    line_open_ = false;
    closed_early_ = true;
}

} // namespace quippet
