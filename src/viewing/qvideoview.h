#pragma once

#include <QGraphicsView>

// The view of the presenter's live picture. Wheel and two-finger gestures act on
// the program-wide livePictureItem. GUI thread only.
class QVideoView : public QGraphicsView
{
    Q_OBJECT

public:
    explicit QVideoView(QWidget *parent);

    // The ratio reached at the previous move of the gesture under way; one value
    // for every live view.
    static double lastPinchRatio;

    // Product of the final ratios of all finished gestures; only logged.
    double m_dPinchRatio = 1.0;

protected:
    void drawBackground(QPainter *painter, const QRectF &exposed) override;
    void wheelEvent(QWheelEvent *event) override;
    bool viewportEvent(QEvent *event) override;
};
