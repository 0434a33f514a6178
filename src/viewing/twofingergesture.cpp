#include "twofingergesture.h"

#include <QLineF>
#include <QTouchEvent>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

#include "common/log.h"
#include "viewing/qimageitem.h"

namespace {
constexpr float enlargeStep = 1.2f;
constexpr float reduceStep = 0.8333333f; // the float nearest 1 / 1.2

bool anyPointIn(const QTouchEvent &event, QEventPoint::State state)
{
    const QList<QEventPoint> &points = event.points();
    return std::any_of(points.begin(), points.end(),
                       [state](const QEventPoint &point) { return point.state() == state; });
}
} // namespace

void zoomByWheel(QWheelEvent *event, QImageItem *item)
{
    event->accept();
    if (item)
        item->zoomAt(event->angleDelta().y() > 0 ? enlargeStep : reduceStep, QPointF(-1, -1));
}

bool isTouchEvent(const QEvent *event)
{
    return event->type() == QEvent::TouchBegin || event->type() == QEvent::TouchUpdate ||
           event->type() == QEvent::TouchEnd;
}

void applyTwoFingerGesture(QEvent *touchEvent, QImageItem *item, double &lastPinchRatio,
                           double &pinchRatio)
{
    writeLog("收到QTouchEvent事件: %d", int(touchEvent->type()));
    const auto &event = *static_cast<QTouchEvent *>(touchEvent);
    if (event.points().size() != 2)
        return;
    const QEventPoint &first = event.points().first();
    const QEventPoint &last = event.points().last();

    // Two fingers that went down on one spot give no usable ratio, and fingers
    // brought together give 0, which the next step would divide by: neither is
    // applied, so no non-finite factor ever reaches the picture.
    const double startDistance = QLineF(first.pressPosition(), last.pressPosition()).length();
    const double ratio = QLineF(first.position(), last.position()).length() / startDistance;
    const bool usableRatio = std::isfinite(ratio) && ratio > 0;

    if (anyPointIn(event, QEventPoint::State::Updated) && item && usableRatio) {
        const QPointF centre(
            std::trunc((first.pressPosition().x() + last.pressPosition().x()) * 0.5),
            std::trunc((first.pressPosition().y() + last.pressPosition().y()) * 0.5));
        item->zoomAt(float(ratio / lastPinchRatio), centre);
        lastPinchRatio = ratio;

        const QLineF now(first.scenePosition(), last.scenePosition());
        const QLineF before(first.sceneLastPosition(), last.sceneLastPosition());
        item->rotateBy(float(now.angleTo(before)));
    }
    if (anyPointIn(event, QEventPoint::State::Released)) {
        if (usableRatio)
            pinchRatio *= ratio;
        lastPinchRatio = 1.0;
        writeLog("缩放比率为:%.02f", pinchRatio);
    }
}
