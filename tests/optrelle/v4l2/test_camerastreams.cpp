// Recorded camera streams: splitting, decoding what real cameras send, the backend's
// replay, unplug and replug under a Camera, stills from the camera's JPEG, and the
// message of a camera that will not start.
#include "camera.h"
#include "jpegwithouthuffmantables.h"
#include "recorded/camerastreamfile.h"
#include "recorded/recordedstreamcamera.h"
#include "simulateduvcdriver.h"
#include "v4l2/jpegframedecoder.h"
#include "v4l2/v4l2cameralist.h"

#include <QApplication>
#include <QFile>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>

#include <turbojpeg.h>

#include <atomic>

namespace {

using Bytes = std::vector<unsigned char>;

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

// Keeps the JPEG of every frame delivered (empty for another size).
class CollectingSink : public optrelle::FrameSink
{
public:
    std::atomic<int> frames = 0;
    std::vector<Bytes> jpegs; // read once the device stopped

    void frameCaptured(std::shared_ptr<optrelle::Frame> frame) override
    {
        jpegs.push_back(frame->width == 64 && frame->height == 48 ? frame->cameraJpeg : Bytes());
        ++frames;
    }
    void signalLost() override {}
};

} // namespace

class CameraStreamsTest : public QObject
{
    Q_OBJECT

private slots:
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
        optrelle::Frame whole, frame;
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
        QCOMPARE(frames[1].picture.width, 32);
        QCOMPARE(frames[1].picture.height, 16);
        QVERIFY(optrelle::splitJpegStream(stream.data(), 0).empty());
    }

    void replaysStreamsAndComesBackAfterUnplug()
    {
        // Twelve frames in turn (one without Huffman tables), each followed by
        // itself cut short twice and a frame of another size: only the whole frames
        // of the stream's size come out, with their JPEGs, in order (two decoders).
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
        const auto open = [&](const QString &file) {
            return optrelle::RecordedStreamCamera::open("0c45", "6366", {file.toStdString(), {}},
                                                        120, &error);
        };
        const std::unique_ptr<optrelle::CameraDevice> device = open(path);
        QVERIFY2(device, error.c_str());
        QCOMPARE(device->resolutions().at(0).width, 64);
        QCOMPARE(device->presenceFolder(), folder.path().toStdString());
        CollectingSink sink;
        QVERIFY(device->start(0, &sink));
        QTRY_VERIFY(sink.frames >= 30);
        device->stop();
        std::size_t previous = 0;
        for (std::size_t i = 0; i < sink.jpegs.size(); ++i) {
            const auto at = std::find(good.begin(), good.end(), sink.jpegs[i]);
            QVERIFY(at != good.end());
            const auto index = std::size_t(at - good.begin());
            // Frames the camera or a late decoder drops skip ahead, never back.
            QVERIFY(i == 0 || (index + 12 - previous) % 12 < 9);
            previous = index;
        }

        // Under a Camera: the mark, no still while it is gone, back within 2 s,
        // stills straight from its JPEG before and after, a turned one encoded anew.
        optrelle::Camera camera(open(path));
        QVERIFY(camera.open(nullptr));
        const QString still = folder.filePath("still.jpg");
        QVERIFY(camera.captureStill(still));
        QVERIFY(std::find(good.begin(), good.end(), readFile(still)) != good.end());
        QVERIFY(writeFile(path + ".unplugged", {}));
        QTRY_VERIFY(camera.videoPicture().signalLost);
        QVERIFY(!camera.captureStill(folder.filePath("gone.jpg")));
        QVERIFY(!QFile::exists(folder.filePath("gone.jpg")));
        QVERIFY(!device->reattach() && !device->start(0, &sink));
        QCOMPARE(device->startError(), ENOENT);
        QVERIFY(QFile::remove(path + ".unplugged"));
        QTRY_VERIFY_WITH_TIMEOUT(!camera.videoPicture().signalLost, 2000);
        QVERIFY(camera.captureStill(still));
        QVERIFY(std::find(good.begin(), good.end(), readFile(still)) != good.end());
        camera.turn(1);
        QVERIFY(camera.captureStill(still));
        QCOMPARE(QImage(still).size(), QSize(48, 64));
        camera.close();

        // A file without a whole frame is no camera.
        QVERIFY(writeFile(folder.filePath("broken.mjpeg"), cut(good[0])));
        QVERIFY(!open(folder.filePath("broken.mjpeg")) && !error.empty());
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
            QCOMPARE(boxes[0]->windowTitle(), QString("提示"));
            QVERIFY2(boxes[0]->text().contains(says), qPrintable(boxes[0]->text()));
            boxes[0]->close();
        }
    }
};

QTEST_MAIN(CameraStreamsTest)
#include "test_camerastreams.moc"
