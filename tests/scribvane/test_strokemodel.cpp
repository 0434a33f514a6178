#include <QImage>
#include <QPainter>
#include <QTest>

#include <cmath>

#include "strokemodel.h"

namespace {
void drawStroke(StrokeModel &model, const QList<QPointF> &points, qreal pressure = 1)
{
    model.begin(points.first(), pressure);
    for (qsizetype i = 1; i < points.size(); ++i)
        model.extend(points[i], pressure);
    model.end();
}

QImage render(const StrokeModel &model)
{
    QImage image(400, 300, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    model.drawStrokes(painter, image.rect());
    model.drawCurrent(painter);
    return image;
}

// The turn, in degrees, at the sharpest corner of a polyline.
qreal sharpestTurn(const QPolygonF &line)
{
    qreal sharpest = 0;
    for (qsizetype i = 1; i + 1 < line.size(); ++i) {
        const QLineF in(line[i - 1], line[i]), out(line[i], line[i + 1]);
        if (in.length() > 0.01 && out.length() > 0.01)
            sharpest = std::max(sharpest, std::min(in.angleTo(out), 360 - in.angleTo(out)));
    }
    return sharpest;
}
} // namespace

class TestStrokeModel : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void undoRedoEraseAndClear()
    {
        StrokeModel model;
        model.setTool(InkTool::Pen);
        for (const qreal y : {10.0, 100.0, 200.0})
            drawStroke(model, {{10.0, y}, {200.0, y}});
        QVERIFY(model.undo() && model.undo());
        QVERIFY(model.redo());
        QCOMPARE(model.strokes().last().points.first(), QPointF(10, 100));
        // A new stroke after an undo forgets what could be redone.
        drawStroke(model, {{10, 200}, {200, 200}});
        QVERIFY(!model.redo());

        // An eraser gesture takes whole strokes, all it touches in one step, and one
        // touching nothing is no step.
        model.setTool(InkTool::Eraser);
        drawStroke(model, {{100, 250}, {100, 280}});
        drawStroke(model, {{100, 0}, {100, 50}, {100, 110}});
        QCOMPARE(model.strokes().size(), 1);
        QCOMPARE(model.strokes().first().points.first(), QPointF(10, 200));
        QVERIFY(model.undo());
        QCOMPARE(model.strokes().size(), 3);
        QVERIFY(model.undo());
        QCOMPARE(model.strokes().size(), 2);
        QVERIFY(model.redo());

        QVERIFY(model.clear());
        QVERIFY(!model.clear());
        QVERIFY(model.undo());
        QCOMPARE(model.strokes().size(), 3);
        // Without a tool a drag leaves nothing.
        model.setTool(InkTool::None);
        drawStroke(model, {{1, 1}, {9, 9}});
        QCOMPARE(model.strokes().size(), 3);
    }

    void smoothingLeavesNoCorners()
    {
        // A zigzag as a 60 Hz pointer reports a fast scribble: right angles.
        QList<QPointF> points;
        for (int i = 0; i < 10; ++i)
            points.append(QPointF(i * 20, (i % 2) * 20));
        const QPainterPath path = StrokeModel::smoothPath(points);
        QCOMPARE(path.elementAt(0), points.first());
        QCOMPARE(QPointF(path.currentPosition()), points.last());
        const qreal turn = sharpestTurn(path.toSubpathPolygons().first());
        QVERIFY2(turn < 30, qPrintable(QString::number(turn)));
    }

    void damageCoversEveryChangedPixel()
    {
        for (const auto &[tool, pressure] : {std::pair{InkTool::Pen, 1.0},
                                             {InkTool::Pen, 0.3},
                                             {InkTool::Highlighter, 1.0},
                                             {InkTool::Line, 1.0}}) {
            StrokeModel model;
            model.setTool(tool);
            model.setWidthIndex(2);
            const QList<QPointF> path = {{20, 20}, {60, 30}, {120, 90}, {130, 200}, {300, 250}};
            QRectF area = model.begin(path.first(), pressure);
            QImage before = render(model);
            for (qsizetype i = 1; i < path.size(); ++i) {
                area = model.extend(path[i], pressure);
                const QImage after = render(model);
                for (int y = 0; y < after.height(); ++y) {
                    const auto *was = reinterpret_cast<const QRgb *>(before.constScanLine(y));
                    const auto *is = reinterpret_cast<const QRgb *>(after.constScanLine(y));
                    for (int x = 0; x < after.width(); ++x)
                        if (is[x] != was[x] && !area.contains(QPointF(x + 0.5, y + 0.5)))
                            QFAIL(qPrintable(QString("tool %1 step %2: (%3, %4) outside")
                                                 .arg(int(tool))
                                                 .arg(i)
                                                 .arg(x)
                                                 .arg(y)));
                }
                before = after;
            }
            // The damage of a step is the stroke's tail, not all of it.
            QVERIFY(tool == InkTool::Line || area.width() < 250);
        }
    }

    void inkLooksAsChosen()
    {
        StrokeModel model;
        model.setTool(InkTool::Highlighter);
        model.setColourIndex(1);
        drawStroke(model, {{50, 150}, {350, 150}});
        const QColor mark = render(model).pixelColor(200, 150);
        QVERIFY2(mark.alpha() > 0 && mark.alpha() < 128, "a highlighter is translucent");
        QVERIFY(mark.blue() > mark.red());

        // A light touch draws thinner than a firm one.
        const auto inkedRows = [](qreal pressure) {
            StrokeModel pen;
            pen.setTool(InkTool::Pen);
            pen.setWidthIndex(2);
            drawStroke(pen, {{50, 100}, {150, 100}, {250, 100}, {350, 100}}, pressure);
            const QImage image = render(pen);
            int rows = 0;
            for (int y = 0; y < image.height(); ++y)
                rows += qAlpha(image.pixel(200, y)) > 128;
            return rows;
        };
        QVERIFY(inkedRows(0.1) < inkedRows(1.0));
    }
};

QTEST_GUILESS_MAIN(TestStrokeModel)
#include "test_strokemodel.moc"
