#pragma once

#include "app/JobFrame.h"
#include "app/JobSinks.h"
#include "ui/ClipboardBridge.h"

#include <QMainWindow>
#include <QString>

#include <memory>

class QCloseEvent;
class QSystemTrayIcon;
class QTabWidget;
class CTabPage;
class CDlgDD;
class CDlgWC;
class CDlgES;
class CDlgMM;

/// The one window: four tab pages, the tray icon, and the job frame through which every long
/// operation runs on a worker thread.
///
/// Workers report into the pages' log panes and list views while holding the frame's locks, and
/// each such call waits for this window's thread. Code on this thread therefore writes to the panes
/// directly and never through the frame's log or list access, which would wait for those locks; nor
/// does it wait for the workers through the frame (the destructor shows how to wait while serving).
class CDlgBase : public QMainWindow, public quippet::NoticeSink {
    Q_OBJECT
public:
    enum TabIndex { tab_reconstruct = 0, tab_live_log = 1, tab_download = 2, tab_playlist = 3, tab_count = 4 };

    explicit CDlgBase(QWidget* parent = nullptr);
    /// Stops the jobs still running and waits for them, serving their calls in the meantime.
    ~CDlgBase() override;

    QTabWidget* tabs() const { return tabs_; }
    CTabPage* page(int index) const;
    CDlgDD* reconstruct_page() const { return reconstruct_; }
    CDlgWC* live_log_page() const { return live_log_; }
    CDlgES* download_page() const { return download_; }
    CDlgMM* playlist_page() const { return playlist_; }

    quippet::CJobFrame& frame() { return *frame_; }
    /// Starts `job` of `kind` reporting to `target_page`. -1 when no job may start now.
    int start_job(quippet::JobFunction job, CTabPage& target_page, quippet::JobKind kind);

    /// The tip of the tray icon: the program name, or after a job's end its end notice. Kept even
    /// where there is no system tray.
    QString tray_tip() const { return tray_tip_; }
    /// Text of the last job-end balloon; empty while none was shown.
    QString balloon_text() const { return balloon_text_; }
    /// Null where the platform has no system tray.
    QSystemTrayIcon* tray_icon() const { return tray_; }

    void job_ended(const quippet::JobEndNotice& notice) override;
    quippet::BoxAnswer message_box(const quippet::MessageBoxRequest& request) override;

protected:
    /// Refused while a job runs: the jobs are asked to stop and the user closes again once they have.
    void closeEvent(QCloseEvent* event) override;

private:
    void create_tray_icon();
    void show_job_end(const quippet::JobEndNotice& notice);
    quippet::BoxAnswer ask(const quippet::MessageBoxRequest& request);
    void finish_jobs();

    QTabWidget* tabs_;
    CDlgDD* reconstruct_;
    CDlgWC* live_log_;
    CDlgES* download_;
    CDlgMM* playlist_;
    QSystemTrayIcon* tray_ = nullptr;
    QString tray_tip_;
    QString balloon_text_;
    bool closing_ = false;
    CClipboardBridge clipboard_;
    // Last, so that it goes first: its workers may still report into everything above.
    std::unique_ptr<quippet::CJobFrame> frame_;
};
