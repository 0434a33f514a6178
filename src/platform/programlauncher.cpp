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
    if (target.contains(QLatin1String("://")))
        return QDesktopServices::openUrl(QUrl(target));

    // A missing program is a failure to report, not a path to hand to the desktop,
    // which would greet the user with an error window of its own.
    const QFileInfo info(target);
    if (!info.exists())
        return false;
    if (info.isFile() && info.isExecutable())
        return QProcess::startDetached(target, QProcess::splitCommand(parameters));
    return QDesktopServices::openUrl(QUrl::fromLocalFile(target));
}

ProgramLauncher &ProgramLauncher::current()
{
    return *installedLauncher;
}

void ProgramLauncher::replace(ProgramLauncher *launcher)
{
    installedLauncher = launcher ? launcher : &realLauncher;
}
