// The camera library through its C interface only, as the program uses it, on
// two simulated cameras.
#include "optrelle.h"

#include <QDir>
#include <QImage>
#include <QImageReader>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

namespace {

struct Pixel
{
    int b, g, r;
};

// What the frame callback saw; written on the capture thread.
struct CallbackRecord
{
    std::mutex mutex;
    std::atomic<int> calls = 0;
    int width = 0;
    int height = 0;
    std::vector<unsigned char> lastFrame;
};

CallbackRecord record;

// Calls of slowCallback, and those that came after it was removed.
struct RemovalRecord
{
    std::atomic<int> calls = 0;
    std::atomic<int> callsAfterRemoval = 0;
    std::atomic<bool> removed = false;
};

RemovalRecord removal;

void recordFrame(const void *data, int width, int height, int)
{
    std::lock_guard lock(record.mutex);
    record.width = width;
    record.height = height;
    const auto *bytes = static_cast<const unsigned char *>(data);
    record.lastFrame.assign(bytes, bytes + std::size_t(width) * height * 3);
    ++record.calls;
}

// Takes its time, so that removal often meets a call in flight.
void slowCallback(const void *, int, int, int)
{
    if (removal.removed)
        ++removal.callsAfterRemoval;
    std::this_thread::sleep_for(std::chrono::milliseconds(3));
    if (removal.removed)
        ++removal.callsAfterRemoval;
    ++removal.calls;
}

// Pixel (x, y) counted from the top of the picture in a bottom-up BGR buffer.
Pixel bufferPixel(const std::vector<unsigned char> &frame, int width, int height, int x, int y)
{
    const unsigned char *p = frame.data() + (std::size_t(height - 1 - y) * width + x) * 3;
    return {p[0], p[1], p[2]};
}

bool isRed(QRgb c)
{
    return qRed(c) > 200 && qGreen(c) < 60 && qBlue(c) < 60;
}

void waitForCalls(std::atomic<int> &calls, int more)
{
    const int target = calls + more;
    QTRY_VERIFY_WITH_TIMEOUT(calls >= target, 5000);
}

void waitForCalls(int more)
{
    waitForCalls(record.calls, more);
}

QByteArray local(const QString &path)
{
    return path.toLocal8Bit();
}

int capture(int index, const QString &path)
{
    QByteArray bytes = local(path);
    return fnCapture(index, bytes.data());
}

} // namespace

class CameraApiTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void badIndicesFail_data();
    void badIndicesFail();
    void idsAndResolutions();
    void framesAreBottomUpBgr();
    void resolutionSwitchGivesNewSize();
    void noCallbackAfterRemoval();
    void stillsInEachFormat_data();
    void stillsInEachFormat();
    void stillsFollowRotation();
    void failedStillsLeaveNothing();
    void rotateAndResampleInPlace();
    void textModeTurnsFramesGrey();
    void zoomControl();
    void deskCodeReadsBack();
    void renderingFollowsWindowTurnAndZoom();
    void closedCameraDeliversNothing();
    void exitWhileStreaming();

private:
    QTemporaryDir m_dir;
};

void CameraApiTest::initTestCase()
{
    QCOMPARE(fnGetCameraCount(), 0);
    qputenv("OPTRELLE_BACKEND", "sim");
    qputenv("OPTRELLE_CAMERAS", "0ac8:c498@320x240,640x480/60;1234:ABCD@160x120/30");
    QCOMPARE(fnInit(), 1);
    QCOMPARE(fnGetCameraCount(), 2);
    fnSetDefaultResolution(0, 0);
    QCOMPARE(fnOpenCamera(0, 0), 1);
    fnSetVideoCB(0, reinterpret_cast<void *>(&recordFrame));
    waitForCalls(1);
}

void CameraApiTest::badIndicesFail_data()
{
    QTest::addColumn<int>("index");
    QTest::newRow("negative") << -1;
    QTest::newRow("count") << 2;
    QTest::newRow("far past") << 1000;
}

void CameraApiTest::badIndicesFail()
{
    QFETCH(int, index);
    QCOMPARE(QByteArray(fnGetCameraPID(index)), QByteArray());
    QCOMPARE(QByteArray(fnGetCameraVID(index)), QByteArray());
    QCOMPARE(fnOpenCamera(index, 0), 0);
    QCOMPARE(fnGetResCount(index), 0);
    QCOMPARE(fnGetResWidth(index, 0), 0);
    QCOMPARE(fnGetResHeight(index, 0), 0);
    QCOMPARE(capture(index, m_dir.filePath("bad.jpg")), 0);
    QCOMPARE(fnSetVideoProcAmp(index, 5, 0, 0), 0);
    QCOMPARE(fnGetCameraControl(index, 5, 2), -1);
    // Calls without a result must simply do nothing.
    fnSetDefaultResolution(index, 0);
    fnSetHWND(index, 0);
    fnSetVideoCB(index, reinterpret_cast<void *>(&recordFrame));
    fnSetResolution(index, 0);
    fnSetCameraProp(index, 10, 5, false);
    fnRotateLeft(index);
    fnRotateRight(index);
    fnZoomIn(index);
    fnZoomOut(index);
    fnCloseCamera(index);
    QVERIFY(!QFile::exists(m_dir.filePath("bad.jpg")));
    // Bad resolution indices of a good camera.
    QCOMPARE(fnGetResWidth(0, index), 0);
    QCOMPARE(fnGetResHeight(0, index), 0);
}

void CameraApiTest::idsAndResolutions()
{
    QCOMPARE(QByteArray(fnGetCameraPID(0)), QByteArray("0ac8"));
    QCOMPARE(QByteArray(fnGetCameraVID(0)), QByteArray("c498"));
    QCOMPARE(QByteArray(fnGetCameraPID(1)), QByteArray("1234"));
    QCOMPARE(QByteArray(fnGetCameraVID(1)), QByteArray("abcd"));
    QCOMPARE(fnGetResCount(0), 2);
    QCOMPARE(fnGetResWidth(0, 1), 640);
    QCOMPARE(fnGetResHeight(0, 1), 480);
    QCOMPARE(fnGetResCount(1), 1);
    QCOMPARE(fnInit(), 1); // a second call keeps the cameras
    QCOMPARE(fnGetCameraCount(), 2);
}

void CameraApiTest::framesAreBottomUpBgr()
{
    waitForCalls(1);
    std::lock_guard lock(record.mutex);
    QCOMPARE(record.width, 320);
    QCOMPARE(record.height, 240);
    QCOMPARE(record.lastFrame.size(), std::size_t(320 * 240 * 3));
    // The marker sits in the scene's top-left corner: red, green to its right,
    // blue below. In the buffer the picture's top row comes last.
    const int side = 240 / 20;
    const Pixel red = bufferPixel(record.lastFrame, 320, 240, side / 2, side / 2);
    const Pixel green = bufferPixel(record.lastFrame, 320, 240, side + side / 2, side / 2);
    const Pixel blue = bufferPixel(record.lastFrame, 320, 240, side / 2, side + side / 2);
    QVERIFY(red.r > 200 && red.g < 60 && red.b < 60);
    QVERIFY(green.g > 200 && green.r < 60 && green.b < 60);
    QVERIFY(blue.b > 200 && blue.r < 60 && blue.g < 60);
    const unsigned char *lastRow = record.lastFrame.data() + std::size_t(239) * 320 * 3;
    QCOMPARE(int(lastRow[2]), red.r); // the last row in memory is the top row
    const Pixel bottomLeft = bufferPixel(record.lastFrame, 320, 240, side / 2, 239 - side / 2);
    QVERIFY(!(bottomLeft.r > 200 && bottomLeft.g < 60));
}

void CameraApiTest::resolutionSwitchGivesNewSize()
{
    fnSetResolution(0, 1);
    {
        std::lock_guard lock(record.mutex);
        record.width = 0;
    }
    waitForCalls(3);
    {
        std::lock_guard lock(record.mutex);
        QCOMPARE(record.width, 640);
        QCOMPARE(record.height, 480);
    }
    fnSetResolution(0, 7); // no such resolution: nothing changes
    waitForCalls(2);
    {
        std::lock_guard lock(record.mutex);
        QCOMPARE(record.width, 640);
    }
    fnSetResolution(0, 0);
    waitForCalls(1);
    std::lock_guard lock(record.mutex);
    QCOMPARE(record.width, 320);
}

void CameraApiTest::noCallbackAfterRemoval()
{
    // The camera runs at 60 frames a second and the callback takes 3 ms of each.
    for (int round = 0; round < 20; ++round) {
        removal.removed = false;
        fnSetVideoCB(0, reinterpret_cast<void *>(&slowCallback));
        waitForCalls(removal.calls, 1);
        fnSetVideoCB(0, round % 2 ? nullptr : reinterpret_cast<void *>(&recordFrame));
        removal.removed = true;
    }
    fnSetVideoCB(0, reinterpret_cast<void *>(&recordFrame));
    waitForCalls(3);
    QCOMPARE(removal.callsAfterRemoval.load(), 0);
}

void CameraApiTest::stillsInEachFormat_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("format");
    QTest::newRow("jpg") << "a.jpg" << QByteArray("jpeg");
    QTest::newRow("jpeg") << "b.jpeg" << QByteArray("jpeg");
    QTest::newRow("bmp") << "c.bmp" << QByteArray("bmp");
    QTest::newRow("tif") << "d.tif" << QByteArray("tiff");
    QTest::newRow("tiff") << "e.tiff" << QByteArray("tiff");
    QTest::newRow("png, upper case") << "f.PNG" << QByteArray("png");
}

void CameraApiTest::stillsInEachFormat()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, format);
    const QString path = m_dir.filePath(name);
    QCOMPARE(capture(0, path), 1);
    QImageReader reader(path);
    QCOMPARE(reader.format(), format);
    const QImage still = reader.read();
    QCOMPARE(still.size(), QSize(320, 240));
    QVERIFY(isRed(still.pixel(4, 4)));
    QVERIFY(!isRed(still.pixel(4, 235)));
}

void CameraApiTest::stillsFollowRotation()
{
    const QString path = m_dir.filePath("turned.png");
    fnRotateRight(0);
    QCOMPARE(capture(0, path), 1);
    fnRotateLeft(0);
    QImage still(path);
    QCOMPARE(still.size(), QSize(240, 320));
    // Clockwise: the top-left corner of the scene is now top-right.
    QVERIFY(isRed(still.pixel(235, 4)));
    QVERIFY(!isRed(still.pixel(4, 4)));
    // Zoom is for the painted video only.
    fnZoomIn(0);
    QCOMPARE(capture(0, path), 1);
    fnZoomOut(0);
    QCOMPARE(QImage(path).size(), QSize(320, 240));
}

void CameraApiTest::failedStillsLeaveNothing()
{
    QTemporaryDir dir;
    QCOMPARE(capture(0, dir.filePath("still.gif")), 0);
    QCOMPARE(capture(0, dir.filePath("no-extension")), 0);
    QCOMPARE(capture(0, dir.filePath("missing/still.jpg")), 0);
    QCOMPARE(fnCapture(0, nullptr), 0);
    QVERIFY(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).isEmpty());
    // A folder that cannot be made: its parent is a file (root can write anywhere).
    QFile blocker(dir.filePath("file"));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    QCOMPARE(capture(0, dir.filePath("file/still.jpg")), 0);
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             QStringList{"file"});
}

void CameraApiTest::rotateAndResampleInPlace()
{
    const QString path = m_dir.filePath("edit.jpg");
    QCOMPARE(capture(0, path), 1);
    QByteArray bytes = local(path);
    fnRotateImage(bytes.data(), 90);
    QImageReader turned(path);
    QCOMPARE(turned.format(), QByteArray("jpeg"));
    QImage image = turned.read();
    QCOMPARE(image.size(), QSize(240, 320));
    QVERIFY(isRed(image.pixel(235, 4)));
    fnRotateImage(bytes.data(), -180);
    image = QImage(path);
    QCOMPARE(image.size(), QSize(240, 320));
    QVERIFY(isRed(image.pixel(4, 315)));
    fnResampleImage(bytes.data(), 100, 50);
    QImageReader resampled(path);
    QCOMPARE(resampled.format(), QByteArray("jpeg"));
    QCOMPARE(resampled.size(), QSize(100, 50));
    fnResampleImage(bytes.data(), 0, 50); // refused
    QCOMPARE(QImageReader(path).size(), QSize(100, 50));
    QByteArray missing = local(m_dir.filePath("missing.jpg"));
    fnRotateImage(missing.data(), 90);
    fnResampleImage(missing.data(), 10, 10);
    QVERIFY(!QFile::exists(m_dir.filePath("missing.jpg")));
    fnRotateImage(nullptr, 90);
    QCOMPARE(QDir(m_dir.path()).entryList({"*.tmp", ".*"}, QDir::Files | QDir::Hidden).size(), 0);
}

void CameraApiTest::textModeTurnsFramesGrey()
{
    QCOMPARE(fnSetVideoProcAmp(0, 5, 0, 0), 1);
    waitForCalls(2);
    {
        std::lock_guard lock(record.mutex);
        for (int i = 0; i < 320 * 240; i += 97) {
            const unsigned char *p = record.lastFrame.data() + i * 3;
            QVERIFY(p[0] == p[1] && p[1] == p[2]);
        }
    }
    QCOMPARE(fnSetVideoProcAmp(0, 5, 4, 0), 1);
    waitForCalls(2);
    {
        std::lock_guard lock(record.mutex);
        const Pixel red = bufferPixel(record.lastFrame, 320, 240, 4, 4);
        QVERIFY(red.r > 200 && red.g < 60);
    }
    QCOMPARE(fnSetVideoProcAmp(0, 4, 0, 0), 0);
    QCOMPARE(fnSetVideoProcAmp(0, 5, 2, 0), 0);
    QCOMPARE(fnSetVideoProcAmp(0, 5, 0, 1), 0);
}

void CameraApiTest::zoomControl()
{
    QCOMPARE(fnGetCameraControl(0, 5, 1), 0);
    QCOMPARE(fnGetCameraControl(0, 5, 2), 100);
    QCOMPARE(fnGetCameraControl(0, 5, 3), 10);
    QCOMPARE(fnGetCameraControl(0, 5, 5), 50);
    fnSetCameraProp(0, 70, 5, false);
    QCOMPARE(fnGetCameraControl(0, 5, 5), 70);
    fnSetCameraProp(0, 5000, 5, true);
    QCOMPARE(fnGetCameraControl(0, 5, 5), 100);
    fnSetCameraProp(0, 20, 3, false); // another property: ignored
    QCOMPARE(fnGetCameraControl(0, 5, 5), 100);
    QCOMPARE(fnGetCameraControl(0, 5, 4), -1);
    QCOMPARE(fnGetCameraControl(0, 3, 2), -1);
}

void CameraApiTest::deskCodeReadsBack()
{
    fnSetResolution(0, 1);
    waitForCalls(1);
    QCOMPARE(QByteArray(fnReadBarcode(0)),
             QByteArray("http://kelvora.example/scan?id=42\r\nKelvora test desk"));
    QCOMPARE(QByteArray(fnReadBarcode(2)), QByteArray());
    fnSetResolution(0, 0);
}

void CameraApiTest::renderingFollowsWindowTurnAndZoom()
{
    QWidget first;
    first.resize(400, 300);
    QWidget second;
    second.resize(400, 300);
    QCOMPARE(fnOpenCamera(0, first.winId()), 1); // already open: moves the video
    QImage shot = first.grab().toImage();
    // 320x240 fills 400x300 exactly; the marker is 15 pixels wide there.
    QVERIFY(isRed(shot.pixel(6, 6)));
    QVERIFY(!isRed(shot.pixel(6, 293)));

    fnRotateRight(0);
    shot = first.grab().toImage();
    // Turned, the picture is 225x300 centred: its top-right corner is red.
    QVERIFY(isRed(shot.pixel(306, 6)));
    QCOMPARE(shot.pixel(20, 150), qRgb(0, 0, 0));
    fnRotateLeft(0);

    fnZoomIn(0);
    QVERIFY(!isRed(first.grab().toImage().pixel(6, 6)));
    for (int i = 0; i < 20; ++i)
        fnZoomOut(0); // stops at the fitted picture
    QVERIFY(isRed(first.grab().toImage().pixel(6, 6)));

    fnSetHWND(0, second.winId());
    QVERIFY(isRed(second.grab().toImage().pixel(6, 6)));
    QVERIFY(!isRed(first.grab().toImage().pixel(6, 6)));

    auto *doomed = new QWidget;
    doomed->resize(100, 100);
    fnSetHWND(0, doomed->winId());
    delete doomed;
    waitForCalls(3);                          // frames keep coming with the window gone
    QCOMPARE(fnOpenCamera(0, 0x7ffffff0), 0); // no widget of this process
    fnSetHWND(0, 0);
}

void CameraApiTest::closedCameraDeliversNothing()
{
    QCOMPARE(fnOpenCamera(1, 0), 1);
    removal.removed = false;
    fnSetVideoCB(1, reinterpret_cast<void *>(&slowCallback));
    waitForCalls(removal.calls, 1);
    fnCloseCamera(1);
    removal.removed = true;
    QCOMPARE(capture(1, m_dir.filePath("closed.png")), 0);
    QVERIFY(!QFile::exists(m_dir.filePath("closed.png")));
    waitForCalls(3); // camera 0 still streams
    QCOMPARE(removal.callsAfterRemoval.load(), 0);
}

void CameraApiTest::exitWhileStreaming()
{
    QProcess process;
    process.start(QCoreApplication::applicationDirPath() + "/optrelle_exit_while_streaming");
    QVERIFY(process.waitForFinished(20000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QVERIFY2(process.exitCode() == 0, process.readAllStandardError().right(3000).constData());
    QVERIFY2(process.readAllStandardOutput().contains("frames"), "no frame arrived before exit");
}

QTEST_MAIN(CameraApiTest)
#include "test_cameraapi.moc"
