#include "ui/reconstruct/ReconstructPage.h"

CDlgDD::CDlgDD(QWidget* parent) : CTabPage({}, parent) {}
