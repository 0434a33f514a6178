#pragma once

#include <QGraphicsView>

class QImageItem;

// The view of a comparison cell and of the image viewer. Wheel and two-finger
// gestures act on m_pItem, which the creator sets right after construction.
// GUI thread only.
class QCompView : public QGraphicsView
{
    Q_OBJECT

public:
    explicit QCompView(QWidget *parent);

    // The ratio reached at the previous move of the gesture under way; shared by
    // all comparison views, since touch input reaches one view at a time.
    static double lastPinchRatio;

    QImageItem *m_pItem = nullptr; // not owned
    // Product of the final ratios of all finished gestures; only logged.
    double m_dPinchRatio = 1.0;

protected:
    void wheelEvent(QWheelEvent *event) override;
    bool viewportEvent(QEvent *event) override;
};
