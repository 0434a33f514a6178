#include "penlayer.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScreen>
#include <QTabletEvent>
#include <QWindow>

PenLayer::PenLayer(StrokeModel &model, bool composited, QWidget *parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      m_model(model), m_composited(composited)
{
    setWindowTitle(QStringLiteral("ScribvaneInk"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_TranslucentBackground, composited);
    setAttribute(Qt::WA_OpaquePaintEvent, !composited);
    setCursor(Qt::CrossCursor);
    setGeometry(screen()->geometry());
    winId(); // the input shape belongs to the native window
    letInputThrough(true);
}

void PenLayer::toolChanged()
{
    const bool drawing = m_model.tool() != InkTool::None;
    if (drawing && !m_composited && !isVisible())
        m_still = screen()->grabWindow(0);
    showWhenNeeded();
    if (drawing)
        raise();
}

void PenLayer::inkChanged()
{
    update();
    showWhenNeeded();
}

void PenLayer::showWhenNeeded()
{
    const bool drawing = m_model.tool() != InkTool::None;
    // Without a tool it stays only where it can be transparent, and only while it
    // has ink to show: an empty layer would cost the compositor a full-screen blend
    // for every frame of the live picture.
    const bool needed = drawing || (m_composited && !m_model.strokes().isEmpty());
    if (needed != isVisible())
        setVisible(needed);
    if (!needed)
        m_still = QPixmap();
    // After showing: the input shape belongs to the shown window.
    letInputThrough(!drawing);
}

QImage PenLayer::screenWithInk()
{
    QImage shot = screen()->grabWindow(0).toImage().convertToFormat(QImage::Format_RGB32);
    // A shown layer is in the grab already; a hidden one's ink is added here.
    if (!isVisible()) {
        QPainter painter(&shot);
        painter.translate(-geometry().topLeft());
        m_model.drawStrokes(painter, geometry());
    }
    return shot;
}

void PenLayer::letInputThrough(bool through)
{
    // On X11 this sets an empty input shape: the window stays shown but every
    // click, touch and wheel turn goes to whatever lies below.
    windowHandle()->setFlag(Qt::WindowTransparentForInput, through);
}

void PenLayer::paintEvent(QPaintEvent *event)
{
    const QRect area = event->rect();
    if (m_cacheRevision != m_model.revision()) {
        const qreal ratio = devicePixelRatioF();
        m_cache = QImage(size() * ratio, QImage::Format_ARGB32_Premultiplied);
        m_cache.setDevicePixelRatio(ratio);
        m_cache.fill(Qt::transparent);
        QPainter cachePainter(&m_cache);
        m_model.drawStrokes(cachePainter, rect());
        m_cacheRevision = m_model.revision();
    }
    QPainter painter(this);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    if (m_composited)
        painter.fillRect(area, Qt::transparent);
    else
        painter.drawPixmap(area, m_still, area);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter.drawImage(area, m_cache, area);
    m_model.drawCurrent(painter);
}

void PenLayer::drawLastStrokeIntoCache()
{
    // A finished stroke is the only change: draw it alone instead of all of them.
    if (m_cache.isNull() || m_cacheRevision + 1 != m_model.revision() ||
        m_model.strokes().isEmpty())
        return;
    QPainter cachePainter(&m_cache);
    StrokeModel::drawStroke(cachePainter, m_model.strokes().last());
    m_cacheRevision = m_model.revision();
}

void PenLayer::pointer(Phase phase, const QPointerEvent *event)
{
    const QEventPoint &point = event->points().constFirst();
    const bool pressureKnown =
        event->pointingDevice()->capabilities().testFlag(QInputDevice::Capability::Pressure);
    const qreal pressure = pressureKnown ? point.pressure() : 1.0;
    QRectF changed;
    switch (phase) {
    case Phase::Press:
        changed = m_model.begin(point.position(), pressure);
        break;
    case Phase::Move:
        changed = m_model.extend(point.position(), pressure);
        break;
    case Phase::Release:
        changed = m_model.end();
        drawLastStrokeIntoCache();
        break;
    }
    if (!changed.isEmpty())
        update(changed.toAlignedRect());
}

void PenLayer::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        pointer(Phase::Press, event);
}

void PenLayer::mouseMoveEvent(QMouseEvent *event)
{
    if (event->buttons() & Qt::LeftButton)
        pointer(Phase::Move, event);
}

void PenLayer::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        pointer(Phase::Release, event);
}

void PenLayer::tabletEvent(QTabletEvent *event)
{
    // Accepted, so that no mouse event repeats the point without its pressure.
    event->accept();
    if (event->type() == QEvent::TabletPress)
        pointer(Phase::Press, event);
    else if (event->type() == QEvent::TabletMove && event->buttons())
        pointer(Phase::Move, event);
    else if (event->type() == QEvent::TabletRelease)
        pointer(Phase::Release, event);
}
