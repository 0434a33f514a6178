#include "videolayout.h"

#include <algorithm>
#include <cmath>

namespace optrelle {

VideoLayout::VideoLayout(QSize frame, QSize window, int quarterTurns, int zoomStep)
{
    if (frame.isEmpty() || window.isEmpty())
        return;
    const int turns = ((quarterTurns % 4) + 4) % 4;
    const QSize turned = turns % 2 ? frame.transposed() : frame;
    const double fit = std::min(double(window.width()) / turned.width(),
                                double(window.height()) / turned.height());
    m_scale = fit * std::pow(zoomFactorPerStep, std::clamp(zoomStep, 0, maximumZoomStep));
    m_frameToWindow.translate(window.width() / 2.0, window.height() / 2.0);
    m_frameToWindow.scale(m_scale, m_scale);
    m_frameToWindow.rotate(90.0 * turns);
    m_frameToWindow.translate(-frame.width() / 2.0, -frame.height() / 2.0);
}

} // namespace optrelle
