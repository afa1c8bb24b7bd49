#pragma once

#include "app/JobSinks.h"

#include <QPlainTextEdit>

#include <cstddef>
#include <string>
#include <string_view>

/// A tab's log pane. It holds the log as jobs write it (CR LF line ends, counted in UTF-16 units)
/// and shows the same text with plain line breaks. Worker calls are carried out on the UI thread
/// while the worker waits; calls on the UI thread run at once.
///
/// Every change goes through the LogBox operations (the pane is read-only for the user), which
/// keeps the held text and the shown text in step.
class CLogPane : public QPlainTextEdit, public quippet::LogBox {
    Q_OBJECT
public:
    explicit CLogPane(QWidget* parent = nullptr);

    std::size_t length() const override;
    char16_t unit_at(std::size_t index) const override;
    void append(std::u16string_view text) override;
    void replace_last_line(std::u16string_view text) override;
    void erase_front(std::size_t count) override;

    /// The log with its CR LF line ends, as the job frame counts it.
    std::u16string log_text() const;

private:
    /// Position in the shown document of the `held` first units of the held text.
    int shown_position(std::size_t held) const;
    /// Replaces the shown text from `from` (a shown position) to the end, following the last line
    /// if the view was already there.
    void replace_shown_tail(int from, std::u16string_view text);

    std::u16string held_;
};
