#pragma once

#include <QRect>
#include <QWidget>

// The spotlight's mask: an opaque grey window over the work area with one
// see-through opening, which the user moves by dragging inside it and resizes by
// dragging an edge. It sees no mouse itself: the nearly invisible top layer above
// it receives the events and hands them on.
class QBottomLayer : public QWidget
{
    Q_OBJECT

public:
    explicit QBottomLayer(QWidget *parent = nullptr);

    // An edge stops this far from the opposite one, so the opening can always be
    // grabbed, moved and resized again.
    static constexpr int minimumSide = 45;

    QRect m_rect;
    int m_nMargin = 15;

    // Reached by the top layer with the very events it received.
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void dragTo(const QPoint &pointer);

    bool m_bDragging = false;
    QPoint m_ptLast;
};
