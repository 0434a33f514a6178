#include "yuvpicturefitter.h"

extern "C" {
#include <libavutil/frame.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cstring>

namespace optrelle {

namespace {

// Black in limited-range YUV.
constexpr std::uint8_t blackLuma = 16;
constexpr std::uint8_t blackChroma = 128;

// Qt's 32-bit formats are native-endian ARGB words, like FFmpeg's RGB32.
AVPixelFormat pixelFormatOf(QImage::Format format)
{
    switch (format) {
    case QImage::Format_RGB32:
    case QImage::Format_ARGB32:
    case QImage::Format_ARGB32_Premultiplied:
        return AV_PIX_FMT_RGB32;
    case QImage::Format_RGB888:
        return AV_PIX_FMT_RGB24;
    case QImage::Format_BGR888:
        return AV_PIX_FMT_BGR24;
    case QImage::Format_Grayscale8:
        return AV_PIX_FMT_GRAY8;
    default:
        return AV_PIX_FMT_NONE;
    }
}

int roundedUpToEven(int value)
{
    return std::max(2, (value + 1) / 2 * 2);
}

} // namespace

void YuvPictureFitter::FrameDeleter::operator()(AVFrame *frame) const
{
    av_frame_free(&frame);
}

void YuvPictureFitter::ScalerDeleter::operator()(SwsContext *scaler) const
{
    sws_freeContext(scaler);
}

YuvPictureFitter::YuvPictureFitter(QSize frameSize)
    : m_frameSize(frameSize), m_frame(av_frame_alloc())
{
    if (!m_frame)
        return;
    m_frame->format = AV_PIX_FMT_YUV420P;
    m_frame->width = frameSize.width();
    m_frame->height = frameSize.height();
    if (av_frame_get_buffer(m_frame.get(), 0) < 0)
        m_frame.reset();
}

YuvPictureFitter::~YuvPictureFitter() = default;

QRect YuvPictureFitter::fittedRect(QSize picture, QSize frame)
{
    const QSize scaled = picture.scaled(frame, Qt::KeepAspectRatio);
    const int width = std::min(frame.width(), roundedUpToEven(scaled.width()));
    const int height = std::min(frame.height(), roundedUpToEven(scaled.height()));
    return QRect((frame.width() - width) / 4 * 2, (frame.height() - height) / 4 * 2, width, height);
}

AVFrame *YuvPictureFitter::fit(const QImage &picture)
{
    if (!m_frame || av_frame_make_writable(m_frame.get()) < 0)
        return nullptr;

    const AVPixelFormat ownFormat = pixelFormatOf(picture.format());
    const bool converted = ownFormat == AV_PIX_FMT_NONE;
    const QImage source = converted ? picture.convertToFormat(QImage::Format_RGB32) : picture;
    const AVPixelFormat format = converted ? AV_PIX_FMT_RGB32 : ownFormat;

    const QRect rect = fittedRect(source.size(), m_frameSize);
    m_scaler.reset(sws_getCachedContext(m_scaler.release(), source.width(), source.height(), format,
                                        rect.width(), rect.height(), AV_PIX_FMT_YUV420P,
                                        SWS_BILINEAR, nullptr, nullptr, nullptr));
    if (!m_scaler)
        return nullptr;
    // The frame still holds the previous picture, which may have had another size.
    if (rect.size() != m_frameSize)
        fillBlack();

    const std::uint8_t *const sourcePlanes[] = {source.constBits()};
    const int sourceStrides[] = {int(source.bytesPerLine())};
    std::uint8_t *const targetPlanes[] = {
        m_frame->data[0] + rect.y() * m_frame->linesize[0] + rect.x(),
        m_frame->data[1] + rect.y() / 2 * m_frame->linesize[1] + rect.x() / 2,
        m_frame->data[2] + rect.y() / 2 * m_frame->linesize[2] + rect.x() / 2};
    sws_scale(m_scaler.get(), sourcePlanes, sourceStrides, 0, source.height(), targetPlanes,
              m_frame->linesize);
    return m_frame.get();
}

void YuvPictureFitter::fillBlack()
{
    const int chromaHeight = m_frameSize.height() / 2;
    std::memset(m_frame->data[0], blackLuma,
                std::size_t(m_frame->linesize[0]) * m_frameSize.height());
    std::memset(m_frame->data[1], blackChroma, std::size_t(m_frame->linesize[1]) * chromaHeight);
    std::memset(m_frame->data[2], blackChroma, std::size_t(m_frame->linesize[2]) * chromaHeight);
}

} // namespace optrelle
