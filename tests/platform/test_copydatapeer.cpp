#include <QFile>
#include <QLocalServer>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "platform/copydatalistener.h"
#include "platform/copydatarecord.h"
#include "platform/copydatasender.h"

// The stand-in annotation program, written from docs/copydata.md alone, against
// Kelvora's side of the channel: if they agree, the document and the code do.
class TestCopyDataPeer : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void peerHearsKelvora()
    {
        QTemporaryDir folder;
        const QString log = folder.filePath("heard.txt");
        QProcess peer;
        peer.start(COPYDATAPEER, {"listen", "Scribvane", log});
        QTRY_VERIFY_WITH_TIMEOUT(findWindow("Scribvane"), 10000);
        QCOMPARE(QProcess::execute(COPYDATAPEER, {"probe", "Scribvane"}), 0);

        QVERIFY(sendCopyData("Scribvane", 0x1234, "ClearSrn"));
        QVERIFY(sendCopyData("Scribvane", 0x1234, QByteArray("Exit\0junk", 9)));
        QFile heard(log);
        QVERIFY(heard.open(QIODevice::ReadOnly));
        QCOMPARE(heard.readAll(), QByteArray("ClearSrn\nExit\n"));

        peer.terminate();
        QVERIFY(peer.waitForFinished(10000));
        QCOMPARE(peer.exitStatus(), QProcess::NormalExit);
        QCOMPARE(peer.exitCode(), 0);
        QVERIFY(!QFile::exists(CopyData::socketPath("Scribvane")));
        QCOMPARE(QProcess::execute(COPYDATAPEER, {"probe", "Scribvane"}), 1);
    }

    void hangingPeerDoesNotHoldKelvora()
    {
        QTemporaryDir folder;
        QProcess peer;
        peer.start(COPYDATAPEER, {"listen", "Scribvane", folder.filePath("heard.txt"), "--hang"});
        QTRY_VERIFY_WITH_TIMEOUT(findWindow("Scribvane"), 10000);
        QVERIFY(!sendCopyData("Scribvane", 0x1234, "ClearSrn", 300));
        peer.terminate();
        QVERIFY(peer.waitForFinished(10000));
    }

    void kelvoraHearsPeer()
    {
        CopyDataListener listener;
        QVERIFY(listener.listen("VizaviRerer"));
        QSignalSpy received(&listener, &CopyDataListener::received);

        QProcess peer;
        peer.start(COPYDATAPEER, {"send", "VizaviRerer", "please Exit now"});
        QVERIFY(received.wait(10000));
        QCOMPARE(received.at(0).at(0).toByteArray(), QByteArray("please Exit now"));
        QCOMPARE(received.at(0).at(1).toULongLong(), 0u);
        QTRY_COMPARE_WITH_TIMEOUT(peer.state(), QProcess::NotRunning, 10000);
        QCOMPARE(peer.exitCode(), 0);
    }

    void peerSendOutcomes()
    {
        QCOMPARE(QProcess::execute(COPYDATAPEER, {"send", "Nobody", "Exit"}), 1);
        QCOMPARE(QProcess::execute(COPYDATAPEER, {"probe", "Nobody"}), 1);

        // A listener that takes the record but never answers: the peer gives up.
        QLocalServer hung;
        QVERIFY(hung.listen(CopyData::socketPath("Hung")));
        QCOMPARE(QProcess::execute(COPYDATAPEER, {"send", "Hung", "Exit"}), 2);
    }
};

QTEST_GUILESS_MAIN(TestCopyDataPeer)
#include "test_copydatapeer.moc"
