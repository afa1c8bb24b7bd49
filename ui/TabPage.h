#pragma once

#include "app/JobFrame.h"
#include "app/WorkData.h"

#include <QStringList>
#include <QWidget>

#include <functional>

class CListPane;
class CLogPane;
class QSplitter;

/// What every tab page has: a list view above a log pane, the two places its jobs report to.
class CTabPage : public QWidget {
    Q_OBJECT
public:
    explicit CTabPage(const QStringList& list_labels = {}, QWidget* parent = nullptr);

    CLogPane* log_pane() const { return log_; }
    CListPane* list_view() const { return list_; }
    /// Where the page's jobs report: its log and its list (a page with a list of its own gives that one).
    virtual quippet::JobTarget job_target() const;

protected:
    /// `job` followed, however it ends (an exception too), by `on_end` on this page's thread; dropped when
    /// the page is gone by then. The pages clear their busy state with it.
    quippet::JobFunction ending_with(quippet::JobFunction job, std::function<void()> on_end);

    /// Puts a page's own controls above the list and the log, which then sit side by side. The controls
    /// start with `controls_height` of the page's height and the list and log with `rest_height` (shares,
    /// not pixels; zero for both: as the controls ask).
    void set_controls(QWidget* controls, int controls_height = 0, int rest_height = 0);

private:
    QSplitter* splitter_;
    CListPane* list_;
    CLogPane* log_;
};
