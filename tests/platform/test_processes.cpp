// The program's own process among others: one running copy per user (handing
// over is driven in e2e_launcher), and waits for a child that end with it.

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "platform/programlauncher.h"
#include "platform/singleinstance.h"

namespace {
const QString name = QStringLiteral("kelvora-test");

QString runtimeFile(const QString &suffix)
{
    return QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation) + u'/' + name + suffix;
}
} // namespace

class TestProcesses : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void holderThatNeverAnswersDoesNotHoldAStart()
    {
        const int fd = ::open(QFile::encodeName(runtimeFile(".lock")).constData(),
                              O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        QVERIFY(fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0);
        QCOMPARE(SingleInstance(name).start(300), SingleInstance::Start::NoAnswer);
        ::close(fd);
    }

    void startedProgramsDoNotHoldTheLock()
    {
        SingleInstance running(name);
        QCOMPARE(running.start(), SingleInstance::Start::First);
        QProcess child;
        child.start(QStringLiteral("/bin/sh"), {"-c", "readlink /proc/$$/fd/*"});
        QVERIFY(child.waitForFinished());
        const QByteArray openFiles = child.readAllStandardOutput();
        QVERIFY(!openFiles.isEmpty());
        QVERIFY2(!openFiles.contains(QFile::encodeName(runtimeFile(".lock"))), openFiles);
    }

    // A child that ends while the caller's callback runs the event loop still ends
    // the wait; one that never ends is stopped at the bound.
    void waitEndsWithTheChild()
    {
        const auto slowRepaint = [](quint32) {
            QElapsedTimer painting;
            painting.start();
            while (painting.elapsed() < 300)
                QCoreApplication::processEvents();
        };
        using Outcome = ProgramLauncher::RunOutcome;
        for (const auto &[script, boundMs, outcome] :
             {std::tuple{"sleep 0.2", 20000u, Outcome::Finished},
              std::tuple{"exec sleep 600", 300u, Outcome::TimedOut}})
            QCOMPARE(
                ProgramLauncher::current().run("/bin/sh", {"-c", script}, boundMs, slowRepaint),
                outcome);
    }
};

QTEST_MAIN(TestProcesses)
#include "test_processes.moc"
