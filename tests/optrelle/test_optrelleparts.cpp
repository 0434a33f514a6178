// The camera library's inner pieces: camera configuration, the simulated desk,
// video layout and painting, frame buffers.
#include "backendselection.h"
#include "camera.h"
#include "documentcrop/outlinesmoother.h"
#include "framepool.h"
#include "sim/deskscene.h"
#include "sim/simulatedcameraconfig.h"
#include "videolayout.h"
#include "videopainter.h"

#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

#include <ZXing/ReadBarcode.h>

namespace {

QStringList warnings;

void collectWarnings(QtMsgType, const QMessageLogContext &, const QString &message)
{
    warnings << message;
}

std::shared_ptr<optrelle::Frame> filledFrame(int width, int height, std::uint8_t value = 0)
{
    return std::make_shared<optrelle::Frame>(optrelle::Frame{
        width, height, std::vector<std::uint8_t>(std::size_t(width) * height * 3, value)});
}

QRgb topDownPixel(const optrelle::Frame &frame, int x, int y)
{
    const std::uint8_t *p = frame.rowFromTop(y) + x * 3;
    return qRgb(p[2], p[1], p[0]);
}

// A window of 320x240 (or size) with picture painted over all of it.
QImage painted(const optrelle::VideoPicture &picture, QSize size = {320, 240})
{
    QImage window(size, QImage::Format_RGB32);
    QPainter painter(&window);
    optrelle::paintVideo(painter, window.rect(), picture);
    return window;
}

// A device the test drives by hand: the test thread plays the capture thread.
class HandDrivenDevice : public optrelle::CameraDevice
{
public:
    optrelle::FrameSink *sink = nullptr;

    std::string firstId() const override { return "abcd"; }
    std::string secondId() const override { return "0001"; }
    std::vector<optrelle::Resolution> resolutions() const override { return {{8, 6}}; }
    bool start(int, optrelle::FrameSink *to) override
    {
        sink = to;
        return true;
    }
    void stop() override { sink = nullptr; }
    std::optional<optrelle::ZoomRange> zoomRange() override { return std::nullopt; }
    bool setZoom(int) override { return false; }
};

} // namespace

class OptrellePartsTest : public QObject
{
    Q_OBJECT

private slots:
    void parsesCameraLists_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QStringList>("cameras"); // "id:id WxH,... fps", or "refused"
        const QString defaults = "640x480,1280x720,1920x1080,2592x1944";
        const QStringList refused{"refused"};
        QTest::newRow("empty") << "" << QStringList();
        QTest::newRow("one, defaults")
            << "0ac8:c498" << QStringList{"0ac8:c498 " + defaults + " 30"};
        QTest::newRow("two, with sizes and rate")
            << "0ac8:c498@1280x720,1920x1080/15;1234:abcd"
            << QStringList{"0ac8:c498 1280x720,1920x1080 15", "1234:abcd " + defaults + " 30"};
        QTest::newRow("upper case, blanks, trailing separator")
            << " 0AC8:C498/5 ;" << QStringList{"0ac8:c498 " + defaults + " 5"};
        QTest::newRow("one id") << "0ac8" << refused;
        QTest::newRow("five digits") << "12345:abcd" << refused;
        QTest::newRow("not hex") << "0ac8:zzzz" << refused;
        QTest::newRow("empty sizes") << "0ac8:c498@" << refused;
        QTest::newRow("zero width") << "0ac8:c498@0x480" << refused;
        QTest::newRow("huge size") << "0ac8:c498@99999999999x480" << refused;
        QTest::newRow("zero rate") << "0ac8:c498/0" << refused;
        QTest::newRow("rate too high") << "0ac8:c498/999" << refused;
        QTest::newRow("good then bad") << "0ac8:c498;oops" << refused;
        QTest::newRow("recorded MJPEG beside a desk")
            << "0c45:6366=/tmp/a/desk.mjpeg/15;15aa:1555"
            << QStringList{"0c45:6366  15 /tmp/a/desk.mjpeg 0x0", "15aa:1555 " + defaults + " 30"};
        QTest::newRow("recorded YUYV")
            << "0C45:6366=/x/cam.YUYV@640x480" << QStringList{"0c45:6366  30 /x/cam.YUYV 640x480"};
        QTest::newRow("YUYV without size") << "0c45:6366=/x/cam.yuyv" << refused;
        QTest::newRow("MJPEG with a size") << "0c45:6366=/x/cam.mjpg@640x480" << refused;
        QTest::newRow("odd YUYV width") << "0c45:6366=/x/cam.yuyv@641x480" << refused;
        QTest::newRow("no stream file") << "0c45:6366=/x/cam.avi" << refused;
    }

    void parsesCameraLists()
    {
        QFETCH(QString, value);
        QFETCH(QStringList, cameras);
        std::string error;
        const auto configs = optrelle::parseSimulatedCameras(value.toStdString(), &error);
        QVERIFY(configs || !error.empty()); // a refusal says why
        QStringList described = configs ? QStringList() : QStringList{"refused"};
        for (const optrelle::SimulatedCameraConfig &config :
             configs ? *configs : std::vector<optrelle::SimulatedCameraConfig>()) {
            QStringList sizes;
            for (const optrelle::Resolution &size : config.resolutions)
                sizes << QStringLiteral("%1x%2").arg(size.width).arg(size.height);
            described << QStringLiteral("%1:%2 %3 %4")
                             .arg(QString::fromStdString(config.firstId),
                                  QString::fromStdString(config.secondId), sizes.join(u','))
                             .arg(config.framesPerSecond);
            if (config.recording)
                described.last() += QStringLiteral(" %1 %2x%3")
                                        .arg(QString::fromStdString(config.recording->file))
                                        .arg(config.recording->yuyvSize.width)
                                        .arg(config.recording->yuyvSize.height);
        }
        QCOMPARE(described, cameras);
    }

    void backendFromEnvironment_data()
    {
        QTest::addColumn<QByteArray>("backend");
        QTest::addColumn<QByteArray>("cameras"); // "-" leaves OPTRELLE_CAMERAS unset
        QTest::addColumn<int>("count");          // -1: refused
        QTest::addColumn<QString>("message");
        QTest::newRow("sim, unset") << QByteArray("sim") << QByteArray("-") << 1 << QString();
        QTest::newRow("sim, two") << QByteArray("sim") << QByteArray("1111:2222;3333:4444") << 2
                                  << QString();
        QTest::newRow("sim, empty") << QByteArray("sim") << QByteArray("") << 0 << "empty";
        QTest::newRow("sim, malformed")
            << QByteArray("sim") << QByteArray("1111") << -1 << "OPTRELLE_CAMERAS";
        // This machine has no /dev/video*: automatic falls back to the simulation.
        QTest::newRow("auto") << QByteArray("auto") << QByteArray("-") << 1 << QString();
        QTest::newRow("unknown backend")
            << QByteArray("webcam") << QByteArray("-") << -1 << "OPTRELLE_BACKEND";
    }

    void backendFromEnvironment()
    {
        QFETCH(QByteArray, backend);
        QFETCH(QByteArray, cameras);
        QFETCH(int, count);
        QFETCH(QString, message);
        if (backend == "auto" && QFile::exists("/dev/video0"))
            QSKIP("a real camera is present");
        qputenv("OPTRELLE_BACKEND", backend);
        if (cameras == "-")
            qunsetenv("OPTRELLE_CAMERAS");
        else
            qputenv("OPTRELLE_CAMERAS", cameras);
        warnings.clear();
        const QtMessageHandler previous = qInstallMessageHandler(collectWarnings);
        const auto devices = optrelle::camerasOfChosenBackend();
        qInstallMessageHandler(previous);
        QCOMPARE(devices ? int(devices->size()) : -1, count);
        QVERIFY2(message.isEmpty() ? warnings.isEmpty() : warnings.join(u'\n').contains(message),
                 qPrintable(warnings.join(u'\n')));
        if (count == 1 && cameras == "-")
            QCOMPARE(devices->front()->firstId() + ":" + devices->front()->secondId(),
                     std::string("15aa:1555"));
    }

    void deskSceneHasMarkerClockAndCode()
    {
        optrelle::DeskScene scene;
        optrelle::Frame first = *filledFrame(640, 480);
        optrelle::Frame second = first;
        const QDateTime time = QDateTime::currentDateTime();
        scene.render(first, 1, time);
        scene.render(second, 2, time);
        const int side = optrelle::DeskScene::markerSide(480);
        QCOMPARE(topDownPixel(first, side / 2, side / 2), qRgb(255, 0, 0));
        QCOMPARE(topDownPixel(first, side + side / 2, side / 2), qRgb(0, 255, 0));
        QCOMPARE(topDownPixel(first, side / 2, side + side / 2), qRgb(0, 0, 255));
        QVERIFY(topDownPixel(first, side + side / 2, side + side / 2) != qRgb(255, 0, 0));
        // Only the counter, in the top rows, differs between the two frames.
        QVERIFY(first.pixels != second.pixels);
        const std::size_t stillBytes = (480 - 480 / 16) * 640 * 3;
        QVERIFY(std::equal(first.pixels.begin(), first.pixels.begin() + stillBytes,
                           second.pixels.begin()));
        // The page's code reads back, read from the top row down.
        const ZXing::ImageView view(first.rowFromTop(0), 640, 480, ZXing::ImageFormat::BGR,
                                    -int(first.rowBytes()));
        QCOMPARE(QString::fromStdString(ZXing::ReadBarcode(view).text()),
                 QString::fromUtf8(optrelle::DeskScene::qrText));

        // A scene file replaces the desk, over the whole frame.
        QTemporaryDir dir;
        QImage image(40, 30, QImage::Format_RGB32);
        image.fill(qRgb(10, 200, 30));
        QVERIFY(image.save(dir.filePath("scene.png")));
        optrelle::Frame file = *filledFrame(320, 240);
        optrelle::DeskScene fileScene(dir.filePath("scene.png"));
        fileScene.render(file, 7, time);
        for (int y : {0, 120, 239})
            for (int x : {0, 160, 319})
                QCOMPARE(topDownPixel(file, x, y), qRgb(10, 200, 30));

        // Renamed over by a new picture: filmed from the next look on.
        image.fill(qRgb(200, 20, 90));
        QVERIFY(image.save(dir.filePath("next.png")));
        QVERIFY(std::rename(qPrintable(dir.filePath("next.png")),
                            qPrintable(dir.filePath("scene.png"))) == 0);
        QTRY_COMPARE_WITH_TIMEOUT((fileScene.render(file, 8, time), topDownPixel(file, 160, 120)),
                                  qRgb(200, 20, 90), 1000);
    }

    void layoutFitsTurnsAndZooms_data()
    {
        QTest::addColumn<int>("turns");
        QTest::addColumn<int>("zoom");
        QTest::addColumn<QPointF>("topLeft"); // where the frame's (0, 0) lands
        // A 400x300 frame in an 800x400 window: fitted by height, scale 4/3; turned a
        // quarter, the 300x400 picture is fitted at scale 1, 300 wide.
        const double last = 5.9604644775390625; // 1.25^8
        QTest::newRow("fitted") << 0 << 0 << QPointF(400 - 800 / 3.0, 0);
        QTest::newRow("clockwise") << 1 << 0 << QPointF(400 + 150, 0);
        QTest::newRow("upside down") << 2 << 0 << QPointF(400 + 800 / 3.0, 400);
        QTest::newRow("anticlockwise") << -1 << 0 << QPointF(400 - 150, 400);
        QTest::newRow("one step in") << 0 << 1 << QPointF(400 - 1.25 * 800 / 3.0, 200 - 1.25 * 200);
        QTest::newRow("beyond the last step")
            << 0 << 99 << QPointF(400 - last * 800 / 3.0, 200 - last * 200);
    }

    void layoutFitsTurnsAndZooms()
    {
        QFETCH(int, turns);
        QFETCH(int, zoom);
        QFETCH(QPointF, topLeft);
        const optrelle::VideoLayout layout(QSize(400, 300), QSize(800, 400), turns, zoom);
        const QPointF mapped = layout.frameToWindow().map(QPointF(0, 0));
        QVERIFY2(QLineF(mapped, topLeft).length() < 1e-6,
                 qPrintable(QStringLiteral("%1,%2").arg(mapped.x()).arg(mapped.y())));
        // The frame's centre stays in the window's centre, both ways.
        const QPointF centre(400, 200);
        QVERIFY(QLineF(layout.frameToWindow().map(QPointF(200, 150)), centre).length() < 1e-6);
        QVERIFY(QLineF(layout.windowToFrame().map(centre), QPointF(200, 150)).length() < 1e-6);
    }

    void paintingMarksLostSignalAndAverages()
    {
        const auto white = filledFrame(64, 48, 255);
        QCOMPARE(painted({white, 0, 0, false, {}}).pixel(160, 120), qRgb(255, 255, 255));
        const QImage lost = painted({white, 0, 0, true, {}});
        QCOMPARE(lost.pixel(5, 5), qRgb(255, 255, 255)); // the last picture stays
        QVERIFY(lost.pixel(160, 120) != qRgb(255, 255, 255));
        QCOMPARE(painted({nullptr, 0, 0, false, {}}).pixel(160, 120), qRgb(0, 0, 0));

        // A one-pixel checkerboard with a red top-left quadrant, painted at a fifth
        // of its size: sampled it would come out black or white, averaged it is grey.
        const auto board = filledFrame(1000, 750);
        for (int y = 0; y < 750; ++y)
            for (int x = 0; x < 1000; ++x) {
                std::uint8_t *p = board->rowFromTop(y) + x * 3;
                const bool red = x < 500 && y < 375;
                const std::uint8_t level = (x + y) % 2 ? 255 : 0;
                p[0] = p[1] = red ? 0 : level;
                p[2] = red ? 255 : level;
            }
        const QImage window = painted({board, 0, 0, false, {}}, {200, 150});
        QCOMPARE(window.pixel(20, 20), qRgb(255, 0, 0));
        for (const QPoint at : {QPoint(150, 20), QPoint(20, 120), QPoint(150, 120)})
            QVERIFY2(std::abs(qGray(window.pixel(at)) - 128) < 40,
                     qPrintable(QString::number(qGray(window.pixel(at)))));
    }

    void lostSignalKeepsPictureAndRefusesStills()
    {
        auto owned = std::make_unique<HandDrivenDevice>();
        HandDrivenDevice *device = owned.get();
        optrelle::Camera camera(std::move(owned));
        QTemporaryDir dir;
        QVERIFY(camera.open(nullptr));
        device->sink->frameCaptured(filledFrame(8, 6, 200));
        QVERIFY(camera.captureStill(dir.filePath("before.png")));
        device->sink->signalLost();
        const optrelle::VideoPicture picture = camera.videoPicture();
        QVERIFY(picture.signalLost);
        QVERIFY(picture.frame);
        QCOMPARE(int(picture.frame->pixels[0]), 200);
        QVERIFY(!camera.captureStill(dir.filePath("after.png")));
        QVERIFY(!QFile::exists(dir.filePath("after.png")));
        // Plugged in again and reopened: a fresh stream, fresh stills.
        camera.close();
        QVERIFY(camera.open(nullptr));
        QVERIFY(!camera.videoPicture().signalLost);
        device->sink->frameCaptured(filledFrame(8, 6, 90));
        QVERIFY(camera.captureStill(dir.filePath("again.png")));
        QCOMPARE(qRed(QImage(dir.filePath("again.png")).pixel(0, 0)), 90);
    }

    void poolReusesReleasedFrames()
    {
        optrelle::FramePool pool;
        const std::uint8_t *first = pool.acquire(64, 48)->pixels.data(); // released at once
        auto again = pool.acquire(64, 48);
        QCOMPARE(again->pixels.data(), first);
        QCOMPARE(again->pixels.size(), std::size_t(64 * 48 * 3));
        auto other = pool.acquire(64, 48); // the first is still held
        QVERIFY(other->pixels.data() != first);
    }

    void outlineSmootherSteadiesFollowsAndForgets()
    {
        const auto outline = [](double x) {
            return optrelle::PageOutline{
                {QPointF(x, 0), QPointF(x + 400, 0), QPointF(x + 400, 300), QPointF(x, 300)}};
        };
        optrelle::OutlineSmoother smoother;
        QCOMPARE(smoother.update(outline(0))->corners[0].x(), 0.0);
        // A small shift is followed part of the way, then converges.
        const double firstStep = smoother.update(outline(10))->corners[0].x();
        QVERIFY(firstStep > 0 && firstStep < 10);
        for (int i = 0; i < 30; ++i)
            smoother.update(outline(10));
        QVERIFY(qAbs(smoother.update(outline(10))->corners[0].x() - 10) < 0.1);
        // A moved page is followed at once.
        QCOMPARE(smoother.update(outline(200))->corners[0].x(), 200.0);
        // A hand over the page for a few frames keeps it; a page gone is forgotten.
        for (int i = 0; i < 10; ++i)
            QVERIFY(smoother.update(std::nullopt));
        QVERIFY(!smoother.update(std::nullopt));
    }
};

QTEST_MAIN(OptrellePartsTest)
#include "test_optrelleparts.moc"
