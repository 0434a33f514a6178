#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <QElapsedTimer>

#include <algorithm>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include "platform/copydatalistener.h"
#include "platform/copydatarecord.h"
#include "platform/copydatasender.h"
#include "platform/queuedcopydatasender.h"
#include "threadedlistener.h"

namespace {
const QByteArray answered(1, '\0');

// A record header announcing textLength bytes, written out by hand.
QByteArray header(quint64 senderWindow, quint32 textLength)
{
    QByteArray bytes(CopyData::kHeaderSize, '\0');
    qToLittleEndian(senderWindow, bytes.data() + 8);
    qToLittleEndian(textLength, bytes.data() + 16);
    return bytes;
}

// A connection that writes raw bytes, on the test's own thread.
std::unique_ptr<QLocalSocket> connectRaw(const QString &title)
{
    auto socket = std::make_unique<QLocalSocket>();
    socket->connectToServer(CopyData::socketPath(title));
    if (!socket->waitForConnected(5000))
        return nullptr;
    return socket;
}

// Waits until the listener has closed the connection; returns what it answered.
QByteArray replyOf(QLocalSocket &socket)
{
    if (socket.state() != QLocalSocket::UnconnectedState) {
        QSignalSpy closed(&socket, &QLocalSocket::disconnected);
        if (!closed.wait(10000))
            return "<still open>";
    }
    return socket.readAll();
}

// Writes bytes on a fresh connection and returns the listener's answer.
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

    void recordLayout()
    {
        const QByteArray record = CopyData::encodeRecord(0x1234, "ClearSrn");
        QCOMPARE(record.toHex(' '), QByteArray("00 00 00 00 00 00 00 00 "
                                               "34 12 00 00 00 00 00 00 "
                                               "08 00 00 00 "
                                               "43 6c 65 61 72 53 72 6e"));
        const CopyData::Header decoded =
            CopyData::decodeHeader(CopyData::encodeRecord(0xfedcba9876543210, "Exit"));
        QCOMPARE(decoded.dwData, 0u);
        QCOMPARE(decoded.senderWindow, 0xfedcba9876543210);
        QCOMPARE(decoded.textLength, 4u);
    }

    void socketFolderIsPrivateAndTitlesAreFileNames()
    {
        const QString folder = m_runtime + "/copydata/";
        QCOMPARE(CopyData::socketFolder(), folder);
        QCOMPARE(modeOf(folder) & 07777, mode_t(0700));
        QCOMPARE(CopyData::socketPath("Scribvane"), folder + "Scribvane");
        // Titles that are no file name.
        for (const QString title : {"", ".", "..", "../escape"}) {
            QVERIFY2(CopyData::socketPath(title).isEmpty(), qPrintable(title));
            CopyDataListener listener;
            QVERIFY(!listener.listen(title));
            QVERIFY(!sendCopyData(title, 0, "Exit", 300));
        }

        QVERIFY(chmod(QFile::encodeName(folder).constData(), 0755) == 0);
        QCOMPARE(CopyData::socketFolder(), folder);
        QCOMPARE(modeOf(folder) & 07777, mode_t(0700));

        qunsetenv("XDG_RUNTIME_DIR");
        QCOMPARE(CopyData::socketFolder(), QString("/tmp/copydata-%1/").arg(geteuid()));
    }

    void foreignSocketFolderIsRefused()
    {
        // The case needing root comes last, so that skipping it skips nothing else.
        for (const QString kind : {"symlink to a folder", "plain file", "folder of another user"}) {
            QTemporaryDir runtime;
            QVERIFY(runtime.isValid());
            const QString folder = runtime.filePath("copydata");
            if (kind.startsWith("symlink")) {
                QVERIFY(QDir().mkdir(runtime.filePath("elsewhere")));
                QVERIFY(QFile::link(runtime.filePath("elsewhere"), folder));
            } else if (kind.startsWith("plain")) {
                QFile file(folder);
                QVERIFY(file.open(QIODevice::WriteOnly));
            } else {
                if (geteuid() != 0)
                    QSKIP("Giving a folder to another user needs root");
                QVERIFY(QDir().mkdir(folder));
                QVERIFY(chown(QFile::encodeName(folder).constData(), 65534, 65534) == 0);
            }
            qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));

            QVERIFY2(CopyData::socketFolder().isEmpty(), qPrintable(kind));
            QCOMPARE(CopyData::socketPath("Scribvane"), QString());
            CopyDataListener listener;
            QVERIFY(!listener.listen("Scribvane"));
            QVERIFY(!findWindow("Scribvane"));
            QVERIFY(!sendCopyData("Scribvane", 0, "Exit", 300));
            QVERIFY(QDir(runtime.filePath("elsewhere")).isEmpty());
        }
    }

    void roundTripAcrossThreads()
    {
        const ThreadedListener peer("Scribvane");
        QVERIFY(peer.isListening());
        QCOMPARE(modeOf(CopyData::socketPath("Scribvane")), mode_t(S_IFSOCK | 0600));
        QVERIFY(findWindow("Scribvane"));

        const QByteArray largest(qsizetype(CopyData::kMaxText), 'L');
        QVERIFY(sendCopyData("Scribvane", 0x1234, "ClearSrn"));
        QVERIFY(sendCopyData("Scribvane", 0x1234, "Exit"));
        QVERIFY(sendCopyData("Scribvane", 0, largest));
        // The sender refuses what the receiver would drop.
        QVERIFY(!sendCopyData("Scribvane", 0, largest + 'L'));
        QCOMPARE(peer.texts(), QByteArrayList({"ClearSrn", "Exit", largest}));

        QVERIFY(!findWindow("Nobody"));
        QVERIFY(!sendCopyData("Nobody", 0x1234, "ClearSrn"));
        // Listens but never accepts nor answers, like a peer whose loop is stuck.
        QLocalServer hung;
        QVERIFY(hung.listen(CopyData::socketPath("Hung")));
        QVERIFY(findWindow("Hung"));
        QVERIFY(!sendCopyData("Hung", 0x1234, "ClearSrn", 300));
    }

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
            {"command", record("ClearSrn"), {"ClearSrn"}},
            {"text ends at first zero byte", record(QByteArray("Pho\0to", 6)), {"Pho"}},
            {"empty text", record(""), {""}},
            {"UTF-8 passes unchanged", record("\xe6\x8b\x8d Photo"), {"\xe6\x8b\x8d Photo"}},
            {"bytes after the record ignored", record("Exit") + record("Photo"), {"Exit"}},
            {"oversized cbData", header(0x1234, CopyData::kMaxText + 1) + "ClearSrn", {}},
            {"huge cbData", header(0x1234, 0xffffffff), {}},
            {"header cut short", header(0x1234, 8).left(11), {}},
            {"text cut short", header(0x1234, 8) + "Clea", {}},
            {"probe sends nothing", QByteArray(), {}},
        };
        CopyDataListener listener;
        listener.setConnectionTimeout(300);
        QVERIFY(listener.listen("DuzeVovad"));
        QCOMPARE(listener.title(), QString("DuzeVovad"));
        QSignalSpy received(&listener, &CopyDataListener::received);
        for (const auto &c : cases) {
            received.clear();
            // Incomplete records are closed by the connection timeout, complete ones
            // after the reply: either way the listener ends the connection.
            QVERIFY2(exchange("DuzeVovad", c.bytes) == (c.texts.isEmpty() ? "" : answered), c.name);
            QByteArrayList texts;
            for (const QList<QVariant> &signal : received) {
                texts.append(signal.at(0).toByteArray());
                QCOMPARE(signal.at(1).toULongLong(), 0x1234u);
            }
            QVERIFY2(texts == c.texts, c.name);
        }
    }

    void connectionsCutOrInterleavedAreKeptApart()
    {
        CopyDataListener listener;
        QVERIFY(listener.listen("DuzeVovad"));
        QSignalSpy received(&listener, &CopyDataListener::received);

        auto quitter = connectRaw("DuzeVovad");
        QVERIFY(quitter);
        quitter->write(CopyData::encodeRecord(1, "RotateR").chopped(1));
        quitter->flush();
        quitter.reset();

        const QByteArrayList commands{"ZommIn", "ZommOut", "FreeZe"};
        std::vector<std::unique_ptr<QLocalSocket>> clients;
        for (const QByteArray &command : commands) {
            clients.push_back(connectRaw("DuzeVovad"));
            QVERIFY(clients.back());
            clients.back()->write(CopyData::encodeRecord(7, command).left(10));
            clients.back()->flush();
        }
        for (qsizetype i = commands.size() - 1; i >= 0; --i) {
            clients[size_t(i)]->write(CopyData::encodeRecord(7, commands.at(i)).mid(10));
            QCOMPARE(replyOf(*clients[size_t(i)]), answered);
        }
        QCOMPARE(received.size(), 3);
        QCOMPARE(received.at(0).at(0).toByteArray(), QByteArray("FreeZe"));
        QCOMPARE(received.at(2).at(0).toByteArray(), QByteArray("ZommIn"));
    }

    void liveTitleIsKeptAndStaleOneReplaced()
    {
        auto first = std::make_unique<CopyDataListener>();
        QVERIFY(first->listen("VizaviRerer"));
        QSignalSpy received(first.get(), &CopyDataListener::received);
        CopyDataListener second;
        QVERIFY(!second.listen("VizaviRerer"));
        QCOMPARE(second.title(), QString());
        QCOMPARE(exchange("VizaviRerer", CopyData::encodeRecord(1, "Exit")), answered);
        QCOMPARE(received.size(), 1);

        first.reset();
        QVERIFY(!QFile::exists(CopyData::socketPath("VizaviRerer")));
        QVERIFY(!findWindow("VizaviRerer"));

        // A socket file whose process died without removing it.
        const QByteArray path = QFile::encodeName(CopyData::socketPath("VizaviRerer"));
        sockaddr_un address = {};
        address.sun_family = AF_UNIX;
        qstrncpy(address.sun_path, path.constData(), sizeof(address.sun_path));
        const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
        QVERIFY(fd >= 0);
        QCOMPARE(bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof(address)), 0);
        close(fd);
        QVERIFY(QFile::exists(path));
        QVERIFY(!findWindow("VizaviRerer"));

        QVERIFY(second.listen("VizaviRerer"));
        QSignalSpy secondReceived(&second, &CopyDataListener::received);
        QCOMPARE(exchange("VizaviRerer", CopyData::encodeRecord(1, "Update")), answered);
        QCOMPARE(secondReceived.size(), 1);
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
        const auto closedCount = [&held] {
            return std::count_if(held.begin(), held.end(), [](const auto &socket) {
                return socket->state() == QLocalSocket::UnconnectedState;
            });
        };

        // Connections beyond the bound are closed at once, unread.
        constexpr int beyond = 8;
        for (int i = 0; i < CopyDataListener::maxOpenConnections + beyond; ++i) {
            hold();
            QTRY_VERIFY(held.back()->state() != QLocalSocket::ConnectingState);
        }
        QTRY_COMPARE(closedCount(), beyond);

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
        const QByteArrayList commands{"ClearSrn", "Update", "Switch", "Exit"};
        // Accepts connections but never answers: one full wait, then short ones.
        auto hung = std::make_unique<QLocalServer>();
        QVERIFY(hung->listen(CopyData::socketPath("Hung")));
        constexpr int replyMs = 400, hungReplyMs = 100;
        QueuedCopyDataSender sender("Hung", record, replyMs, hungReplyMs);
        QElapsedTimer posting;
        posting.start();
        for (const QByteArray &command : commands)
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
