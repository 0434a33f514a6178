// The spotlight's two layers, headless: the mask's drag rules with the opening at
// its start (100, 100)-(300, 200) and the grab margin 15, the top layer's cursor
// hints, and the top layer handing its events on.

#include <QTest>

#include "camera/qbottomlayer.h"
#include "camera/qtoplayer.h"

namespace {
const QRect start(QPoint(100, 100), QPoint(300, 200));

// A move with the left button held, as the top layer hands it on.
void dragTo(QBottomLayer &mask, const QPoint &pointer)
{
    QMouseEvent move(QEvent::MouseMove, pointer, mask.mapToGlobal(pointer), Qt::NoButton,
                     Qt::LeftButton, {});
    mask.mouseMoveEvent(&move);
}
} // namespace

class TestSpotlight : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void dragRules_data()
    {
        QTest::addColumn<QPoint>("press");
        QTest::addColumn<QPoint>("move");
        QTest::addColumn<QRect>("expected");
        QTest::newRow("inside moves the opening")
            << QPoint(200, 150) << QPoint(230, 170) << start.translated(30, 20);
        QTest::newRow("10 px left of the left edge moves that edge")
            << QPoint(90, 150) << QPoint(88, 150) << start.adjusted(-12, 0, 0, 0);
        QTest::newRow("near the right edge")
            << QPoint(305, 150) << QPoint(312, 150) << start.adjusted(0, 0, 12, 0);
        QTest::newRow("near the top edge")
            << QPoint(200, 95) << QPoint(200, 88) << start.adjusted(0, -12, 0, 0);
        QTest::newRow("near the bottom edge")
            << QPoint(200, 210) << QPoint(200, 214) << start.adjusted(0, 0, 0, 14);
        QTest::newRow("at a corner the left edge wins")
            << QPoint(100, 100) << QPoint(90, 100) << start.adjusted(-10, 0, 0, 0);
        QTest::newRow("on the bottom edge near the left the left edge moves")
            << QPoint(105, 200) << QPoint(110, 200) << start.adjusted(10, 0, 0, 0);
        QTest::newRow("20 px outside does nothing") << QPoint(80, 150) << QPoint(60, 150) << start;
        QTest::newRow("20 px below does nothing") << QPoint(200, 220) << QPoint(200, 300) << start;
    }

    void dragRules()
    {
        QFETCH(QPoint, press);
        QFETCH(QPoint, move);
        QFETCH(QRect, expected);
        QBottomLayer mask;
        mask.resize(800, 600);
        QTest::mousePress(&mask, Qt::LeftButton, {}, press);
        dragTo(mask, move);
        QCOMPARE(mask.m_rect, expected);

        // Released, nothing follows the pointer any more.
        QTest::mouseRelease(&mask, Qt::LeftButton, {}, move);
        dragTo(mask, QPoint(500, 500));
        QCOMPARE(mask.m_rect, expected);
    }

    // An edge pushed across the opposite one stops short of it; the opening stays
    // the right way round and is carried along, without a leap.
    void openingStaysUsable_data()
    {
        QTest::addColumn<QPoint>("press");
        QTest::addColumn<QPoint>("step");
        QTest::addColumn<QRect>("expected");
        const int side = QBottomLayer::minimumSide;
        QTest::newRow("left edge to the right")
            << QPoint(100, 150) << QPoint(10, 0) << QRect(385, 100, side + 1, 101);
        QTest::newRow("bottom edge upwards")
            << QPoint(200, 200) << QPoint(0, -10) << QRect(100, -100 + 15 - side, 201, side + 1);
    }

    void openingStaysUsable()
    {
        QFETCH(QPoint, press);
        QFETCH(QPoint, step);
        QFETCH(QRect, expected);
        QBottomLayer mask;
        QTest::mousePress(&mask, Qt::LeftButton, {}, press);
        for (int n = 1; n <= 30; ++n)
            dragTo(mask, press + n * step);
        QCOMPARE(mask.m_rect, expected);
    }

    void cursorHints_data()
    {
        QTest::addColumn<QPoint>("pointer");
        QTest::addColumn<int>("shape");
        QTest::newRow("15 px inside the corner") << QPoint(115, 115) << int(Qt::SizeAllCursor);
        QTest::newRow("14 px inside the left edge") << QPoint(114, 150) << int(Qt::SizeHorCursor);
        QTest::newRow("10 px outside the right edge") << QPoint(310, 150) << int(Qt::SizeHorCursor);
        QTest::newRow("above the top edge") << QPoint(200, 90) << int(Qt::SizeVerCursor);
        QTest::newRow("on the bottom edge near the left")
            << QPoint(105, 200) << int(Qt::SizeVerCursor);
        QTest::newRow("one row above it") << QPoint(105, 199) << int(Qt::SizeHorCursor);
        QTest::newRow("20 px outside") << QPoint(80, 150) << int(Qt::ArrowCursor);
    }

    void cursorHints()
    {
        QFETCH(QPoint, pointer);
        QFETCH(int, shape);
        QCOMPARE(int(QTopLayer::cursorHint(start, 15, pointer)), shape);
    }

    void topLayerHandsEventsOn()
    {
        QBottomLayer mask;
        QTopLayer input;
        input.resize(800, 600);
        QTest::mousePress(&input, Qt::LeftButton, {}, QPoint(90, 150));
        QCOMPARE(input.cursor().shape(), Qt::ArrowCursor); // no target yet: ignored

        input.setTarget(&mask);
        QTest::mousePress(&input, Qt::LeftButton, {}, QPoint(90, 150));
        QCOMPARE(input.cursor().shape(), Qt::SizeHorCursor);
        QMouseEvent drag(QEvent::MouseMove, QPointF(88, 150), input.mapToGlobal(QPointF(88, 150)),
                         Qt::NoButton, Qt::LeftButton, {});
        QCoreApplication::sendEvent(&input, &drag);
        QCOMPARE(mask.m_rect, start.adjusted(-12, 0, 0, 0));
        QTest::mouseRelease(&input, Qt::LeftButton, {}, QPoint(88, 150));
        QMouseEvent after(QEvent::MouseMove, QPointF(20, 20), input.mapToGlobal(QPointF(20, 20)),
                          Qt::NoButton, Qt::LeftButton, {});
        QCoreApplication::sendEvent(&input, &after);
        QCOMPARE(mask.m_rect, start.adjusted(-12, 0, 0, 0));
    }
};

QTEST_MAIN(TestSpotlight)
#include "test_spotlight.moc"
