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
        const QList<QSignalSpy *> spies = {&exit, &clear, &switched, &update};
        const std::pair<QByteArray, int> cases[] = {
            // the text, and the index of the spy it moves (-1: none)
            {"ClearSrn", 1},
            {"Exit", 0},
            {"Switch", 2},
            {"Update", 3},
            {"please ClearSrn now", 1},
            {"ClearSrn Switch Exit", 0}, // Exit wins
            {"clearsrn EXIT", -1},
            {"Photo RotateR", -1},
            {"", -1}};
        KelvoraLink link;
        QSignalSpy sent(&link, &KelvoraLink::sent);
        for (const auto &[text, signal] : cases) {
            for (QSignalSpy *spy : spies)
                spy->clear();
            link.send(ScribvaneReceiver::kTitle, text, 0x1234);
            QVERIFY(sent.wait(5000));
            QVERIFY(sent.takeFirst().at(1).toBool());
            for (int i = 0; i < spies.size(); ++i)
                QVERIFY2(spies[i]->size() == (i == signal ? 1 : 0), text.constData());
        }
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
        QTRY_COMPARE(sent.size(), 2);
        QCOMPARE(received.size(), 2);
        QCOMPARE(received.at(0), QVariantList({QByteArray("RotateR"), quint64(7)}));
        QCOMPARE(received.at(1).at(0).toByteArray(), QByteArray("ZommOut"));
        QVERIFY(sent.at(1).at(1).toBool());
    }
};

QTEST_GUILESS_MAIN(TestScribvaneChannel)
#include "test_scribvanechannel.moc"
