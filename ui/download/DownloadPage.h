#pragma once

#include "ui/TabPage.h"

#include <QString>
#include <QStringList>

/// The "ダウンロード" page: the download list and its jobs.
class CDlgES : public CTabPage {
    Q_OBJECT
public:
    explicit CDlgES(QWidget* parent = nullptr);

    /// Texts handed over by later starts and reservations, in the order they came (CR LF kept).
    const QStringList& hand_overs() const { return hand_overs_; }
    /// Clipboard changes seen while the monitor was on.
    int clipboard_changes() const { return clipboard_changes_; }

public Q_SLOTS:
    /// A later start's arguments, or the reservation the last start left. The list registration is
    /// not built yet, so the text is only shown in the log.
    void take_hand_over(const QString& text, bool from_reservation);
    /// The clipboard changed while the monitor was on.
    void clipboard_changed();

private:
    QStringList hand_overs_;
    int clipboard_changes_ = 0;
};
