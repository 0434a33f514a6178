#include "liveframebuffer.h"

#include <QMutexLocker>

namespace {
quint32 rgb32(const uchar *bgr)
{
    return 0xff000000u | quint32(bgr[2]) << 16 | quint32(bgr[1]) << 8 | bgr[0];
}

// The mean of two 0xffRRGGBB pixels per channel pair, without carries between them.
quint32 averaged(quint32 a, quint32 b)
{
    return (a & b) + (((a ^ b) & 0xfefefefeu) >> 1);
}

// Reuses picture when it has the size already (a shared one is copied then).
void prepare(QImage &picture, int width, int height, qreal devicePixelRatio)
{
    if (picture.size() != QSize(width, height)) {
        picture = QImage(width, height, QImage::Format_RGB32);
        picture.setDevicePixelRatio(devicePixelRatio);
    }
}

// Bottom-up BGR in, top-down 0xffRRGGBB out and, when half is not null, its 2x2
// means, in one pass over the frame.
void turnUpright(const uchar *rows, int width, int height, QImage &full, QImage &half)
{
    const qsizetype stride = qsizetype(width) * 3;
    for (int y = 0; y < height; ++y) {
        const uchar *in = rows + (height - 1 - y) * stride;
        auto *out = reinterpret_cast<quint32 *>(full.scanLine(y));
        for (int x = 0; x < width; ++x, in += 3)
            out[x] = rgb32(in);
        if (half.isNull() || y % 2 == 0)
            continue;
        const auto *above = reinterpret_cast<const quint32 *>(full.constScanLine(y - 1));
        auto *level = reinterpret_cast<quint32 *>(half.scanLine(y / 2));
        for (int x = 0; x < width / 2; ++x)
            level[x] = averaged(averaged(above[2 * x], above[2 * x + 1]),
                                averaged(out[2 * x], out[2 * x + 1]));
    }
}
} // namespace

LiveFrameBuffer::Stored LiveFrameBuffer::store(const void *pixels, int width, int height)
{
    if (!pixels || width <= 0 || height <= 0 || width > maxSide || height > maxSide ||
        qint64(width) * height > maxPixels)
        return {false, false, false};

    QMutexLocker filling(&m_fillMutex);
    prepare(m_filling.full, width, height, 1.0);
    // An odd side would make the level a pixel short of covering the frame.
    if (qint64(width) * height >= halfLevelPixels && width % 2 == 0 && height % 2 == 0)
        prepare(m_filling.half, width / 2, height / 2, 0.5);
    else
        m_filling.half = QImage();
    turnUpright(static_cast<const uchar *>(pixels), width, height, m_filling.full, m_filling.half);

    QMutexLocker lock(&m_mutex);
    std::swap(m_filling, m_waiting);
    const bool sizeChanged = m_size != QSize(width, height);
    if (sizeChanged) {
        m_size = QSize(width, height);
        m_sizeChanged = true;
    }
    const bool notify = !m_hasWaiting;
    if (m_hasWaiting)
        ++m_coalesced;
    m_hasWaiting = true;
    return {true, notify, sizeChanged};
}

bool LiveFrameBuffer::take(Frame &frame, bool &sizeChanged)
{
    QMutexLocker lock(&m_mutex);
    if (!m_hasWaiting)
        return false;
    std::swap(frame, m_waiting);
    sizeChanged = m_sizeChanged;
    m_sizeChanged = false;
    m_hasWaiting = false;
    return true;
}

quint64 LiveFrameBuffer::coalescedFrames() const
{
    QMutexLocker lock(&m_mutex);
    return m_coalesced;
}
