#pragma once

#include <QImage>
#include <QMutex>
#include <QSize>

#include <atomic>

#include "camera/uprightscaler.h"

// The newest camera frame, turned upright on the camera thread into recycled
// 32-bit pictures: the full frame and a level made in the same pass for a picture
// painted smaller than the frame. Large frames get a half-size level, for a
// picture shown at half size or less; smaller ones a level of the size they are
// painted at. The full frame is left out while a level does, unless it is wanted.
// Only the newest frame is kept, so a GUI slower than the camera skips frames
// instead of queueing stale ones; the GUI thread only swaps pictures, it neither
// allocates nor copies.
class LiveFrameBuffer
{
public:
    struct Frame
    {
        QSize size;
        QImage full;  // null when the level was made alone
        QImage level; // null when none does; device pixel ratio: its scale
    };

    struct Stored
    {
        bool accepted;    // false: the frame had an impossible size and was dropped
        bool notify;      // true: the GUI has not been told of a waiting frame yet
        bool sizeChanged; // since the frame stored before
    };

    // Camera thread. pixels: the library's bottom-up 24-bit BGR rows, unpadded.
    Stored store(const void *pixels, int width, int height);

    // GUI thread. Swaps the waiting frame into frame; frame's old pictures take a
    // later frame. A picture the caller still shares then is copied on the camera
    // thread, so a steady stream allocates nothing only when the caller lets go of
    // the pictures it passes in. False when no frame is waiting.
    bool take(Frame &frame, bool &sizeChanged);

    // Any thread. How the GUI paints: a frame pixel at scale screen pixels, and
    // whether the full frame is wanted even where a level does (a frozen picture
    // to zoom into, a hidden view whose frames go elsewhere).
    void setPainting(qreal scale, bool fullWanted);
    // Camera thread: whether the frame stored last has its full picture.
    bool newestHasFull() const;

    // Frames that were overwritten before the GUI took them.
    quint64 coalescedFrames() const;

    // Larger frames are taken for corrupt: no camera films more than this.
    static constexpr int maxSide = 16384;
    static constexpr qint64 maxPixels = 100'000'000;
    // Frames of at least this many pixels get the half-size level.
    static constexpr qint64 halfLevelPixels = 4'000'000;

private:
    QMutex m_fillMutex; // held by the camera thread while it fills m_filling
    Frame m_filling;
    UprightScaler m_scaler;
    std::atomic<double> m_scale = 1.0;
    std::atomic<bool> m_fullWanted = true;
    std::atomic<bool> m_newestHasFull = false;
    mutable QMutex m_mutex;
    Frame m_waiting;
    QSize m_size; // of the newest frame stored
    bool m_hasWaiting = false;
    bool m_sizeChanged = false; // since the frame taken before
    quint64 m_coalesced = 0;
};
