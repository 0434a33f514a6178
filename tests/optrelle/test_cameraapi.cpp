// The camera library through its C interface only, as the program uses it, on
// two simulated cameras filming scenes the test paints: frames, stills, codes,
// manual cropping, recording, bad calls.
#include "optrelle.h"
#include "recordingreadback.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QImageReader>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <ZXing/BitMatrix.h>
#include <ZXing/MultiFormatWriter.h>

#include <atomic>
#include <cstdio>
#include <mutex>
#include <thread>

namespace {

// The frame callback's last frame, read as bottom-up BGR and turned upright.
std::mutex frameMutex;
QImage frameSeen;
std::atomic<int> calls = 0;
// Calls of slowCallback, and those that came after it was removed.
std::atomic<int> slowCalls = 0, callsAfterRemoval = 0;
std::atomic<bool> removed = false;

void recordFrame(const void *data, int width, int height, int)
{
    const QImage frame(static_cast<const uchar *>(data), width, height, width * 3,
                       QImage::Format_BGR888);
    std::lock_guard lock(frameMutex);
    frameSeen = frame.mirrored();
    ++calls;
}

// Takes its time, so that removal often meets a call in flight.
void slowCallback(const void *, int, int, int)
{
    callsAfterRemoval += removed;
    std::this_thread::sleep_for(std::chrono::milliseconds(3));
    callsAfterRemoval += removed;
    ++slowCalls;
}

void *callback(void (*function)(const void *, int, int, int))
{
    return reinterpret_cast<void *>(function);
}

void waitForCalls(int more, std::atomic<int> &counter = calls)
{
    const int target = counter + more;
    QTRY_VERIFY_WITH_TIMEOUT(counter >= target, 5000);
}

QImage lastFrame()
{
    std::lock_guard lock(frameMutex);
    return frameSeen;
}

// The one corner of area (default: all of picture) that shows the marker's red,
// 4 pixels in: 0 top left, 1 top right, 2 bottom right, 3 bottom left; else -1.
int redCorner(const QImage &picture, QRect area = {})
{
    const QRect in = (area.isNull() ? picture.rect() : area).adjusted(4, 4, -4, -4);
    int found = -1;
    const QPoint corners[] = {in.topLeft(), in.topRight(), in.bottomRight(), in.bottomLeft()};
    for (int i = 0; i < 4; ++i)
        if (const QRgb c = picture.pixel(corners[i]);
            qRed(c) > 195 && qGreen(c) < 60 && qBlue(c) < 60)
            found = found == -1 ? i : 4;
    return found == 4 ? -1 : found;
}

int capture(int index, const QString &path)
{
    QByteArray bytes = path.toLocal8Bit();
    return fnCapture(index, bytes.data());
}

QSize stillSize(const QString &path)
{
    return capture(0, path) == 1 ? QImageReader(path).size() : QSize();
}

// A 640x480 scene of colour with a red marker in its top-left corner.
QImage scene(QRgb colour)
{
    QImage scene(640, 480, QImage::Format_RGB32);
    scene.fill(colour);
    QPainter(&scene).fillRect(0, 0, 24, 24, Qt::red);
    return scene;
}

} // namespace

class CameraApiTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    // Shows the picture to the cameras and waits until camera 0 delivers it.
    void film(const QImage &picture)
    {
        QVERIFY(picture.save(m_dir.filePath("next.png")));
        QCOMPARE(std::rename(qPrintable(m_dir.filePath("next.png")),
                             qPrintable(m_dir.filePath("scene.png"))),
                 0);
        QTRY_VERIFY_WITH_TIMEOUT(lastFrame().convertToFormat(picture.format()) == picture, 5000);
    }

private slots:
    void initTestCase()
    {
        QCOMPARE(fnGetCameraCount(), 0);
        QVERIFY(scene(qRgb(128, 128, 128)).save(m_dir.filePath("scene.png")));
        qputenv("OPTRELLE_BACKEND", "sim");
        qputenv("OPTRELLE_CAMERAS", "0ac8:c498@640x480,320x240/30;1234:ABCD@160x120/30");
        qputenv("OPTRELLE_SCENE", m_dir.filePath("scene.png").toLocal8Bit());
        QCOMPARE(fnInit() + fnInit(), 2); // a second call keeps the cameras
        QCOMPARE(fnGetCameraCount(), 2);
        QCOMPARE(fnOpenCamera(0, 0), 1);
        fnSetVideoCB(0, callback(recordFrame));
        waitForCalls(1);
    }

    void badIndicesFail()
    {
        for (const int index : {-1, 2}) {
            QCOMPARE(QByteArray(fnGetCameraPID(index)) + fnReadBarcode(index), QByteArray());
            QCOMPARE(fnOpenCamera(index, 0) + fnGetResWidth(0, index) +
                         capture(index, m_dir.filePath("bad.jpg")),
                     0);
            // Calls without a result must simply do nothing.
            for (void (*call)(int) : {fnRotateLeft, fnZoomIn, fnCloseCamera, fnShowVideoProp})
                call(index);
            fnSetVideoCB(index, callback(recordFrame));
        }
        QVERIFY(!QFile::exists(m_dir.filePath("bad.jpg")));
    }

    void noCallbackAfterRemovalOrClose()
    {
        for (int round = 0; round < 10; ++round) {
            removed = false;
            fnSetVideoCB(round % 3 ? 0 : 1, callback(slowCallback));
            if (round % 3 == 0)
                QCOMPARE(fnOpenCamera(1, 0), 1);
            waitForCalls(1, slowCalls);
            if (round % 3 == 0)
                fnCloseCamera(1);
            else
                fnSetVideoCB(0, round % 2 ? nullptr : callback(recordFrame));
            removed = true;
        }
        fnSetVideoCB(0, callback(recordFrame));
        QCOMPARE(capture(1, m_dir.filePath("closed.png")), 0); // camera 1 is closed
        waitForCalls(3);
        QCOMPARE(callsAfterRemoval.load(), 0);
    }

    void stills()
    {
        film(scene(qRgb(128, 128, 128)));
        const std::tuple<const char *, const char *, int> stills[] = {{"a.jpg", "jpeg", 0},
                                                                      {"b.tif", "tiff", 0},
                                                                      {"right.PNG", "png", 1},
                                                                      {"left.bmp", "bmp", -1}};
        for (const auto &[name, format, turns] : stills) { // turns clockwise
            if (turns)
                (turns > 0 ? fnRotateRight : fnRotateLeft)(0);
            fnZoomIn(0); // zoom is for the painted video only
            const int written = capture(0, m_dir.filePath(name));
            if (turns)
                (turns > 0 ? fnRotateLeft : fnRotateRight)(0);
            fnZoomOut(0);
            QCOMPARE(written, 1);
            QImageReader reader(m_dir.filePath(name));
            QCOMPARE(reader.format(), QByteArray(format));
            const QImage image = reader.read();
            QCOMPARE(image.size(), turns ? QSize(480, 640) : QSize(640, 480));
            QVERIFY2(redCorner(image) == (4 + turns) % 4, name);
        }
    }

    void failedStillsLeaveNothingAndEditsAreInPlace()
    {
        QTemporaryDir dir;
        // The parent of the last folder is a file: it cannot be made (root can write anywhere).
        QFile blocker(dir.filePath("file"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        QCOMPARE(capture(0, dir.filePath("still.gif")) + capture(0, dir.filePath("missing/a.jpg")) +
                     fnCapture(0, nullptr) + capture(0, dir.filePath("file/still.jpg")),
                 0);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"file"});

        film(scene(qRgb(128, 128, 128)));
        QByteArray path = dir.filePath("edit.jpg").toLocal8Bit();
        QCOMPARE(fnCapture(0, path.data()), 1);
        fnRotateImage(path.data(), -90);
        QCOMPARE(redCorner(QImage(path)), 3);
        fnResampleImage(path.data(), 100, 50);
        fnResampleImage(path.data(), 0, 50); // refused
        QCOMPARE(QImageReader(path).size(), QSize(100, 50));
        fnRotateImage(nullptr, 90);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList({"edit.jpg", "file"})); // no temporary file left
    }

    // Text mode makes the picture grey, never changes what is read. The code is
    // photographed in poor light: in text mode all of it would turn black.
    void textModeAndCodes()
    {
        const ZXing::BitMatrix code = ZXing::MultiFormatWriter(ZXing::BarcodeFormat::EAN13)
                                          .setMargin(10)
                                          .encode("4006381333931", 400, 160);
        QImage dim = scene(qRgb(66, 66, 66));
        for (int y = 0; y < code.height(); ++y)
            for (int x = 0; x < code.width(); ++x)
                if (code.get(x, y))
                    dim.setPixel(120 + x, 160 + y, qRgb(12, 12, 12));
        film(dim);
        QCOMPARE(fnSetVideoProcAmp(0, 5, 0, 0), 1);
        QTRY_VERIFY(qRed(lastFrame().pixel(4, 4)) == qBlue(lastFrame().pixel(4, 4))); // grey marker
        QCOMPARE(QByteArray(fnReadBarcode(0)), QByteArray("4006381333931"));
        QCOMPARE(fnSetVideoProcAmp(0, 5, 4, 0), 1); // picture mode again
    }

    void renderingFollowsWindowAndTurn()
    {
        film(scene(qRgb(128, 128, 128)));
        QWidget first;
        first.resize(400, 300);                      // 640x480 fills it exactly
        QCOMPARE(fnOpenCamera(0, first.winId()), 1); // already open: moves the video
        QCOMPARE(redCorner(first.grab().toImage()), 0);
        fnRotateRight(0);
        const QImage turned = first.grab().toImage();
        fnRotateLeft(0);
        // Turned, the picture is 225x300 centred between black bars.
        QCOMPARE(redCorner(turned, QRect(88, 0, 225, 300)), 1);
        auto *doomed = new QWidget;
        fnSetHWND(0, doomed->winId());
        delete doomed;
        waitForCalls(3); // frames keep coming with the window gone
        fnSetHWND(0, 0);
    }

    void manualCropCutsStills()
    {
        film(scene(qRgb(200, 200, 200)));
        QWidget window;
        window.resize(320, 240); // half the frame
        QCOMPARE(fnOpenCamera(0, window.winId()), 1);
        const auto dragged = [this, id = window.winId()](int x, int y, int toX, int toY) {
            fnOnLMouseDown(id, x, y);
            fnOnMouseMove(id, (x + toX) / 2, (y + toY) / 2);
            fnOnLMouseUp(id, toX, toY);
            return stillSize(m_dir.filePath("crop.png"));
        };
        QCOMPARE(dragged(20, 20, 200, 150), QSize(640, 480)); // normal mode: no crop
        fnSetMouseMode(0, 1);
        const QSize cut = dragged(30, 40, 230, 140); // 200 x 100 window pixels
        QVERIFY2(qAbs(cut.width() - 400) <= 2 && qAbs(cut.height() - 200) <= 2,
                 qPrintable(QStringLiteral("%1x%2").arg(cut.width()).arg(cut.height())));
        fnSetMouseMode(0, 0);
        QCOMPARE(stillSize(m_dir.filePath("whole.png")), QSize(640, 480));
        fnSetHWND(0, 0);
    }

    void recordsAtFrameTimesAndSurvivesExit()
    {
        film(scene(qRgb(90, 120, 150)));
        const QByteArray path = m_dir.filePath("one second.wmv").toLocal8Bit();
        QElapsedTimer recorded;
        recorded.start();
        QCOMPARE(fnStartRecord(0, path, true), 1);
        QCOMPARE(fnStartRecord(0, path, true), 0); // already recording
        waitForCalls(30);
        const double seconds = recorded.elapsed() / 1000.0;
        fnStopRecord(0);
        fnStopRecord(0); // no recording: nothing happens
        const RecordingReadBack recording = readRecording(QString::fromLocal8Bit(path));
        QCOMPARE(recording.size, QSize(640, 480));
        // The file keeps the frames' own times, so it lasts as long as the recording did.
        QVERIFY2(qAbs(recording.seconds - seconds) < 0.5,
                 qPrintable(QStringLiteral("%1 s of %2 s").arg(recording.seconds).arg(seconds)));
        QVERIFY(recording.lumas.size() >= 10); // a loaded machine may drop some
        QCOMPARE(fnStartRecord(0, path + "/inside/x.wmv", true), 0); // its parent is a file

        // exit() while two cameras stream, one recording: no crash, the file readable.
        const QString exitPath = m_dir.filePath("exit.wmv");
        QProcess child;
        child.start(QCoreApplication::applicationDirPath() + "/optrelle_exit_while_streaming",
                    {exitPath});
        QVERIFY(child.waitForFinished(20000));
        QVERIFY2(child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0,
                 child.readAllStandardError().right(3000).constData());
        QVERIFY(!readRecording(exitPath).lumas.isEmpty());
    }
};

QTEST_MAIN(CameraApiTest)
#include "test_cameraapi.moc"
