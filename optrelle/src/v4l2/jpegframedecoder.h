#pragma once

#include "cameradevice.h"
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
// supplies the standard ones. A frame cut short or damaged is refused rather
// than shown half grey. One decoder per thread.
class JpegFrameDecoder
{
public:
    JpegFrameDecoder();
    ~JpegFrameDecoder();
    JpegFrameDecoder(const JpegFrameDecoder &) = delete;
    JpegFrameDecoder &operator=(const JpegFrameDecoder &) = delete;

    // The picture's size from its header; 0x0 when there is none.
    Resolution pictureSize(const std::uint8_t *jpeg, std::size_t size);

    // Sizes frame to the picture's own size. False for a picture that does not
    // end with its end-of-image marker (trailing zero padding aside) or whose
    // data the decoder had to guess at; bytes a camera leaves before a marker
    // do no harm and are accepted.
    bool decode(const std::uint8_t *jpeg, std::size_t size, Frame &frame,
                RowOrder order = RowOrder::BottomUp);

private:
    void *m_handle;
};

} // namespace optrelle
