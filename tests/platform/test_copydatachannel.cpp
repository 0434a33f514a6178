#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <QSignalSpy>
#include <QTemporaryDir>
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

// A record header announcing textLength bytes, written out by hand.
QByteArray header(quint32 textLength)
{
    QByteArray bytes(CopyData::kHeaderSize, '\0');
    qToLittleEndian(quint64(0x1234), bytes.data() + 8);
    qToLittleEndian(textLength, bytes.data() + 16);
    return bytes;
}

std::unique_ptr<QLocalSocket> connectRaw(const QString &title)
{
    auto socket = std::make_unique<QLocalSocket>();
    socket->connectToServer(CopyData::socketPath(title));
    return socket->waitForConnected(5000) ? std::move(socket) : nullptr;
}

// Waits until the listener has closed the connection; returns what it answered.
QByteArray replyOf(QLocalSocket &socket)
{
    if (socket.state() != QLocalSocket::UnconnectedState &&
        !QSignalSpy(&socket, &QLocalSocket::disconnected).wait(10000))
        return "<still open>";
    return socket.readAll();
}

QByteArray exchange(const QString &title, const QByteArray &bytes)
{
    const auto client = connectRaw(title);
    if (!client)
        return "<not connected>";
    client->write(bytes);
    return replyOf(*client);
}

mode_t modeOf(const QString &path)
{
    struct stat info;
    return lstat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_mode : 0;
}
} // namespace

class TestCopyDataChannel : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { m_runtime = qgetenv("XDG_RUNTIME_DIR"); }
    void cleanup() { qputenv("XDG_RUNTIME_DIR", m_runtime); }

    void socketFolderIsPrivateAndTitlesAreFileNames()
    {
        const QString folder = m_runtime + "/copydata/";
        QCOMPARE(CopyData::socketPath("Scribvane"), folder + "Scribvane");
        QVERIFY(chmod(QFile::encodeName(folder).constData(), 0755) == 0);
        QCOMPARE(CopyData::socketFolder(), folder);
        QCOMPARE(modeOf(folder) & 07777, mode_t(0700));
        for (const QString title : {"", ".", "..", "../escape"}) {
            CopyDataListener listener;
            QVERIFY2(!listener.listen(title), qPrintable(title));
            QVERIFY(!sendCopyData(title, 0, "Exit", 300));
        }
        qunsetenv("XDG_RUNTIME_DIR");
        QCOMPARE(CopyData::socketFolder(), QString("/tmp/copydata-%1/").arg(geteuid()));

        // A folder not plainly ours is not used at all; the case needing root comes last.
        for (const QString kind : {"symlink", "plain file", "folder of another user"}) {
            QTemporaryDir runtime;
            const QString folder = runtime.filePath("copydata");
            if (kind == "symlink") {
                QVERIFY(QDir().mkdir(runtime.filePath("elsewhere")));
                QVERIFY(QFile::link(runtime.filePath("elsewhere"), folder));
            } else if (kind == "plain file") {
                QVERIFY(QFile(folder).open(QIODevice::WriteOnly));
            } else {
                if (geteuid() != 0)
                    QSKIP("Giving a folder to another user needs root");
                QVERIFY(QDir().mkdir(folder));
                QVERIFY(chown(QFile::encodeName(folder).constData(), 65534, 65534) == 0);
            }
            qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
            CopyDataListener listener;
            QVERIFY2(!listener.listen("Scribvane"), qPrintable(kind));
            QVERIFY(!findWindow("Scribvane") && !sendCopyData("Scribvane", 0, "Exit", 300));
            QVERIFY(QDir(runtime.filePath("elsewhere")).isEmpty());
        }
    }

    void roundTripAcrossThreads()
    {
        const ThreadedListener peer("Scribvane");
        QVERIFY(peer.isListening());
        QCOMPARE(modeOf(CopyData::socketPath("Scribvane")), mode_t(S_IFSOCK | 0600));
        const QByteArray largest(qsizetype(CopyData::kMaxText), 'L');
        QVERIFY(sendCopyData("Scribvane", 0x1234, "Exit"));
        QVERIFY(sendCopyData("Scribvane", 0, largest));
        // The sender refuses what the receiver would drop.
        QVERIFY(!sendCopyData("Scribvane", 0, largest + 'L'));
        QCOMPARE(peer.texts(), QByteArrayList({"Exit", largest}));
        QCOMPARE(peer.senderWindows().first(), 0x1234u);
        QVERIFY(!findWindow("Nobody") && !sendCopyData("Nobody", 0x1234, "ClearSrn"));
    }

    // Anything a peer may send: complete records are answered, the rest dropped.
    void records()
    {
        const auto record = [](const QByteArray &text) {
            return CopyData::encodeRecord(0x1234, text);
        };
        const struct
        {
            const char *name;
            QByteArray bytes;
            QByteArrayList texts; // none: dropped, and no answer
        } cases[] = {
            {"text ends at first zero byte", record(QByteArray("Pho\0to", 6)), {"Pho"}},
            {"empty text", record(""), {""}},
            {"bytes after the record ignored", record("Exit") + record("Photo"), {"Exit"}},
            {"oversized cbData", header(CopyData::kMaxText + 1) + "ClearSrn", {}},
            {"huge cbData", header(0xffffffff), {}},
            {"header cut short", header(8).left(11), {}},
            {"text cut short", header(8) + "Clea", {}},
        };
        CopyDataListener listener;
        listener.setConnectionTimeout(300);
        QVERIFY(listener.listen("DuzeVovad"));
        QSignalSpy received(&listener, &CopyDataListener::received);
        for (const auto &c : cases) {
            received.clear();
            QVERIFY2(exchange("DuzeVovad", c.bytes) == (c.texts.isEmpty() ? "" : answered), c.name);
            QByteArrayList texts;
            for (const QList<QVariant> &signal : received)
                texts.append(signal.at(0).toByteArray());
            QVERIFY2(texts == c.texts, c.name);
        }

        // Connections written in turns keep their records apart.
        auto first = connectRaw("DuzeVovad"), second = connectRaw("DuzeVovad");
        QVERIFY(first && second);
        first->write(record("ZommIn").left(10));
        first->flush();
        second->write(record("FreeZe"));
        QCOMPARE(replyOf(*second), answered);
        first->write(record("ZommIn").mid(10));
        QCOMPARE(replyOf(*first), answered);
        QCOMPARE(received.last().at(0).toByteArray(), QByteArray("ZommIn"));
    }

    void slotMayDeleteTheListener()
    {
        QPointer<CopyDataListener> listener = new CopyDataListener;
        QVERIFY(listener->listen("DuzeVovad"));
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

private:
    QByteArray m_runtime;
};

QTEST_GUILESS_MAIN(TestCopyDataChannel)
#include "test_copydatachannel.moc"
