#pragma once

#include <QWidget>

class QBottomLayer;

// The spotlight's input window: lies exactly over the mask, nearly invisible, so
// it also receives the presses over the opening. It shows a cursor that hints at
// what a drag would do and hands every press, move and release to the mask.
class QTopLayer : public QWidget
{
    Q_OBJECT

public:
    explicit QTopLayer(QWidget *parent = nullptr);

    // Until a target is set the layer ignores the mouse.
    void setTarget(QBottomLayer *target);

    // The cursor a pointer at this position shows over the opening.
    static Qt::CursorShape cursorHint(const QRect &opening, int margin, const QPoint &pointer);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;

private:
    void showHint(const QPoint &pointer);

    int m_nMargin = 15;
    QBottomLayer *m_pTarget = nullptr;
};
