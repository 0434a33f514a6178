#include "simulatedcamera.h"

#include "deskscene.h"

#include <QDateTime>

#include <linux/videodev2.h>

#include <algorithm>
#include <array>
#include <chrono>

namespace optrelle {

namespace {

constexpr int brightnessLimit = 64;
constexpr int defaultContrast = 100;

} // namespace

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

std::vector<CameraControl> SimulatedCamera::controls()
{
    const auto slider = [](std::uint32_t id, const char *name, ZoomRange range, int defaultValue) {
        return CameraControl{id,
                             name,
                             CameraControl::Kind::Integer,
                             range.minimum,
                             range.maximum,
                             range.step,
                             defaultValue,
                             range.value,
                             {}};
    };
    return {slider(V4L2_CID_BRIGHTNESS, "亮度 Brightness",
                   {-brightnessLimit, brightnessLimit, 1, m_brightness}, 0),
            slider(V4L2_CID_CONTRAST, "对比度 Contrast", {0, 2 * defaultContrast, 1, m_contrast},
                   defaultContrast),
            slider(V4L2_CID_ZOOM_ABSOLUTE, "变焦 Zoom", *zoomRange(), zoomLimits.value)};
}

bool SimulatedCamera::setControl(std::uint32_t id, int value)
{
    switch (id) {
    case V4L2_CID_BRIGHTNESS:
        m_brightness = std::clamp(value, -brightnessLimit, brightnessLimit);
        return true;
    case V4L2_CID_CONTRAST:
        m_contrast = std::clamp(value, 0, 2 * defaultContrast);
        return true;
    case V4L2_CID_ZOOM_ABSOLUTE:
        return setZoom(value);
    default:
        return false;
    }
}

void SimulatedCamera::adjustPicture(Frame &frame) const
{
    const int brightness = m_brightness;
    const int contrast = m_contrast;
    if (brightness == 0 && contrast == defaultContrast)
        return;
    std::array<std::uint8_t, 256> table;
    for (int v = 0; v < 256; ++v)
        table[v] = std::uint8_t(
            std::clamp((v - 128) * contrast / defaultContrast + 128 + brightness, 0, 255));
    for (std::uint8_t &sample : frame.pixels)
        sample = table[sample];
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
        adjustPicture(*frame);
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
