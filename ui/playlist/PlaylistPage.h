#pragma once

#include "ui/TabPage.h"

/// The "プレイリスト" page: playlists and the players they are handed to.
class CDlgMM : public CTabPage {
    Q_OBJECT
public:
    explicit CDlgMM(QWidget* parent = nullptr);
};
