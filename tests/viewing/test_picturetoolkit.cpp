#include <QGraphicsScene>
#include <QGraphicsView>
#include <QPointingDevice>
#include <QTest>
#include <QWheelEvent>

#include <cmath>
#include <limits>

#include "common/programwide.h"
#include "viewing/picturestage.h"
#include "viewing/qcompview.h"
#include "viewing/qimageitem.h"
#include "viewing/qvideoview.h"

namespace {
double rotationOf(const QTransform &t)
{
    return std::fmod(std::atan2(t.m12(), t.m11()) * 180 / M_PI + 360, 360);
}

// A stage in a shown 400 × 300 host; the live kind acts on the program-wide item.
struct ShownStage
{
    explicit ShownStage(StageView kind)
    {
        host.resize(400, 300);
        stage = buildPictureStage(&host, &host, kind);
        livePictureItem = kind == StageView::Live ? stage.item : nullptr;
        host.show();
    }
    ~ShownStage() { livePictureItem = nullptr; }
    QWidget host;
    PictureStage stage{};
};
} // namespace

class TestPictureToolkit : public QObject
{
    Q_OBJECT

    QList<float> m_reports;
    QPointingDevice *m_touchScreen = nullptr;

private Q_SLOTS:
    void initTestCase()
    {
        QImageItem::setZoomScaleListener([this](float scale) { m_reports.append(scale); });
        m_touchScreen = QTest::createTouchDevice();
    }
    void init() { m_reports.clear(); }

    void zoomLimits()
    {
        const float nan = std::numeric_limits<float>::quiet_NaN();
        const struct
        {
            const char *name;
            float start, factor, kept, applied; // applied 0: refused
        } cases[] = {
            {"19 up is clamped to 20", 19.f, 1.2f, 20.f, 20.f / 19.f},
            {"zero factor refused", 1.f, 0.f, 1.f, 0.f},
            {"NaN refused", 1.f, nan, 1.f, 0.f},
        };
        for (const auto &c : cases) {
            QImageItem item(nullptr);
            item.zoomAt(c.start, QPointF(-1, -1));
            const double scaleBefore = item.transform().m11();
            m_reports.clear();
            item.zoomAt(c.factor, QPointF(-1, -1));
            QVERIFY2(qFuzzyCompare(item.keptScale(), c.kept), c.name);
            const bool applied = c.applied != 0;
            QVERIFY2(qFuzzyCompare(item.transform().m11(), scaleBefore * (applied ? c.applied : 1)),
                     c.name);
            QVERIFY2(m_reports.size() == int(applied) && (!applied || m_reports[0] == c.kept),
                     c.name);
        }
    }

    void zoomAndTurnKeepTheirCentreInPlace()
    {
        QImageItem item(nullptr);
        item.setPixmap(QPixmap(100, 50));
        item.zoomAt(2, QPointF(-1, -1));
        QCOMPARE(item.transform().map(QPointF(50, 25)), QPointF(50, 25));
        item.turnRight();
        QCOMPARE(item.transform().map(QPointF(50, 25)), QPointF(50, 25));
        QCOMPARE(rotationOf(item.transform()), 90.0);
        item.turnLeft();
        item.turnLeft();
        QCOMPARE(rotationOf(item.transform()), 270.0);
        QCOMPARE(item.keptScale(), 2.f);

        item.zoomAt(1.5f, QPointF(10, 20));
        const QPointF fixed = item.transform().map(QPointF(10, 20));
        item.zoomAt(1.2f, QPointF(10, 20));
        QCOMPARE(item.transform().map(QPointF(10, 20)), fixed);
        QCOMPARE(m_reports, QList<float>({2.f, 3.f, 2.f * 1.5f * 1.2f}));
    }

    void wheelZoomsBothViewKinds()
    {
        for (const StageView kind : {StageView::Live, StageView::Compare}) {
            const ShownStage shown(kind);
            for (const auto &[delta, kept] : {std::pair{120, 1.2f}, {-120, 1.f}}) {
                QWheelEvent wheel(QPointF(10, 10), QPointF(10, 10), QPoint(), QPoint(0, delta),
                                  Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
                QCoreApplication::sendEvent(shown.stage.view->viewport(), &wheel);
                QVERIFY(qFuzzyCompare(shown.stage.item->keptScale(), kept));
            }
        }
    }

    // 16:9 into 4:3: full width, centred height (the other way is the windows' tests').
    void fitRectCentresTheShortSide()
    {
        QCOMPARE(fitRect({0, 0, 800, 600}, 1600, 900), QRect(QPoint(0, 75), QPoint(799, 525)));
    }

    void pinchZoomsByTheRatioChange()
    {
        ShownStage shown(StageView::Compare);
        QVERIFY(QTest::qWaitForWindowExposed(&shown.host));
        QWidget *viewport = shown.stage.view->viewport();
        QTest::touchEvent(viewport, m_touchScreen).press(0, {100, 100}).press(1, {200, 100});
        for (int spread : {10, 25, 40})
            QTest::touchEvent(viewport, m_touchScreen)
                .move(0, {100 - spread, 100})
                .move(1, {200 + spread, 100});
        QCOMPARE(m_reports.size(), 3);
        QVERIFY(qFuzzyCompare(shown.stage.item->keptScale(), 1.8f));
        QTest::touchEvent(viewport, m_touchScreen).release(0, {60, 100}).release(1, {240, 100});
        QCOMPARE(QCompView::lastPinchRatio, 1.0);
    }

    void turnFollowsTheFingers()
    {
        // 5 degrees clockwise, and 5 anticlockwise, which is 355.
        for (const auto &[degrees, rotation] : {std::pair(5.0, 5.0), std::pair(-5.0, 355.0)}) {
            ShownStage shown(StageView::Live);
            QVERIFY(QTest::qWaitForWindowExposed(&shown.host));
            QWidget *viewport = shown.stage.view->viewport();
            // The second finger circles the first by the angle, at a radius of 300.
            const QPoint first(50, 150);
            const double radians = degrees * M_PI / 180;
            const QPoint turned =
                first + QPoint(qRound(300 * std::cos(radians)), qRound(300 * std::sin(radians)));
            QTest::touchEvent(viewport, m_touchScreen).press(0, first).press(1, {350, 150});
            QTest::touchEvent(viewport, m_touchScreen).move(0, first).move(1, turned);
            const double turnedBy = rotationOf(shown.stage.item->transform());
            QVERIFY2(std::abs(turnedBy - rotation) < 0.1, qPrintable(QString::number(turnedBy)));
            QTest::touchEvent(viewport, m_touchScreen).release(0, first).release(1, turned);
        }
    }
};

QTEST_MAIN(TestPictureToolkit)
#include "test_picturetoolkit.moc"
