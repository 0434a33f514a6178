#include "simulatedcamera.h"

#include "deskscene.h"

#include <QDateTime>

#include <algorithm>
#include <chrono>

namespace optrelle {

SimulatedCamera::SimulatedCamera(SimulatedCameraConfig config, QString sceneFile)
    : m_config(std::move(config)), m_sceneFile(std::move(sceneFile))
{
}

SimulatedCamera::~SimulatedCamera()
{
    stop();
}

bool SimulatedCamera::start(int index, FrameSink *sink)
{
    if (index < 0 || index >= int(m_config.resolutions.size()) || !sink || m_thread.joinable())
        return false;
    m_stopping = false;
    m_thread = std::thread(&SimulatedCamera::run, this, m_config.resolutions[index], sink);
    return true;
}

void SimulatedCamera::stop()
{
    if (!m_thread.joinable())
        return;
    {
        std::lock_guard lock(m_stopMutex);
        m_stopping = true;
    }
    m_stopRequested.notify_all();
    m_thread.join();
}

std::optional<ZoomRange> SimulatedCamera::zoomRange()
{
    ZoomRange range = zoomLimits;
    range.value = m_zoom;
    return range;
}

bool SimulatedCamera::setZoom(int value)
{
    m_zoom = std::clamp(value, zoomLimits.minimum, zoomLimits.maximum);
    return true;
}

void SimulatedCamera::run(Resolution size, FrameSink *sink)
{
    using Clock = std::chrono::steady_clock;
    const auto period = std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double>(1.0 / m_config.framesPerSecond));
    DeskScene scene(m_sceneFile);
    quint64 frameNumber = 0;
    // Frames are due at fixed times from the start, so the rate does not drift;
    // a frame that is late by a whole period is skipped instead of bunched up.
    auto due = Clock::now();
    std::unique_lock lock(m_stopMutex);
    while (!m_stopping) {
        lock.unlock();
        std::shared_ptr<Frame> frame = m_pool.acquire(size.width, size.height);
        scene.render(*frame, frameNumber++, QDateTime::currentDateTime());
        sink->frameCaptured(std::move(frame));
        due += period;
        const auto now = Clock::now();
        if (now > due + period)
            due += (now - due) / period * period;
        lock.lock();
        m_stopRequested.wait_until(lock, due, [this] { return m_stopping; });
    }
}

} // namespace optrelle
