#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>
#include <QtEndian>

#include <algorithm>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/copydatalistener.h"
#include "platform/copydatarecord.h"
#include "platform/copydatasender.h"
#include "platform/queuedcopydatasender.h"
#include "threadedlistener.h"

namespace {
const QByteArray answered(1, '\0');

// Sends bytes on a connection of their own; what the listener answered once it
// closed the connection.
QByteArray exchange(const QString &title, const QByteArray &bytes)
{
    QLocalSocket client;
    client.connectToServer(CopyData::socketPath(title));
    if (!client.waitForConnected(5000))
        return "<not connected>";
    client.write(bytes);
    if (client.state() != QLocalSocket::UnconnectedState &&
        !QSignalSpy(&client, &QLocalSocket::disconnected).wait(10000))
        return "<still open>";
    return client.readAll();
}
} // namespace

class TestCopyDataChannel : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Records laid out as docs/copydata.md has them, in a folder only its user may
    // enter; complete ones are answered, the rest dropped unanswered, and the
    // listener may be deleted from its slot.
    void records()
    {
        const QByteArray folder = qgetenv("XDG_RUNTIME_DIR") + "/copydata/";
        // Left open to others (or not there yet): the channel makes it private.
        QVERIFY(QDir().mkpath(QString(folder)) && chmod(folder.constData(), 0755) == 0);
        QCOMPARE(CopyData::socketFolder(), QString(folder));
        struct stat info;
        QVERIFY(stat(folder.constData(), &info) == 0 && (info.st_mode & 07777) == 0700);
        QByteArray record(CopyData::kHeaderSize, '\0');
        qToLittleEndian(quint64(0x1234), record.data() + 8);
        qToLittleEndian(quint32(6), record.data() + 16);
        record += QByteArray("Pho\0to", 6);
        QCOMPARE(CopyData::encodeRecord(0x1234, QByteArray("Pho\0to", 6)), record);
        QByteArray oversized = record;
        qToLittleEndian(quint32(0xffffffff), oversized.data() + 16);

        QPointer<CopyDataListener> listener = new CopyDataListener;
        listener->setConnectionTimeout(300);
        QVERIFY(listener->listen("DuzeVovad"));
        QSignalSpy received(listener, &CopyDataListener::received);
        QCOMPARE(exchange("DuzeVovad", oversized), QByteArray());
        QCOMPARE(exchange("DuzeVovad", record.left(22)), QByteArray());
        QCOMPARE(exchange("DuzeVovad", record), answered);
        QCOMPARE(received.size(), 1);
        QCOMPARE(received.first(), QVariantList({QByteArray("Pho"), quint64(0x1234)}));

        connect(listener, &CopyDataListener::received, listener, [&listener] { delete listener; });
        QCOMPARE(exchange("DuzeVovad", CopyData::encodeRecord(1, "Photo")), QByteArray());
        QVERIFY(!listener);
        QVERIFY(!QFile::exists(CopyData::socketPath("DuzeVovad")));
    }

    void listenerBoundsConnectionsAndSurvivesDescriptorExhaustion()
    {
        CopyDataListener listener;
        QVERIFY(listener.listen("DuzeVovad"));
        QSignalSpy received(&listener, &CopyDataListener::received);
        std::vector<std::unique_ptr<QLocalSocket>> held;
        const auto hold = [&held] {
            held.push_back(std::make_unique<QLocalSocket>());
            held.back()->connectToServer(CopyData::socketPath("DuzeVovad"));
        };

        // Connections beyond the bound are closed at once, unread.
        constexpr int beyond = 8;
        for (int i = 0; i < CopyDataListener::maxOpenConnections + beyond; ++i) {
            hold();
            QTRY_VERIFY(held.back()->state() != QLocalSocket::ConnectingState);
        }
        QTRY_COMPARE(std::count_if(held.begin(), held.end(),
                                   [](const auto &socket) {
                                       return socket->state() == QLocalSocket::UnconnectedState;
                                   }),
                     beyond);

        // No descriptor left for accept(): the server loses its socket ...
        rlimit saved = {};
        QCOMPARE(getrlimit(RLIMIT_NOFILE, &saved), 0);
        rlimit low = saved;
        low.rlim_cur = std::min<rlim_t>(saved.rlim_cur, 512);
        QCOMPARE(setrlimit(RLIMIT_NOFILE, &low), 0);
        std::vector<int> filler;
        for (int fd; (fd = open("/dev/null", O_RDONLY | O_CLOEXEC)) >= 0;)
            filler.push_back(fd);
        QVERIFY(!filler.empty());
        close(filler.back());
        filler.pop_back();
        hold();
        QTRY_VERIFY(!QFile::exists(CopyData::socketPath("DuzeVovad")));

        // ... and listens again once descriptors are free.
        for (const int fd : filler)
            close(fd);
        held.clear();
        setrlimit(RLIMIT_NOFILE, &saved);
        QTRY_VERIFY(findWindow("DuzeVovad"));
        QCOMPARE(exchange("DuzeVovad", CopyData::encodeRecord(1, "FreeZe")), answered);
        QCOMPARE(received.last().at(0).toByteArray(), QByteArray("FreeZe"));
    }

    void queuedSenderStopsWaitingForAHungPeerAndKeepsOrder()
    {
        std::mutex mutex;
        QList<bool> answering;
        const auto record = [&](bool now) {
            const std::lock_guard lock(mutex);
            answering.append(now);
        };
        // Accepts connections but never answers: one full wait, then short ones.
        auto hung = std::make_unique<QLocalServer>();
        QVERIFY(hung->listen(CopyData::socketPath("Hung")));
        constexpr int replyMs = 400, hungReplyMs = 100;
        QueuedCopyDataSender sender("Hung", record, replyMs, hungReplyMs);
        QElapsedTimer posting;
        posting.start();
        for (const QByteArray command : {"ClearSrn", "Update", "Switch", "Exit"})
            sender.post(7, command);
        QVERIFY(posting.elapsed() < 50);
        QVERIFY(sender.waitUntilSent(replyMs + 10 * hungReplyMs + 500));
        QCOMPARE(answering, QList<bool>{false});

        // Answers again, in order, and is told so once.
        hung.reset();
        const ThreadedListener peer("Hung");
        sender.post(7, "Photo");
        sender.post(7, "FreeZe");
        QVERIFY(sender.waitUntilSent(5000));
        QCOMPARE(peer.texts(), QByteArrayList({"Photo", "FreeZe"}));
        QCOMPARE(answering, QList<bool>({false, true}));
    }
};

QTEST_GUILESS_MAIN(TestCopyDataChannel)
#include "test_copydatachannel.moc"
