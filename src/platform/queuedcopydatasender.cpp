#include "queuedcopydatasender.h"

#include <chrono>

#include "platform/copydatarecord.h"
#include "platform/copydatasender.h"

QueuedCopyDataSender::QueuedCopyDataSender(const QString &title, AnsweringChanged answeringChanged,
                                           int replyTimeoutMs, int hungReplyTimeoutMs)
    : m_title(title), m_answeringChanged(std::move(answeringChanged)),
      m_replyTimeoutMs(replyTimeoutMs), m_hungReplyTimeoutMs(hungReplyTimeoutMs),
      m_thread(&QueuedCopyDataSender::sendQueuedRecords, this)
{
}

QueuedCopyDataSender::~QueuedCopyDataSender()
{
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
        m_queue.clear();
    }
    m_changed.notify_all();
    m_thread.join();
}

void QueuedCopyDataSender::post(quint64 senderWindow, const QByteArray &text, Found found)
{
    {
        const std::lock_guard lock(m_mutex);
        if (m_queue.size() >= capacity) {
            qCWarning(lcCopyData, "dropping \"%s\" for %s: %zu records wait",
                      text.left(32).constData(), qPrintable(m_title), m_queue.size());
            return;
        }
        m_queue.push_back({senderWindow, text, std::move(found)});
    }
    m_changed.notify_all();
}

bool QueuedCopyDataSender::waitUntilSent(int timeoutMs)
{
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                              [this] { return m_queue.empty() && !m_sending; });
}

void QueuedCopyDataSender::sendQueuedRecords()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return m_stopping || !m_queue.empty(); });
        if (m_stopping)
            return;
        const Record record = std::move(m_queue.front());
        m_queue.pop_front();
        m_sending = true;
        lock.unlock();
        send(record);
        lock.lock();
        m_sending = false;
        m_changed.notify_all();
    }
}

void QueuedCopyDataSender::send(const Record &record)
{
    if (!findWindow(m_title))
        return;
    if (record.found)
        record.found();
    const bool answered = sendCopyData(m_title, record.senderWindow, record.text,
                                       m_peerHung ? m_hungReplyTimeoutMs : m_replyTimeoutMs);
    if (answered == m_peerHung) {
        m_peerHung = !answered;
        if (m_answeringChanged)
            m_answeringChanged(answered);
    }
}
