#pragma once

#include "recordedstreamio.h"
#include "recordedstreamconfig.h"
#include "v4l2/v4l2capturedevice.h"

#include <memory>
#include <string>

namespace optrelle {

// A camera that replays a recorded stream through the V4L2 backend itself: the
// backend streams from a RecordedStreamIo, so the frames take the decoding,
// frame pool and checks a real camera's frames take. It is pulled out while
// FILE.unplugged exists.
class RecordedStreamCamera : public V4l2CaptureDevice
{
public:
    // Null, with the reason in error, when the file holds no stream.
    static std::unique_ptr<CameraDevice> open(const std::string &firstId,
                                              const std::string &secondId,
                                              const RecordedStreamConfig &config,
                                              int framesPerSecond, std::string *error);
    ~RecordedStreamCamera() override;

    // The file's folder, where FILE.unplugged comes and goes.
    std::string presenceFolder() const override;
    bool reattach() override { return m_io->present(); }

private:
    RecordedStreamCamera(std::unique_ptr<RecordedStreamIo> io, UsbIds ids);

    // Outlives the base class's use of it: the destructor stops streaming first.
    std::unique_ptr<RecordedStreamIo> m_io;
};

} // namespace optrelle
