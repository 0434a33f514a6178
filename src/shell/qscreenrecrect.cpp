#include "qscreenrecrect.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QScreen>

#include "platform/windowplacement.h"

namespace {
const QColor frameGreen(128, 255, 128);
constexpr int frameFillAlpha = 28;
constexpr int handleDepth = 20;  // from the edge to the handle's inner side
constexpr int handleLength = 16; // along the edge, from first to last pixel

// A rectangle from its inclusive corners.
QRect corners(int left, int top, int right, int bottom)
{
    return QRect(QPoint(left, top), QPoint(right, bottom));
}
} // namespace

QScreenRecRect::Handles QScreenRecRect::handlesFor(const QSize &size)
{
    const int r = size.width() - 1, b = size.height() - 1;
    const int midTop = (b - handleLength) / 2, midBottom = (b + handleLength) / 2;
    const int midLeft = (r - handleLength) / 2, midRight = (r + handleLength) / 2;
    Handles handles;
    handles.left = corners(0, midTop, handleDepth, midBottom);
    handles.top = corners(midLeft, 0, midRight, handleDepth);
    handles.right = corners(r - handleDepth, midTop, r, midBottom);
    handles.bottom = corners(midLeft, b - handleDepth, midRight, b);
    handles.moveArea = corners(handleDepth, handleDepth, r - handleDepth, b - handleDepth);
    handles.close = corners(r - 22, b - 22, r - 2, b - 2);
    handles.config = corners(r - 44, b - 22, r - 24, b - 2);
    return handles;
}

QScreenRecRect::QScreenRecRect(QWidget *parent) : QWidget(parent)
{
    setAttribute(Qt::WA_TranslucentBackground);
    WindowPlacement::keepAbove(this);
    resize(QGuiApplication::primaryScreen()->availableGeometry().size());
    move(0, 0);
    // A hidden window gets its resize event only when shown.
    layoutHandles();
}

void QScreenRecRect::layoutHandles()
{
    m_handles = handlesFor(size());
}

void QScreenRecRect::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    layoutHandles();
}

void QScreenRecRect::mousePressEvent(QMouseEvent *event)
{
    m_bPressed = true;
    m_ptPress = event->position().toPoint();
    if (m_handles.close.contains(m_ptPress))
        hide();
}

void QScreenRecRect::mouseReleaseEvent(QMouseEvent *)
{
    m_bPressed = false;
}

void QScreenRecRect::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_bPressed)
        return;
    const QRect g = geometry();
    const QPoint p = event->position().toPoint();
    const QPoint &s = m_ptPress;
    // Left and top drags move the frame with the pointer, so the press point stays
    // under it; right and bottom drags follow the pointer with the press point.
    if (m_handles.left.contains(s)) {
        const int width = g.width() + s.x() - p.x();
        if (width <= tooSmall)
            return;
        setGeometry(g.left() + p.x() - s.x(), g.top(), width, g.height());
    } else if (m_handles.top.contains(s)) {
        const int height = g.height() + s.y() - p.y();
        if (height <= tooSmall)
            return;
        setGeometry(g.left(), g.top() + p.y() - s.y(), g.width(), height);
    } else if (m_handles.right.contains(s)) {
        const int width = g.width() + p.x() - s.x();
        if (width <= tooSmall)
            return;
        setGeometry(g.left(), g.top(), width, g.height());
        m_ptPress.setX(p.x());
    } else if (m_handles.bottom.contains(s)) {
        const int height = g.height() + p.y() - s.y();
        if (height <= tooSmall)
            return;
        setGeometry(g.left(), g.top(), g.width(), height);
        m_ptPress.setY(p.y());
    } else if (m_handles.moveArea.contains(s)) {
        move(g.topLeft() + p - s);
    }
}

void QScreenRecRect::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    QColor fill = frameGreen;
    fill.setAlpha(frameFillAlpha);
    painter.fillRect(rect(), fill);
    painter.setPen(QPen(frameGreen, 2, Qt::DashLine));
    painter.drawRect(corners(1, 1, width() - 2, height() - 2));
    for (const QRect &handle : {m_handles.left, m_handles.top, m_handles.right, m_handles.bottom})
        painter.fillRect(handle, frameGreen);
    painter.drawPixmap(m_handles.config,
                       QPixmap(QStringLiteral(":/res/img/resource/static/config.png")));
    painter.drawPixmap(m_handles.close,
                       QPixmap(QStringLiteral(":/res/img/resource/static/close.png")));
}
