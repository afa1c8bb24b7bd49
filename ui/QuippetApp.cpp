#include "ui/QuippetApp.h"

#include "app/HandOverFile.h"
#include "net/ServiceAddress.h"
#include "text/AppHome.h"
#include "ui/DesktopOpen.h"
#include "ui/MainWindow.h"
#include "ui/UiCall.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>

#include <unistd.h>

#include <vector>

using quippet::ui::to_qstring;
using quippet::ui::to_u16;

CQuippetApp::CQuippetApp(QObject* parent) : QObject(parent) {}

CQuippetApp::~CQuippetApp() {
    // The window goes first: while it saves its state no later start should be told it is there.
    if (server_ != nullptr) server_->close();
    window_.reset();
}

CQuippetApp::Outcome CQuippetApp::start(const QStringList& args, QElapsedTimer process_start) {
    std::vector<std::u16string> arguments;
    for (const QString& arg : args)
        arguments.push_back(to_u16(arg));
    request_ = quippet::parse_launch_arguments(
        arguments, [](std::u16string_view arg) { return !arg.empty() && QFileInfo::exists(to_qstring(arg)); });
    if (!request_.missing_value.empty()) {
        error_ = QStringLiteral("--") + to_qstring(request_.missing_value) + QStringLiteral(" needs a value");
        return Outcome::usage_error;
    }
    // The same overrides as the command line's; without them $QUIPPET_SERVICE_ROOT and $QUIPPET_CA_FILE apply.
    if (auto root = request_.options.find(u"service-root"); root != request_.options.end())
        quippet::set_service_root(root->second);
    if (auto ca = request_.options.find(u"ca-file"); ca != request_.options.end())
        quippet::set_extra_ca_file(ca->second);
    if (auto home = request_.options.find(u"home"); home != request_.options.end())
        quippet::set_app_home(to_u16(QFileInfo(to_qstring(home->second)).absoluteFilePath()));
    const std::u16string& home = quippet::app_home();
    QDir().mkpath(to_qstring(home));

    if (request_.list) {
        if (quippet::write_folder_listing(home, request_.list_folder) == 0)
            quippet::ui::open_with_desktop(to_qstring(quippet::hand_over_file_path(home)));
        return Outcome::listed;
    }

    bool reserve = !request_.handover.empty();
    const QString name = QString::fromStdString(quippet::instance_name(to_u16(QString::number(::getuid())), home));
    {
        // One start at a time asks and, finding nobody, takes the name; a later start then finds this
        // one even while its window is still being built. A lock whose owner died is taken over.
        QLockFile lock(QDir(QDir::tempPath()).filePath(name + QStringLiteral(".lock")));
        lock.tryLock(hand_over_timeout_ms);
        HandOver found = HandOver::nobody;
        if (!request_.multi) {
            found = hand_over(name, to_qstring(request_.handover));
        } else {
            // "-multi" hands nothing over, but the first window of a home answers later starts even
            // when it was opened with it.
            QLocalSocket probe;
            probe.connectToServer(name);
            if (probe.waitForConnected(1000)) found = HandOver::no_answer;
        }
        if (found == HandOver::taken) return Outcome::handed_over;
        if (found == HandOver::no_answer && !request_.multi) {
            // A window that hangs keeps its name; the text waits for whichever start comes next.
            if (reserve) quippet::write_reservation(home, request_.handover);
            return Outcome::reserved;
        }
        if (found == HandOver::nobody) {
            // Whatever socket is left there belongs to a window that is gone.
            QLocalServer::removeServer(name);
            if (listen(name)) server_name_ = name;
        }
    }
    if (reserve && quippet::write_reservation(home, request_.handover) == 0) reserve = false;

    window_ = std::make_unique<CDlgBase>();
    window_->start_up(process_start);
    // A text that could not be written for the next start goes to this window directly.
    if (reserve) window_->receive_copy_data(0, to_qstring(request_.handover));
    window_->show();
    return Outcome::window;
}

bool CQuippetApp::listen(const QString& name) {
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_->listen(name)) {
        delete server_;
        server_ = nullptr;
        return false;
    }
    connect(server_, &QLocalServer::newConnection, this, [this] {
        while (server_->hasPendingConnections())
            serve_connection();
    });
    return true;
}

void CQuippetApp::serve_connection() {
    QLocalSocket* socket = server_->nextPendingConnection();
    if (socket == nullptr) return;
    auto reader = std::make_shared<quippet::CInstanceMessageReader>();
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QLocalSocket::readyRead, this, [this, socket, reader] {
        const QByteArray bytes = socket->readAll();
        if (reader->feed(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size()))) ==
            quippet::CInstanceMessageReader::State::invalid) {
            socket->abort();
            return;
        }
        while (std::optional<quippet::InstanceMessage> message = reader->take()) {
            if (window_ && message->type == quippet::kHandOverText) {
                window_->restore_window();
                window_->receive_copy_data(0, to_qstring(message->text));
            }
            socket->write(&quippet::kInstanceAck, 1);
            socket->flush();
        }
    });
}

CQuippetApp::HandOver CQuippetApp::hand_over(const QString& name, const QString& text, int timeout_ms) {
    QLocalSocket socket;
    socket.connectToServer(name);
    if (!socket.waitForConnected(1000)) return HandOver::nobody;
    const std::string bytes = quippet::encode_instance_message(quippet::kHandOverText, to_u16(text));
    socket.write(bytes.data(), static_cast<qint64>(bytes.size()));
    const QDeadlineTimer deadline(timeout_ms);
    while (socket.bytesToWrite() > 0) {
        if (deadline.hasExpired() || !socket.waitForBytesWritten(static_cast<int>(deadline.remainingTime())))
            return HandOver::no_answer;
    }
    while (socket.bytesAvailable() < 1) {
        if (deadline.hasExpired() || !socket.waitForReadyRead(static_cast<int>(deadline.remainingTime())))
            return HandOver::no_answer;
    }
    char ack = 0;
    return socket.read(&ack, 1) == 1 && ack == quippet::kInstanceAck ? HandOver::taken : HandOver::no_answer;
}
