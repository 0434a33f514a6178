#pragma once

#include <QPointF>
#include <QRectF>

#include <mutex>

namespace optrelle {

// The crop frame a user drags over the video in manual crop mode. Points are
// fractions of the upright frame (0..1 across and down), so the frame keeps
// its place on the page when the resolution changes. Any thread may read it.
class ManualCrop
{
public:
    // Off: presses are ignored and the frame is gone.
    void setEnabled(bool on);
    bool isEnabled() const;

    void press(QPointF point);
    void move(QPointF point);
    void release(QPointF point);

    // The frame being dragged or left after the release; empty when there is none.
    QRectF region() const;
    // The frame left after a release, which stills are cut to; empty otherwise.
    QRectF settledRegion() const;

private:
    void dragTo(QPointF point);

    mutable std::mutex m_mutex;
    bool m_enabled = false;
    bool m_dragging = false;
    QPointF m_anchor;
    QRectF m_region;
};

} // namespace optrelle
