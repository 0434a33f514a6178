#pragma once

#include <QImage>
#include <QPixmap>
#include <QWidget>

#include "strokemodel.h"

class QPointerEvent;

// The full-screen window the ink is drawn on. Where a compositor runs it is
// transparent and stays shown over the live picture while there is ink; where
// none runs it shows a still of the screen taken when a tool is chosen, and hides
// while no tool is, so the live picture is never covered by an old one. While no
// tool is chosen it takes no input: clicks and touches reach the windows below.
class PenLayer : public QWidget
{
    Q_OBJECT

public:
    PenLayer(StrokeModel &model, bool composited, QWidget *parent = nullptr);

    // Starts or ends drawing mode for the model's tool.
    void toolChanged();
    // Paints everything again after a change to the whole ink (undo, redo, clear).
    void inkChanged();
    // The screen as the user sees it, ink included.
    QImage screenWithInk();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void tabletEvent(QTabletEvent *event) override;

private:
    enum class Phase
    {
        Press,
        Move,
        Release
    };
    void pointer(Phase phase, const QPointerEvent *event);
    void showWhenNeeded();
    void letInputThrough(bool through);
    void drawLastStrokeIntoCache();

    StrokeModel &m_model;
    const bool m_composited;
    QPixmap m_still;
    // The finished strokes, drawn once; only the stroke in progress is drawn per paint.
    QImage m_cache;
    quint64 m_cacheRevision = ~quint64(0);
};
