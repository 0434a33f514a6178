// The spotlight's drag rules, driven through its input window, from the opening
// (100, 100)-(300, 200) with the grab margin 15.

#include <QTest>

#include "camera/qbottomlayer.h"
#include "camera/qtoplayer.h"

namespace {
const QRect start(QPoint(100, 100), QPoint(300, 200));

// A move with the left button held.
void dragTo(QWidget &input, const QPoint &pointer)
{
    QMouseEvent move(QEvent::MouseMove, pointer, input.mapToGlobal(pointer), Qt::NoButton,
                     Qt::LeftButton, {});
    QCoreApplication::sendEvent(&input, &move);
}
} // namespace

class TestSpotlight : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void dragRules_data()
    {
        QTest::addColumn<QPoint>("press");
        QTest::addColumn<QList<QPoint>>("moves");
        QTest::addColumn<QRect>("expected");
        QTest::newRow("inside moves the opening")
            << QPoint(200, 150) << QList<QPoint>{{230, 170}} << start.translated(30, 20);
        QTest::newRow("10 px left of the left edge moves that edge")
            << QPoint(90, 150) << QList<QPoint>{{88, 150}} << start.adjusted(-12, 0, 0, 0);
        QTest::newRow("20 px outside does nothing")
            << QPoint(80, 150) << QList<QPoint>{{60, 150}} << start;
        // An edge pushed across the opposite one stops short of it; the opening
        // stays the right way round and is carried along, without a leap.
        const int side = QBottomLayer::minimumSide;
        QList<QPoint> right, up;
        for (int n = 1; n <= 30; ++n)
            right << QPoint(100 + 10 * n, 150), up << QPoint(200, 200 - 10 * n);
        QTest::newRow("left edge pushed to the right")
            << QPoint(100, 150) << right << QRect(385, 100, side + 1, 101);
        QTest::newRow("bottom edge pushed upwards")
            << QPoint(200, 200) << up << QRect(100, -100 + 15 - side, 201, side + 1);
    }

    void dragRules()
    {
        QFETCH(QPoint, press);
        QFETCH(QList<QPoint>, moves);
        QFETCH(QRect, expected);
        QBottomLayer mask;
        QTopLayer input;
        input.resize(800, 600);
        input.setTarget(&mask);
        QTest::mousePress(&input, Qt::LeftButton, {}, press);
        for (const QPoint &pointer : moves)
            dragTo(input, pointer);
        QCOMPARE(mask.m_rect, expected);

        // Released, nothing follows the pointer any more.
        QTest::mouseRelease(&input, Qt::LeftButton, {}, moves.last());
        dragTo(input, QPoint(500, 500));
        QCOMPARE(mask.m_rect, expected);
    }
};

QTEST_MAIN(TestSpotlight)
#include "test_spotlight.moc"
