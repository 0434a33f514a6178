#include "manualcrop.h"

#include <algorithm>

namespace optrelle {

namespace {

// A frame narrower or lower than this (a fraction of the picture) is a click,
// not a drag, and sets no crop.
constexpr double smallestSide = 0.01;

QPointF clampedToPicture(QPointF point)
{
    return {std::clamp(point.x(), 0.0, 1.0), std::clamp(point.y(), 0.0, 1.0)};
}

} // namespace

void ManualCrop::setEnabled(bool on)
{
    std::lock_guard lock(m_mutex);
    m_enabled = on;
    m_dragging = false;
    m_region = QRectF();
}

bool ManualCrop::isEnabled() const
{
    std::lock_guard lock(m_mutex);
    return m_enabled;
}

void ManualCrop::press(QPointF point)
{
    std::lock_guard lock(m_mutex);
    if (!m_enabled)
        return;
    m_dragging = true;
    m_anchor = clampedToPicture(point);
    m_region = QRectF();
}

void ManualCrop::move(QPointF point)
{
    std::lock_guard lock(m_mutex);
    dragTo(point);
}

void ManualCrop::release(QPointF point)
{
    std::lock_guard lock(m_mutex);
    dragTo(point);
    m_dragging = false;
    if (m_region.width() < smallestSide || m_region.height() < smallestSide)
        m_region = QRectF();
}

void ManualCrop::dragTo(QPointF point)
{
    if (m_enabled && m_dragging)
        m_region = QRectF(m_anchor, clampedToPicture(point)).normalized();
}

QRectF ManualCrop::region() const
{
    std::lock_guard lock(m_mutex);
    return m_region;
}

QRectF ManualCrop::settledRegion() const
{
    std::lock_guard lock(m_mutex);
    return m_dragging ? QRectF() : m_region;
}

} // namespace optrelle
