#pragma once

class QEvent;
class QImageItem;
class QWheelEvent;

// The wheel and touch handling that every picture view shares. GUI thread only.

// One wheel step on item (may be null): up enlarges by 1.2, anything else reduces.
void zoomByWheel(QWheelEvent *event, QImageItem *item);

// True for the three touch event types, which the views consume whole.
bool isTouchEvent(const QEvent *event);

// Pinch to zoom and turn to rotate on a touch event with exactly two points.
// lastPinchRatio is the ratio already applied in the gesture under way (one per
// view class); pinchRatio collects the final ratios of finished gestures. Logs
// every event; item may be null, and then only the bookkeeping happens.
void applyTwoFingerGesture(QEvent *touchEvent, QImageItem *item, double &lastPinchRatio,
                           double &pinchRatio);
