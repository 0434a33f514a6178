#pragma once

#include <QByteArray>
#include <QString>

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

// Sends records to one window title from a thread of its own, in the order they
// were posted, so that a slow or hung peer never holds up the window that posts.
// Each record is sent as sendCopyData does it: only when the window is there at
// that moment, waiting for its reply at most replyTimeoutMs. A peer that lets a
// reply time out counts as hung: later records get hungReplyTimeoutMs only, so
// the queue keeps moving, until the peer answers again (or goes away).
class QueuedCopyDataSender
{
public:
    // Told on the sending thread when the peer stops answering (false) and when
    // it answers again (true).
    using AnsweringChanged = std::function<void(bool answering)>;
    // Runs on the sending thread when the window was found, before the send.
    using Found = std::function<void()>;

    static constexpr std::size_t capacity = 32;

    QueuedCopyDataSender(const QString &title, AnsweringChanged answeringChanged = {},
                         int replyTimeoutMs = 5000, int hungReplyTimeoutMs = 100);
    // Sends nothing more, waiting only for a send in flight.
    ~QueuedCopyDataSender();
    QueuedCopyDataSender(const QueuedCopyDataSender &) = delete;
    QueuedCopyDataSender &operator=(const QueuedCopyDataSender &) = delete;

    // Queues a record and returns at once. While capacity records wait, the new
    // one is dropped, with a warning.
    void post(quint64 senderWindow, const QByteArray &text, Found found = {});
    // Waits until every record posted before has been sent or skipped, at most
    // timeoutMs; false when time ran out first.
    bool waitUntilSent(int timeoutMs);

private:
    struct Record
    {
        quint64 senderWindow = 0;
        QByteArray text;
        Found found;
    };

    void sendQueuedRecords();
    void send(const Record &record);

    const QString m_title;
    const AnsweringChanged m_answeringChanged;
    const int m_replyTimeoutMs;
    const int m_hungReplyTimeoutMs;
    bool m_peerHung = false; // sending thread only

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<Record> m_queue;
    bool m_sending = false;
    bool m_stopping = false;
    std::thread m_thread;
};
