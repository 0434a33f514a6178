// Waiting for a child program: an exit that the event loop takes while the
// caller's callback runs still ends the wait, and a child that never ends is
// stopped at the bound.

#include <QElapsedTimer>
#include <QTest>

#include "platform/programlauncher.h"

class TestProgramLauncher : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void waitEndsWithTheChild_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<quint32>("boundMs");
        QTest::addColumn<int>("outcome");
        QTest::newRow("exits while the window repaints")
            << "sleep 0.2" << quint32(20000) << int(ProgramLauncher::RunOutcome::Finished);
        QTest::newRow("never ends")
            << "exec sleep 600" << quint32(300) << int(ProgramLauncher::RunOutcome::TimedOut);
    }

    void waitEndsWithTheChild()
    {
        QFETCH(QString, script);
        QFETCH(quint32, boundMs);
        QFETCH(int, outcome);
        // A slow repaint: the child ends during it, and the event loop takes the end.
        const auto repaint = [](quint32) {
            QElapsedTimer painting;
            painting.start();
            while (painting.elapsed() < 300)
                QCoreApplication::processEvents();
        };
        const auto result = ProgramLauncher::current().run(
            QStringLiteral("/bin/sh"), {QStringLiteral("-c"), script}, boundMs, repaint);
        QCOMPARE(int(result), outcome);
    }
};

QTEST_MAIN(TestProgramLauncher)
#include "test_programlauncher.moc"
