#include "liveframebuffer.h"

#include <QMutexLocker>

#include <algorithm>
#include <cstring>

namespace {
// One row of BGR to 0xffRRGGBB. Little-endian BGR bytes read as a word are the
// pixel already; four pixels are three whole words.
static_assert(Q_BYTE_ORDER == Q_LITTLE_ENDIAN);
void uprightRow(const uchar *in, int width, quint32 *out)
{
    int x = 0;
    for (; x + 4 <= width; x += 4, in += 12) {
        quint32 w[3];
        std::memcpy(w, in, sizeof w);
        out[x] = 0xff000000u | w[0];
        out[x + 1] = 0xff000000u | w[0] >> 24 | w[1] << 8;
        out[x + 2] = 0xff000000u | w[1] >> 16 | w[2] << 16;
        out[x + 3] = 0xff000000u | w[2] >> 8;
    }
    for (; x < width; ++x, in += 3)
        out[x] = 0xff000000u | quint32(in[2]) << 16 | quint32(in[1]) << 8 | in[0];
}

// Reuses picture when it has the size already (a shared one is copied then).
void prepare(QImage &picture, int width, int height, qreal devicePixelRatio)
{
    if (picture.size() != QSize(width, height))
        picture = QImage(width, height, QImage::Format_RGB32);
    picture.setDevicePixelRatio(devicePixelRatio);
}

// One upright row of 2x2 means (rounded down) from two BGR rows, the upper first.
void halveRows(const uchar *upper, const uchar *lower, int halfWidth, quint32 *out)
{
    for (int x = 0; x < halfWidth; ++x, upper += 6, lower += 6) {
        quint32 pixel = 0xff000000u;
        for (int channel = 0; channel < 3; ++channel)
            pixel |= quint32(upper[channel] + upper[channel + 3] + lower[channel] +
                             lower[channel + 3]) >>
                     2 << (8 * channel);
        out[x] = pixel;
    }
}

// Bottom-up BGR in, top-down 0xffRRGGBB out for each picture that is not null:
// the full frame and its half level, in one pass over the frame.
void turnUpright(const uchar *rows, int width, int height, QImage &full, QImage *half)
{
    const qsizetype stride = qsizetype(width) * 3;
    for (int y = 0; y < height; ++y) {
        const uchar *row = rows + (height - 1 - y) * stride;
        if (!full.isNull())
            uprightRow(row, width, reinterpret_cast<quint32 *>(full.scanLine(y)));
        if (half && y % 2 == 1)
            halveRows(row + stride, row, width / 2,
                      reinterpret_cast<quint32 *>(half->scanLine(y / 2)));
    }
}
} // namespace

LiveFrameBuffer::Stored LiveFrameBuffer::store(const void *pixels, int width, int height)
{
    if (!pixels || width <= 0 || height <= 0 || width > maxSide || height > maxSide ||
        qint64(width) * height > maxPixels)
        return {false, false, false};

    QMutexLocker filling(&m_fillMutex);
    const auto *rows = static_cast<const uchar *>(pixels);
    const double scale = m_scale;
    const bool large = qint64(width) * height >= halfLevelPixels;
    // An odd side would make a half level a pixel short of covering the frame.
    const bool halfLevel = large && width % 2 == 0 && height % 2 == 0;
    // Painted at exactly its own scale, such a level is copied to the screen as it is.
    const bool paintedLevel = !large && scale < 1.0;
    const bool full = m_fullWanted || (halfLevel ? scale > 0.5 : !paintedLevel);
    if (full)
        prepare(m_filling.full, width, height, 1.0);
    else
        m_filling.full = QImage();
    if (halfLevel)
        prepare(m_filling.level, width / 2, height / 2, 0.5);
    else if (paintedLevel)
        prepare(m_filling.level, std::max(1, qRound(width * scale)),
                std::max(1, qRound(height * scale)), scale);
    else
        m_filling.level = QImage();
    m_filling.size = QSize(width, height);
    turnUpright(rows, width, height, m_filling.full, halfLevel ? &m_filling.level : nullptr);
    if (paintedLevel)
        m_scaler.scale(rows, width, height, m_filling.level);
    m_newestHasFull = full;

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

void LiveFrameBuffer::setPainting(qreal scale, bool fullWanted)
{
    m_scale = scale;
    m_fullWanted = fullWanted;
}

bool LiveFrameBuffer::newestHasFull() const
{
    return m_newestHasFull;
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
