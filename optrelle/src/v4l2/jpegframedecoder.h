#pragma once

#include "frame.h"

#include <cstddef>
#include <cstdint>

namespace optrelle {

enum class RowOrder
{
    BottomUp,
    TopDown
};

// Decodes JPEG pictures (a camera's MJPEG frames) into BGR frames with
// libturbojpeg, by default straight into bottom-up rows, so no flip pass
// follows. Frames from UVC cameras often lack Huffman tables; libjpeg-turbo
// supplies the standard ones. One decoder per thread.
class JpegFrameDecoder
{
public:
    JpegFrameDecoder();
    ~JpegFrameDecoder();
    JpegFrameDecoder(const JpegFrameDecoder &) = delete;
    JpegFrameDecoder &operator=(const JpegFrameDecoder &) = delete;

    // Sizes frame to the picture's own size. A picture decoded with only a
    // warning (a truncated frame, say) counts as decoded.
    bool decode(const std::uint8_t *jpeg, std::size_t size, Frame &frame,
                RowOrder order = RowOrder::BottomUp);

private:
    void *m_handle;
};

} // namespace optrelle
