// The Video4Linux2 backend without a camera: ids from a fake sysfs tree, device
// discovery and streaming against a simulated driver, YUYV conversion and MJPEG
// decoding. Streaming from a real camera runs only where one is plugged in.
#include "simulateduvcdriver.h"
#include "v4l2/jpegframedecoder.h"
#include "v4l2/usbids.h"
#include "v4l2/v4l2cameralist.h"
#include "v4l2/v4l2capturedevice.h"
#include "v4l2/yuyvframe.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <turbojpeg.h>

#include <atomic>

namespace {

using optrelle::Frame;

void writeFile(const QString &path, const QByteArray &contents)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(contents);
}

// BGR of pixel (x, y) counted from the top, in a bottom-up frame.
QByteArray bgrAt(const Frame &frame, int x, int y)
{
    return QByteArray(reinterpret_cast<const char *>(frame.rowFromTop(y) + x * 3), 3);
}

bool near(const QByteArray &bgr, int b, int g, int r)
{
    return std::abs(std::uint8_t(bgr[0]) - b) <= 2 && std::abs(std::uint8_t(bgr[1]) - g) <= 2 &&
           std::abs(std::uint8_t(bgr[2]) - r) <= 2;
}

// Counts what a device delivers; called on its capture thread.
class CountingSink : public optrelle::FrameSink
{
public:
    std::atomic<int> frames = 0;
    std::atomic<int> losses = 0;
    std::shared_ptr<Frame> last;

    void frameCaptured(std::shared_ptr<Frame> frame) override
    {
        last = std::move(frame);
        ++frames;
    }
    void signalLost() override { ++losses; }
};

} // namespace

class V4l2Test : public QObject
{
    Q_OBJECT

private slots:
    void readsUsbIdsFromSysfs_data()
    {
        QTest::addColumn<QByteArray>("vendorFile");
        QTest::addColumn<QByteArray>("productFile");
        QTest::addColumn<QString>("ids");
        QTest::newRow("as the kernel writes them")
            << QByteArray("0c45\n") << QByteArray("6366\n") << "0c45:6366";
        QTest::newRow("upper case") << QByteArray("0AC8\n") << QByteArray("C498") << "0ac8:c498";
        QTest::newRow("not four hex digits")
            << QByteArray("12345\n") << QByteArray("zz\n") << "0000:0000";
    }

    void readsUsbIdsFromSysfs()
    {
        QFETCH(QByteArray, vendorFile);
        QFETCH(QByteArray, productFile);
        QFETCH(QString, ids);
        // The shape of a real tree: the node's device link leads to the USB
        // interface, whose parent is the USB device with the id files. video1 is a
        // capture device that is no USB camera.
        QTemporaryDir sys;
        const QString usbDevice = "devices/pci0000:00/0000:00:14.0/usb1/1-2";
        writeFile(sys.filePath(usbDevice + "/idVendor"), vendorFile);
        writeFile(sys.filePath(usbDevice + "/idProduct"), productFile);
        const QString targets[] = {usbDevice + "/1-2:1.0", "devices/platform/vivid.0"};
        for (int i = 0; i < 2; ++i) {
            const QString node = sys.filePath(QStringLiteral("class/video4linux/video%1").arg(i));
            QVERIFY(QDir().mkpath(sys.filePath(targets[i])) && QDir().mkpath(node));
            QVERIFY(QFile::link("../../../" + targets[i], node + "/device"));
        }
        const auto idsOf = [&](const char *node) {
            const optrelle::UsbIds usb =
                optrelle::usbIdsOfVideoNode(sys.path().toStdString(), node);
            return QString::fromStdString(usb.vendor + ":" + usb.product);
        };
        QCOMPARE(idsOf("video0"), ids);
        QCOMPARE(idsOf("video1"), QString("0000:0000"));
        QCOMPARE(idsOf("video7"), QString("0000:0000"));
    }

    void findsNoCameraWithoutDevices()
    {
        QTemporaryDir dev;
        const std::string root = dev.path().toStdString();
        QCOMPARE(optrelle::findV4l2Cameras(root, root).size(), std::size_t(0));
        // A node that is a plain file answers no capability query.
        writeFile(dev.filePath("video0"), "not a device");
        writeFile(dev.filePath("videoX"), "not a node name");
        writeFile(dev.filePath("video99999999999999999999"), "a number too large");
        QCOMPARE(optrelle::findV4l2Cameras(root, root).size(), std::size_t(0));
        QCOMPARE(optrelle::findV4l2Cameras("/nonexistent", "/nonexistent").size(), std::size_t(0));
    }

    void findsStreamsAndLosesCameras()
    {
        // Two cameras through the simulated driver: one with a metadata node, one
        // seen through two capture nodes.
        SimulatedUvcDriver driver;
        QTemporaryDir dev;
        const char *buses[] = {"usb-1", "usb-1", "usb-2", "usb-2"};
        for (int i = 0; i < 4; ++i) {
            const QString path = dev.filePath(QStringLiteral("video%1").arg(i));
            writeFile(path, {});
            driver.nodes.push_back({path.toStdString(), buses[i], i == 1});
        }
        const auto cameras =
            optrelle::findV4l2Cameras(dev.path().toStdString(), "/nonexistent", driver);
        QCOMPARE(cameras.size(), std::size_t(2));
        QStringList sizes;
        for (const optrelle::Resolution size : cameras[0]->resolutions())
            sizes << QStringLiteral("%1x%2").arg(size.width).arg(size.height);
        // MJPEG sizes in the camera's order, then those only YUYV has.
        QCOMPARE(sizes, QStringList({"1280x720", "1920x1080", "640x480", "320x240"}));
        QCOMPARE(cameras[0]->firstId(), std::string("0000"));

        const std::optional<optrelle::ZoomRange> zoom = cameras[1]->zoomRange();
        QVERIFY(zoom);
        QCOMPARE(QList<int>({zoom->minimum, zoom->maximum, zoom->step, zoom->value}),
                 QList<int>({100, 500, 10, 120}));
        QVERIFY(cameras[1]->setZoom(300));
        QCOMPARE(cameras[1]->zoomRange()->value, 300);
        // The property dialog's list: enabled controls only, menus without their gaps.
        const std::vector<optrelle::CameraControl> controls = cameras[1]->controls();
        QStringList names;
        for (const optrelle::CameraControl &control : controls)
            names << QString::fromStdString(control.name);
        QCOMPARE(names, QStringList({"Brightness", "White Balance, Auto", "Power Line Frequency",
                                     "Zoom, Absolute"}));
        QCOMPARE(controls[0].value, 10);
        QCOMPARE(int(controls[1].kind), int(optrelle::CameraControl::Kind::Boolean));
        QCOMPARE(controls[2].menu.size(), std::size_t(2));
        QCOMPARE(controls[2].menu[1], std::make_pair(2, std::string("60 Hz")));
        QVERIFY(cameras[1]->setControl(V4L2_CID_BRIGHTNESS, -20));
        QCOMPARE(driver.controlValues[V4L2_CID_BRIGHTNESS], -20);

        // Large frames come as MJPEG, small ones uncompressed where offered.
        CountingSink sink;
        QVERIFY(cameras[0]->start(1, &sink));
        QCOMPARE(driver.streamedFormat, std::uint32_t(V4L2_PIX_FMT_MJPEG));
        cameras[0]->stop();
        QVERIFY(!cameras[0]->start(4, &sink));
        QVERIFY(cameras[0]->start(2, &sink));
        QCOMPARE(driver.streamedFormat, std::uint32_t(V4L2_PIX_FMT_YUYV));
        for (int i = 0; i < 3; ++i)
            driver.pushFrame();
        QTRY_COMPARE(sink.frames.load(), 3);
        QCOMPARE(QSize(sink.last->width, sink.last->height), QSize(640, 480));
        QVERIFY(near(bgrAt(*sink.last, 320, 240), 255, 255, 255));

        driver.unplug();
        QTRY_COMPARE(sink.losses.load(), 1);
        cameras[0]->stop(); // returns although the thread ended by itself
        cameras[0]->stop();
        QCOMPARE(sink.frames.load(), 3);
        QCOMPARE(sink.losses.load(), 1);
        QVERIFY(!cameras[0]->start(2, &sink)); // gone for good
        QVERIFY(!cameras[1]->zoomRange());
        QVERIFY(!cameras[1]->setZoom(200));
        QVERIFY(cameras[1]->controls().empty());
    }

    void convertsYuyv()
    {
        // Two rows of four pixels: white and black on top, then pure red and blue.
        const std::uint8_t yuyv[] = {235, 128, 235, 128, 16, 128, 16, 128,
                                     81,  90,  81,  240, 41, 240, 41, 110};
        Frame frame;
        QVERIFY(optrelle::yuyvToFrame(yuyv, sizeof yuyv, 4, 2, 8, frame));
        QCOMPARE(frame.pixels.size(), std::size_t(4 * 2 * 3));
        QVERIFY(near(bgrAt(frame, 0, 0), 255, 255, 255));
        QVERIFY(near(bgrAt(frame, 2, 0), 0, 0, 0));
        QVERIFY(near(bgrAt(frame, 0, 1), 0, 0, 255)); // red
        QVERIFY(near(bgrAt(frame, 2, 1), 255, 0, 0)); // blue
        // The top row of the picture is the last row in memory.
        QVERIFY(
            near(QByteArray(reinterpret_cast<const char *>(frame.pixels.data()), 3), 0, 0, 255));
        QVERIFY(!optrelle::yuyvToFrame(yuyv, sizeof yuyv - 1, 4, 2, 8, frame));
        QVERIFY(!optrelle::yuyvToFrame(yuyv, sizeof yuyv, 3, 2, 8, frame));
        // Rows with padding: bytesPerLine larger than width * 2.
        QVERIFY(optrelle::yuyvToFrame(yuyv, sizeof yuyv, 2, 2, 8, frame));
        QVERIFY(near(bgrAt(frame, 1, 1), 0, 0, 255));
    }

    void decodesJpegInBothRowOrders()
    {
        // Top half red, bottom half blue, 64x48.
        std::vector<std::uint8_t> rgb(64 * 48 * 3);
        for (int y = 0; y < 48; ++y)
            for (int x = 0; x < 64; ++x) {
                std::uint8_t *p = rgb.data() + (y * 64 + x) * 3;
                p[0] = y < 24 ? 255 : 0;
                p[2] = y < 24 ? 0 : 255;
            }
        tjhandle encoder = tjInitCompress();
        unsigned char *jpeg = nullptr;
        unsigned long size = 0;
        QCOMPARE(tjCompress2(encoder, rgb.data(), 64, 64 * 3, 48, TJPF_RGB, &jpeg, &size,
                             TJSAMP_422, 95, 0),
                 0);
        tjDestroy(encoder);

        optrelle::JpegFrameDecoder decoder;
        Frame bottomUp;
        QVERIFY(decoder.decode(jpeg, size, bottomUp));
        QCOMPARE(bottomUp.width, 64);
        QCOMPARE(bottomUp.height, 48);
        const QByteArray first(reinterpret_cast<const char *>(bottomUp.pixels.data()), 3);
        QVERIFY2(near(first, 255, 0, 0), "the first row in memory is the blue bottom row, in BGR");
        QVERIFY(near(bgrAt(bottomUp, 10, 5), 0, 0, 255));
        Frame topDown;
        QVERIFY(decoder.decode(jpeg, size, topDown, optrelle::RowOrder::TopDown));
        QVERIFY(
            near(QByteArray(reinterpret_cast<const char *>(topDown.pixels.data()), 3), 0, 0, 255));

        const std::uint8_t garbage[] = {0xff, 0xd8, 0x00, 0x11, 0x22};
        QVERIFY(!decoder.decode(garbage, sizeof garbage, topDown));
        QVERIFY(!decoder.decode(jpeg, 0, topDown));
        tjFree(jpeg);
    }

    void streamsFromRealCamera()
    {
        auto cameras = optrelle::findV4l2Cameras();
        if (cameras.empty())
            QSKIP("no Video4Linux2 camera on this machine");
        CountingSink sink;
        QVERIFY(cameras.front()->start(0, &sink));
        QTRY_VERIFY_WITH_TIMEOUT(sink.frames >= 3, 10000);
        cameras.front()->stop();
        const int frames = sink.frames;
        cameras.front()->stop(); // twice is harmless
        QCOMPARE(sink.frames.load(), frames);
    }
};

QTEST_GUILESS_MAIN(V4l2Test)
#include "test_v4l2.moc"
