#include "copydatasender.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QScopeGuard>

#include <cerrno>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include "platform/copydatarecord.h"

namespace {
// Fills address with the socket of the window titled title; false when the
// title has no usable socket path.
bool socketAddress(const QString &title, sockaddr_un &address)
{
    const QByteArray path = QFile::encodeName(CopyData::socketPath(title));
    address = {};
    address.sun_family = AF_UNIX;
    if (path.isEmpty() || size_t(path.size()) >= sizeof(address.sun_path))
        return false;
    std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
    return true;
}

int connectSocket(int fd, const sockaddr_un &address)
{
    return ::connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof(address));
}

// Bounds the next blocking send, receive or connect on fd by what is left of
// the deadline. False when nothing is left (a zero timeout would mean "forever").
bool limitTo(int fd, const QDeadlineTimer &deadline)
{
    const qint64 left = deadline.remainingTime();
    if (left <= 0)
        return false;
    const timeval timeout{time_t(left / 1000), suseconds_t((left % 1000) * 1000)};
    return setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof(timeout)) == 0 &&
           setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof(timeout)) == 0;
}

bool connectWithin(int fd, const sockaddr_un &address, const QDeadlineTimer &deadline)
{
    // A blocking connect waits, within the send timeout, while the listener's
    // queue of new connections is full.
    while (limitTo(fd, deadline)) {
        if (connectSocket(fd, address) == 0 || errno == EISCONN)
            return true;
        if (errno != EINTR)
            return false;
    }
    return false;
}

bool writeAllWithin(int fd, const QByteArray &bytes, const QDeadlineTimer &deadline)
{
    qsizetype written = 0;
    while (written < bytes.size()) {
        if (!limitTo(fd, deadline))
            return false;
        const ssize_t sent =
            ::send(fd, bytes.constData() + written, size_t(bytes.size() - written), MSG_NOSIGNAL);
        if (sent < 0 && errno != EINTR)
            return false;
        if (sent > 0)
            written += sent;
    }
    return true;
}

bool replyWithin(int fd, const QDeadlineTimer &deadline)
{
    char reply;
    while (limitTo(fd, deadline)) {
        const ssize_t got = ::recv(fd, &reply, 1, 0);
        if (got == 1)
            return true;
        if (got == 0 || errno != EINTR)
            return false;
    }
    return false;
}
} // namespace

bool findWindow(const QString &title)
{
    sockaddr_un address;
    if (!socketAddress(title, address))
        return false;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return false;
    // A full queue of new connections (EAGAIN) still means someone listens.
    const bool listening = connectSocket(fd, address) == 0 || errno == EAGAIN;
    ::close(fd);
    return listening;
}

bool sendCopyData(const QString &title, quint64 senderWindow, const QByteArray &text,
                  int replyTimeoutMs)
{
    if (text.size() > qsizetype(CopyData::kMaxText)) {
        qCWarning(lcCopyData, "not sending %lld bytes to %s: above the limit",
                  qlonglong(text.size()), qPrintable(title));
        return false;
    }
    sockaddr_un address;
    if (!socketAddress(title, address))
        return false;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    const auto closeSocket = qScopeGuard([fd] { ::close(fd); });

    const QDeadlineTimer deadline(replyTimeoutMs);
    if (!connectWithin(fd, address, deadline))
        return false;
    if (!writeAllWithin(fd, CopyData::encodeRecord(senderWindow, text), deadline) ||
        !replyWithin(fd, deadline)) {
        qCWarning(lcCopyData, "%s did not answer", qPrintable(title));
        return false;
    }
    return true;
}
