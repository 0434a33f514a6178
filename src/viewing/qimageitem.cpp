#include "qimageitem.h"

#include <QWidget>

#include <cmath>

#include "common/log.h"

namespace {
QImageItem::ZoomScaleListener zoomScaleListener;

constexpr float minimumScale = 0.05f;
constexpr float maximumScale = 20.0f;

bool isMiddleMarker(const QPointF &centre)
{
    return std::abs(centre.x() + 1) < 1e-12 && std::abs(centre.y() + 1) < 1e-12;
}

QPointF middleOf(const QRectF &rect)
{
    return QPointF(rect.x() + rect.width() * 0.5, rect.y() + rect.height() * 0.5);
}

// The transform with an operation applied in front of it about a point of the item.
QTransform aboutPoint(QTransform transform, const QPointF &point,
                      const std::function<void(QTransform &)> &operation)
{
    transform.translate(point.x(), point.y());
    operation(transform);
    transform.translate(-point.x(), -point.y());
    return transform;
}
} // namespace

void QImageItem::setZoomScaleListener(ZoomScaleListener listener)
{
    zoomScaleListener = std::move(listener);
}

QImageItem::QImageItem(QWidget *hideOnPress)
    : QGraphicsPixmapItem(nullptr), m_pHideOnPress(hideOnPress)
{
    setAcceptTouchEvents(true);
}

void QImageItem::zoomAt(float factor, const QPointF &centre)
{
    // A factor that is not a finite positive number (a pinch of coinciding
    // fingers) would wreck the transform for good: such a step is refused.
    if (!std::isfinite(factor) || factor <= 0)
        return;
    const float previous = m_fScale;
    if (double(previous) <= 0.05 && factor < 1)
        return;
    if (previous >= maximumScale && factor > 1)
        return;

    const double scale = double(factor) * double(previous);
    const int percent = int(scale * 100);
    if (percent <= 1 && factor < 1) {
        // The lower clamp applies the factor that lands exactly on the minimum, so
        // the kept scale and the picture's real scale stay the same.
        factor = minimumScale / previous;
        m_fScale = minimumScale;
    } else if (percent >= 2000 && factor > 1) {
        factor = maximumScale / previous;
        m_fScale = maximumScale;
    } else {
        m_fScale = float(scale);
    }

    const QPointF about = isMiddleMarker(centre) ? middleOf(boundingRect()) : centre;
    setTransform(
        aboutPoint(transform(), about, [factor](QTransform &t) { t.scale(factor, factor); }));
    setVisible(true);
    m_fLastFactor = factor;
    if (zoomScaleListener)
        zoomScaleListener(m_fScale);
}

void QImageItem::rotateBy(float degrees)
{
    setTransform(aboutPoint(transform(), middleOf(boundingRect()),
                            [degrees](QTransform &t) { t.rotate(degrees, Qt::ZAxis); }));
}

bool QImageItem::sceneEvent(QEvent *event)
{
    writeLog("sceneEvent");
    return QGraphicsPixmapItem::sceneEvent(event);
}

void QImageItem::mousePressEvent(QGraphicsSceneMouseEvent *)
{
    // Not passed on: the item keeps the press, so the view does not start
    // hand-scrolling and a drag moves the picture instead.
    if (m_pHideOnPress)
        m_pHideOnPress->hide();
}
