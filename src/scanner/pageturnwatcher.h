#pragma once

#include <QImage>
#include <QSize>

#include <cstdint>
#include <vector>

// Decides from the live picture when a new page has been laid down: the picture
// moved (a hand, a page), then came to rest for restMs, and the resting picture
// differs from the one the last still was taken of. It works on a small grey copy
// of each frame, about smallWidth pixels wide, so watching costs little per frame.
// Its thresholds follow the camera's noise, measured while the picture is still,
// so a noisy camera does not pass for movement and a clean one still sees a page.
// The first rest only shows the desk as it is: no still is due for it.
class PageTurnWatcher
{
public:
    static constexpr int smallWidth = 240;
    static constexpr quint32 restMs = 1000;

    // Looks at the next frame, taken at timeMs (a steady millisecond count, which
    // may wrap). True when a still of this frame is due.
    bool watch(const QImage &frame, quint32 timeMs);
    // Forgets the desk and the noise; the next rest is taken as it is.
    void reset();

private:
    using Picture = std::vector<std::uint8_t>;

    void shrink(const QImage &frame);
    // Pixels of the small copy that differ from other by more than the noise allows.
    int changedPixels(const Picture &other) const;

    Picture m_small;    // the frame just watched
    Picture m_anchor;   // the picture since the last movement
    Picture m_lastPage; // the picture of the last still, or the desk at the first rest
    QSize m_smallSize;
    double m_noise = -1; // median frame difference while still; below 0: not measured
    quint32 m_lastMovementMs = 0;
    bool m_restJudged = false; // this rest was compared with the last page already
};
