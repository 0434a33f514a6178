#include "devicereconnector.h"

namespace optrelle {

namespace {

constexpr int retryMilliseconds = 250;
constexpr int retriesAfterChange = 8;
// Not every way back makes a change in the folder (a node's permissions granted
// later, an event missed): while the camera is away it is also tried now and then.
constexpr int slowRetryMilliseconds = 1000;

} // namespace

DeviceReconnector::DeviceReconnector(std::function<bool()> reopen) : m_reopen(std::move(reopen))
{
    m_retry.setSingleShot(true);
    connect(&m_retry, &QTimer::timeout, this, &DeviceReconnector::attempt);
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, [this] {
        m_retriesLeft = retriesAfterChange;
        attempt();
    });
}

void DeviceReconnector::watch(const QString &folder)
{
    cancel();
    m_watcher.addPath(folder);
    m_retriesLeft = 0;
    attempt();
}

void DeviceReconnector::cancel()
{
    m_retry.stop();
    if (isWatching())
        m_watcher.removePaths(m_watcher.directories());
}

void DeviceReconnector::attempt()
{
    if (m_reopen()) {
        cancel();
        return;
    }
    if (m_retriesLeft > 0) {
        --m_retriesLeft;
        m_retry.start(retryMilliseconds);
    } else {
        m_retry.start(slowRetryMilliseconds);
    }
}

} // namespace optrelle
