// SIGTERM and SIGINT reach the event loop as a signal instead of ending the
// process, and the default handling is back once the object is gone.

#include <QSignalSpy>
#include <QTest>

#include <csignal>

#include "platform/terminationsignals.h"

class TestTerminationSignals : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void signalsReachTheEventLoop()
    {
        {
            TerminationSignals termination;
            QSignalSpy received(&termination, &TerminationSignals::received);
            for (const int signalNumber : {SIGTERM, SIGINT}) {
                QVERIFY(::raise(signalNumber) == 0);
                QVERIFY(received.wait());
                QCOMPARE(received.takeFirst().at(0).toInt(), signalNumber);
            }
        }
        struct sigaction current = {};
        QVERIFY(sigaction(SIGTERM, nullptr, &current) == 0);
        QVERIFY(current.sa_handler == SIG_DFL);
    }
};

QTEST_MAIN(TestTerminationSignals)
#include "test_terminationsignals.moc"
