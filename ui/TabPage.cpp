#include "ui/TabPage.h"

#include "ui/ListPane.h"
#include "ui/LogPane.h"

#include <QPointer>
#include <QSplitter>
#include <QVBoxLayout>

CTabPage::CTabPage(const QStringList& list_labels, QWidget* parent) : QWidget(parent) {
    splitter_ = new QSplitter(Qt::Vertical, this);
    list_ = new CListPane(list_labels, splitter_);
    log_ = new CLogPane(splitter_);
    splitter_->addWidget(list_);
    splitter_->addWidget(log_);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(splitter_);
}

void CTabPage::set_controls(QWidget* controls, int controls_height, int rest_height) {
    auto* outer = new QSplitter(Qt::Vertical, this);
    // The layout hands back the item that held the splitter; it is ours to delete.
    delete layout()->replaceWidget(splitter_, outer);
    splitter_->setOrientation(Qt::Horizontal);
    outer->addWidget(controls);
    outer->addWidget(splitter_);
    outer->setStretchFactor(0, 0);
    outer->setStretchFactor(1, 1);
    outer->setChildrenCollapsible(false);
    if (controls_height > 0 && rest_height > 0) outer->setSizes({controls_height, rest_height});
}

quippet::JobTarget CTabPage::job_target() const {
    return quippet::JobTarget{log_, list_};
}

quippet::JobFunction CTabPage::ending_with(quippet::JobFunction job, std::function<void()> on_end) {
    QPointer<CTabPage> self(this);
    return [job = std::move(job), on_end = std::move(on_end), self](quippet::CWorkThread& worker) {
        struct Ending {
            QPointer<CTabPage> page;
            std::function<void()> call;
            ~Ending() {
                QMetaObject::invokeMethod(
                    page.data(),
                    [page = page, call = call] {
                        if (page) call();
                    },
                    Qt::QueuedConnection);
            }
        } ending{self, on_end};
        job(worker);
    };
}
