#include "app/SingleInstance.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QThread>

#include <algorithm>

namespace {

QString defaultFolder()
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    return folder.isEmpty() ? QDir::tempPath() : folder;
}

constexpr char kShow[] = "show\n";
constexpr char kCommand[] = "command ";

} // namespace

SingleInstance::SingleInstance(const QString& folder, QObject* parent)
    : QObject(parent)
    , m_folder(folder.isEmpty() ? defaultFolder() : folder)
    , m_lock(m_folder + QStringLiteral("/plimbury.lock"))
{
    // Only a dead owner makes a lock stale, never its age: the copy in the
    // tray runs for weeks.
    m_lock.setStaleLockTime(0);
}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::lockPath() const
{
    return m_folder + QStringLiteral("/plimbury.lock");
}

QString SingleInstance::socketPath() const
{
    return m_folder + QStringLiteral("/plimbury.socket");
}

bool SingleInstance::start(const QStringList& arguments)
{
    if (m_lock.tryLock(0) || (m_lock.error() == QLockFile::LockFailedError && takeOwnDeadLock())) {
        acceptConnections();
        return true;
    }
    if (m_lock.error() != QLockFile::LockFailedError)
        return true;
    if (!arguments.contains(QStringLiteral("/TRAY")))
        askRunningCopyToShow();
    return false;
}

bool SingleInstance::takeOwnDeadLock()
{
    // A lock that names this very process was left by a copy that died and
    // whose process number this copy was given again: QLockFile sees a live
    // owner of the same name and gives up. Numbers come round again: Wine
    // counts afresh in each session, and on Windows the lock sits in the
    // profile folder across restarts. Removing the file fails while a live
    // copy holds it (its open handle on Windows, its lock elsewhere).
    qint64 pid = 0;
    return m_lock.getLockInfo(&pid, nullptr, nullptr) && pid == QCoreApplication::applicationPid() &&
           m_lock.removeStaleLockFile() && m_lock.tryLock(0);
}

void SingleInstance::acceptConnections()
{
    // Whoever holds the lock owns the socket's name: a socket file still
    // there was left by a copy that died.
    QLocalServer::removeServer(socketPath());
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(socketPath()))
        return;   // later copies still end; they just cannot bring the window up
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* peer = m_server->nextPendingConnection()) {
            connect(peer, &QLocalSocket::disconnected, peer, &QObject::deleteLater);
            const auto readRequest = [this, peer] {
                if (!peer->canReadLine())
                    return;
                const QByteArray request = peer->readLine();
                if (request.startsWith(kCommand) && request.endsWith('\n')) {
                    const QString argument = QString::fromUtf8(request.mid(int(sizeof kCommand) - 1).chopped(1));
                    const Reply reply = m_handler ? m_handler(argument) : Reply{1, QStringLiteral("not answered")};
                    peer->write(QByteArray::number(reply.status) + '\n' + reply.text.toUtf8());
                    peer->flush();
                    peer->disconnectFromServer();
                    return;
                }
                peer->disconnectFromServer();
                if (request == kShow)
                    emit showRequested();
            };
            connect(peer, &QLocalSocket::readyRead, this, readRequest);
            readRequest();
        }
    });
}

std::optional<SingleInstance::Reply> SingleInstance::sendCommand(const QString& argument, int timeoutMs)
{
    QLocalSocket socket;
    socket.connectToServer(socketPath());
    if (!socket.waitForConnected(2000))
        return std::nullopt;
    socket.write(kCommand + argument.toUtf8() + '\n');
    if (!socket.waitForBytesWritten(2000))
        return std::nullopt;
    // The answer is complete when the running copy closes the connection.
    QByteArray answer;
    const QDeadlineTimer deadline(timeoutMs);
    while (socket.state() == QLocalSocket::ConnectedState && !deadline.hasExpired()) {
        socket.waitForReadyRead(int(std::min<qint64>(deadline.remainingTime(), 1000)));
        answer += socket.readAll();
    }
    answer += socket.readAll();
    const qsizetype newline = answer.indexOf('\n');
    if (newline < 0)
        return std::nullopt;
    bool ok = false;
    const int status = answer.left(newline).toInt(&ok);
    if (!ok)
        return std::nullopt;
    return Reply{status, QString::fromUtf8(answer.mid(newline + 1))};
}

bool SingleInstance::askRunningCopyToShow()
{
    // The running copy may have taken the lock a moment ago and not be
    // listening yet.
    const QDeadlineTimer deadline(3000);
    while (!deadline.hasExpired()) {
        QLocalSocket socket;
        socket.connectToServer(socketPath());
        if (socket.waitForConnected(500)) {
            socket.write(kShow);
            const bool sent = socket.waitForBytesWritten(1000);
            socket.disconnectFromServer();
            if (socket.state() != QLocalSocket::UnconnectedState)
                socket.waitForDisconnected(1000);
            return sent;
        }
        QThread::msleep(100);
    }
    return false;
}
