#pragma once

#include <QSize>
#include <QTransform>

namespace optrelle {

// Where a frame lands in a window: turned clockwise by quarter turns, scaled to
// fit the window with its aspect ratio kept, centred, then enlarged about the
// window's centre by the zoom step. Frame coordinates count from the picture's
// top-left corner.
class VideoLayout
{
public:
    static constexpr double zoomFactorPerStep = 1.25;
    static constexpr int maximumZoomStep = 8;

    VideoLayout(QSize frame, QSize window, int quarterTurns, int zoomStep);

    // Maps frame coordinates to window coordinates.
    QTransform frameToWindow() const { return m_frameToWindow; }
    // Maps window coordinates back to frame coordinates.
    QTransform windowToFrame() const { return m_frameToWindow.inverted(); }
    // Window pixels per frame pixel.
    double scale() const { return m_scale; }

private:
    QTransform m_frameToWindow;
    double m_scale = 0;
};

} // namespace optrelle
