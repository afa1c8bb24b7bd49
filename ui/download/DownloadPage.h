#pragma once

#include "ui/TabPage.h"

/// The "ダウンロード" page: the download list and its jobs.
class CDlgES : public CTabPage {
    Q_OBJECT
public:
    explicit CDlgES(QWidget* parent = nullptr);
};
