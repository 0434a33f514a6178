// The screen-recording frame: what a drag from each of its handles does.

#include <QTest>

#include "shell/qscreenrecrect.h"

class TestScreenRecRect : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // A 300 x 200 frame at (100, 100): left handle (0, 91)-(20, 107), top (141, 0)-
    // (157, 20), right (279, 91)-(299, 107), bottom (141, 179)-(157, 199), move area
    // (20, 20)-(279, 179), close (277, 177)-(297, 197), config (255, 177)-(275, 197).
    void dragFromEachArea_data()
    {
        QTest::addColumn<QPoint>("press");
        QTest::addColumn<QList<QPoint>>("pointer"); // offsets from the press, one per move
        QTest::addColumn<QRect>("geometry");
        QTest::addColumn<bool>("visible");
        QTest::newRow("left edge out")
            << QPoint(5, 100) << QList<QPoint>{QPoint(-30, 9)} << QRect(70, 100, 330, 200) << true;
        QTest::newRow("left edge to 107")
            << QPoint(5, 100) << QList<QPoint>{QPoint(193, 0)} << QRect(293, 100, 107, 200) << true;
        QTest::newRow("left edge in two steps")
            << QPoint(5, 100) << QList<QPoint>{QPoint(-30, 0), QPoint(-60, 0)}
            << QRect(40, 100, 360, 200) << true;
        QTest::newRow("bottom edge out") << QPoint(141, 199) << QList<QPoint>{QPoint(0, 40)}
                                         << QRect(100, 100, 300, 240) << true;
        QTest::newRow("inside moves") << QPoint(150, 100) << QList<QPoint>{QPoint(-120, 400)}
                                      << QRect(-20, 500, 300, 200) << true;
        // The configuration icon has no action of its own; where it overlaps the
        // move area a drag moves the frame.
        QTest::newRow("config icon in the move area")
            << QPoint(265, 178) << QList<QPoint>{QPoint(10, 10)} << QRect(110, 110, 300, 200)
            << true;
        QTest::newRow("close icon hides") << QPoint(290, 190) << QList<QPoint>{QPoint(0, 0)}
                                          << QRect(100, 100, 300, 200) << false;
    }

    void dragFromEachArea()
    {
        QFETCH(QPoint, press);
        QFETCH(QList<QPoint>, pointer);
        QFETCH(QRect, geometry);
        QFETCH(bool, visible);
        QScreenRecRect frame;
        frame.setGeometry(100, 100, 300, 200);
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));
        const QPoint pressed = frame.mapToGlobal(press);
        QTest::mousePress(&frame, Qt::LeftButton, {}, press);
        // Each move is seen from where the frame is by then, as on a screen.
        for (const QPoint &offset : pointer)
            QTest::mouseMove(&frame, frame.mapFromGlobal(pressed + offset));
        QTest::mouseRelease(&frame, Qt::LeftButton, {},
                            frame.mapFromGlobal(pressed + pointer.last()));
        QCOMPARE(frame.geometry(), geometry);
        QCOMPARE(frame.isVisible(), visible);
        QCOMPARE(frame.handles().right, QScreenRecRect::handlesFor(geometry.size()).right);

        // Once released, moving the pointer moves nothing.
        QTest::mouseMove(&frame, QPoint(150, 100));
        QTest::mouseMove(&frame, QPoint(160, 120));
        QCOMPARE(frame.geometry(), geometry);
    }
};

QTEST_MAIN(TestScreenRecRect)
#include "test_screenrecrect.moc"
