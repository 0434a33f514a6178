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
    void undoRedoAndClear()
    {
        StrokeModel model;
        model.setTool(InkTool::Pen);
        for (int i = 0; i < 3; ++i)
            drawStroke(model, {{10.0, 10.0 + i * 20}, {100.0, 10.0 + i * 20}});
        QCOMPARE(model.strokes().size(), 3);
        QVERIFY(model.undo());
        QVERIFY(model.undo());
        QCOMPARE(model.strokes().size(), 1);
        QVERIFY(model.redo());
        QCOMPARE(model.strokes().size(), 2);
        QCOMPARE(model.strokes().last().points.first(), QPointF(10, 30));

        // A new stroke after an undo forgets what could be redone.
        drawStroke(model, {{5, 5}, {50, 50}});
        QVERIFY(!model.canRedo());
        QVERIFY(!model.redo());

        QVERIFY(model.clear());
        QVERIFY(model.strokes().isEmpty());
        QVERIFY(!model.clear());
        QVERIFY(model.undo());
        QCOMPARE(model.strokes().size(), 3);

        // Without a tool a drag leaves nothing.
        model.setTool(InkTool::None);
        QVERIFY(model.begin({1, 1}).isEmpty());
        model.extend({9, 9});
        model.end();
        QCOMPARE(model.strokes().size(), 3);
    }

    void eraserTakesWholeStrokesInOneStep()
    {
        StrokeModel model;
        model.setTool(InkTool::Pen);
        drawStroke(model, {{10, 10}, {200, 10}});
        drawStroke(model, {{10, 100}, {200, 100}});
        drawStroke(model, {{10, 200}, {200, 200}});

        model.setTool(InkTool::Eraser);
        drawStroke(model, {{100, 250}, {100, 280}}); // touches nothing
        QCOMPARE(model.strokes().size(), 3);
        QVERIFY(model.undo()); // the last pen stroke, not the empty eraser gesture
        QCOMPARE(model.strokes().size(), 2);
        QVERIFY(model.redo());

        // One gesture over the first two strokes.
        drawStroke(model, {{100, 0}, {100, 50}, {100, 110}});
        QCOMPARE(model.strokes().size(), 1);
        QCOMPARE(model.strokes().first().points.first(), QPointF(10, 200));
        QVERIFY(model.undo());
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
        QCOMPARE(sharpestTurn(QPolygonF(points)), 90.0);
        const QPolygonF curve = path.toSubpathPolygons().first();
        // Flattened, the curve turns only a little at each of its many small steps.
        QVERIFY2(sharpestTurn(curve) < 30, qPrintable(QString::number(sharpestTurn(curve))));
        // It passes through the midpoints between the samples.
        for (qsizetype i = 1; i < points.size(); ++i) {
            const QPointF middle = (points[i - 1] + points[i]) / 2;
            QVERIFY(std::any_of(curve.begin(), curve.end(),
                                [&](QPointF p) { return QLineF(p, middle).length() < 0.5; }));
        }
    }

    void damageCoversEveryChangedPixel_data()
    {
        QTest::addColumn<int>("tool");
        QTest::addColumn<qreal>("pressure");
        QTest::newRow("pen") << int(InkTool::Pen) << 1.0;
        QTest::newRow("pen pressed lightly") << int(InkTool::Pen) << 0.3;
        QTest::newRow("highlighter") << int(InkTool::Highlighter) << 1.0;
        QTest::newRow("line") << int(InkTool::Line) << 1.0;
    }

    void damageCoversEveryChangedPixel()
    {
        QFETCH(int, tool);
        QFETCH(qreal, pressure);
        StrokeModel model;
        model.setTool(InkTool(tool));
        model.setWidthIndex(2);
        const QList<QPointF> path = {{20, 20}, {60, 30}, {120, 90}, {130, 200}, {300, 250}};
        QRectF area = model.begin(path.first(), pressure);
        QImage before = render(model);
        for (qsizetype i = 1; i < path.size(); ++i) {
            area = model.extend(path[i], pressure);
            const QImage after = render(model);
            for (int y = 0; y < after.height(); ++y) {
                for (int x = 0; x < after.width(); ++x) {
                    if (after.pixel(x, y) != before.pixel(x, y))
                        QVERIFY2(area.contains(QPointF(x + 0.5, y + 0.5)),
                                 qPrintable(QStringLiteral("step %1: (%2, %3) changed outside")
                                                .arg(i)
                                                .arg(x)
                                                .arg(y)));
                }
            }
            before = after;
        }
        // The damage of a step is the stroke's tail, not all of it.
        if (InkTool(tool) != InkTool::Line)
            QVERIFY(area.width() < 250);
        model.end();
        QCOMPARE(model.strokes().size(), 1);
        QCOMPARE(model.strokes().first().points.size(), InkTool(tool) == InkTool::Line ? 2 : 5);
    }

    void inkLooksAsChosen()
    {
        StrokeModel model;
        model.setTool(InkTool::Highlighter);
        model.setColourIndex(1);
        drawStroke(model, {{50, 150}, {350, 150}});
        QColor mark = render(model).pixelColor(200, 150);
        QVERIFY2(mark.alpha() > 0 && mark.alpha() < 128, "a highlighter is translucent");
        QCOMPARE(mark.blue() > mark.red(), true);

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
