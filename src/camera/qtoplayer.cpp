#include "qtoplayer.h"

#include <QMouseEvent>

#include <cstdlib>

#include "camera/qbottomlayer.h"
#include "platform/windowplacement.h"

QTopLayer::QTopLayer(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("QTopLayer"));
    resize(400, 300);
    setWindowTitle(QStringLiteral("QTopLayer"));
    setWindowOpacity(0.01);
    WindowPlacement::keepAbove(this);
}

void QTopLayer::setTarget(QBottomLayer *target)
{
    m_pTarget = target;
}

// The edge hints take the rows up to, not including, the bottom one; the mask's
// own drag rules include it, so on the bottom edge near the left the cursor says
// vertical while a drag moves the left edge.
Qt::CursorShape QTopLayer::cursorHint(const QRect &opening, int margin, const QPoint &pointer)
{
    const int x = pointer.x(), y = pointer.y(), m = margin;
    const int left = opening.left(), top = opening.top();
    const int right = opening.right(), bottom = opening.bottom();
    const bool inRows = top <= y && y < bottom;
    const bool inColumns = left <= x && x <= right;
    if (left + m <= x && x <= right - m && top + m <= y && y <= bottom - m)
        return Qt::SizeAllCursor;
    if ((std::abs(left - x) <= m || std::abs(right - x) <= m) && inRows)
        return Qt::SizeHorCursor;
    if (inColumns && (std::abs(top - y) <= m || std::abs(bottom - y) <= m))
        return Qt::SizeVerCursor;
    return Qt::ArrowCursor;
}

void QTopLayer::showHint(const QPoint &pointer)
{
    setCursor(cursorHint(m_pTarget->m_rect, m_nMargin, pointer));
}

void QTopLayer::mousePressEvent(QMouseEvent *event)
{
    if (!m_pTarget)
        return;
    showHint(event->position().toPoint());
    m_pTarget->mousePressEvent(event);
}

void QTopLayer::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_pTarget)
        return;
    showHint(event->position().toPoint());
    m_pTarget->mouseMoveEvent(event);
}

void QTopLayer::mouseReleaseEvent(QMouseEvent *event)
{
    if (m_pTarget)
        m_pTarget->mouseReleaseEvent(event);
}
