#include "ui/LogPane.h"

#include "ui/UiCall.h"

#include <QScrollBar>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>

using quippet::ui::call_on_owner;

namespace {

/// What the document shows for held text. The document ends a block at CR, LF and a few reserved
/// characters; only LF may do so here, so that one held unit never stands for more than one shown
/// position and a held line is always a shown block.
QString shown_form(std::u16string_view text) {
    QString shown;
    shown.reserve(static_cast<qsizetype>(text.size()));
    for (char16_t unit : text) {
        switch (unit) {
        case u'\r':
            break;
        case u'\u2029': // paragraph separator
        case u'\uFDD0': // the document's frame markers
        case u'\uFDD1':
            shown.append(QChar(0xFFFD));
            break;
        default:
            shown.append(QChar(unit));
        }
    }
    return shown;
}

} // namespace

CLogPane::CLogPane(QWidget* parent) : QPlainTextEdit(parent) {
    setReadOnly(true);
    // A log only grows and is trimmed from the front; an undo history would keep every trimmed
    // character alive.
    setUndoRedoEnabled(false);
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
}

std::size_t CLogPane::length() const {
    return call_on_owner(this, std::size_t{0}, [this] { return held_.size(); });
}

char16_t CLogPane::unit_at(std::size_t index) const {
    return call_on_owner(this, char16_t{0}, [this, index] { return index < held_.size() ? held_[index] : u'\0'; });
}

void CLogPane::append(std::u16string_view text) {
    call_on_owner(this, [this, text] {
        const int end = shown_position(held_.size());
        held_.append(text);
        replace_shown_tail(end, text);
    });
}

void CLogPane::replace_last_line(std::u16string_view text) {
    call_on_owner(this, [this, text] {
        const std::size_t last_break = held_.find_last_of(u'\n');
        const std::size_t keep = last_break == std::u16string::npos ? 0 : last_break + 1;
        const int from = shown_position(keep);
        held_.resize(keep);
        held_.append(text);
        replace_shown_tail(from, text);
    });
}

void CLogPane::erase_front(std::size_t count) {
    call_on_owner(this, [this, count] {
        const std::size_t cut = std::min(count, held_.size());
        QTextCursor cursor(document());
        cursor.setPosition(shown_position(cut), QTextCursor::KeepAnchor);
        cursor.removeSelectedText();
        held_.erase(0, cut);
    });
}

std::u16string CLogPane::log_text() const {
    return call_on_owner(this, std::u16string(), [this] { return held_; });
}

int CLogPane::shown_position(std::size_t held) const {
    const auto prefix = static_cast<std::ptrdiff_t>(std::min(held, held_.size()));
    const auto dropped = std::count(held_.begin(), held_.begin() + prefix, u'\r');
    return static_cast<int>(prefix - dropped);
}

void CLogPane::replace_shown_tail(int from, std::u16string_view text) {
    QScrollBar* bar = verticalScrollBar();
    const bool following = bar->value() == bar->maximum();
    QTextCursor cursor(document());
    cursor.setPosition(from);
    cursor.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
    cursor.insertText(shown_form(text));
    if (following) bar->setValue(bar->maximum());
}
