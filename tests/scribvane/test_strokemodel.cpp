#include <QTest>

#include "strokemodel.h"

namespace {
void drawStroke(StrokeModel &model, const QList<QPointF> &points)
{
    model.begin(points.first(), 1);
    for (qsizetype i = 1; i < points.size(); ++i)
        model.extend(points[i], 1);
    model.end();
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
        QVERIFY(model.undo() && model.undo() && model.redo());
        QCOMPARE(model.strokes().last().points.first(), QPointF(10, 100));
        // A new stroke after an undo forgets what could be redone.
        drawStroke(model, {{10, 200}, {200, 200}});
        QVERIFY(!model.redo());

        // An eraser gesture takes whole strokes, all it touches in one step.
        model.setTool(InkTool::Eraser);
        drawStroke(model, {{100, 0}, {100, 50}, {100, 110}});
        QCOMPARE(model.strokes().size(), 1);
        QCOMPARE(model.strokes().first().points.first(), QPointF(10, 200));
        QVERIFY(model.undo());
        QCOMPARE(model.strokes().size(), 3);
        QVERIFY(model.clear() && !model.clear() && model.undo());
        QCOMPARE(model.strokes().size(), 3);
    }
};

QTEST_GUILESS_MAIN(TestStrokeModel)
#include "test_strokemodel.moc"
