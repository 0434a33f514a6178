#include "log.h"

#include <QDir>
#include <QFileInfo>
#include <QCoreApplication>
#include <QMutex>
#include <QTimer>

#include <cstdarg>
#include <cstdio>

#include "platform/clock.h"

namespace {
QMutex logMutex;

// The received lines of the current one-second window, and those left out.
struct ReceivedLineBudget
{
    QMutex mutex;
    quint32 windowStart = 0;
    int written = 0;
    int leftOut = 0;
};
ReceivedLineBudget receivedBudget;

void writeLeftOutCount()
{
    int leftOut = 0;
    {
        const QMutexLocker lock(&receivedBudget.mutex);
        std::swap(leftOut, receivedBudget.leftOut);
    }
    if (leftOut > 0)
        writeLog("收到的消息过多, 未记录 %d 条", leftOut);
}

// Whether one more received line may be written now; counts it when not.
bool takeReceivedLine()
{
    const quint32 now = Clock::current().tickCount();
    const QMutexLocker lock(&receivedBudget.mutex);
    if (receivedBudget.written == 0 || now - receivedBudget.windowStart >= 1000) {
        receivedBudget.windowStart = now;
        receivedBudget.written = 0;
    }
    if (receivedBudget.written < receivedLinesPerSecond) {
        ++receivedBudget.written;
        return true;
    }
    // The first line left out schedules the count; the timer runs on the
    // application's thread whichever thread logs.
    if (receivedBudget.leftOut++ == 0 && QCoreApplication::instance())
        QTimer::singleShot(1000, QCoreApplication::instance(), writeLeftOutCount);
    return false;
}
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

QByteArray escapedReceivedText(const QByteArray &text)
{
    QByteArray escaped;
    for (const char c : text) {
        const auto byte = uchar(c);
        QByteArray piece;
        if (c == '\\')
            piece = "\\\\";
        else if (c == '\n')
            piece = "\\n";
        else if (c == '\r')
            piece = "\\r";
        else if (c == '\t')
            piece = "\\t";
        else if (byte < 0x20 || byte > 0x7e)
            piece = "\\x" + QByteArray::number(byte, 16).rightJustified(2, '0');
        else
            piece = QByteArray(1, c);
        // Cut between escapes, never inside one.
        if (escaped.size() + piece.size() > receivedTextLogLimit)
            break;
        escaped += piece;
    }
    return escaped;
}

void writeReceivedTextLog(const char *prefix, const QByteArray &text)
{
    if (takeReceivedLine())
        writeLog("%s%s", prefix, escapedReceivedText(text).constData());
}
