#include "recordedstreamcamera.h"

#include <filesystem>

namespace optrelle {

std::unique_ptr<CameraDevice> RecordedStreamCamera::open(const std::string &firstId,
                                                         const std::string &secondId,
                                                         const RecordedStreamConfig &config,
                                                         int framesPerSecond, std::string *error)
{
    std::unique_ptr<CameraStreamFile> stream =
        CameraStreamFile::open(config.file, config.yuyvSize, error);
    if (!stream)
        return nullptr;
    return std::unique_ptr<CameraDevice>(new RecordedStreamCamera(
        std::make_unique<RecordedStreamIo>(config.file, std::move(stream), framesPerSecond),
        {firstId, secondId}));
}

RecordedStreamCamera::RecordedStreamCamera(std::unique_ptr<RecordedStreamIo> io, UsbIds ids)
    : V4l2CaptureDevice(io->path(), std::move(ids),
                        {{io->stream().size(), io->stream().pixelFormat()}}, *io),
      m_io(std::move(io))
{
}

RecordedStreamCamera::~RecordedStreamCamera()
{
    stop();
}

std::string RecordedStreamCamera::presenceFolder() const
{
    return std::filesystem::path(m_io->path()).parent_path().string();
}

} // namespace optrelle
