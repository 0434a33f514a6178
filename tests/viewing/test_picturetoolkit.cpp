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
    return std::atan2(t.m12(), t.m11()) * 180 / M_PI;
}

void sendWheel(QGraphicsView *view, int delta)
{
    const QPointF at(10, 10);
    QWheelEvent wheel(at, view->viewport()->mapToGlobal(at), QPoint(), QPoint(0, delta),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(view->viewport(), &wheel);
}
// A stage in a shown 400 × 300 host, ready for touch input.
struct ShownStage
{
    explicit ShownStage(StageView kind)
    {
        host.resize(400, 300);
        stage = buildPictureStage(&host, &host, kind);
        host.show();
    }
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
        const float inf = std::numeric_limits<float>::infinity();
        const struct
        {
            const char *name;
            float start, factor, kept, applied; // applied 0: refused
        } cases[] = {
            {"19 up is clamped to 20", 19.f, 1.2f, 20.f, 20.f / 19.f},
            {"20 up is refused", 20.f, 1.2f, 20.f, 0.f},
            {"20 down is taken", 20.f, 0.8333333f, 20.f * 0.8333333f, 0.8333333f},
            {"0.05 down is still taken", 0.05f, 0.8333333f,
             float(double(0.05f) * double(0.8333333f)), 0.8333333f},
            {"below 0.05 down is refused", 0.04f, 0.8333333f, 0.04f, 0.f},
            {"below 0.05 up is taken", 0.04f, 1.2f, 0.04f * 1.2f, 1.2f},
            {"lower clamp lands on 0.05", 1.f, 0.01f, 0.05f, 0.05f},
            {"zero factor refused", 1.f, 0.f, 1.f, 0.f},
            {"negative factor refused", 1.f, -2.f, 1.f, 0.f},
            {"NaN refused", 1.f, nan, 1.f, 0.f},
            {"infinity refused", 1.f, inf, 1.f, 0.f},
        };
        for (const auto &c : cases) {
            QImageItem item(nullptr);
            item.zoomAt(c.start, QPointF(-1, -1));
            QCOMPARE(item.keptScale(), c.start);
            const double scaleBefore = item.transform().m11();
            m_reports.clear();

            item.zoomAt(c.factor, QPointF(-1, -1));
            QVERIFY2(qFuzzyCompare(item.keptScale(), c.kept), c.name);
            if (c.applied != 0) {
                QVERIFY2(qFuzzyCompare(item.lastFactor(), c.applied), c.name);
                QCOMPARE(m_reports, QList<float>{c.kept});
                QVERIFY2(qFuzzyCompare(item.transform().m11(), scaleBefore * c.applied), c.name);
            } else {
                QVERIFY2(m_reports.isEmpty(), c.name);
                QVERIFY2(qFuzzyCompare(item.transform().m11(), scaleBefore), c.name);
            }
        }
    }

    void zoomAndTurnKeepTheirCentreInPlace()
    {
        QImageItem item(nullptr);
        item.setPixmap(QPixmap(100, 50));
        item.zoomAt(2, QPointF(-1, -1));
        QCOMPARE(item.transform().map(QPointF(50, 25)), QPointF(50, 25));

        m_reports.clear();
        item.turnRight();
        QCOMPARE(item.transform().map(QPointF(50, 25)), QPointF(50, 25));
        QCOMPARE(rotationOf(item.transform()), 90.0);
        item.turnLeft();
        item.turnLeft();
        QCOMPARE(rotationOf(item.transform()), -90.0);
        QCOMPARE(item.keptScale(), 2.f);
        QVERIFY(m_reports.isEmpty());

        item.turnRight();
        item.zoomAt(1.5f, QPointF(10, 20));
        const QPointF fixed = item.transform().map(QPointF(10, 20));
        item.zoomAt(1.2f, QPointF(10, 20));
        QCOMPARE(item.transform().map(QPointF(10, 20)), fixed);
        QCOMPARE(item.keptScale(), 2.f * 1.5f * 1.2f);
    }

    void pressHidesTheGivenWidget()
    {
        QWidget panel;
        panel.show();
        QGraphicsScene scene(0, 0, 200, 200);
        auto *item = new QImageItem(&panel);
        item->setPixmap(QPixmap(200, 200));
        scene.addItem(item);
        QGraphicsView view(&scene);
        view.resize(220, 220);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QTest::mousePress(view.viewport(), Qt::LeftButton, {}, view.mapFromScene(50, 50));
        QVERIFY(!panel.isVisible());
        QCOMPARE(scene.mouseGrabberItem(), item);
    }

    void wheelZoomsBothViewKinds()
    {
        const QPair<int, float> steps[] = {{120, 1.2f}, {0, 0.8333333f}, {-120, 0.8333333f}};
        for (bool live : {true, false}) {
            for (const auto &[delta, kept] : steps) {
                QWidget host;
                host.resize(300, 200);
                const PictureStage stage =
                    buildPictureStage(&host, &host, live ? StageView::Live : StageView::Compare);
                if (live)
                    livePictureItem = stage.item;
                QCOMPARE(bool(qobject_cast<QVideoView *>(stage.view)), live);
                QCOMPARE(stage.view->size(), QSize(300, 200));
                QCOMPARE(stage.scene->sceneRect(), QRectF(0, 0, 300, 200));

                sendWheel(stage.view, delta);
                QCOMPARE(stage.item->keptScale(), kept);
                livePictureItem = nullptr;
            }
        }
    }

    void fitRectBranches()
    {
        const struct
        {
            QRect area;
            QSize image;
            QRect fit;
        } cases[] = {
            // 4:3 into 16:9: full height, centred width
            {{0, 0, 1600, 900}, {400, 300}, {QPoint(200, 0), QPoint(1400, 899)}},
            // 16:9 into 4:3: full width, centred height
            {{0, 0, 800, 600}, {1600, 900}, {QPoint(0, 75), QPoint(799, 525)}},
            // equal ratios take the second branch
            {{10, 20, 400, 300}, {800, 600}, {QPoint(10, 20), QPoint(409, 320)}},
            // an empty picture leaves the area
            {{0, 0, 640, 480}, {0, 0}, {0, 0, 640, 480}},
        };
        for (const auto &c : cases)
            QCOMPARE(fitRect(c.area, c.image.width(), c.image.height()), c.fit);
    }

    void fitPictureCoversTheFitRectangle()
    {
        QWidget host;
        host.resize(1600, 900);
        const PictureStage stage = buildPictureStage(&host, &host, StageView::Compare);
        stage.item->setPixmap(QPixmap(400, 300));
        stage.item->zoomAt(3, QPointF(-1, -1));
        stage.item->turnRight();
        m_reports.clear();

        fitPicture(stage.item, stage.view, QRect(0, 0, 1600, 900), 400, 300);
        const QRectF shown = stage.item->sceneBoundingRect();
        QCOMPARE(shown.topLeft(), QPointF(200, 0));
        QVERIFY(std::abs(shown.width() - 1201) < 1e-3);
        QCOMPARE(stage.item->keptScale(), 1201.f / 400.f);
        QCOMPARE(m_reports, QList<float>{1201.f / 400.f});
        QVERIFY(stage.item->isVisible());

        // An empty picture is hidden, and no zoom is applied.
        m_reports.clear();
        const QTransform fitted = stage.item->transform();
        fitPicture(stage.item, stage.view, host.rect(), 0, 0);
        QVERIFY(!stage.item->isVisible());
        QCOMPARE(stage.item->transform(), fitted);
        QVERIFY(m_reports.isEmpty());
    }

    void pinchZoomsByTheRatioChange()
    {
        ShownStage shown(StageView::Compare);
        QVERIFY(QTest::qWaitForWindowExposed(&shown.host));
        const PictureStage &stage = shown.stage;
        auto *view = static_cast<QCompView *>(stage.view);
        QWidget *viewport = view->viewport();

        QTest::touchEvent(viewport, m_touchScreen).press(0, {100, 100}).press(1, {200, 100});
        QCOMPARE(stage.item->keptScale(), 1.f);
        QVERIFY(m_reports.isEmpty());

        for (int spread : {10, 25, 40})
            QTest::touchEvent(viewport, m_touchScreen)
                .move(0, {100 - spread, 100})
                .move(1, {200 + spread, 100});
        QCOMPARE(m_reports.size(), 3);
        QVERIFY(qFuzzyCompare(stage.item->keptScale(), 1.8f));
        QVERIFY(qFuzzyCompare(QCompView::lastPinchRatio, 1.8));
        QCOMPARE(QVideoView::lastPinchRatio, 1.0);

        QTest::touchEvent(viewport, m_touchScreen).release(0, {60, 100}).release(1, {240, 100});
        QCOMPARE(QCompView::lastPinchRatio, 1.0);
        QVERIFY(qFuzzyCompare(view->m_dPinchRatio, 1.8));
    }

    void turnFollowsTheFingers()
    {
        // 5 degrees clockwise, and 5 anticlockwise, which is 355.
        for (const auto &[degrees, rotation] : {QPair(5.0, 5.0), QPair(-5.0, 355.0)}) {
            ShownStage shown(StageView::Live);
            QVERIFY(QTest::qWaitForWindowExposed(&shown.host));
            const PictureStage &stage = shown.stage;
            livePictureItem = stage.item;
            QWidget *viewport = stage.view->viewport();

            // The second finger circles the first by the angle, at a radius of 300.
            const QPoint first(50, 150);
            const double radians = degrees * M_PI / 180;
            const QPoint turned =
                first + QPoint(qRound(300 * std::cos(radians)), qRound(300 * std::sin(radians)));
            QTest::touchEvent(viewport, m_touchScreen).press(0, first).press(1, {350, 150});
            QTest::touchEvent(viewport, m_touchScreen).move(0, first).move(1, turned);
            const double turnedBy = std::fmod(rotationOf(stage.item->transform()) + 360, 360);
            QVERIFY2(std::abs(turnedBy - rotation) < 0.1, qPrintable(QString::number(turnedBy)));
            QTest::touchEvent(viewport, m_touchScreen).release(0, first).release(1, turned);
            livePictureItem = nullptr;
        }
    }

    void unusableRatiosApplyNothing()
    {
        // A zero start distance gives no ratio; fingers brought together give 0.
        const QPoint cases[][3] = {{{100, 100}, {100, 100}, {20, 0}},
                                   {{100, 100}, {200, 100}, {50, 0}}};
        for (const auto &[start, end, moved] : cases) {
            ShownStage shown(StageView::Compare);
            QVERIFY(QTest::qWaitForWindowExposed(&shown.host));
            const PictureStage &stage = shown.stage;
            QWidget *viewport = stage.view->viewport();
            QTest::touchEvent(viewport, m_touchScreen).press(0, start).press(1, end);
            QTest::touchEvent(viewport, m_touchScreen).move(0, start + moved).move(1, end - moved);
            QVERIFY(stage.item->transform().isIdentity());
            QVERIFY(m_reports.isEmpty());
            QCOMPARE(QCompView::lastPinchRatio, 1.0);
            QTest::touchEvent(viewport, m_touchScreen)
                .release(0, start + moved)
                .release(1, end - moved);
            QCOMPARE(static_cast<QCompView *>(stage.view)->m_dPinchRatio, 1.0);
            QCOMPARE(QCompView::lastPinchRatio, 1.0);
        }
    }
};

QTEST_MAIN(TestPictureToolkit)
#include "test_picturetoolkit.moc"
