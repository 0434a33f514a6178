#include "annotationprogram.h"

#include "common/log.h"
#include "common/paths.h"
#include "platform/programlauncher.h"
#include "platform/queuedcopydatasender.h"

namespace {
const QString annotationWindowTitle = QStringLiteral("Scribvane");
// Tells the annotation program that Kelvora started it, so it can take its
// commands over the message channel.
const QString launchArgument = QStringLiteral("--kelvora");
constexpr int lastCommandWaitMs = 1000;

QueuedCopyDataSender &annotationSender()
{
    // Never destroyed: the process may end while a send waits for a hung program.
    static auto *const sender = new QueuedCopyDataSender(annotationWindowTitle, [](bool answering) {
        if (answering)
            writeLog("画板程序恢复响应");
        else
            writeLog("画板程序未响应, 不再等待其回复, 直到它再次响应");
    });
    return *sender;
}
} // namespace

void startAnnotationProgram()
{
    ProgramLauncher::current().open(QString::fromLocal8Bit(programFolder() + "scribvane"),
                                    launchArgument);
}

void sendAnnotationCommand(quint64 senderWindow, const QByteArray &text, const char *foundLogLine)
{
    annotationSender().post(senderWindow, text, [foundLogLine] {
        if (foundLogLine)
            writeLog("%s", foundLogLine);
    });
}

void waitForAnnotationCommands()
{
    annotationSender().waitUntilSent(lastCommandWaitMs);
}
