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
#include <mutex>
#include <thread>
#include <vector>

namespace {

// What the frame callback saw; written on the capture thread.
struct CallbackRecord
{
    std::mutex mutex;
    std::atomic<int> calls = 0;
    int width = 0;
    int height = 0;
    std::vector<unsigned char> lastFrame;
} record;

// Calls of slowCallback, and those that came after it was removed.
struct RemovalRecord
{
    std::atomic<int> calls = 0;
    std::atomic<int> callsAfterRemoval = 0;
    std::atomic<bool> removed = false;
} removal;

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

void *callback(void (*function)(const void *, int, int, int))
{
    return reinterpret_cast<void *>(function);
}

void waitForCalls(int more, std::atomic<int> &calls = record.calls)
{
    const int target = calls + more;
    QTRY_VERIFY_WITH_TIMEOUT(calls >= target, 5000);
}

// The last callback frame read as bottom-up BGR, turned upright.
QImage lastFrame()
{
    std::lock_guard lock(record.mutex);
    return QImage(record.lastFrame.data(), record.width, record.height, record.width * 3,
                  QImage::Format_BGR888)
        .mirrored();
}

bool looksLike(QRgb c, QRgb pure)
{
    return qAbs(qRed(c) - qRed(pure)) < 60 && qAbs(qGreen(c) - qGreen(pure)) < 60 &&
           qAbs(qBlue(c) - qBlue(pure)) < 60;
}

bool isRed(QRgb c)
{
    return looksLike(c, qRgb(255, 0, 0));
}

// The one corner of area (default: all of picture) that shows the marker's red,
// 4 pixels in: 0 top left, 1 top right, 2 bottom right, 3 bottom left; -1 if
// none or several do.
int redCorner(const QImage &picture, QRect area = {})
{
    const QRect in = (area.isNull() ? picture.rect() : area).adjusted(4, 4, -4, -4);
    int found = -1;
    const QPoint corners[] = {in.topLeft(), in.topRight(), in.bottomRight(), in.bottomLeft()};
    for (int i = 0; i < 4; ++i)
        if (isRed(picture.pixel(corners[i])))
            found = found == -1 ? i : 4;
    return found == 4 ? -1 : found;
}

int capture(int index, const QString &path)
{
    QByteArray bytes = path.toLocal8Bit();
    return fnCapture(index, bytes.data());
}

QStringList entries(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}

} // namespace

class CameraApiTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

private slots:
    void initTestCase()
    {
        QCOMPARE(fnGetCameraCount(), 0);
        qputenv("OPTRELLE_BACKEND", "sim");
        qputenv("OPTRELLE_CAMERAS", "0ac8:c498@320x240,640x480/60;1234:ABCD@160x120/30");
        QCOMPARE(fnInit(), 1);
        QCOMPARE(fnGetCameraCount(), 2);
        fnSetDefaultResolution(0, 0);
        QCOMPARE(fnOpenCamera(0, 0), 1);
        fnSetVideoCB(0, callback(recordFrame));
        waitForCalls(1);
    }

    void badIndicesFail_data()
    {
        QTest::addColumn<int>("index");
        QTest::newRow("negative") << -1;
        QTest::newRow("count") << 2;
        QTest::newRow("far past") << 1000;
    }

    void badIndicesFail()
    {
        QFETCH(int, index);
        QCOMPARE(QByteArray(fnGetCameraPID(index)) + fnGetCameraVID(index), QByteArray());
        QCOMPARE(fnOpenCamera(index, 0), 0);
        QCOMPARE(fnGetResCount(index), 0);
        QCOMPARE(QSize(fnGetResWidth(index, 0), fnGetResHeight(index, 0)), QSize(0, 0));
        QCOMPARE(QSize(fnGetResWidth(0, index), fnGetResHeight(0, index)),
                 QSize(0, 0)); // good camera
        QCOMPARE(capture(index, m_dir.filePath("bad.jpg")), 0);
        QCOMPARE(fnSetVideoProcAmp(index, 5, 0, 0), 0);
        QCOMPARE(fnGetCameraControl(index, 5, 2), -1);
        // Calls without a result must simply do nothing.
        fnSetDefaultResolution(index, 0);
        fnSetHWND(index, 0);
        fnSetVideoCB(index, callback(recordFrame));
        fnSetResolution(index, 0);
        fnSetCameraProp(index, 10, 5, false);
        fnRotateLeft(index);
        fnRotateRight(index);
        fnZoomIn(index);
        fnZoomOut(index);
        fnCloseCamera(index);
        QVERIFY(!QFile::exists(m_dir.filePath("bad.jpg")));
    }

    void idsAndResolutions()
    {
        QCOMPARE(QByteArray(fnGetCameraPID(0)) + ':' + fnGetCameraVID(0), "0ac8:c498");
        QCOMPARE(QByteArray(fnGetCameraPID(1)) + ':' + fnGetCameraVID(1), "1234:abcd");
        QCOMPARE(fnGetResCount(0), 2);
        QCOMPARE(QSize(fnGetResWidth(0, 1), fnGetResHeight(0, 1)), QSize(640, 480));
        QCOMPARE(fnGetResCount(1), 1);
        QCOMPARE(fnInit(), 1); // a second call keeps the cameras
        QCOMPARE(fnGetCameraCount(), 2);
    }

    void framesAreBottomUpBgrAndFollowResolution()
    {
        waitForCalls(1);
        QImage frame = lastFrame();
        QCOMPARE(frame.size(), QSize(320, 240));
        // The marker in the scene's top-left corner: red, green to its right, blue
        // below. Read as bottom-up BGR, the red is found only there.
        const int side = 240 / 20;
        QCOMPARE(redCorner(frame), 0);
        QVERIFY(looksLike(frame.pixel(side + side / 2, side / 2), qRgb(0, 255, 0)));
        QVERIFY(looksLike(frame.pixel(side / 2, side + side / 2), qRgb(0, 0, 255)));

        fnSetResolution(0, 1);
        waitForCalls(3);
        QCOMPARE(lastFrame().size(), QSize(640, 480));
        fnSetResolution(0, 7); // no such resolution: nothing changes
        waitForCalls(2);
        QCOMPARE(lastFrame().size(), QSize(640, 480));
        fnSetResolution(0, 0);
        waitForCalls(1);
        QCOMPARE(lastFrame().size(), QSize(320, 240));
    }

    void noCallbackAfterRemoval()
    {
        // The camera runs at 60 frames a second and the callback takes 3 ms of each.
        for (int round = 0; round < 20; ++round) {
            removal.removed = false;
            fnSetVideoCB(0, callback(slowCallback));
            waitForCalls(1, removal.calls);
            fnSetVideoCB(0, round % 2 ? nullptr : callback(recordFrame));
            removal.removed = true;
        }
        fnSetVideoCB(0, callback(recordFrame));
        waitForCalls(3);
        QCOMPARE(removal.callsAfterRemoval.load(), 0);
    }

    void stills_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("format");
        QTest::addColumn<int>("turns"); // clockwise
        QTest::addColumn<bool>("zoomed");
        QTest::newRow("jpg") << "a.jpg" << QByteArray("jpeg") << 0 << false;
        QTest::newRow("jpeg") << "b.jpeg" << QByteArray("jpeg") << 0 << false;
        QTest::newRow("bmp") << "c.bmp" << QByteArray("bmp") << 0 << false;
        QTest::newRow("tif") << "d.tif" << QByteArray("tiff") << 0 << false;
        QTest::newRow("tiff") << "e.tiff" << QByteArray("tiff") << 0 << false;
        QTest::newRow("png, upper case") << "f.PNG" << QByteArray("png") << 0 << false;
        QTest::newRow("turned right") << "g.png" << QByteArray("png") << 1 << false;
        // Zoom is for the painted video only.
        QTest::newRow("zoomed in") << "h.png" << QByteArray("png") << 0 << true;
    }

    void stills()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, format);
        QFETCH(int, turns);
        QFETCH(bool, zoomed);
        const QString path = m_dir.filePath(name);
        if (turns)
            fnRotateRight(0);
        if (zoomed)
            fnZoomIn(0);
        const int written = capture(0, path);
        if (turns)
            fnRotateLeft(0);
        if (zoomed)
            fnZoomOut(0);
        QCOMPARE(written, 1);
        QImageReader reader(path);
        QCOMPARE(reader.format(), format);
        const QImage still = reader.read();
        QCOMPARE(still.size(), turns ? QSize(240, 320) : QSize(320, 240));
        QCOMPARE(redCorner(still), turns);
    }

    void failedStillsLeaveNothing()
    {
        QTemporaryDir dir;
        QCOMPARE(capture(0, dir.filePath("still.gif")), 0);
        QCOMPARE(capture(0, dir.filePath("no-extension")), 0);
        QCOMPARE(capture(0, dir.filePath("missing/still.jpg")), 0);
        QCOMPARE(fnCapture(0, nullptr), 0);
        QVERIFY(entries(dir.path()).isEmpty());
        // A folder that cannot be made: its parent is a file (root can write anywhere).
        QFile blocker(dir.filePath("file"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        QCOMPARE(capture(0, dir.filePath("file/still.jpg")), 0);
        QCOMPARE(entries(dir.path()), QStringList{"file"});
    }

    void rotateAndResampleInPlace()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("edit.jpg");
        QCOMPARE(capture(0, path), 1);
        QByteArray bytes = path.toLocal8Bit();
        fnRotateImage(bytes.data(), 90);
        QImageReader turned(path);
        QCOMPARE(turned.format(), QByteArray("jpeg"));
        QImage image = turned.read();
        QCOMPARE(image.size(), QSize(240, 320));
        QCOMPARE(redCorner(image), 1);
        fnRotateImage(bytes.data(), -180);
        image = QImage(path);
        QCOMPARE(image.size(), QSize(240, 320));
        QCOMPARE(redCorner(image), 3);
        fnResampleImage(bytes.data(), 100, 50);
        QImageReader resampled(path);
        QCOMPARE(resampled.format(), QByteArray("jpeg"));
        QCOMPARE(resampled.size(), QSize(100, 50));
        fnResampleImage(bytes.data(), 0, 50); // refused
        QCOMPARE(QImageReader(path).size(), QSize(100, 50));
        QByteArray missing = dir.filePath("missing.jpg").toLocal8Bit();
        fnRotateImage(missing.data(), 90);
        fnResampleImage(missing.data(), 10, 10);
        fnRotateImage(nullptr, 90);
        QCOMPARE(entries(dir.path()), QStringList{"edit.jpg"}); // no temporary file left
    }

    void textModeTurnsFramesGrey()
    {
        QCOMPARE(fnSetVideoProcAmp(0, 5, 0, 0), 1);
        waitForCalls(2);
        QImage frame = lastFrame();
        for (int i = 0; i < 320 * 240; i += 97) {
            const QRgb c = frame.pixel(i % 320, i / 320);
            QVERIFY(qRed(c) == qGreen(c) && qGreen(c) == qBlue(c));
        }
        QCOMPARE(fnSetVideoProcAmp(0, 5, 4, 0), 1);
        waitForCalls(2);
        QVERIFY(isRed(lastFrame().pixel(4, 4)));
        // Another property, value or flag is refused.
        const QList<int> refused = {fnSetVideoProcAmp(0, 4, 0, 0), fnSetVideoProcAmp(0, 5, 2, 0),
                                    fnSetVideoProcAmp(0, 5, 0, 1)};
        QCOMPARE(refused, QList<int>({0, 0, 0}));
    }

    void zoomControl()
    {
        const QList<int> range = {fnGetCameraControl(0, 5, 1), fnGetCameraControl(0, 5, 2),
                                  fnGetCameraControl(0, 5, 3), fnGetCameraControl(0, 5, 5),
                                  fnGetCameraControl(0, 5, 4), fnGetCameraControl(0, 3, 2)};
        QCOMPARE(range, QList<int>({0, 100, 10, 50, -1, -1})); // min, max, step, value; no 4, no 3
        fnSetCameraProp(0, 70, 5, false);
        QCOMPARE(fnGetCameraControl(0, 5, 5), 70);
        fnSetCameraProp(0, 5000, 5, true);
        QCOMPARE(fnGetCameraControl(0, 5, 5), 100);
        fnSetCameraProp(0, 20, 3, false); // another property: ignored
        QCOMPARE(fnGetCameraControl(0, 5, 5), 100);
    }

    void deskCodeReadsBack()
    {
        fnSetResolution(0, 1);
        waitForCalls(1);
        const QByteArray deskCode("http://kelvora.example/scan?id=42\r\nKelvora test desk");
        QCOMPARE(QByteArray(fnReadBarcode(0)), deskCode);
        for (const int mode : {0, 4}) { // text mode reads alike; picture mode again
            QCOMPARE(fnSetVideoProcAmp(0, 5, mode, 0), 1);
            waitForCalls(2);
            QCOMPARE(QByteArray(fnReadBarcode(0)), deskCode);
        }
        QCOMPARE(QByteArray(fnReadBarcode(2)), QByteArray());
        fnSetResolution(0, 0);
    }

    void renderingFollowsWindowTurnAndZoom()
    {
        QWidget first;
        first.resize(400, 300);
        QWidget second;
        second.resize(400, 300);
        QCOMPARE(fnOpenCamera(0, first.winId()), 1); // already open: moves the video
        // 320x240 fills 400x300 exactly.
        QCOMPARE(redCorner(first.grab().toImage()), 0);
        fnRotateRight(0);
        const QImage turned = first.grab().toImage();
        fnRotateLeft(0);
        // Turned, the picture is 225x300 centred between black bars.
        QCOMPARE(redCorner(turned, QRect(88, 0, 225, 300)), 1);
        QCOMPARE(turned.pixel(20, 150), qRgb(0, 0, 0));

        fnZoomIn(0);
        QVERIFY(!isRed(first.grab().toImage().pixel(6, 6)));
        for (int i = 0; i < 20; ++i)
            fnZoomOut(0); // stops at the fitted picture
        QCOMPARE(redCorner(first.grab().toImage()), 0);

        fnSetHWND(0, second.winId());
        QCOMPARE(redCorner(second.grab().toImage()), 0);
        QCOMPARE(redCorner(first.grab().toImage()), -1);

        auto *doomed = new QWidget;
        doomed->resize(100, 100);
        fnSetHWND(0, doomed->winId());
        delete doomed;
        waitForCalls(3);                          // frames keep coming with the window gone
        QCOMPARE(fnOpenCamera(0, 0x7ffffff0), 0); // no widget of this process
        fnSetHWND(0, 0);
    }

    void closedCameraDeliversNothing()
    {
        QCOMPARE(fnOpenCamera(1, 0), 1);
        removal.removed = false;
        fnSetVideoCB(1, callback(slowCallback));
        waitForCalls(1, removal.calls);
        fnCloseCamera(1);
        removal.removed = true;
        QCOMPARE(capture(1, m_dir.filePath("closed.png")), 0);
        QVERIFY(!QFile::exists(m_dir.filePath("closed.png")));
        waitForCalls(3); // camera 0 still streams
        QCOMPARE(removal.callsAfterRemoval.load(), 0);
    }

    void exitWhileStreaming()
    {
        QProcess process;
        process.start(QCoreApplication::applicationDirPath() + "/optrelle_exit_while_streaming");
        QVERIFY(process.waitForFinished(20000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QVERIFY2(process.exitCode() == 0, process.readAllStandardError().right(3000).constData());
        QVERIFY2(process.readAllStandardOutput().contains("frames"),
                 "no frame arrived before exit");
    }
};

QTEST_MAIN(CameraApiTest)
#include "test_cameraapi.moc"
