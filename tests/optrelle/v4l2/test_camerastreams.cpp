// Camera streams without a camera: the Video4Linux2 backend against a simulated
// driver (discovery, streaming, YUYV, unplug), what real cameras send split and
// decoded, a recorded stream unplugged and replugged under a Camera with stills
// from its JPEG, and the message of a camera that will not start.
#include "camera.h"
#include "jpegwithouthuffmantables.h"
#include "recorded/camerastreamfile.h"
#include "recorded/recordedstreamcamera.h"
#include "simulateduvcdriver.h"
#include "v4l2/jpegframedecoder.h"
#include "v4l2/v4l2cameralist.h"
#include "v4l2/yuyvframe.h"

#include <QApplication>
#include <QFile>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>

#include <turbojpeg.h>

#include <atomic>
#include <string_view>

namespace {

using Bytes = std::vector<unsigned char>;
using optrelle::Frame;

// A JPEG of a w x h picture whose colour depends on shade, 4:2:2 as cameras send.
Bytes makeJpeg(int width, int height, int shade)
{
    Bytes rgb(std::size_t(width) * height * 3);
    for (std::size_t i = 0; i < rgb.size(); ++i)
        rgb[i] = std::uint8_t(shade + (i % 3) * 40 + (i / 3 % std::size_t(width)) / 8);
    tjhandle encoder = tjInitCompress();
    unsigned char *jpeg = nullptr;
    unsigned long size = 0;
    tjCompress2(encoder, rgb.data(), width, width * 3, height, TJPF_RGB, &jpeg, &size, TJSAMP_422,
                90, 0);
    rgb.assign(jpeg, jpeg + size);
    tjFree(jpeg);
    tjDestroy(encoder);
    return rgb;
}

// The JPEG cut short: by default inside its headers, else inside its data.
Bytes cut(const Bytes &jpeg, std::size_t missing = 0)
{
    return Bytes(jpeg.begin(), jpeg.end() - long(missing ? missing : jpeg.size() / 2));
}

Bytes joined(std::initializer_list<Bytes> frames)
{
    Bytes stream;
    for (const Bytes &frame : frames)
        stream.insert(stream.end(), frame.begin(), frame.end());
    return stream;
}

Bytes text(std::string_view chars)
{
    return Bytes(chars.begin(), chars.end());
}

bool writeFile(const QString &path, const Bytes &contents)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) &&
           file.write(reinterpret_cast<const char *>(contents.data()), qint64(contents.size())) ==
               qint64(contents.size());
}

Bytes readFile(const QString &path)
{
    QFile file(path);
    const QByteArray bytes = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    return Bytes(bytes.begin(), bytes.end());
}

// Whether pixel (x, y), counted from the top, or the first pixel in memory when
// y is -1, is near the BGR colour.
bool near(const Frame &frame, int x, int y, int b, int g, int r)
{
    const std::uint8_t *p = y < 0 ? frame.pixels.data() : frame.rowFromTop(y) + x * 3;
    return std::abs(p[0] - b) <= 2 && std::abs(p[1] - g) <= 2 && std::abs(p[2] - r) <= 2;
}

// Counts what a device delivers, on its capture thread, and keeps the last frame.
class CountingSink : public optrelle::FrameSink
{
public:
    std::atomic<int> frames = 0;
    std::atomic<int> losses = 0;
    std::shared_ptr<Frame> last; // read once the frames were counted

    void frameCaptured(std::shared_ptr<Frame> frame) override
    {
        last = std::move(frame);
        ++frames;
    }
    void signalLost() override { ++losses; }
};

} // namespace

class CameraStreamsTest : public QObject
{
    Q_OBJECT

private slots:
    void findsStreamsAndLosesCameras()
    {
        // Plain files answer no capability query.
        QTemporaryDir dev;
        const std::string root = dev.path().toStdString();
        QVERIFY(writeFile(dev.filePath("video0"), text("not a device")));
        QVERIFY(writeFile(dev.filePath("video99999999999999999999"), text("a number too large")));
        QCOMPARE(optrelle::findV4l2Cameras(root, root).size(), std::size_t(0));

        // Two cameras through the simulated driver: one with a metadata node, one
        // seen through two capture nodes.
        SimulatedUvcDriver driver;
        const char *buses[] = {"usb-1", "usb-1", "usb-2", "usb-2"};
        for (int i = 0; i < 4; ++i) {
            const QString path = dev.filePath(QStringLiteral("video%1").arg(i));
            driver.nodes.push_back({path.toStdString(), buses[i], i == 1});
            QVERIFY(i == 0 || writeFile(path, {}));
        }
        const auto cameras = optrelle::findV4l2Cameras(root, "/nonexistent", driver);
        QCOMPARE(cameras.size(), std::size_t(2));
        QStringList sizes;
        for (const optrelle::Resolution size : cameras[0]->resolutions())
            sizes << QStringLiteral("%1x%2").arg(size.width).arg(size.height);
        // MJPEG sizes in the camera's order, then those only YUYV has.
        QCOMPARE(sizes, QStringList({"1280x720", "1920x1080", "640x480", "320x240"}));

        QVERIFY(cameras[1]->setZoom(300));
        QCOMPARE(cameras[1]->zoomRange()->value, 300);

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
    }

    void convertsYuyvBottomUp()
    {
        // Two rows of four pixels: white and black on top, then pure red and blue.
        const std::uint8_t yuyv[] = {235, 128, 235, 128, 16, 128, 16, 128,
                                     81,  90,  81,  240, 41, 240, 41, 110};
        Frame frame;
        QVERIFY(optrelle::yuyvToFrame(yuyv, sizeof yuyv, 4, 2, 8, frame));
        QVERIFY(near(frame, 0, 0, 255, 255, 255) && near(frame, 2, 0, 0, 0, 0));
        QVERIFY(near(frame, 0, 1, 0, 0, 255) && near(frame, 2, 1, 255, 0, 0));
        QVERIFY(near(frame, 0, -1, 0, 0, 255)); // the top row is the last in memory
        QVERIFY(!optrelle::yuyvToFrame(yuyv, sizeof yuyv - 1, 4, 2, 8, frame));
    }

    void splitsAndDecodesWhatCamerasSend()
    {
        const Bytes a = makeJpeg(64, 48, 10), small = makeJpeg(32, 16, 90);
        // An application segment holding a thumbnail's start-of-image splits nothing.
        const Bytes b = joined({{small.begin(), small.begin() + 2},
                                {0xff, 0xe1, 0x00, 0x08, 0xff, 0xd8, 0xff, 0xd9, 0xff, 0xd8},
                                {small.begin() + 2, small.end()}});
        Bytes damaged = a;
        std::fill(damaged.end() - 40, damaged.end() - 2, 0xff);
        // Frame, zero bytes after it, complete, decoded (libjpeg-turbo supplies the
        // Huffman tables cameras leave out; half a frame would show half grey).
        const std::tuple<Bytes, std::size_t, bool, bool> parts[] = {
            {a, 5, true, true},        {b, 0, true, true},
            {cut(a), 0, false, false}, {cut(a, 20), 0, false, false},
            {damaged, 0, true, false}, {jpegWithoutHuffmanTables(a), 0, true, true},
            {cut(a), 0, false, false}}; // the file ends inside a frame
        Bytes stream;
        for (const auto &[frame, padding, complete, decodes] : parts)
            stream = joined({stream, frame, Bytes(padding, 0)});
        const std::vector<optrelle::JpegFrameSpan> frames =
            optrelle::splitJpegStream(stream.data(), stream.size());
        QCOMPARE(frames.size(), std::size(parts));
        optrelle::JpegFrameDecoder decoder;
        Frame whole, frame;
        const Bytes padded = joined({a, Bytes(64, 0)});
        QVERIFY(decoder.decode(padded.data(), padded.size(), whole));
        std::size_t offset = 0;
        for (std::size_t i = 0; i < frames.size(); ++i) {
            const auto &[part, padding, complete, decodes] = parts[i];
            QCOMPARE(frames[i].offset, offset);
            QCOMPARE(frames[i].size, part.size());
            QCOMPARE(frames[i].complete, complete);
            QCOMPARE(decoder.decode(part.data(), part.size(), frame), decodes);
            QVERIFY(!decodes || i == 1 || frame.pixels == whole.pixels);
            offset += part.size() + padding;
        }
    }

    void replaysStreamsAndComesBackAfterUnplug()
    {
        // Twelve frames in turn (one without Huffman tables), each followed by
        // itself cut short twice and a frame of another size.
        QTemporaryDir folder;
        std::vector<Bytes> good;
        for (int shade = 0; shade < 12; ++shade)
            good.push_back(makeJpeg(64, 48, shade * 16));
        good[5] = jpegWithoutHuffmanTables(good[5]);
        Bytes stream;
        for (const Bytes &frame : good)
            stream = joined({stream, frame, cut(frame), cut(frame, 20), makeJpeg(32, 16, 60)});
        const QString path = folder.filePath("cam.mjpeg");
        QVERIFY(writeFile(path, stream));
        std::string error;
        const auto open = [&] {
            return optrelle::RecordedStreamCamera::open("0c45", "6366", {path.toStdString(), {}},
                                                        120, &error);
        };
        const std::unique_ptr<optrelle::CameraDevice> device = open();
        QVERIFY2(device, error.c_str());

        // Under a Camera: the mark, no still while it is gone, back within 2 s,
        // stills straight from its JPEG before and after, a turned one encoded anew.
        optrelle::Camera camera(open());
        QVERIFY(camera.open(nullptr));
        const QString still = folder.filePath("still.jpg");
        QTRY_VERIFY(camera.captureStill(still)); // once the first frame came
        QVERIFY(std::find(good.begin(), good.end(), readFile(still)) != good.end());
        QVERIFY(writeFile(path + ".unplugged", {}));
        QTRY_VERIFY(camera.videoPicture().signalLost);
        QVERIFY(!camera.captureStill(folder.filePath("gone.jpg")));
        QVERIFY(!QFile::exists(folder.filePath("gone.jpg")));
        QVERIFY(!device->reattach());
        QVERIFY(QFile::remove(path + ".unplugged"));
        QTRY_VERIFY_WITH_TIMEOUT(!camera.videoPicture().signalLost, 2000);
        QVERIFY(camera.captureStill(still));
        QVERIFY(std::find(good.begin(), good.end(), readFile(still)) != good.end());
        camera.turn(1);
        QVERIFY(camera.captureStill(still));
        QCOMPARE(QImage(still).size(), QSize(48, 64));
        camera.close();
    }

    void explainsCamerasThatWillNotStart()
    {
        // The error of open, of setting the format, and what the one box says.
        const std::tuple<int, int, QString> cases[] = {
            {0, EBUSY, "另一个程序"}, {EACCES, 0, "usermod -aG video"}, {0, EIO, "无法传输画面"}};
        for (const auto &[openError, formatError, says] : cases) {
            SimulatedUvcDriver driver;
            QTemporaryDir dev;
            QVERIFY(writeFile(dev.filePath("video0"), {}));
            driver.nodes.push_back({dev.filePath("video0").toStdString(), "usb-1", false});
            auto devices =
                optrelle::findV4l2Cameras(dev.path().toStdString(), "/nonexistent", driver);
            QCOMPARE(devices.size(), std::size_t(1));
            driver.openError = openError;
            driver.formatError = formatError;
            optrelle::Camera camera(std::move(devices.front()));
            QVERIFY(!camera.open(nullptr));
            QVERIFY(!camera.open(nullptr)); // asked twice: still one box
            QList<QMessageBox *> boxes;
            for (QWidget *widget : QApplication::topLevelWidgets())
                if (auto *box = qobject_cast<QMessageBox *>(widget); box && box->isVisible())
                    boxes << box;
            QCOMPARE(boxes.size(), 1);
            QVERIFY2(boxes[0]->text().contains(says), qPrintable(boxes[0]->text()));
            boxes[0]->close();
        }
    }
};

QTEST_MAIN(CameraStreamsTest)
#include "test_camerastreams.moc"
