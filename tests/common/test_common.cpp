#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <vector>

#include "common/log.h"
#include "common/paths.h"
#include "common/stillname.h"
#include "fakeclock.h"

class TestCommon : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { QFile::remove(logFilePath()); }

    void logLineHasExactFormatAndCreatesFolder()
    {
        QDir(QFileInfo(logFilePath()).path()).removeRecursively();
        FakeClock clock(QDateTime(QDate(2026, 12, 7), QTime(8, 9, 5)));
        writeLog("准备创建工作目录: %s", "/home/x/Documents/Kelvora");
        writeLog("缩放比率为:%.02f", 1.5);

        QFile file(logFilePath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(),
                 QByteArray("2026-12-07 08:09:05   准备创建工作目录: /home/x/Documents/Kelvora"
                            "  kelvora\r\n"
                            "2026-12-07 08:09:05   缩放比率为:1.50  kelvora\r\n"));
    }

    void logFollowsStateHome()
    {
        QCOMPARE(logFilePath(), qEnvironmentVariable("XDG_STATE_HOME") + "/kelvora/kelvora.log");
    }

    void logLinesFromManyThreadsStayWhole()
    {
        constexpr int threads = 4, linesEach = 200;
        std::vector<std::unique_ptr<QThread>> writers;
        for (int t = 0; t < threads; ++t) {
            writers.emplace_back(QThread::create([t] {
                for (int i = 0; i < linesEach; ++i)
                    writeLog("thread %d line %d", t, i);
            }));
            writers.back()->start();
        }
        for (auto &writer : writers)
            QVERIFY(writer->wait());

        QFile file(logFilePath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = file.readAll().split('\n');
        QCOMPARE(lines.size(), threads * linesEach + 1); // the last split is empty
        for (int i = 0; i < threads * linesEach; ++i)
            QVERIFY2(lines[i].endsWith("  kelvora\r") && lines[i].contains("   thread "),
                     lines[i].constData());
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
        auto logLines = [] {
            QFile file(logFilePath());
            return file.open(QIODevice::ReadOnly) ? file.readAll().split('\n') : QByteArrayList();
        };
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

        const QByteArray first = timeStampStillName(path, "jpg");
        QCOMPARE(first, path + "/20260102030405.jpg");
        QVERIFY(QFile(QString::fromLocal8Bit(first)).open(QIODevice::WriteOnly));
        const QByteArray second = timeStampStillName(path, "jpg");
        QCOMPARE(second, path + "/20260102030405_2.jpg");
        QVERIFY(QFile(QString::fromLocal8Bit(second)).open(QIODevice::WriteOnly));
        QCOMPARE(timeStampStillName(path, "jpg"), path + "/20260102030405_3.jpg");
        // Another extension is another name.
        QCOMPARE(timeStampStillName(path, "pdf"), path + "/20260102030405.pdf");
    }

    void stillNameKeepsLongFolders()
    {
        const QByteArray folder = "/tmp/" + QByteArray(400, 'd');
        FakeClock clock;
        QCOMPARE(timeStampStillName(folder, "png"), folder + "/20260304050607.png");
    }

    void existingFileRule()
    {
        QTemporaryDir folder;
        const QByteArray dir = folder.path().toLocal8Bit();
        QFile file(folder.filePath("photo 照片.jpg"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(isExistingFile(file.fileName().toLocal8Bit()));
        QVERIFY(!isExistingFile(dir));
        QVERIFY(!isExistingFile(dir + "/missing.exe"));
        QVERIFY(!isExistingFile(QByteArray()));
    }

    void programFolderEndsWithSlash()
    {
        QCOMPARE(programFolder(), QCoreApplication::applicationDirPath().toLocal8Bit() + '/');
    }
};

QTEST_GUILESS_MAIN(TestCommon)
#include "test_common.moc"
