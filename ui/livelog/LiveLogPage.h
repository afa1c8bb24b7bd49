#pragma once

#include "ui/TabPage.h"

/// The "実況ログ to XML" page: converts live-thread logs into comment files.
class CDlgWC : public CTabPage {
    Q_OBJECT
public:
    explicit CDlgWC(QWidget* parent = nullptr);
};
