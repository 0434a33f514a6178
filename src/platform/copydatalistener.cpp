#include "copydatalistener.h"

#include <QFile>
#include <QLocalSocket>
#include <QPointer>
#include <QTimer>

#include <sys/stat.h>

#include "platform/copydatarecord.h"
#include "platform/copydatasender.h"

CopyDataListener::CopyDataListener(QObject *parent)
    // Children, not plain members, so that moveToThread takes them along.
    : QObject(parent), m_server(new QLocalServer(this)), m_relistenTimer(new QTimer(this))
{
    connect(m_server, &QLocalServer::newConnection, this, &CopyDataListener::acceptConnections);
    // QLocalServer closes itself, removing its socket, when accept() fails (no
    // descriptor left): listening starts again once one is free.
    m_relistenTimer->setInterval(relistenIntervalMs);
    connect(m_relistenTimer, &QTimer::timeout, this, &CopyDataListener::keepListening);
}

CopyDataListener::~CopyDataListener()
{
    stop();
}

bool CopyDataListener::listen(const QString &title)
{
    stop();
    if (!bindSocket(title))
        return false;
    m_title = title;
    m_relistenTimer->start();
    return true;
}

bool CopyDataListener::bindSocket(const QString &title)
{
    const QString path = CopyData::socketPath(title);
    if (path.isEmpty())
        return false;
    if (!m_server->listen(path)) {
        // A socket file nobody answers on is left over from a dead process. Only
        // a taken address says so: without a free descriptor the probe fails too.
        if (m_server->serverError() != QAbstractSocket::AddressInUseError || findWindow(title) ||
            !QLocalServer::removeServer(path) || !m_server->listen(path)) {
            qCWarning(lcCopyData, "cannot listen as %s: %s", qPrintable(title),
                      qPrintable(m_server->errorString()));
            return false;
        }
    }
    // The folder is private already; the socket is made so as well.
    chmod(QFile::encodeName(path).constData(), 0600);
    return true;
}

void CopyDataListener::keepListening()
{
    if (!m_server->isListening() && bindSocket(m_title))
        qCWarning(lcCopyData, "listening as %s again", qPrintable(m_title));
}

QString CopyDataListener::title() const
{
    return m_title;
}

void CopyDataListener::setConnectionTimeout(int milliseconds)
{
    m_connectionTimeoutMs = milliseconds;
}

void CopyDataListener::stop()
{
    m_relistenTimer->stop();
    // Closing the server removes its socket file.
    m_server->close();
    m_title.clear();
}

void CopyDataListener::acceptConnections()
{
    while (QLocalSocket *socket = m_server->nextPendingConnection()) {
        if (m_openConnections >= maxOpenConnections) {
            // A peer holding connections open cannot take every descriptor.
            socket->abort();
            socket->deleteLater();
            continue;
        }
        ++m_openConnections;
        connect(socket, &QObject::destroyed, this, [this] { --m_openConnections; });
        auto *deadline = new QTimer(socket);
        deadline->setSingleShot(true);
        connect(deadline, &QTimer::timeout, socket, [socket] {
            qCDebug(lcCopyData, "closing a connection that sent no complete record");
            socket->abort();
            socket->deleteLater();
        });
        deadline->start(m_connectionTimeoutMs);
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this,
                [this, socket, deadline] { readRecord(socket, deadline); });
    }
}

void CopyDataListener::readRecord(QLocalSocket *socket, QTimer *deadline)
{
    if (socket->bytesAvailable() < CopyData::kHeaderSize)
        return;
    const CopyData::Header header = CopyData::decodeHeader(socket->peek(CopyData::kHeaderSize));
    if (header.textLength > CopyData::kMaxText) {
        qCDebug(lcCopyData, "dropping a record of %u bytes", header.textLength);
        socket->abort();
        socket->deleteLater();
        return;
    }
    if (socket->bytesAvailable() < CopyData::kHeaderSize + qint64(header.textLength))
        return;

    // One record per connection: whatever follows it is not read.
    disconnect(socket, &QLocalSocket::readyRead, this, nullptr);
    deadline->stop();
    socket->skip(CopyData::kHeaderSize);
    QByteArray text = socket->read(header.textLength);
    const qsizetype zero = text.indexOf('\0');
    if (zero >= 0)
        text.truncate(zero);

    const QPointer<QLocalSocket> guard(socket);
    Q_EMIT received(text, header.senderWindow);
    if (!guard)
        return;
    socket->write("", 1);
    socket->flush();
    socket->disconnectFromServer();
}
