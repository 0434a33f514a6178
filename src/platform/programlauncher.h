#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

#include <functional>

// Starts programs and opens files, folders and links, the way the shell's "open"
// verb does: an executable file is started detached with the parameters split
// into arguments; anything else goes to the desktop's default handler.
// The base class does it for real; tests install a recorder instead.
class ProgramLauncher
{
public:
    enum class ShowState
    {
        Normal,
        Maximized
    };

    virtual ~ProgramLauncher() = default;

    // Returns whether the program was started or the target handed over. The
    // show state is a wish: a detached X11 or Wayland program decides itself.
    virtual bool open(const QString &target, const QString &parameters = {},
                      ShowState show = ShowState::Normal);

    enum class RunOutcome
    {
        Finished,   // the program ended by itself (with any exit status)
        NotStarted, // missing or not executable
        TimedOut    // still running at the timeout; it has been killed
    };

    // Runs a program to its end on the calling thread, its arguments passed one by
    // one (never joined, so paths with blanks work). The wait is bounded by
    // timeoutMs of the clock seam's tick count, taken as an unsigned difference so
    // a wrap of the counter neither ends nor extends it. While waiting, about ten
    // times a second, whileWaiting gets the elapsed milliseconds; the caller keeps
    // its windows painted there.
    virtual RunOutcome run(const QString &program, const QStringList &arguments, quint32 timeoutMs,
                           const std::function<void(quint32)> &whileWaiting);

    // Starts a program without waiting for it, its arguments passed one by one
    // and extra variables added to its environment. The process belongs to
    // parent; the caller learns of its end from QProcess::finished, or of its
    // failure to start from QProcess::errorOccurred, both on parent's thread.
    virtual QProcess *start(const QString &program, const QStringList &arguments,
                            const QProcessEnvironment &extraEnvironment, QObject *parent);

    static ProgramLauncher &current();
    // Installs a test double; nullptr restores the real launcher. Not owned.
    static void replace(ProgramLauncher *launcher);
};
