#pragma once

#include <QByteArray>
#include <QImage>
#include <QMutex>
#include <QSize>

// The newest camera frame as a complete BMP file in memory: a 54-byte header
// followed by the library's bottom-up 24-bit rows, unpadded. The camera thread
// stores frames, the GUI thread takes them; only the newest one is kept, so a GUI
// slower than the camera skips frames instead of queueing stale ones.
class BmpFrameBuffer
{
public:
    static constexpr int headerSize = 54;

    struct Stored
    {
        bool accepted;    // false: the frame had an impossible size and was dropped
        bool notify;      // true: the GUI has not been told of a waiting frame yet
        bool sizeChanged; // since the frame stored before
    };

    // Camera thread. Copies the pixels over the waiting frame, or over a new buffer
    // with a fresh header when the size changed.
    Stored store(const void *pixels, int width, int height);

    // GUI thread. Swaps the waiting frame into bmp; bmp's old bytes take the next
    // frame, so a steady stream allocates nothing. sizeChanged tells whether the
    // size changed since the frame taken before. False when no frame is waiting.
    bool take(QByteArray &bmp, bool &sizeChanged);

    // Frames that were overwritten before the GUI took them.
    quint64 coalescedFrames() const;

    // The frame of a buffer made by this class, upright, as a 32-bit picture.
    static QImage toImage(const QByteArray &bmp);

    // Larger frames are taken for corrupt: no camera films more than this.
    static constexpr int maxSide = 16384;
    static constexpr qint64 maxPixels = 100'000'000;

private:
    mutable QMutex m_mutex;
    QByteArray m_waiting;
    QSize m_size; // of the newest frame stored
    bool m_hasWaiting = false;
    bool m_sizeChanged = false; // since the frame taken before
    quint64 m_coalesced = 0;
};
