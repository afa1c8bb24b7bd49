#include "ui/TabPage.h"

#include "ui/ListPane.h"
#include "ui/LogPane.h"

#include <QSplitter>
#include <QVBoxLayout>

CTabPage::CTabPage(const QStringList& list_labels, QWidget* parent) : QWidget(parent) {
    auto* splitter = new QSplitter(Qt::Vertical, this);
    list_ = new CListPane(list_labels, splitter);
    log_ = new CLogPane(splitter);
    splitter->addWidget(list_);
    splitter->addWidget(log_);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(splitter);
}

quippet::JobTarget CTabPage::job_target() const {
    return quippet::JobTarget{log_, list_};
}
