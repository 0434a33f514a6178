// Recorded camera streams: splitting a stream into frames, what the backend does
// with the frames real cameras send, a recorded camera pulled out and plugged in
// again under a Camera, stills straight from the camera's JPEG, and the message
// a camera that will not start gives.
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
    std::vector<std::uint8_t> rgb(std::size_t(width) * height * 3);
    for (std::size_t i = 0; i < rgb.size(); ++i)
        rgb[i] = std::uint8_t(shade + (i % 3) * 40 + (i / 3 % std::size_t(width)) / 8);
    tjhandle encoder = tjInitCompress();
    unsigned char *jpeg = nullptr;
    unsigned long size = 0;
    tjCompress2(encoder, rgb.data(), width, width * 3, height, TJPF_RGB, &jpeg, &size, TJSAMP_422,
                90, 0);
    tjDestroy(encoder);
    Bytes bytes(jpeg, jpeg + size);
    tjFree(jpeg);
    return bytes;
}

// The JPEG with an application segment holding a thumbnail's start-of-image.
Bytes withThumbnailSegment(const Bytes &jpeg)
{
    Bytes out(jpeg.begin(), jpeg.begin() + 2);
    const Bytes segment{0xff, 0xe1, 0x00, 0x08, 0xff, 0xd8, 0xff, 0xd9, 0xff, 0xd8};
    out.insert(out.end(), segment.begin(), segment.end());
    out.insert(out.end(), jpeg.begin() + 2, jpeg.end());
    return out;
}

// The JPEG cut short: by default inside its headers, else inside its data.
Bytes cut(const Bytes &jpeg, std::size_t missing = 0)
{
    return Bytes(jpeg.begin(), jpeg.end() - long(missing ? missing : jpeg.size() / 2));
}

void append(Bytes &stream, const Bytes &frame)
{
    stream.insert(stream.end(), frame.begin(), frame.end());
}

QByteArray asBytes(const Bytes &bytes)
{
    return QByteArray(reinterpret_cast<const char *>(bytes.data()), qsizetype(bytes.size()));
}

void writeFile(const QString &path, const QByteArray &contents)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(contents), contents.size());
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class CountingSink : public optrelle::FrameSink
{
public:
    std::atomic<int> frames = 0;
    std::atomic<int> losses = 0;
    std::mutex mutex;
    std::vector<Bytes> jpegs;

    void frameCaptured(std::shared_ptr<optrelle::Frame> frame) override
    {
        std::lock_guard lock(mutex);
        if (frame->width == 64 && frame->height == 48)
            jpegs.push_back(frame->cameraJpeg);
        ++frames;
    }
    void signalLost() override { ++losses; }
};

} // namespace

class CameraStreamsTest : public QObject
{
    Q_OBJECT

private slots:
    void splitsStreamsIntoFrames()
    {
        const Bytes a = makeJpeg(64, 48, 10);
        const Bytes b = withThumbnailSegment(makeJpeg(32, 16, 90));
        Bytes stream;
        append(stream, a);
        append(stream, Bytes(5, 0)); // padding between frames
        append(stream, b);
        append(stream, cut(a));
        append(stream, cut(a, 20));
        append(stream, a);
        append(stream, cut(a)); // cut short at the end of the file
        const std::vector<optrelle::JpegFrameSpan> frames =
            optrelle::splitJpegStream(stream.data(), stream.size());
        QCOMPARE(frames.size(), std::size_t(6));
        const std::size_t half = a.size() - a.size() / 2;
        const std::size_t sizes[] = {a.size(), b.size(), half, a.size() - 20, a.size(), half};
        const bool complete[] = {true, true, false, false, true, false};
        std::size_t offset = 0;
        for (std::size_t i = 0; i < frames.size(); ++i) {
            QCOMPARE(frames[i].offset, offset);
            QCOMPARE(frames[i].size, sizes[i]);
            QCOMPARE(frames[i].complete, complete[i]);
            offset += sizes[i] + (i == 0 ? 5 : 0);
        }
        QCOMPARE(frames[1].picture.width, 32);
        QCOMPARE(frames[1].picture.height, 16);
        QVERIFY(optrelle::splitJpegStream(stream.data(), 0).empty());
    }

    void decodesWhatCamerasSend()
    {
        const Bytes jpeg = makeJpeg(64, 48, 10);
        optrelle::JpegFrameDecoder decoder;
        optrelle::Frame whole;
        optrelle::Frame frame;
        QVERIFY(decoder.decode(jpeg.data(), jpeg.size(), whole));
        // libjpeg-turbo supplies the standard tables cameras leave out.
        const Bytes bare = jpegWithoutHuffmanTables(jpeg);
        QVERIFY(bare.size() < jpeg.size());
        QVERIFY(decoder.decode(bare.data(), bare.size(), frame));
        QVERIFY(frame.pixels == whole.pixels);
        Bytes padded = jpeg;
        padded.resize(padded.size() + 64, 0);
        QVERIFY(decoder.decode(padded.data(), padded.size(), frame));
        // Half a frame would show half grey: refused.
        const Bytes half = cut(jpeg);
        QVERIFY(!decoder.decode(half.data(), half.size(), frame));
        Bytes damaged = jpeg;
        std::fill(damaged.end() - 40, damaged.end() - 2, 0xff);
        QVERIFY(!decoder.decode(damaged.data(), damaged.size(), frame));
    }

    void replaysRecordedStreamThroughTheBackend()
    {
        QTemporaryDir folder;
        const Bytes a = makeJpeg(64, 48, 10);
        const Bytes bare = jpegWithoutHuffmanTables(makeJpeg(64, 48, 120));
        Bytes stream;
        for (const Bytes &frame : {a, cut(a), cut(a, 20), makeJpeg(32, 16, 60), bare})
            append(stream, frame);
        const QString path = folder.filePath("cam.mjpeg");
        writeFile(path, asBytes(stream));
        std::string error;
        const std::unique_ptr<optrelle::CameraDevice> camera = optrelle::RecordedStreamCamera::open(
            "0c45", "6366", {path.toStdString(), {}}, 120, &error);
        QVERIFY2(camera, error.c_str());
        QCOMPARE(camera->resolutions().size(), std::size_t(1));
        QCOMPARE(camera->resolutions()[0].width, 64);
        QCOMPARE(camera->presenceFolder(), folder.path().toStdString());

        CountingSink sink;
        QVERIFY(camera->start(0, &sink));
        QTRY_VERIFY(sink.frames >= 6);
        {
            // Only the whole frames of the stream's size, each with its own JPEG.
            std::lock_guard lock(sink.mutex);
            QCOMPARE(sink.jpegs.size(), std::size_t(sink.frames));
            for (const Bytes &jpeg : sink.jpegs)
                QVERIFY(jpeg == a || jpeg == bare);
        }

        writeFile(path + ".unplugged", {});
        QTRY_COMPARE(sink.losses.load(), 1);
        camera->stop();
        QVERIFY(!camera->reattach());
        QVERIFY(!camera->start(0, &sink));
        QCOMPARE(camera->startError(), ENOENT);
        QVERIFY(QFile::remove(path + ".unplugged"));
        QVERIFY(camera->reattach());
        const int before = sink.frames;
        QVERIFY(camera->start(0, &sink));
        QTRY_VERIFY(sink.frames > before);
        camera->stop();

        std::string refused;
        writeFile(folder.filePath("broken.mjpeg"), asBytes(cut(a)));
        QVERIFY(!optrelle::RecordedStreamCamera::open(
            "0c45", "6366", {folder.filePath("broken.mjpeg").toStdString(), {}}, 30, &refused));
        QVERIFY(!refused.empty());
    }

    void reconnectsAfterUnplug()
    {
        // The whole loop under a Camera: the mark, the camera back at the same
        // resolution, and stills straight from its JPEG again.
        QTemporaryDir folder;
        const Bytes jpeg = makeJpeg(64, 48, 30);
        const QString path = folder.filePath("desk.mjpeg");
        writeFile(path, asBytes(jpeg));
        std::string error;
        optrelle::Camera camera(optrelle::RecordedStreamCamera::open(
            "0c45", "6366", {path.toStdString(), {}}, 60, &error));
        QVERIFY(camera.open(nullptr));
        const QString still = folder.filePath("still.jpg");
        QVERIFY(camera.captureStill(still));
        QCOMPARE(readFile(still), asBytes(jpeg));

        writeFile(path + ".unplugged", {});
        QTRY_VERIFY(camera.videoPicture().signalLost);
        QVERIFY(!camera.captureStill(folder.filePath("gone.jpg")));
        QVERIFY(!QFile::exists(folder.filePath("gone.jpg")));
        QVERIFY(QFile::remove(path + ".unplugged"));
        QTRY_VERIFY_WITH_TIMEOUT(!camera.videoPicture().signalLost, 2000);
        QVERIFY(camera.captureStill(still));
        QCOMPARE(readFile(still), asBytes(jpeg));

        // A turned still is encoded anew, turned.
        camera.turn(1);
        QVERIFY(camera.captureStill(still));
        QCOMPARE(QImage(still).size(), QSize(48, 64));
        camera.close();
    }

    void explainsCamerasThatWillNotStart_data()
    {
        QTest::addColumn<int>("openError");
        QTest::addColumn<int>("formatError");
        QTest::addColumn<QString>("says");
        QTest::newRow("held by another program") << 0 << EBUSY << "另一个程序";
        QTest::newRow("no permission") << EACCES << 0 << "usermod -aG video";
        QTest::newRow("fails to stream") << 0 << EIO << "无法传输画面";
    }

    void explainsCamerasThatWillNotStart()
    {
        QFETCH(int, openError);
        QFETCH(int, formatError);
        QFETCH(QString, says);
        SimulatedUvcDriver driver;
        QTemporaryDir dev;
        writeFile(dev.filePath("video0"), {});
        driver.nodes.push_back({dev.filePath("video0").toStdString(), "usb-1", false});
        auto devices = optrelle::findV4l2Cameras(dev.path().toStdString(), "/nonexistent", driver);
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
};

QTEST_MAIN(CameraStreamsTest)
#include "test_camerastreams.moc"
