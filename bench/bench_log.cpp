#include <QTemporaryDir>
#include <QTest>

#include "common/log.h"

// The log opens and closes its file for every line, and some events (every scene
// event of a picture item) log a line; this keeps an eye on what one line costs.
class BenchLog : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_state.isValid());
        qputenv("XDG_STATE_HOME", m_state.path().toLocal8Bit());
    }

    void oneLine()
    {
        QBENCHMARK
        {
            writeLog("sceneEvent");
        }
    }

private:
    QTemporaryDir m_state;
};

QTEST_GUILESS_MAIN(BenchLog)
#include "bench_log.moc"
