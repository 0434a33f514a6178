#include "newestonlythread.h"

#include <utility>

namespace optrelle {

NewestOnlyThread::NewestOnlyThread() : m_thread([this] { run(); }) {}

NewestOnlyThread::~NewestOnlyThread()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
        m_waiting = nullptr;
    }
    m_changed.notify_all();
    m_thread.join();
}

void NewestOnlyThread::post(std::function<void()> job)
{
    {
        std::lock_guard lock(m_mutex);
        m_waiting = std::move(job);
    }
    m_changed.notify_all();
}

bool NewestOnlyThread::isBusy()
{
    std::lock_guard lock(m_mutex);
    return m_running || m_waiting;
}

void NewestOnlyThread::drain()
{
    std::unique_lock lock(m_mutex);
    m_waiting = nullptr;
    m_changed.wait(lock, [this] { return !m_running; });
}

void NewestOnlyThread::run()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return m_stopping || m_waiting; });
        if (m_stopping)
            return;
        const std::function<void()> job = std::exchange(m_waiting, nullptr);
        m_running = true;
        lock.unlock();
        job();
        lock.lock();
        m_running = false;
        m_changed.notify_all();
    }
}

} // namespace optrelle
