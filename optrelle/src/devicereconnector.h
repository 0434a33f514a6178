#pragma once

#include <QFileSystemWatcher>
#include <QObject>
#include <QTimer>

#include <functional>

namespace optrelle {

// Brings a camera back after it was pulled out. Watches the folder where its
// device appears (the kernel's inotify events, through QFileSystemWatcher) and
// asks reopen at each change until it succeeds. udev sets a new node's owner and
// mode a moment after the node appears, so a failed attempt after a change is
// retried a few times quickly, and every second after that. GUI thread.
class DeviceReconnector : public QObject
{
    Q_OBJECT

public:
    // reopen: true when the camera streams again, or when it no longer needs to.
    explicit DeviceReconnector(std::function<bool()> reopen);

    // Starts watching folder; the first attempt is made at once.
    void watch(const QString &folder);
    void cancel();
    bool isWatching() const { return !m_watcher.directories().isEmpty(); }

private:
    void attempt();

    std::function<bool()> m_reopen;
    QFileSystemWatcher m_watcher;
    QTimer m_retry;
    int m_retriesLeft = 0;
};

} // namespace optrelle
