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

    void zoomLimits_data()
    {
        QTest::addColumn<float>("start");
        QTest::addColumn<float>("factor");
        QTest::addColumn<bool>("taken");
        QTest::addColumn<float>("kept");
        QTest::addColumn<float>("applied");

        const float nan = std::numeric_limits<float>::quiet_NaN();
        const float inf = std::numeric_limits<float>::infinity();
        QTest::newRow("19 up is clamped to 20") << 19.f << 1.2f << true << 20.f << 20.f / 19.f;
        QTest::newRow("20 up is refused") << 20.f << 1.2f << false << 20.f << 0.f;
        QTest::newRow("20 down is taken")
            << 20.f << 0.8333333f << true << 20.f * 0.8333333f << 0.8333333f;
        QTest::newRow("0.05 down is still taken")
            << 0.05f << 0.8333333f << true << float(double(0.05f) * double(0.8333333f))
            << 0.8333333f;
        QTest::newRow("below 0.05 down is refused") << 0.04f << 0.8333333f << false << 0.04f << 0.f;
        QTest::newRow("below 0.05 up is taken") << 0.04f << 1.2f << true << 0.04f * 1.2f << 1.2f;
        QTest::newRow("lower clamp lands on 0.05") << 1.f << 0.01f << true << 0.05f << 0.05f;
        QTest::newRow("zero factor refused") << 1.f << 0.f << false << 1.f << 0.f;
        QTest::newRow("negative factor refused") << 1.f << -2.f << false << 1.f << 0.f;
        QTest::newRow("NaN refused") << 1.f << nan << false << 1.f << 0.f;
        QTest::newRow("infinity refused") << 1.f << inf << false << 1.f << 0.f;
    }

    void zoomLimits()
    {
        QFETCH(float, start);
        QFETCH(float, factor);
        QFETCH(bool, taken);
        QFETCH(float, kept);
        QFETCH(float, applied);

        QImageItem item(nullptr);
        item.zoomAt(start, QPointF(-1, -1));
        QCOMPARE(item.keptScale(), start);
        const double scaleBefore = item.transform().m11();
        m_reports.clear();

        item.zoomAt(factor, QPointF(-1, -1));
        QCOMPARE(item.keptScale(), kept);
        if (taken) {
            QCOMPARE(item.lastFactor(), applied);
            QCOMPARE(m_reports, QList<float>{kept});
            QVERIFY(qFuzzyCompare(item.transform().m11(), scaleBefore * applied));
        } else {
            QVERIFY(m_reports.isEmpty());
            QCOMPARE(item.transform().m11(), scaleBefore);
        }
    }

    void zoomKeepsItsCentreInPlace()
    {
        QImageItem item(nullptr);
        item.setPixmap(QPixmap(100, 50));
        item.zoomAt(2, QPointF(-1, -1));
        QCOMPARE(item.transform().map(QPointF(50, 25)), QPointF(50, 25));
        item.zoomAt(1.5f, QPointF(10, 20));
        const QPointF fixed = item.transform().map(QPointF(10, 20));
        item.zoomAt(1.2f, QPointF(10, 20));
        QCOMPARE(item.transform().map(QPointF(10, 20)), fixed);
        QCOMPARE(item.keptScale(), 2.f * 1.5f * 1.2f);
    }

    void rotationTurnsAboutTheMiddle()
    {
        QImageItem item(nullptr);
        item.setPixmap(QPixmap(100, 50));
        item.zoomAt(2, QPointF(-1, -1));
        m_reports.clear();
        item.turnRight();
        QCOMPARE(item.transform().map(QPointF(50, 25)), QPointF(50, 25));
        QCOMPARE(rotationOf(item.transform()), 90.0);
        item.turnLeft();
        item.turnLeft();
        QCOMPARE(rotationOf(item.transform()), -90.0);
        QCOMPARE(item.keptScale(), 2.f);
        QVERIFY(m_reports.isEmpty());
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

    void wheelZoomsBothViewKinds_data()
    {
        QTest::addColumn<bool>("live");
        QTest::addColumn<int>("delta");
        QTest::addColumn<float>("kept");
        for (bool live : {true, false}) {
            const char *kind = live ? "live" : "compare";
            QTest::addRow("%s up", kind) << live << 120 << 1.2f;
            QTest::addRow("%s zero", kind) << live << 0 << 0.8333333f;
            QTest::addRow("%s down", kind) << live << -120 << 0.8333333f;
        }
    }

    void wheelZoomsBothViewKinds()
    {
        QFETCH(bool, live);
        QFETCH(int, delta);
        QFETCH(float, kept);
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

    void fitRectBranches_data()
    {
        QTest::addColumn<QRect>("area");
        QTest::addColumn<QSize>("image");
        QTest::addColumn<QRect>("fit");
        QTest::newRow("4:3 into 16:9: full height, centred width")
            << QRect(0, 0, 1600, 900) << QSize(400, 300)
            << QRect(QPoint(200, 0), QPoint(1400, 899));
        QTest::newRow("16:9 into 4:3: full width, centred height")
            << QRect(0, 0, 800, 600) << QSize(1600, 900) << QRect(QPoint(0, 75), QPoint(799, 525));
        QTest::newRow("equal ratios take the second branch")
            << QRect(10, 20, 400, 300) << QSize(800, 600)
            << QRect(QPoint(10, 20), QPoint(409, 320));
        QTest::newRow("empty picture leaves the area")
            << QRect(0, 0, 640, 480) << QSize(0, 0) << QRect(0, 0, 640, 480);
    }

    void fitRectBranches()
    {
        QFETCH(QRect, area);
        QFETCH(QSize, image);
        QFETCH(QRect, fit);
        QCOMPARE(fitRect(area, image.width(), image.height()), fit);
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
    }

    void fitOfAnEmptyPictureHidesIt()
    {
        QWidget host;
        host.resize(640, 480);
        const PictureStage stage = buildPictureStage(&host, &host, StageView::Compare);
        stage.item->show();
        fitPicture(stage.item, stage.view, host.rect(), 0, 0);
        QVERIFY(!stage.item->isVisible());
        QVERIFY(stage.item->transform().isIdentity());
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

    void turnFollowsTheFingers_data()
    {
        QTest::addColumn<double>("degrees");
        QTest::addColumn<double>("rotation");
        QTest::newRow("5 degrees clockwise") << 5.0 << 5.0;
        QTest::newRow("5 degrees anticlockwise is 355") << -5.0 << 355.0;
    }

    void turnFollowsTheFingers()
    {
        QFETCH(double, degrees);
        QFETCH(double, rotation);
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

    void unusableRatiosApplyNothing_data()
    {
        QTest::addColumn<QPoint>("start");
        QTest::addColumn<QPoint>("end");
        QTest::addColumn<QPoint>("moved");
        // A zero start distance gives no ratio; fingers brought together give 0.
        QTest::newRow("coinciding start") << QPoint(100, 100) << QPoint(100, 100) << QPoint(20, 0);
        QTest::newRow("fingers together") << QPoint(100, 100) << QPoint(200, 100) << QPoint(50, 0);
    }

    void unusableRatiosApplyNothing()
    {
        QFETCH(QPoint, start);
        QFETCH(QPoint, end);
        QFETCH(QPoint, moved);
        ShownStage shown(StageView::Compare);
        QVERIFY(QTest::qWaitForWindowExposed(&shown.host));
        const PictureStage &stage = shown.stage;
        auto *view = static_cast<QCompView *>(stage.view);
        QWidget *viewport = view->viewport();

        QTest::touchEvent(viewport, m_touchScreen).press(0, start).press(1, end);
        QTest::touchEvent(viewport, m_touchScreen).move(0, start + moved).move(1, end - moved);
        QVERIFY(stage.item->transform().isIdentity());
        QVERIFY(m_reports.isEmpty());
        QCOMPARE(QCompView::lastPinchRatio, 1.0);
        QTest::touchEvent(viewport, m_touchScreen)
            .release(0, start + moved)
            .release(1, end - moved);
        QCOMPARE(view->m_dPinchRatio, 1.0);
        QCOMPARE(QCompView::lastPinchRatio, 1.0);
    }
};

QTEST_MAIN(TestPictureToolkit)
#include "test_picturetoolkit.moc"
