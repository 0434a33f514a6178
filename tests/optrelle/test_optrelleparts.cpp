// The camera library's inner pieces: the backend chosen from the environment,
// video painting, a camera losing its signal, the page outline smoother.
#include "backendselection.h"
#include "camera.h"
#include "documentcrop/outlinesmoother.h"
#include "videopainter.h"

#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>

namespace {

QStringList warnings;

std::shared_ptr<optrelle::Frame> filledFrame(int width, int height, std::uint8_t value = 0)
{
    return std::make_shared<optrelle::Frame>(optrelle::Frame{
        width, height, std::vector<std::uint8_t>(std::size_t(width) * height * 3, value)});
}

// A window of size with picture painted over all of it.
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
    bool start(int, optrelle::FrameSink *to) override { return (sink = to); }
    void stop() override { sink = nullptr; }
    std::optional<optrelle::ZoomRange> zoomRange() override { return std::nullopt; }
    bool setZoom(int) override { return false; }
};

} // namespace

class OptrellePartsTest : public QObject
{
    Q_OBJECT

private slots:
    void backendFromEnvironment()
    {
        struct Case
        {
            const char *backend;
            const char *cameras; // null leaves OPTRELLE_CAMERAS unset
            int count;           // -1: refused
            const char *message; // in the warning
        };
        // This machine has no /dev/video*: automatic falls back to the simulation.
        for (const Case &c : {Case{"auto", nullptr, 1, nullptr}, Case{"sim", "", 0, nullptr},
                              Case{"sim", "0ac8:c498@1280x720/15; 1234:ABCD ;", 2, nullptr},
                              Case{"sim", "0ac8:c498;12345:abcd", -1, "OPTRELLE_CAMERAS"},
                              Case{"webcam", nullptr, -1, "OPTRELLE_BACKEND"}}) {
            if (QFile::exists("/dev/video0"))
                QSKIP("a real camera is present");
            qputenv("OPTRELLE_BACKEND", c.backend);
            if (c.cameras)
                qputenv("OPTRELLE_CAMERAS", c.cameras);
            else
                qunsetenv("OPTRELLE_CAMERAS");
            warnings.clear();
            const QtMessageHandler previous = qInstallMessageHandler(
                [](QtMsgType type, const QMessageLogContext &, const QString &message) {
                    if (type == QtWarningMsg)
                        warnings << message;
                });
            const auto devices = optrelle::camerasOfChosenBackend();
            qInstallMessageHandler(previous);
            QCOMPARE(devices ? int(devices->size()) : -1, c.count);
            QVERIFY2(c.message ? warnings.join(u'\n').contains(c.message) : warnings.isEmpty(),
                     qPrintable(warnings.join(u'\n')));
            if (c.count == 2)
                QCOMPARE(devices->front()->resolutions().front().width, 1280);
        }
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
                p[0] = p[1] = red ? 0 : (x + y) % 2 * 255;
                p[2] = red ? 255 : (x + y) % 2 * 255;
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
        QVERIFY(picture.signalLost && picture.frame);
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
