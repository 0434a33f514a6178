#include "programlauncher.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QProcess>
#include <QUrl>

namespace {
ProgramLauncher realLauncher;
ProgramLauncher *installedLauncher = &realLauncher;
} // namespace

bool ProgramLauncher::open(const QString &target, const QString &parameters, ShowState)
{
    const QFileInfo info(target);
    if (info.isFile() && info.isExecutable())
        return QProcess::startDetached(target, QProcess::splitCommand(parameters));

    const QUrl url = target.contains(QLatin1String("://")) ? QUrl(target)
                                                           : QUrl::fromLocalFile(target);
    return QDesktopServices::openUrl(url);
}

ProgramLauncher &ProgramLauncher::current()
{
    return *installedLauncher;
}

void ProgramLauncher::replace(ProgramLauncher *launcher)
{
    installedLauncher = launcher ? launcher : &realLauncher;
}
