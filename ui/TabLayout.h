#pragma once

#include "ui/UiCall.h"

#include <QButtonGroup>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QRadioButton>
#include <QScrollArea>
#include <QVBoxLayout>

#include <string_view>

// The building blocks of the tab pages' control areas: rows of controls in group boxes, in sub-pages
// that scroll rather than clip when the window is small.
namespace quippet::ui::layout {

inline QString T(std::u16string_view text) {
    return to_qstring(text);
}

/// A row of controls in a box of its own; labels are given as text.
class Row {
public:
    explicit Row(QWidget* parent) : widget_(new QWidget(parent)), layout_(new QHBoxLayout(widget_)) {
        layout_->setContentsMargins(0, 0, 0, 0);
        layout_->setSpacing(4);
    }
    Row& add(QWidget* w) {
        layout_->addWidget(w);
        return *this;
    }
    Row& text(std::u16string_view caption) {
        layout_->addWidget(new QLabel(T(caption), widget_));
        return *this;
    }
    Row& gap() {
        layout_->addSpacing(10);
        return *this;
    }
    QWidget* done() {
        layout_->addStretch(1);
        return widget_;
    }
    QWidget* parent() const { return widget_; }

private:
    QWidget* widget_;
    QHBoxLayout* layout_;
};

inline QGroupBox* group(std::u16string_view title, QWidget* parent) {
    auto* box = new QGroupBox(T(title), parent);
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(6, 4, 6, 4);
    layout->setSpacing(2);
    return box;
}

inline void put(QGroupBox* box, QWidget* row) {
    static_cast<QVBoxLayout*>(box->layout())->addWidget(row);
}

/// A sub-page that scrolls rather than clips when the window is small.
inline QWidget* scrolling(QWidget* content, QWidget* parent) {
    auto* scroll = new QScrollArea(parent);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    static_cast<QVBoxLayout*>(content->layout())->addStretch(1);
    scroll->setWidget(content);
    return scroll;
}

inline QWidget* column(QWidget* parent) {
    auto* w = new QWidget(parent);
    auto* layout = new QVBoxLayout(w);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(4);
    return w;
}

inline void add_to(QWidget* col, QWidget* w) {
    static_cast<QVBoxLayout*>(col->layout())->addWidget(w);
}

inline QRadioButton* radio(QButtonGroup* group, QRadioButton* button) {
    group->addButton(button);
    return button;
}

} // namespace quippet::ui::layout
