// One running copy: a later start hands over to the running one and listens
// nowhere; a socket file left by an ended copy does not get in the way; a holder
// that never answers does not hold a start forever; programs started by the
// running copy do not inherit its lock.

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>
#include <QThread>

#include <fcntl.h>
#include <memory>
#include <sys/file.h>
#include <unistd.h>

#include "platform/singleinstance.h"

namespace {
const QString name = QStringLiteral("kelvora-test");

QString runtimeFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
}

QString runtimeFile(const QString &suffix)
{
    return runtimeFolder() + u'/' + name + suffix;
}

// A later start, on a thread of its own: it blocks until answered, and the
// holder answers from this thread's event loop.
SingleInstance::Start startElsewhere(int answerTimeoutMs = 10000)
{
    SingleInstance::Start result = SingleInstance::Start::First;
    std::unique_ptr<QThread> thread(QThread::create([&] {
        SingleInstance later(name);
        result = later.start(answerTimeoutMs);
    }));
    thread->start();
    // The start is bounded by its own timeout.
    while (!thread->wait(10))
        QCoreApplication::processEvents();
    return result;
}
} // namespace

class TestSingleInstance : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void laterStartHandsOver()
    {
        {
            SingleInstance running(name);
            QCOMPARE(running.start(), SingleInstance::Start::First);
            QSignalSpy activations(&running, &SingleInstance::activationRequested);
            const QStringList filesBefore = QDir(runtimeFolder()).entryList();

            QCOMPARE(startElsewhere(), SingleInstance::Start::HandedOver);
            QCOMPARE(activations.count(), 1);
            QCOMPARE(QDir(runtimeFolder()).entryList(), filesBefore);
            QVERIFY(QFile::exists(runtimeFile(".socket")));
        }
        QVERIFY(!QFile::exists(runtimeFile(".socket")));
        // The lock went with the running copy.
        SingleInstance next(name);
        QCOMPARE(next.start(), SingleInstance::Start::First);
    }

    void leftOverSocketIsReplaced()
    {
        QFile leftOver(runtimeFile(".socket"));
        QVERIFY(leftOver.open(QIODevice::WriteOnly));
        leftOver.close();
        SingleInstance running(name);
        QCOMPARE(running.start(), SingleInstance::Start::First);
        QCOMPARE(startElsewhere(), SingleInstance::Start::HandedOver);
    }

    void holderThatNeverAnswers()
    {
        const int fd = ::open(QFile::encodeName(runtimeFile(".lock")).constData(),
                              O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        QVERIFY(fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0);
        SingleInstance later(name);
        QCOMPARE(later.start(300), SingleInstance::Start::NoAnswer);
        ::close(fd);
    }

    void startedProgramsDoNotHoldTheLock()
    {
        SingleInstance running(name);
        QCOMPARE(running.start(), SingleInstance::Start::First);
        QProcess child;
        child.start(QStringLiteral("/bin/sh"),
                    {QStringLiteral("-c"), QStringLiteral("readlink /proc/$$/fd/*")});
        QVERIFY(child.waitForFinished());
        const QByteArray openFiles = child.readAllStandardOutput();
        QVERIFY(!openFiles.isEmpty());
        QVERIFY2(!openFiles.contains(QFile::encodeName(runtimeFile(".lock"))), openFiles);
    }
};

QTEST_MAIN(TestSingleInstance)
#include "test_singleinstance.moc"
