#include "bmpframebuffer.h"

#include <QMutexLocker>
#include <QtEndian>

#include <cstring>

namespace {
void putLe32(char *at, quint32 value)
{
    qToLittleEndian(value, at);
}

void putLe16(char *at, quint16 value)
{
    qToLittleEndian(value, at);
}

qsizetype pixelBytes(int width, int height)
{
    return qsizetype(width) * height * 3;
}

int readLe32(const QByteArray &bmp, int at)
{
    return qFromLittleEndian<qint32>(bmp.constData() + at);
}

// The header of a width x height frame, into the first 54 bytes of bmp.
void writeHeader(char *bmp, int width, int height)
{
    const auto imageBytes = quint32(pixelBytes(width, height));
    std::memset(bmp, 0, BmpFrameBuffer::headerSize);
    bmp[0] = 'B';
    bmp[1] = 'M';
    putLe32(bmp + 2, BmpFrameBuffer::headerSize + imageBytes);
    putLe32(bmp + 10, BmpFrameBuffer::headerSize);
    putLe32(bmp + 14, 40);
    putLe32(bmp + 18, quint32(width));
    putLe32(bmp + 22, quint32(height));
    putLe16(bmp + 26, 1);
    putLe16(bmp + 28, 24);
    putLe32(bmp + 34, imageBytes);
}
} // namespace

BmpFrameBuffer::Stored BmpFrameBuffer::store(const void *pixels, int width, int height)
{
    if (!pixels || width <= 0 || height <= 0 || width > maxSide || height > maxSide ||
        qint64(width) * height > maxPixels)
        return {false, false, false};

    const qsizetype bytes = headerSize + pixelBytes(width, height);
    QMutexLocker lock(&m_mutex);
    // Same byte count and width means same height: the header stands as it is.
    if (m_waiting.size() != bytes || readLe32(m_waiting, 18) != width) {
        m_waiting.resize(bytes);
        writeHeader(m_waiting.data(), width, height);
    }
    const bool sizeChanged = m_size != QSize(width, height);
    if (sizeChanged) {
        m_size = QSize(width, height);
        m_sizeChanged = true;
    }
    std::memcpy(m_waiting.data() + headerSize, pixels, size_t(bytes - headerSize));
    const bool notify = !m_hasWaiting;
    if (m_hasWaiting)
        ++m_coalesced;
    m_hasWaiting = true;
    return {true, notify, sizeChanged};
}

bool BmpFrameBuffer::take(QByteArray &bmp, bool &sizeChanged)
{
    QMutexLocker lock(&m_mutex);
    if (!m_hasWaiting)
        return false;
    bmp.swap(m_waiting); // the caller's old bytes take the next frame
    sizeChanged = m_sizeChanged;
    m_sizeChanged = false;
    m_hasWaiting = false;
    return true;
}

quint64 BmpFrameBuffer::coalescedFrames() const
{
    QMutexLocker lock(&m_mutex);
    return m_coalesced;
}

QImage BmpFrameBuffer::toImage(const QByteArray &bmp)
{
    if (bmp.size() < headerSize)
        return {};
    const int width = readLe32(bmp, 18);
    const int height = readLe32(bmp, 22);
    if (width <= 0 || height <= 0 || bmp.size() < headerSize + pixelBytes(width, height))
        return {};
    QImage image(width, height, QImage::Format_RGB32);
    const auto *rows = reinterpret_cast<const uchar *>(bmp.constData()) + headerSize;
    const qsizetype stride = qsizetype(width) * 3;
    for (int y = 0; y < height; ++y) {
        // Bottom-up BGR in, top-down 0xffRRGGBB out, in one pass.
        const uchar *in = rows + (height - 1 - y) * stride;
        auto *out = reinterpret_cast<quint32 *>(image.scanLine(y));
        for (int x = 0; x < width; ++x, in += 3)
            out[x] = 0xff000000u | quint32(in[2]) << 16 | quint32(in[1]) << 8 | in[0];
    }
    return image;
}
