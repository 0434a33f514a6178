#include "jpegframedecoder.h"

#include <turbojpeg.h>

namespace optrelle {

JpegFrameDecoder::JpegFrameDecoder() : m_handle(tjInitDecompress()) {}

JpegFrameDecoder::~JpegFrameDecoder()
{
    if (m_handle)
        tjDestroy(m_handle);
}

bool JpegFrameDecoder::decode(const std::uint8_t *jpeg, std::size_t size, Frame &frame,
                              RowOrder order)
{
    int width = 0;
    int height = 0;
    int subsampling = 0;
    int colourspace = 0;
    if (!m_handle || !jpeg ||
        tjDecompressHeader3(m_handle, jpeg, static_cast<unsigned long>(size), &width, &height,
                            &subsampling, &colourspace) != 0 ||
        width <= 0 || height <= 0)
        return false;
    frame.width = width;
    frame.height = height;
    frame.pixels.resize(frame.byteCount());
    const int flags = order == RowOrder::BottomUp ? TJFLAG_BOTTOMUP : 0;
    if (tjDecompress2(m_handle, jpeg, static_cast<unsigned long>(size), frame.pixels.data(), width,
                      int(frame.rowBytes()), height, TJPF_BGR, flags) == 0)
        return true;
    return tjGetErrorCode(m_handle) == TJERR_WARNING;
}

} // namespace optrelle
