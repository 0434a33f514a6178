#include "strokemodel.h"

#include <QLineF>
#include <QPainter>
#include <QPolygonF>

#include <algorithm>

namespace {
// Steps beyond this are forgotten: a lesson's ink, not a document's history.
constexpr int maxUndoSteps = 200;
constexpr int highlighterAlpha = 96;
constexpr qreal highlighterScale = 4;
constexpr qreal antialiasMargin = 2;

QPointF midpoint(QPointF a, QPointF b)
{
    return (a + b) / 2;
}

// A light touch still leaves a visible line.
qreal pressedWidth(qreal width, qreal pressure)
{
    return width * (0.25 + 0.75 * std::clamp(pressure, 0.0, 1.0));
}

qreal distanceToSegment(QPointF point, QPointF a, QPointF b)
{
    const QPointF ab = b - a;
    const qreal length2 = QPointF::dotProduct(ab, ab);
    const qreal t =
        length2 > 0 ? std::clamp(QPointF::dotProduct(point - a, ab) / length2, 0.0, 1.0) : 0.0;
    return QLineF(point, a + t * ab).length();
}

bool touches(const Stroke &stroke, QPointF point, qreal radius)
{
    const qreal reach = radius + stroke.width / 2;
    if (!stroke.bounds().adjusted(-radius, -radius, radius, radius).contains(point))
        return false;
    if (stroke.points.size() == 1)
        return QLineF(point, stroke.points.first()).length() <= reach;
    for (qsizetype i = 1; i < stroke.points.size(); ++i) {
        if (distanceToSegment(point, stroke.points[i - 1], stroke.points[i]) <= reach)
            return true;
    }
    return false;
}

QPen strokePen(const Stroke &stroke, qreal width)
{
    return QPen(stroke.colour, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

bool hasPressure(const Stroke &stroke)
{
    return stroke.tool == InkTool::Pen &&
           std::any_of(stroke.pressures.begin(), stroke.pressures.end(),
                       [](qreal pressure) { return pressure < 1; });
}
} // namespace

QRectF Stroke::bounds() const
{
    const qreal margin = width / 2 + antialiasMargin;
    return QPolygonF(points).boundingRect().adjusted(-margin, -margin, margin, margin);
}

QColor StrokeModel::palette(int colourIndex)
{
    static const QColor colours[kColourCount] = {QColor(230, 30, 30), QColor(30, 90, 230),
                                                 QColor(20, 160, 60), QColor(250, 200, 0),
                                                 QColor(0, 0, 0),     QColor(255, 255, 255)};
    return colours[std::clamp(colourIndex, 0, kColourCount - 1)];
}

qreal StrokeModel::penWidth(int widthIndex)
{
    static const qreal widths[kWidthCount] = {3, 6, 12};
    return widths[std::clamp(widthIndex, 0, kWidthCount - 1)];
}

void StrokeModel::setTool(InkTool tool)
{
    if (m_drawing)
        end();
    m_tool = tool;
}

void StrokeModel::setColourIndex(int index)
{
    m_colourIndex = std::clamp(index, 0, kColourCount - 1);
}

void StrokeModel::setWidthIndex(int index)
{
    m_widthIndex = std::clamp(index, 0, kWidthCount - 1);
}

QRectF StrokeModel::begin(QPointF point, qreal pressure)
{
    if (m_drawing)
        end();
    if (m_tool == InkTool::None)
        return {};
    m_drawing = true;
    if (m_tool == InkTool::Eraser) {
        m_erased = false;
        return eraseAt(point);
    }
    m_current = Stroke{m_tool, palette(m_colourIndex), penWidth(m_widthIndex), {point}, {pressure}};
    if (m_tool == InkTool::Highlighter) {
        m_current.colour.setAlpha(highlighterAlpha);
        m_current.width *= highlighterScale;
    } else if (m_tool == InkTool::Line) {
        m_current.points.append(point);
        m_current.pressures.append(1);
    }
    return m_current.bounds();
}

QRectF StrokeModel::extend(QPointF point, qreal pressure)
{
    if (!m_drawing)
        return {};
    if (m_tool == InkTool::Eraser)
        return eraseAt(point);
    if (m_tool == InkTool::Line) {
        const QRectF before = m_current.bounds();
        m_current.points.last() = point;
        return before | m_current.bounds();
    }
    if (m_current.points.last() == point)
        return {};
    m_current.points.append(point);
    m_current.pressures.append(pressure);
    // Only the curve's tail moves: the piece after the last but two points.
    const qsizetype n = m_current.points.size();
    const QList<QPointF> tail = m_current.points.mid(std::max<qsizetype>(0, n - 3));
    const qreal margin = m_current.width / 2 + antialiasMargin;
    return QPolygonF(tail).boundingRect().adjusted(-margin, -margin, margin, margin);
}

QRectF StrokeModel::end()
{
    if (!m_drawing)
        return {};
    m_drawing = false;
    if (m_tool == InkTool::Eraser)
        return {};
    remember();
    m_strokes.append(m_current);
    ++m_revision;
    const QRectF area = m_current.bounds();
    m_current = Stroke();
    return area;
}

QRectF StrokeModel::eraseAt(QPointF point)
{
    const qreal radius = 2 * penWidth(m_widthIndex) + 6;
    QRectF area;
    for (qsizetype i = m_strokes.size() - 1; i >= 0; --i) {
        if (!touches(m_strokes[i], point, radius))
            continue;
        // One gesture, however many strokes it takes, is one step to undo.
        if (!m_erased)
            remember();
        m_erased = true;
        area |= m_strokes.takeAt(i).bounds();
        ++m_revision;
    }
    return area;
}

void StrokeModel::remember()
{
    m_undo.append(m_strokes);
    if (m_undo.size() > maxUndoSteps)
        m_undo.removeFirst();
    m_redo.clear();
}

bool StrokeModel::undo()
{
    return restore(m_undo, m_redo);
}

bool StrokeModel::redo()
{
    return restore(m_redo, m_undo);
}

bool StrokeModel::restore(QList<QList<Stroke>> &from, QList<QList<Stroke>> &to)
{
    if (m_drawing)
        end();
    if (from.isEmpty())
        return false;
    to.append(m_strokes);
    m_strokes = from.takeLast();
    ++m_revision;
    return true;
}

bool StrokeModel::clear()
{
    m_drawing = false;
    m_current = Stroke();
    if (m_strokes.isEmpty())
        return false;
    remember();
    m_strokes.clear();
    ++m_revision;
    return true;
}

void StrokeModel::drawStrokes(QPainter &painter, const QRectF &area) const
{
    for (const Stroke &stroke : m_strokes) {
        if (stroke.bounds().intersects(area))
            drawStroke(painter, stroke);
    }
}

void StrokeModel::drawCurrent(QPainter &painter) const
{
    if (m_drawing && m_tool != InkTool::Eraser)
        drawStroke(painter, m_current);
}

QPainterPath StrokeModel::smoothPath(const QList<QPointF> &points)
{
    QPainterPath path;
    if (points.isEmpty())
        return path;
    path.moveTo(points.first());
    const qsizetype n = points.size();
    if (n < 3) {
        path.lineTo(points.last());
        return path;
    }
    path.lineTo(midpoint(points[0], points[1]));
    for (qsizetype i = 1; i + 1 < n; ++i)
        path.quadTo(points[i], midpoint(points[i], points[i + 1]));
    path.lineTo(points.last());
    return path;
}

void StrokeModel::drawStroke(QPainter &painter, const Stroke &stroke)
{
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(Qt::NoBrush);
    const QList<QPointF> &points = stroke.points;
    if (points.size() == 1 || (stroke.tool == InkTool::Line && points.first() == points.last())) {
        painter.setPen(strokePen(stroke, pressedWidth(stroke.width, stroke.pressures.first())));
        painter.drawPoint(points.first());
        return;
    }
    if (!hasPressure(stroke)) {
        // One path, so that a translucent stroke does not darken where it overlaps itself.
        painter.setPen(strokePen(stroke, stroke.width));
        painter.drawPath(smoothPath(points));
        return;
    }
    // With pressure each piece of the curve has the width pressed at its point.
    const qsizetype n = points.size();
    for (qsizetype i = 0; i < n; ++i) {
        QPainterPath piece;
        piece.moveTo(i == 0 ? points[0] : midpoint(points[i - 1], points[i]));
        const QPointF to = i + 1 < n ? midpoint(points[i], points[i + 1]) : points[i];
        if (i == 0 || i + 1 == n)
            piece.lineTo(to);
        else
            piece.quadTo(points[i], to);
        painter.setPen(strokePen(stroke, pressedWidth(stroke.width, stroke.pressures[i])));
        painter.drawPath(piece);
    }
}
