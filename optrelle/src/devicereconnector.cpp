#include "devicereconnector.h"

namespace optrelle {

namespace {

constexpr int retryMilliseconds = 250;
constexpr int retriesAfterChange = 8;

} // namespace

DeviceReconnector::DeviceReconnector(std::function<bool()> reopen) : m_reopen(std::move(reopen))
{
    m_retry.setSingleShot(true);
    m_retry.setInterval(retryMilliseconds);
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
        m_retry.start();
    }
}

} // namespace optrelle
