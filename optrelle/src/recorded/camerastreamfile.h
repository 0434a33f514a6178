#pragma once

#include "cameradevice.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace optrelle {

// A span of a JPEG stream holding one frame: from its start-of-image marker to
// just past its end-of-image marker, or, for a frame cut short, to the next
// frame's start or the end of the stream.
struct JpegFrameSpan
{
    std::size_t offset = 0;
    std::size_t size = 0;
    bool complete = false; // ends with its end-of-image marker
    Resolution picture;    // from its frame header; 0x0 when it has none
};

// Splits concatenated JPEG pictures (as `ffmpeg -f mjpeg` and `v4l2-ctl
// --stream-to` write them) into frames by walking their marker segments, so a
// start-of-image pattern inside a segment (an embedded thumbnail) splits nothing.
// Bytes between frames (padding) are skipped.
std::vector<JpegFrameSpan> splitJpegStream(const std::uint8_t *data, std::size_t size);

// A recorded camera stream mapped into memory: its frames, their format and size.
// MJPEG files take the size of their first complete frame; YUYV files hold
// frames of width * height * 2 bytes, a shorter last one included as it is.
class CameraStreamFile
{
public:
    struct FrameBytes
    {
        const std::uint8_t *data = nullptr;
        std::size_t size = 0;
    };

    // Null, with the reason in error, when the file cannot be read or holds no
    // frame. yuyvSize is the picture size of a YUYV file and unused otherwise.
    static std::unique_ptr<CameraStreamFile> open(const std::string &path, Resolution yuyvSize,
                                                  std::string *error);
    ~CameraStreamFile();
    CameraStreamFile(const CameraStreamFile &) = delete;
    CameraStreamFile &operator=(const CameraStreamFile &) = delete;

    std::uint32_t pixelFormat() const { return m_pixelFormat; }
    Resolution size() const { return m_size; }
    std::size_t frameCount() const { return m_frames.size(); }
    FrameBytes frame(std::size_t index) const;
    std::size_t largestFrame() const;

private:
    CameraStreamFile() = default;

    const std::uint8_t *m_data = nullptr;
    std::size_t m_length = 0;
    std::uint32_t m_pixelFormat = 0;
    Resolution m_size;
    std::vector<JpegFrameSpan> m_frames;
};

} // namespace optrelle
