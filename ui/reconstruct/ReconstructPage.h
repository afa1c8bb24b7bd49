#pragma once

#include "ui/TabPage.h"

/// The "XMLの再構成" page: splits, cuts out and reconstructs comment files.
class CDlgDD : public CTabPage {
    Q_OBJECT
public:
    explicit CDlgDD(QWidget* parent = nullptr);
};
