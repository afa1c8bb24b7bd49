#pragma once

#include "app/WorkData.h"

#include <QStringList>
#include <QWidget>

class CListPane;
class CLogPane;

/// What every tab page has: a list view above a log pane, the two places its jobs report to.
class CTabPage : public QWidget {
    Q_OBJECT
public:
    explicit CTabPage(const QStringList& list_labels = {}, QWidget* parent = nullptr);

    CLogPane* log_pane() const { return log_; }
    CListPane* list_view() const { return list_; }
    quippet::JobTarget job_target() const;

private:
    CListPane* list_;
    CLogPane* log_;
};
