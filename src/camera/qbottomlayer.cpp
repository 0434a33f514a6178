#include "qbottomlayer.h"

#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <cstdlib>

#include "platform/windowplacement.h"

QBottomLayer::QBottomLayer(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("QBottomLayer"));
    resize(400, 300);
    setWindowTitle(QStringLiteral("QBottomLayer"));
    WindowPlacement::keepAbove(this);
    setAttribute(Qt::WA_TranslucentBackground);
    m_rect = QRect(QPoint(100, 100), QPoint(300, 200));
}

void QBottomLayer::mousePressEvent(QMouseEvent *event)
{
    const QPoint pointer = event->position().toPoint();
    const QRect grabbable = m_rect.adjusted(-m_nMargin, -m_nMargin, m_nMargin, m_nMargin);
    if (grabbable.contains(pointer)) {
        m_bDragging = true;
        m_ptLast = pointer;
    }
}

void QBottomLayer::mouseReleaseEvent(QMouseEvent *)
{
    m_bDragging = false;
}

void QBottomLayer::mouseMoveEvent(QMouseEvent *event)
{
    if (m_bDragging)
        dragTo(event->position().toPoint());
}

// The first rule that matches decides: left edge, right edge, top edge, bottom
// edge, else the whole opening follows the pointer. Every step is measured from
// the last one, so a pointer that leaves an edge it dragged carries the opening on
// from where it is instead of making it leap.
void QBottomLayer::dragTo(const QPoint &pointer)
{
    const int x = pointer.x(), y = pointer.y(), m = m_nMargin;
    const bool inRows = m_rect.top() <= y && y <= m_rect.bottom();
    const bool inColumns = m_rect.left() <= x && x <= m_rect.right();
    if (std::abs(m_rect.left() - x) <= m && inRows) {
        m_rect.setLeft(std::min(x, m_rect.right() - minimumSide));
    } else if (std::abs(m_rect.right() - x) <= m && inRows) {
        m_rect.setRight(std::max(x, m_rect.left() + minimumSide));
    } else if (inColumns && std::abs(m_rect.top() - y) <= m) {
        m_rect.setTop(std::min(y, m_rect.bottom() - minimumSide));
    } else if (inColumns && std::abs(m_rect.bottom() - y) <= m) {
        m_rect.setBottom(std::max(y, m_rect.top() + minimumSide));
    } else {
        m_rect.translate(pointer - m_ptLast);
    }
    m_ptLast = pointer;
    update();
}

void QBottomLayer::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), QColor(100, 100, 100, 255));
    const QPainter::CompositionMode mode = painter.compositionMode();
    painter.setCompositionMode(QPainter::CompositionMode_Clear);
    painter.fillRect(m_rect, QBrush(Qt::SolidPattern));
    painter.setCompositionMode(mode);
}
