#include "ui/livelog/LiveLogPage.h"

CDlgWC::CDlgWC(QWidget* parent) : CTabPage({}, parent) {}
