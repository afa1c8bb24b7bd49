#pragma once

#include <QObject>

#include <functional>

/// Watches the system clipboard while it lives and reports every change. Qt keeps the desktop's
/// clipboard protocol to itself, so there is no chain of viewers to join, forward or leave.
class CDlgClip : public QObject {
    Q_OBJECT
public:
    explicit CDlgClip(std::function<void()> on_change, QObject* parent = nullptr);

    /// What a clipboard viewer window of this program was titled.
    static QString title();

private:
    std::function<void()> on_change_;
};
