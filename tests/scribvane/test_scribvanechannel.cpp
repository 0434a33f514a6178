#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>

#include "kelvoralink.h"
#include "platform/copydatalistener.h"
#include "scribvanereceiver.h"

class TestScribvaneChannel : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void commandsArriveOverTheChannel_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("signal"); // index into the spies below; -1 for none
        QTest::newRow("ClearSrn") << QByteArray("ClearSrn") << 1;
        QTest::newRow("Exit") << QByteArray("Exit") << 0;
        QTest::newRow("Switch") << QByteArray("Switch") << 2;
        QTest::newRow("Update") << QByteArray("Update") << 3;
        QTest::newRow("inside a longer text") << QByteArray("please ClearSrn now") << 1;
        QTest::newRow("Exit wins") << QByteArray("ClearSrn Switch Exit") << 0;
        QTest::newRow("letter case counts") << QByteArray("clearsrn EXIT") << -1;
        QTest::newRow("Kelvora's own words") << QByteArray("Photo RotateR") << -1;
        QTest::newRow("empty") << QByteArray() << -1;
    }

    // Sent through the link as Kelvora would: the reply comes while the receiver
    // serves its event loop, so the sender never waits on this thread.
    void commandsArriveOverTheChannel()
    {
        QFETCH(QByteArray, text);
        QFETCH(int, signal);
        ScribvaneReceiver receiver;
        QVERIFY(receiver.listen());
        QSignalSpy exit(&receiver, &ScribvaneReceiver::exitRequested);
        QSignalSpy clear(&receiver, &ScribvaneReceiver::clearRequested);
        QSignalSpy switched(&receiver, &ScribvaneReceiver::switchRequested);
        QSignalSpy update(&receiver, &ScribvaneReceiver::photoFolderChanged);
        const QList<QSignalSpy *> spies = {&exit, &clear, &switched, &update};

        KelvoraLink link;
        QSignalSpy sent(&link, &KelvoraLink::sent);
        link.send(ScribvaneReceiver::kTitle, text, 0x1234);
        QVERIFY(sent.wait(5000));
        QCOMPARE(sent.first().at(1).toBool(), true);
        for (int i = 0; i < spies.size(); ++i)
            QCOMPARE(spies[i]->size(), i == signal ? 1 : 0);
    }

    void oneInstanceListens()
    {
        ScribvaneReceiver first;
        QVERIFY(first.listen());
        ScribvaneReceiver second;
        QVERIFY(!second.listen());
    }

    void kelvoraAbsentOrBackLater()
    {
        KelvoraLink link;
        QSignalSpy sent(&link, &KelvoraLink::sent);
        QElapsedTimer timer;
        timer.start();
        link.send(KelvoraLink::kPresenterTitle, "Photo", 1);
        QVERIFY(sent.wait(5000));
        QCOMPARE(sent.takeFirst(), QVariantList({QByteArray("Photo"), false}));
        QVERIFY2(timer.elapsed() < 1000, "an absent window is skipped at once");

        // Kelvora starts: the next command reaches it, in order after the first.
        CopyDataListener presenter;
        QVERIFY(presenter.listen(KelvoraLink::kPresenterTitle));
        QSignalSpy received(&presenter, &CopyDataListener::received);
        link.send(KelvoraLink::kPresenterTitle, "RotateR", 7);
        link.send(KelvoraLink::kPresenterTitle, "ZommOut", 7);
        QTRY_COMPARE(sent.size(), 2);
        QCOMPARE(received.size(), 2);
        QCOMPARE(received.at(0), QVariantList({QByteArray("RotateR"), quint64(7)}));
        QCOMPARE(received.at(1).at(0).toByteArray(), QByteArray("ZommOut"));
        QCOMPARE(sent.at(1).at(1).toBool(), true);
    }
};

QTEST_GUILESS_MAIN(TestScribvaneChannel)
#include "test_scribvanechannel.moc"
