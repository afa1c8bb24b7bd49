#include "ui/playlist/PlaylistPage.h"

CDlgMM::CDlgMM(QWidget* parent) : CTabPage({}, parent) {}
