// The Video4Linux2 backend without a camera: ids from a fake sysfs tree, device
// discovery and streaming against a simulated driver, YUYV conversion and MJPEG
// decoding.
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

// Whether pixel (x, y), counted from the top, or the first pixel in memory when
// y is -1, is near the BGR colour.
bool near(const Frame &frame, int x, int y, int b, int g, int r)
{
    const std::uint8_t *p = y < 0 ? frame.pixels.data() : frame.rowFromTop(y) + x * 3;
    return std::abs(p[0] - b) <= 2 && std::abs(p[1] - g) <= 2 && std::abs(p[2] - r) <= 2;
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
    void readsUsbIdsFromSysfs()
    {
        // The shape of a real tree: the node's device link leads to the USB
        // interface, whose parent is the USB device with the id files. video1 is a
        // capture device that is no USB camera.
        QTemporaryDir sys;
        const QString usbDevice = "devices/pci0000:00/0000:00:14.0/usb1/1-2";
        writeFile(sys.filePath(usbDevice + "/idVendor"), "0AC8\n");
        writeFile(sys.filePath(usbDevice + "/idProduct"), "c498\n");
        const QString targets[] = {usbDevice + "/1-2:1.0", "devices/platform/vivid.0"};
        for (int i = 0; i < 2; ++i) {
            const QString node = sys.filePath(QStringLiteral("class/video4linux/video%1").arg(i));
            QVERIFY(QDir().mkpath(sys.filePath(targets[i])) && QDir().mkpath(node));
            QVERIFY(QFile::link("../../../" + targets[i], node + "/device"));
        }
        QStringList ids;
        for (const char *node : {"video0", "video1", "video7"}) {
            const auto usb = optrelle::usbIdsOfVideoNode(sys.path().toStdString(), node);
            ids << QString::fromStdString(usb.vendor + ":" + usb.product);
        }
        QCOMPARE(ids, QStringList({"0ac8:c498", "0000:0000", "0000:0000"}));
    }

    void findsStreamsAndLosesCameras()
    {
        // Plain files answer no capability query.
        QTemporaryDir dev;
        const std::string root = dev.path().toStdString();
        writeFile(dev.filePath("video0"), "not a device");
        writeFile(dev.filePath("video99999999999999999999"), "a number too large");
        QCOMPARE(optrelle::findV4l2Cameras(root, root).size(), std::size_t(0));

        // Two cameras through the simulated driver: one with a metadata node, one
        // seen through two capture nodes.
        SimulatedUvcDriver driver;
        const char *buses[] = {"usb-1", "usb-1", "usb-2", "usb-2"};
        for (int i = 0; i < 4; ++i)
            driver.nodes.push_back(
                {dev.filePath(QStringLiteral("video%1").arg(i)).toStdString(), buses[i], i == 1});
        for (int i = 1; i < 4; ++i)
            writeFile(dev.filePath(QStringLiteral("video%1").arg(i)), {});
        const auto cameras = optrelle::findV4l2Cameras(root, "/nonexistent", driver);
        QCOMPARE(cameras.size(), std::size_t(2));
        QStringList sizes;
        for (const optrelle::Resolution size : cameras[0]->resolutions())
            sizes << QStringLiteral("%1x%2").arg(size.width).arg(size.height);
        // MJPEG sizes in the camera's order, then those only YUYV has.
        QCOMPARE(sizes, QStringList({"1280x720", "1920x1080", "640x480", "320x240"}));

        QVERIFY(cameras[1]->setZoom(300));
        QCOMPARE(cameras[1]->zoomRange()->maximum, 500);
        QCOMPARE(cameras[1]->zoomRange()->value, 300);
        // The property dialog's list: enabled controls only, menus without their gaps.
        const std::vector<optrelle::CameraControl> controls = cameras[1]->controls();
        QStringList names;
        for (const optrelle::CameraControl &control : controls)
            names << QString::fromStdString(control.name);
        QCOMPARE(names, QStringList({"Brightness", "White Balance, Auto", "Power Line Frequency",
                                     "Zoom, Absolute"}));
        QCOMPARE(controls[2].menu.size(), std::size_t(2));
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
        QVERIFY(near(*sink.last, 320, 240, 255, 255, 255));

        driver.unplug();
        QTRY_COMPARE(sink.losses.load(), 1);
        cameras[0]->stop(); // returns although the thread ended by itself
        cameras[0]->stop();
        QCOMPARE(sink.frames + sink.losses, 4);
        QVERIFY(!cameras[0]->start(2, &sink)); // gone for good
        QVERIFY(!cameras[1]->zoomRange() && !cameras[1]->setZoom(200));
        QVERIFY(cameras[1]->controls().empty());
    }

    void convertsYuyvAndDecodesJpegBottomUp()
    {
        // Two rows of four pixels: white and black on top, then pure red and blue.
        const std::uint8_t yuyv[] = {235, 128, 235, 128, 16, 128, 16, 128,
                                     81,  90,  81,  240, 41, 240, 41, 110};
        Frame frame;
        QVERIFY(optrelle::yuyvToFrame(yuyv, sizeof yuyv, 4, 2, 8, frame));
        QCOMPARE(frame.pixels.size(), std::size_t(4 * 2 * 3));
        QVERIFY(near(frame, 0, 0, 255, 255, 255) && near(frame, 2, 0, 0, 0, 0));
        QVERIFY(near(frame, 0, 1, 0, 0, 255) && near(frame, 2, 1, 255, 0, 0));
        QVERIFY(near(frame, 0, -1, 0, 0, 255)); // the top row is the last in memory
        QVERIFY(!optrelle::yuyvToFrame(yuyv, sizeof yuyv - 1, 4, 2, 8, frame));
        QVERIFY(!optrelle::yuyvToFrame(yuyv, sizeof yuyv, 3, 2, 8, frame));
        // Rows with padding: bytesPerLine larger than width * 2.
        QVERIFY(optrelle::yuyvToFrame(yuyv, sizeof yuyv, 2, 2, 8, frame));
        QVERIFY(near(frame, 1, 1, 0, 0, 255));

        // Top half red, bottom half blue, 64x48.
        std::vector<std::uint8_t> rgb(64 * 48 * 3);
        for (std::size_t i = 0; i < rgb.size(); i += 3)
            rgb[i + (i < rgb.size() / 2 ? 0 : 2)] = 255;
        tjhandle encoder = tjInitCompress();
        unsigned char *jpeg = nullptr;
        unsigned long size = 0;
        tjCompress2(encoder, rgb.data(), 64, 0, 48, TJPF_RGB, &jpeg, &size, TJSAMP_422, 95, 0);
        tjDestroy(encoder);
        optrelle::JpegFrameDecoder decoder;
        QVERIFY(decoder.decode(jpeg, size, frame));
        QCOMPARE(QSize(frame.width, frame.height), QSize(64, 48));
        QVERIFY2(near(frame, 0, -1, 255, 0, 0), "the first row in memory is the blue bottom row");
        QVERIFY(near(frame, 10, 5, 0, 0, 255));
        QVERIFY(decoder.decode(jpeg, size, frame, optrelle::RowOrder::TopDown));
        QVERIFY(near(frame, 0, -1, 0, 0, 255));
        const std::uint8_t garbage[] = {0xff, 0xd8, 0x00, 0x11, 0x22};
        QVERIFY(!decoder.decode(garbage, sizeof garbage, frame));
        QVERIFY(!decoder.decode(jpeg, 0, frame));
        tjFree(jpeg);
    }
};

QTEST_GUILESS_MAIN(V4l2Test)
#include "test_v4l2.moc"
