#include "singleinstance.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QThread>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {
// How long a start waits between looking for the holder and trying the lock
// again, while the holder has not listened yet or is just ending.
constexpr int retryPauseMs = 50;
} // namespace

SingleInstance::SingleInstance(const QString &name, QObject *parent) : QObject(parent)
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty())
        return;
    m_lockPath = folder + u'/' + name + QStringLiteral(".lock");
    m_socketPath = folder + u'/' + name + QStringLiteral(".socket");
}

SingleInstance::~SingleInstance()
{
    if (m_server)
        m_server->close();
    if (m_lockFd >= 0)
        ::close(m_lockFd);
}

SingleInstance::Start SingleInstance::start(int answerTimeoutMs)
{
    const QDeadlineTimer deadline(answerTimeoutMs);
    for (;;) {
        if (takeLock()) {
            listen();
            return Start::First;
        }
        if (askHolder(deadline))
            return Start::HandedOver;
        if (deadline.hasExpired())
            return Start::NoAnswer;
        QThread::msleep(retryPauseMs);
    }
}

bool SingleInstance::takeLock()
{
    if (m_lockPath.isEmpty())
        return true;
    // Close-on-exec: a program started later must not hold the lock past this one.
    const int fd =
        ::open(QFile::encodeName(m_lockPath).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        qWarning("cannot open %s, running without the one-copy check", qPrintable(m_lockPath));
        m_lockPath.clear();
        return true;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
        m_lockFd = fd;
        return true;
    }
    const bool taken = errno == EWOULDBLOCK;
    ::close(fd);
    return !taken;
}

bool SingleInstance::askHolder(const QDeadlineTimer &deadline) const
{
    QLocalSocket socket;
    socket.connectToServer(m_socketPath);
    if (!socket.waitForConnected(int(deadline.remainingTime())))
        return false;
    // The holder answers one byte once it has come to the front.
    while (socket.bytesAvailable() < 1) {
        if (!socket.waitForReadyRead(int(deadline.remainingTime())))
            return false;
    }
    return true;
}

void SingleInstance::listen()
{
    if (m_lockPath.isEmpty())
        return;
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::answerRequests);
    // Holding the lock, whatever socket file is there was left by a copy that ended.
    QLocalServer::removeServer(m_socketPath);
    if (!m_server->listen(m_socketPath))
        qWarning("cannot listen on %s: %s", qPrintable(m_socketPath),
                 qPrintable(m_server->errorString()));
}

void SingleInstance::answerRequests()
{
    while (QLocalSocket *socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        Q_EMIT activationRequested();
        socket->write("", 1);
        socket->flush();
        socket->disconnectFromServer();
    }
}
