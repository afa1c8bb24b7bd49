#include "ui/download/DownloadPage.h"

CDlgES::CDlgES(QWidget* parent) : CTabPage({}, parent) {}
