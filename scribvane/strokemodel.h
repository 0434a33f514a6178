#pragma once

#include <QColor>
#include <QList>
#include <QPainterPath>
#include <QPointF>
#include <QRectF>

class QPainter;

enum class InkTool
{
    None,
    Pen,
    Highlighter,
    Eraser,
    Line
};

// One finished or growing mark: the points as the pointer reported them, with the
// pressure at each point (1 where the device reports none).
struct Stroke
{
    InkTool tool = InkTool::Pen;
    QColor colour;
    qreal width = 0;
    QList<QPointF> points;
    QList<qreal> pressures;

    // Where the stroke can paint, its width included.
    QRectF bounds() const;
};

// The ink on the screen and its history, without any window: the pen layer feeds
// it pointer positions and paints what it says changed. Every finished stroke,
// every eraser gesture and every clear is one step of undo and redo.
class StrokeModel
{
public:
    static constexpr int kWidthCount = 3;
    static constexpr int kColourCount = 6;
    static QColor palette(int colourIndex);
    static qreal penWidth(int widthIndex);

    void setTool(InkTool tool);
    InkTool tool() const { return m_tool; }
    void setColourIndex(int index);
    int colourIndex() const { return m_colourIndex; }
    void setWidthIndex(int index);
    int widthIndex() const { return m_widthIndex; }

    // A gesture of the chosen tool; each call returns the area whose pixels
    // changed. Without a tool, nothing happens and the area is empty.
    QRectF begin(QPointF point, qreal pressure = 1);
    QRectF extend(QPointF point, qreal pressure = 1);
    QRectF end();
    bool drawing() const { return m_drawing; }

    // Whole-ink changes; they return whether anything changed.
    bool undo();
    bool redo();
    bool clear();
    bool canUndo() const { return !m_undo.isEmpty(); }
    bool canRedo() const { return !m_redo.isEmpty(); }

    const QList<Stroke> &strokes() const { return m_strokes; }
    // Counts changes to strokes(), so a painter can tell when its cache is stale.
    quint64 revision() const { return m_revision; }

    // The finished strokes, and the one being drawn, as far as they reach into area.
    void drawStrokes(QPainter &painter, const QRectF &area) const;
    void drawCurrent(QPainter &painter) const;

    // A smooth curve through the points: quadratic pieces between the midpoints
    // of neighbouring points, each bent by the point between them, so that pointer
    // samples at 60 Hz give no corners.
    static QPainterPath smoothPath(const QList<QPointF> &points);
    static void drawStroke(QPainter &painter, const Stroke &stroke);

private:
    void remember();
    // Takes the last snapshot of from as the ink and keeps the ink before it in to.
    bool restore(QList<QList<Stroke>> &from, QList<QList<Stroke>> &to);
    QRectF eraseAt(QPointF point);

    InkTool m_tool = InkTool::None;
    int m_colourIndex = 0;
    int m_widthIndex = 1;
    QList<Stroke> m_strokes;
    // Snapshots of m_strokes before and after each step; the lists share their
    // strokes, so a snapshot costs little.
    QList<QList<Stroke>> m_undo;
    QList<QList<Stroke>> m_redo;
    Stroke m_current;
    bool m_drawing = false;
    bool m_erased = false;
    quint64 m_revision = 0;
};
