#pragma once

#include "cameradevice.h"
#include "framepool.h"
#include "simulatedcameraconfig.h"

#include <QString>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace optrelle {

// A camera without hardware: films a DeskScene at the chosen resolution and frame
// rate on its own thread. Its optical zoom is a plain value in 0..100, step 10;
// brightness and contrast change the picture.
class SimulatedCamera : public CameraDevice
{
public:
    static constexpr ZoomRange zoomLimits{0, 100, 10, 50};

    SimulatedCamera(SimulatedCameraConfig config, QString sceneFile);
    ~SimulatedCamera() override;

    std::string firstId() const override { return m_config.firstId; }
    std::string secondId() const override { return m_config.secondId; }
    std::vector<Resolution> resolutions() const override { return m_config.resolutions; }
    bool start(int index, FrameSink *sink) override;
    void stop() override;
    std::optional<ZoomRange> zoomRange() override;
    bool setZoom(int value) override;
    // Brightness, contrast and zoom, under the ids a V4L2 camera uses.
    std::vector<CameraControl> controls() override;
    bool setControl(std::uint32_t id, int value) override;

private:
    void adjustPicture(Frame &frame) const;

    void run(Resolution size, FrameSink *sink);

    const SimulatedCameraConfig m_config;
    const QString m_sceneFile;
    FramePool m_pool;
    std::atomic<int> m_zoom = zoomLimits.value;
    std::atomic<int> m_brightness = 0; // added to every sample, -64..64
    std::atomic<int> m_contrast = 100; // percent, about mid-grey, 0..200

    std::mutex m_stopMutex;
    std::condition_variable m_stopRequested;
    bool m_stopping = false;
    std::thread m_thread;
};

} // namespace optrelle
