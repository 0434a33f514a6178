#include "jpegframedecoder.h"

#include <turbojpeg.h>

#include <cstring>

namespace optrelle {

namespace {

// Cameras pad frames with zeros after the end-of-image marker.
bool endsWithEndOfImage(const std::uint8_t *jpeg, std::size_t size)
{
    while (size > 2 && jpeg[size - 1] == 0)
        --size;
    return size >= 4 && jpeg[size - 2] == 0xff && jpeg[size - 1] == 0xd9;
}

// The one warning that leaves the picture whole: stray bytes between segments.
bool harmlessWarning(const char *message)
{
    return message && std::strstr(message, "extraneous bytes before marker");
}

} // namespace

JpegFrameDecoder::JpegFrameDecoder() : m_handle(tjInitDecompress()) {}

JpegFrameDecoder::~JpegFrameDecoder()
{
    if (m_handle)
        tjDestroy(m_handle);
}

Resolution JpegFrameDecoder::pictureSize(const std::uint8_t *jpeg, std::size_t size)
{
    int width = 0;
    int height = 0;
    int subsampling = 0;
    int colourspace = 0;
    if (!m_handle || !jpeg ||
        tjDecompressHeader3(m_handle, jpeg, static_cast<unsigned long>(size), &width, &height,
                            &subsampling, &colourspace) != 0 ||
        width <= 0 || height <= 0)
        return {};
    return {width, height};
}

bool JpegFrameDecoder::decode(const std::uint8_t *jpeg, std::size_t size, Frame &frame,
                              RowOrder order)
{
    const Resolution picture = pictureSize(jpeg, size);
    if (picture.width <= 0 || !endsWithEndOfImage(jpeg, size))
        return false;
    const int width = picture.width;
    const int height = picture.height;
    frame.width = width;
    frame.height = height;
    frame.pixels.resize(frame.byteCount());
    const int flags = order == RowOrder::BottomUp ? TJFLAG_BOTTOMUP : 0;
    if (tjDecompress2(m_handle, jpeg, static_cast<unsigned long>(size), frame.pixels.data(), width,
                      int(frame.rowBytes()), height, TJPF_BGR, flags) == 0)
        return true;
    return tjGetErrorCode(m_handle) == TJERR_WARNING && harmlessWarning(tjGetErrorStr2(m_handle));
}

} // namespace optrelle
