#pragma once

#include <QByteArrayList>
#include <QMutex>
#include <QThread>

#include "platform/copydatalistener.h"

// A peer listening under a title on a thread of its own, so that a sender on the
// test's GUI thread, which blocks until the reply, does not wait for itself.
class ThreadedListener
{
public:
    explicit ThreadedListener(const QString &title)
    {
        m_thread.start();
        m_listener.moveToThread(&m_thread);
        QObject::connect(
            &m_listener, &CopyDataListener::received, &m_listener,
            [this](const QByteArray &text, quint64 senderWindow) {
                const QMutexLocker lock(&m_mutex);
                m_texts.append(text);
                m_senders.append(senderWindow);
            },
            Qt::DirectConnection);
        QMetaObject::invokeMethod(
            &m_listener, [this, title] { m_listening = m_listener.listen(title); },
            Qt::BlockingQueuedConnection);
    }
    ~ThreadedListener()
    {
        // Stopped before it moves back: a running timer moved across threads is
        // re-registered by a queued call that never runs once the test ends.
        QMetaObject::invokeMethod(
            &m_listener,
            [this] {
                m_listener.stop();
                m_listener.moveToThread(m_thread.thread());
            },
            Qt::BlockingQueuedConnection);
        m_thread.quit();
        m_thread.wait();
    }

    bool isListening() const { return m_listening; }
    QByteArrayList texts() const
    {
        const QMutexLocker lock(&m_mutex);
        return m_texts;
    }
    QList<quint64> senderWindows() const
    {
        const QMutexLocker lock(&m_mutex);
        return m_senders;
    }

private:
    QThread m_thread;
    CopyDataListener m_listener;
    mutable QMutex m_mutex;
    QByteArrayList m_texts;
    QList<quint64> m_senders;
    bool m_listening = false;
};
