#include "log.h"

#include <QDir>
#include <QFileInfo>
#include <QMutex>

#include <cstdarg>
#include <cstdio>

#include "platform/clock.h"

namespace {
QMutex logMutex;
} // namespace

QString logFilePath()
{
    QString stateHome = qEnvironmentVariable("XDG_STATE_HOME");
    if (stateHome.isEmpty())
        stateHome = QDir::homePath() + QLatin1String("/.local/state");
    return stateHome + QLatin1String("/kelvora/kelvora.log");
}

void writeLog(const char *format, ...)
{
    va_list args;
    va_start(args, format);
    const QString message = QString::vasprintf(format, args);
    va_end(args);

    const QDateTime now = Clock::current().localTime();
    const QByteArray line = now.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")).toLatin1() + "   " +
                            message.toUtf8() + "  kelvora\r\n";

    const QMutexLocker lock(&logMutex);
    const QString path = logFilePath();
    QDir().mkpath(QFileInfo(path).path());
    FILE *file = std::fopen(QFile::encodeName(path).constData(), "a+");
    if (!file)
        return;
    std::fwrite(line.constData(), 1, size_t(line.size()), file);
    std::fclose(file);
}
