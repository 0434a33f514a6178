#include "qcompview.h"

#include "viewing/twofingergesture.h"

double QCompView::lastPinchRatio = 1.0;

QCompView::QCompView(QWidget *parent) : QGraphicsView(parent)
{
    setDragMode(QGraphicsView::ScrollHandDrag);
    setRenderHint(QPainter::Antialiasing);
}

void QCompView::wheelEvent(QWheelEvent *event)
{
    zoomByWheel(event, m_pItem);
}

bool QCompView::viewportEvent(QEvent *event)
{
    if (!isTouchEvent(event))
        return QGraphicsView::viewportEvent(event);
    applyTwoFingerGesture(event, m_pItem, lastPinchRatio, m_dPinchRatio);
    return true;
}
