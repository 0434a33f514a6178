#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace optrelle {

// A thread of its own for work on live video that must not hold up the capture
// thread: one job runs, at most one waits, and a newer job replaces the waiting
// one. So a slow job lowers its own rate, never the camera's, and what it makes
// lags the camera by at most one frame.
class NewestOnlyThread
{
public:
    NewestOnlyThread();
    ~NewestOnlyThread();
    NewestOnlyThread(const NewestOnlyThread &) = delete;
    NewestOnlyThread &operator=(const NewestOnlyThread &) = delete;

    // Any thread: job runs soon, unless a newer one comes before it starts.
    void post(std::function<void()> job);
    // True while a job runs or waits.
    bool isBusy();
    // Any thread but this one: drops the waiting job and waits for the running one.
    void drain();

private:
    void run();

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::function<void()> m_waiting;
    bool m_running = false;
    bool m_stopping = false;
    std::thread m_thread;
};

} // namespace optrelle
