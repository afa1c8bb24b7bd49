#include "ui/MainWindow.h"

#include "ui/ListPane.h"
#include "ui/LogPane.h"
#include "ui/UiCall.h"
#include "ui/download/DownloadPage.h"
#include "ui/livelog/LiveLogPage.h"
#include "ui/playlist/PlaylistPage.h"
#include "ui/reconstruct/ReconstructPage.h"

#include <QCloseEvent>
#include <QEventLoop>
#include <QMessageBox>
#include <QStyle>
#include <QSystemTrayIcon>
#include <QTabWidget>

#include <array>
#include <thread>

using quippet::BoxAnswer;
using quippet::BoxButtons;
using quippet::ui::call_on_owner;
using quippet::ui::to_qstring;

namespace {

QMessageBox::StandardButtons buttons_for(BoxButtons buttons) {
    switch (buttons) {
    case BoxButtons::ok:
        return QMessageBox::Ok;
    case BoxButtons::ok_cancel:
        return QMessageBox::Ok | QMessageBox::Cancel;
    case BoxButtons::yes_no:
        return QMessageBox::Yes | QMessageBox::No;
    case BoxButtons::yes_no_cancel:
        return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    }
    return QMessageBox::Ok;
}

QMessageBox::StandardButton button_for(BoxAnswer answer) {
    switch (answer) {
    case BoxAnswer::ok:
        return QMessageBox::Ok;
    case BoxAnswer::cancel:
        return QMessageBox::Cancel;
    case BoxAnswer::yes:
        return QMessageBox::Yes;
    case BoxAnswer::no:
        return QMessageBox::No;
    }
    return QMessageBox::Ok;
}

BoxAnswer answer_for(QMessageBox::StandardButton button, BoxAnswer fallback) {
    switch (button) {
    case QMessageBox::Ok:
        return BoxAnswer::ok;
    case QMessageBox::Cancel:
        return BoxAnswer::cancel;
    case QMessageBox::Yes:
        return BoxAnswer::yes;
    case QMessageBox::No:
        return BoxAnswer::no;
    default:
        return fallback;
    }
}

QString program_title() {
    return to_qstring(quippet::program_name);
}

} // namespace

CDlgBase::CDlgBase(QWidget* parent) : QMainWindow(parent), tabs_(new QTabWidget(this)), tray_tip_(program_title()) {
    setWindowTitle(program_title());
    reconstruct_ = new CDlgDD(tabs_);
    live_log_ = new CDlgWC(tabs_);
    download_ = new CDlgES(tabs_);
    playlist_ = new CDlgMM(tabs_);
    tabs_->addTab(reconstruct_, QStringLiteral("XMLの再構成"));
    tabs_->addTab(live_log_, QStringLiteral("実況ログ to XML"));
    tabs_->addTab(download_, QStringLiteral("ダウンロード"));
    tabs_->addTab(playlist_, QStringLiteral("プレイリスト"));
    setCentralWidget(tabs_);
    create_tray_icon();

    quippet::JobFrameOptions options;
    // A job's end is acknowledged on this thread, where its notice may touch the tray; the worker
    // does not wait for it, so a worker ending while this thread waits for workers cannot hang.
    options.post_end = [this](int kind, bool notify) {
        QMetaObject::invokeMethod(
            this, [this, kind, notify] { frame_->end_of_job(kind, notify); }, Qt::QueuedConnection);
    };
    frame_ = std::make_unique<quippet::CJobFrame>(this, std::move(options));
    frame_->set_ready(true);
}

CDlgBase::~CDlgBase() {
    finish_jobs();
}

CTabPage* CDlgBase::page(int index) const {
    const std::array<CTabPage*, tab_count> pages{reconstruct_, live_log_, download_, playlist_};
    return index >= 0 && index < tab_count ? pages[static_cast<std::size_t>(index)] : nullptr;
}

int CDlgBase::start_job(quippet::JobFunction job, CTabPage& target_page, quippet::JobKind kind) {
    if (closing_) return -1;
    return frame_->start_job(std::move(job), target_page.job_target(), kind);
}

void CDlgBase::create_tray_icon() {
    if (!QSystemTrayIcon::isSystemTrayAvailable()) return;
    tray_ = new QSystemTrayIcon(style()->standardIcon(QStyle::SP_ComputerIcon), this);
    tray_->setToolTip(tray_tip_);
    connect(tray_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason != QSystemTrayIcon::Trigger && reason != QSystemTrayIcon::DoubleClick) return;
        showNormal();
        raise();
        activateWindow();
    });
    tray_->show();
}

void CDlgBase::job_ended(const quippet::JobEndNotice& notice) {
    call_on_owner(this, [this, &notice] { show_job_end(notice); });
}

void CDlgBase::show_job_end(const quippet::JobEndNotice& notice) {
    tray_tip_ = to_qstring(notice.tooltip);
    if (notice.balloon) balloon_text_ = to_qstring(notice.text);
    if (tray_ == nullptr || !tray_->isVisible()) return;
    tray_->setToolTip(tray_tip_);
    if (notice.balloon) tray_->showMessage(program_title(), balloon_text_);
}

BoxAnswer CDlgBase::message_box(const quippet::MessageBoxRequest& request) {
    return call_on_owner(this, request.default_answer, [this, &request] { return ask(request); });
}

BoxAnswer CDlgBase::ask(const quippet::MessageBoxRequest& request) {
    // Nobody is left to answer while the window goes away; the job takes the answer meant for that.
    if (closing_) return request.default_answer;
    QMessageBox box(this);
    box.setWindowTitle(request.caption.empty() ? program_title() : to_qstring(request.caption));
    box.setText(to_qstring(request.text));
    box.setStandardButtons(buttons_for(request.buttons));
    box.setDefaultButton(button_for(request.default_answer));
    box.exec();
    return answer_for(box.standardButton(box.clickedButton()), request.default_answer);
}

void CDlgBase::closeEvent(QCloseEvent* event) {
    if (frame_->busy()) {
        frame_->request_stop_all();
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
}

void CDlgBase::finish_jobs() {
    closing_ = true;
    frame_->set_ready(false);
    frame_->request_stop_all();
    // Workers still report into the panes and wait for this thread to carry out each call; joining
    // them here without serving those calls would wait forever. So the joining happens elsewhere
    // while this thread keeps serving, leaving out the user's input.
    QEventLoop loop;
    std::thread joiner([this, &loop] {
        frame_->wait_all();
        QMetaObject::invokeMethod(
            &loop, [&loop] { loop.quit(); }, Qt::QueuedConnection);
    });
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    joiner.join();
}
