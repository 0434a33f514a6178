#include "programlauncher.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QProcess>
#include <QUrl>

#include "platform/clock.h"

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

ProgramLauncher::RunOutcome ProgramLauncher::run(const QString &program,
                                                 const QStringList &arguments, quint32 timeoutMs,
                                                 const std::function<void(quint32)> &whileWaiting)
{
    constexpr int passMs = 100;
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.start(program, arguments);
    if (!process.waitForStarted())
        return RunOutcome::NotStarted;

    const quint32 start = Clock::current().tickCount();
    // The callback runs the event loop, which may take the exit itself; waiting
    // for a process that has ended already would fail at once until the bound.
    while (process.state() != QProcess::NotRunning && !process.waitForFinished(passMs)) {
        const quint32 elapsed = Clock::current().tickCount() - start;
        if (elapsed > timeoutMs) {
            process.kill();
            process.waitForFinished();
            return RunOutcome::TimedOut;
        }
        whileWaiting(elapsed);
    }
    return RunOutcome::Finished;
}

QProcess *ProgramLauncher::start(const QString &program, const QStringList &arguments,
                                 const QProcessEnvironment &extraEnvironment, QObject *parent)
{
    auto *process = new QProcess(parent);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(extraEnvironment);
    process->setProcessEnvironment(environment);
    process->setProcessChannelMode(QProcess::ForwardedChannels);
    process->start(program, arguments);
    return process;
}

ProgramLauncher &ProgramLauncher::current()
{
    return *installedLauncher;
}

void ProgramLauncher::replace(ProgramLauncher *launcher)
{
    installedLauncher = launcher ? launcher : &realLauncher;
}
