#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <vector>

#include "common/log.h"
#include "common/paths.h"
#include "common/stillname.h"
#include "fakeclock.h"

namespace {
QByteArrayList logLines()
{
    QFile file(logFilePath());
    return file.open(QIODevice::ReadOnly) ? file.readAll().split('\n') : QByteArrayList();
}
} // namespace

class TestCommon : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { QFile::remove(logFilePath()); }

    void logLinesFromManyThreadsStayWhole()
    {
        FakeClock clock(QDateTime(QDate(2026, 12, 7), QTime(8, 9, 5)));
        std::vector<std::unique_ptr<QThread>> writers;
        for (int t = 0; t < 4; ++t) {
            writers.emplace_back(QThread::create([] {
                for (int i = 0; i < 200; ++i)
                    writeLog("缩放比率为:%.02f", 1.5);
            }));
            writers.back()->start();
        }
        for (auto &writer : writers)
            QVERIFY(writer->wait());
        const QByteArrayList lines = logLines();
        QCOMPARE(lines.size(), 4 * 200 + 1); // the last split is empty
        QCOMPARE(lines.count("2026-12-07 08:09:05   缩放比率为:1.50  kelvora\r"), 4 * 200);
    }

    // A peer's text cannot forge a line, grow one without bound, or flood the file.
    void receivedTextsAreEscapedCutAndRateLimited()
    {
        FakeClock clock;
        clock.m_ticks = 5000;
        writeReceivedTextLog("收到: ", "Photo\r\n2026-03-04 05:06:07   OnExit\t\x1b\\\xe4");
        writeReceivedTextLog("收到: ", QByteArray(1000, '\n'));
        for (int i = 0; i < 1000; ++i)
            writeReceivedTextLog("收到: ", "FreeZe");
        const QByteArray prefix = "2026-03-04 05:06:07   ";
        QTRY_COMPARE(logLines().size(), receivedLinesPerSecond + 2); // and the count, and the end
        const QByteArrayList lines = logLines();
        QCOMPARE(lines[0], prefix + "收到: Photo\\r\\n2026-03-04 05:06:07   OnExit\\t\\x1b\\\\\\xe4"
                                    "  kelvora\r");
        QCOMPARE(lines[1], prefix +
                               "收到: " + QByteArray("\\n").repeated(receivedTextLogLimit / 2) +
                               "  kelvora\r");
        QCOMPARE(lines[receivedLinesPerSecond],
                 prefix + "收到的消息过多, 未记录 982 条  kelvora\r");

        clock.m_ticks += 1000; // a new second
        writeReceivedTextLog("收到: ", "Photo");
        QVERIFY(logLines().at(receivedLinesPerSecond + 1).contains("收到: Photo  kelvora"));
    }

    void stillNameNeverReusesAnExistingFile()
    {
        QTemporaryDir folder;
        const QByteArray path = folder.path().toLocal8Bit();
        FakeClock clock(QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5)));
        for (const char *expected : {"/20260102030405.jpg", "/20260102030405_2.jpg"}) {
            const QByteArray name = timeStampStillName(path, "jpg");
            QCOMPARE(name, path + expected);
            QVERIFY(QFile(QString::fromLocal8Bit(name)).open(QIODevice::WriteOnly));
        }
        QCOMPARE(timeStampStillName(path, "jpg"), path + "/20260102030405_3.jpg");
        QCOMPARE(timeStampStillName(path, "pdf"), path + "/20260102030405.pdf");
    }
};

QTEST_GUILESS_MAIN(TestCommon)
#include "test_common.moc"
