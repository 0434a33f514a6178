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
    // Sent through the link as Kelvora would: the reply comes while the receiver
    // serves its event loop, so the sender never waits on this thread.
    void commandsArriveOverTheChannel()
    {
        ScribvaneReceiver receiver;
        QVERIFY(receiver.listen());
        QVERIFY(!ScribvaneReceiver().listen()); // one copy listens
        QSignalSpy exit(&receiver, &ScribvaneReceiver::exitRequested);
        QSignalSpy clear(&receiver, &ScribvaneReceiver::clearRequested);
        QSignalSpy switched(&receiver, &ScribvaneReceiver::switchRequested);
        QSignalSpy update(&receiver, &ScribvaneReceiver::photoFolderChanged);
        KelvoraLink link;
        QSignalSpy sent(&link, &KelvoraLink::sent);
        // Exit wins over what else the text holds; names are matched exactly.
        for (const QByteArray text :
             {"Switch", "Update", "please ClearSrn now", "ClearSrn Switch Exit", "clearsrn EXIT"}) {
            link.send(ScribvaneReceiver::kTitle, text, 0x1234);
            QVERIFY(sent.wait(5000));
            QVERIFY(sent.takeFirst().at(1).toBool());
        }
        QCOMPARE((QList<qsizetype>{exit.size(), clear.size(), switched.size(), update.size()}),
                 QList<qsizetype>({1, 1, 1, 1}));
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

        // Kelvora starts: the next commands reach it, in order.
        CopyDataListener presenter;
        QVERIFY(presenter.listen(KelvoraLink::kPresenterTitle));
        QSignalSpy received(&presenter, &CopyDataListener::received);
        link.send(KelvoraLink::kPresenterTitle, "RotateR", 7);
        link.send(KelvoraLink::kPresenterTitle, "ZommOut", 7);
        QTRY_COMPARE(received.size(), 2);
        QCOMPARE(received.at(0), QVariantList({QByteArray("RotateR"), quint64(7)}));
        QCOMPARE(received.at(1).at(0).toByteArray(), QByteArray("ZommOut"));
    }
};

QTEST_GUILESS_MAIN(TestScribvaneChannel)
#include "test_scribvanechannel.moc"
