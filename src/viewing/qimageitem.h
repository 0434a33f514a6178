#pragma once

#include <QGraphicsPixmapItem>

#include <functional>

class QWidget;

// A picture on a stage that keeps its own zoom scale: zoom steps about a point
// within the limits 0.05 and 20, turns about its middle, and may hide a widget
// when it is pressed. GUI thread only.
class QImageItem : public QGraphicsPixmapItem
{
public:
    // Told the new kept scale after every zoom step taken, wherever the item is
    // shown; the presenter view installs one for its zoom indicator.
    using ZoomScaleListener = std::function<void(float keptScale)>;
    static void setZoomScaleListener(ZoomScaleListener listener);

    // hideOnPress: a widget to hide when the picture is pressed; not owned, may be null.
    explicit QImageItem(QWidget *hideOnPress);

    // One zoom step by factor about centre (item coordinates; (-1, -1) stands for
    // the middle of the picture). Refused beyond the limits, clamped at them.
    void zoomAt(float factor, const QPointF &centre);
    // Turns the picture about its middle; positive degrees turn clockwise on screen.
    void rotateBy(float degrees);
    void turnLeft() { rotateBy(-90); }
    void turnRight() { rotateBy(90); }

    float keptScale() const { return m_fScale; }
    float lastFactor() const { return m_fLastFactor; }
    // A fit starts counting the kept scale afresh.
    void resetKeptScale() { m_fScale = 1.0f; }

protected:
    bool sceneEvent(QEvent *event) override;
    void mousePressEvent(QGraphicsSceneMouseEvent *event) override;

private:
    float m_fLastFactor = 1.0f;
    float m_fScale = 1.0f;
    QWidget *m_pHideOnPress;
};
