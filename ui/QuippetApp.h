#pragma once

#include "app/LaunchRequest.h"
#include "app/SingleInstance.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>

class QLocalServer;
class QLockFile;
class CDlgBase;

/// The program's start: reads the arguments, hands them to the window already running for this user
/// and app home, or opens the window and answers later starts while it lives.
class CQuippetApp : public QObject {
    Q_OBJECT
public:
    enum class Outcome {
        handed_over, ///< a running window took the request; no window of our own
        reserved,    ///< a window runs but did not answer: the text waits in the reservation file
        listed,      ///< "-list" was served; no window
        window,      ///< this start owns a window (window() is set)
        usage_error, ///< the arguments could not be read
    };

    explicit CQuippetApp(QObject* parent = nullptr);
    ~CQuippetApp() override;

    /// Everything of the start up to a shown window. `args` are the arguments after the program name.
    Outcome start(const QStringList& args, QElapsedTimer process_start = {});

    CDlgBase* window() const { return window_.get(); }
    const quippet::LaunchRequest& request() const { return request_; }
    /// The message for a usage error.
    QString error() const { return error_; }
    /// The name this start answers later starts under (empty when another window of the app home
    /// answers them).
    QString server_name() const { return server_name_; }

    /// How long a later start waits for the running window to take its text before it keeps the text
    /// for the next start instead.
    static constexpr int hand_over_timeout_ms = 5000;

    enum class HandOver {
        taken,     ///< the window took the text
        nobody,    ///< no window listens (also a socket a crashed window left behind)
        no_answer, ///< a window listens but did not take the text in time
    };
    /// Sends `text` to the window answering `name` and waits until it has taken it.
    static HandOver hand_over(const QString& name, const QString& text, int timeout_ms = hand_over_timeout_ms);

private:
    bool listen(const QString& name);
    void serve_connection();

    quippet::LaunchRequest request_;
    QString error_;
    QString server_name_;
    QLocalServer* server_ = nullptr;
    std::unique_ptr<CDlgBase> window_;
};
