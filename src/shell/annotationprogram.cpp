#include "annotationprogram.h"

#include <QWidget>

#include "common/log.h"
#include "common/paths.h"
#include "platform/copydatasender.h"
#include "platform/programlauncher.h"

namespace {
const QString annotationWindowTitle = QStringLiteral("Scribvane");
// Tells the annotation program that Kelvora started it, so it can take its
// commands over the message channel.
const QString launchArgument = QStringLiteral("--kelvora");
} // namespace

void startAnnotationProgram()
{
    ProgramLauncher::current().open(QString::fromLocal8Bit(programFolder() + "scribvane"),
                                    launchArgument);
}

bool sendAnnotationCommand(QWidget *sender, const QByteArray &text, const char *foundLogLine)
{
    if (!findWindow(annotationWindowTitle))
        return false;
    if (foundLogLine)
        writeLog("%s", foundLogLine);
    sendCopyData(annotationWindowTitle, quint64(sender->winId()), text);
    return true;
}
