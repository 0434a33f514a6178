#include "copydatarecord.h"

#include <QFile>
#include <QtEndian>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

Q_LOGGING_CATEGORY(lcCopyData, "kelvora.copydata")

namespace CopyData {

namespace {
QString folderPath()
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty())
        return runtime + QLatin1String("/copydata");
    return QLatin1String("/tmp/copydata-") + QString::number(geteuid());
}
} // namespace

QString socketFolder()
{
    const QString folder = folderPath();
    const QByteArray native = QFile::encodeName(folder);
    if (mkdir(native.constData(), 0700) != 0 && errno != EEXIST) {
        qCWarning(lcCopyData, "cannot create %s: %s", native.constData(), strerror(errno));
        return QString();
    }
    // lstat, not stat: a symlink planted in a shared /tmp must not lead our
    // sockets into someone else's folder.
    struct stat info;
    if (lstat(native.constData(), &info) != 0 || !S_ISDIR(info.st_mode) ||
        info.st_uid != geteuid()) {
        qCWarning(lcCopyData, "refusing %s: not a folder of this user", native.constData());
        return QString();
    }
    if ((info.st_mode & 07777) != 0700 && chmod(native.constData(), 0700) != 0) {
        qCWarning(lcCopyData, "cannot make %s private: %s", native.constData(), strerror(errno));
        return QString();
    }
    return folder + QLatin1Char('/');
}

QString socketPath(const QString &title)
{
    if (title.isEmpty() || title == QLatin1String(".") || title == QLatin1String("..") ||
        title.contains(QLatin1Char('/')) || title.contains(QChar(0)))
        return QString();
    const QString folder = socketFolder();
    return folder.isEmpty() ? QString() : folder + title;
}

QByteArray encodeRecord(quint64 senderWindow, const QByteArray &text)
{
    QByteArray record(kHeaderSize, Qt::Uninitialized);
    qToLittleEndian<quint64>(0, record.data());
    qToLittleEndian<quint64>(senderWindow, record.data() + 8);
    qToLittleEndian<quint32>(quint32(text.size()), record.data() + 16);
    return record + text;
}

Header decodeHeader(const QByteArray &data)
{
    Q_ASSERT(data.size() >= kHeaderSize);
    const char *bytes = data.constData();
    return {qFromLittleEndian<quint64>(bytes), qFromLittleEndian<quint64>(bytes + 8),
            qFromLittleEndian<quint32>(bytes + 16)};
}

} // namespace CopyData
