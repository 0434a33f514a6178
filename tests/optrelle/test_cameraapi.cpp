// The camera library through its C interface only, as the program uses it, on
// two simulated cameras filming scenes the test paints: frames, stills, codes,
// cropping, recording, the property dialog, bad calls.
#include "optrelle.h"
#include "recordingreadback.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QImageReader>
#include <QPainter>
#include <QProcess>
#include <QPushButton>
#include <QSpinBox>
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

bool isRed(QRgb c)
{
    return qRed(c) > 195 && qGreen(c) < 60 && qBlue(c) < 60;
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

QSize stillSize(const QString &path)
{
    return capture(0, path) == 1 ? QImageReader(path).size() : QSize();
}

// A 640x480 scene of colour; with the marker in its top-left corner: red, green to
// its right, blue below.
constexpr int markerSide = 24;
QImage scene(QRgb colour, bool marker = false)
{
    QImage scene(640, 480, QImage::Format_RGB32);
    scene.fill(colour);
    QPainter painter(&scene);
    if (marker) {
        painter.fillRect(0, 0, markerSide, markerSide, Qt::red);
        painter.fillRect(markerSide, 0, markerSide, markerSide, Qt::green);
        painter.fillRect(0, markerSide, markerSide, markerSide, Qt::blue);
    }
    return scene;
}

// A white A4 page lying turned on a dark desk.
QImage deskWithPage(double degrees)
{
    QImage desk = scene(qRgb(74, 58, 44));
    QPainter painter(&desk);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(320, 240);
    painter.rotate(degrees);
    painter.fillRect(QRectF(-140, -198, 280, 396), QColor(250, 250, 246));
    painter.fillRect(QRectF(-100, -150, 200, 12), Qt::black); // a line of print
    return desk;
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
        QVERIFY(scene(qRgb(128, 128, 128), true).save(m_dir.filePath("scene.png")));
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
        for (const int index : {-1, 2, 1000}) {
            QCOMPARE(QByteArray(fnGetCameraPID(index)) + fnGetCameraVID(index) +
                         fnReadBarcode(index),
                     QByteArray());
            QCOMPARE(fnOpenCamera(index, 0) + fnGetResCount(index) + fnGetResWidth(index, 0) +
                         fnGetResWidth(0, index) + fnSetVideoProcAmp(index, 5, 0, 0) +
                         capture(index, m_dir.filePath("bad.jpg")),
                     0);
            QCOMPARE(fnGetCameraControl(index, 5, 2), -1);
            // Calls without a result must simply do nothing.
            for (void (*call)(int) :
                 {fnRotateLeft, fnRotateRight, fnZoomIn, fnZoomOut, fnCloseCamera, fnShowVideoProp})
                call(index);
            fnSetHWND(index, 0);
            fnSetVideoCB(index, callback(recordFrame));
            fnSetResolution(index, 0);
        }
        QVERIFY(!QFile::exists(m_dir.filePath("bad.jpg")));
    }

    // film() finds each frame bottom-up BGR, as the program reads it.
    void framesFollowResolution()
    {
        QCOMPARE(QByteArray(fnGetCameraPID(1)) + ':' + fnGetCameraVID(1), "1234:abcd");
        QCOMPARE(QSize(fnGetResWidth(0, 1), fnGetResHeight(0, 1)), QSize(320, 240));
        film(scene(qRgb(128, 128, 128), true));
        QCOMPARE(QByteArray(fnReadBarcode(0)), QByteArray()); // no code in sight
        fnSetResolution(0, 1);
        QTRY_COMPARE(lastFrame().size(), QSize(320, 240));
        fnSetResolution(0, 7); // no such resolution: nothing changes
        waitForCalls(2);
        QCOMPARE(lastFrame().size(), QSize(320, 240));
        fnSetResolution(0, 0);
        QTRY_COMPARE(lastFrame().size(), QSize(640, 480));
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
        film(scene(qRgb(128, 128, 128), true));
        const std::tuple<const char *, const char *, int> stills[] = {
            {"a.jpg", "jpeg", 0}, {"b.bmp", "bmp", 0},     {"c.tif", "tiff", 0},
            {"d.PNG", "png", 0},  {"right.png", "png", 1}, {"left.jpeg", "jpeg", -1}};
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
        QCOMPARE(capture(0, dir.filePath("still.gif")) + capture(0, dir.filePath("no-extension")) +
                     capture(0, dir.filePath("missing/still.jpg")) + fnCapture(0, nullptr),
                 0);
        // A folder that cannot be made: its parent is a file (root can write anywhere).
        QFile blocker(dir.filePath("file"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        QCOMPARE(capture(0, dir.filePath("file/still.jpg")), 0);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"file"});

        film(scene(qRgb(128, 128, 128), true));
        QByteArray path = dir.filePath("edit.jpg").toLocal8Bit();
        QCOMPARE(fnCapture(0, path.data()), 1);
        fnRotateImage(path.data(), 90);
        QCOMPARE(redCorner(QImage(path)), 1);
        fnRotateImage(path.data(), -180);
        QCOMPARE(redCorner(QImage(path)), 3);
        fnResampleImage(path.data(), 100, 50);
        fnResampleImage(path.data(), 0, 50); // refused
        QCOMPARE(QImageReader(path).format(), QByteArray("jpeg"));
        QCOMPARE(QImageReader(path).size(), QSize(100, 50));
        QByteArray missing = dir.filePath("missing.jpg").toLocal8Bit();
        fnRotateImage(missing.data(), 90);
        fnResampleImage(missing.data(), 10, 10);
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
        QImage dim = scene(qRgb(66, 66, 66), true);
        for (int y = 0; y < code.height(); ++y)
            for (int x = 0; x < code.width(); ++x)
                if (code.get(x, y))
                    dim.setPixel(120 + x, 160 + y, qRgb(12, 12, 12));
        film(dim);
        for (const int mode : {0, 4}) { // text mode, then picture mode again
            QCOMPARE(QByteArray(fnReadBarcode(0)), QByteArray("4006381333931"));
            QCOMPARE(fnSetVideoProcAmp(0, 5, mode, 0), 1);
            // Grey: the red marker too.
            QTRY_COMPARE(qRed(lastFrame().pixel(4, 4)) == qBlue(lastFrame().pixel(4, 4)),
                         mode == 0);
        }
        // Another property, value or flag is refused.
        QCOMPARE(fnSetVideoProcAmp(0, 4, 0, 0) + fnSetVideoProcAmp(0, 5, 2, 0) +
                     fnSetVideoProcAmp(0, 5, 0, 1),
                 0);
    }

    void renderingFollowsWindowTurnAndZoom()
    {
        film(scene(qRgb(128, 128, 128), true));
        QWidget first;
        first.resize(400, 300);                      // 640x480 fills it exactly
        QCOMPARE(fnOpenCamera(0, first.winId()), 1); // already open: moves the video
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
        auto *doomed = new QWidget;
        fnSetHWND(0, doomed->winId());
        delete doomed;
        waitForCalls(3);                                 // frames keep coming with the window gone
        QCOMPARE(redCorner(first.grab().toImage()), -1); // the video moved away
        QCOMPARE(fnOpenCamera(0, 0x7ffffff0), 0);        // no widget of this process
        fnSetHWND(0, 0);
    }

    void autoCropStraightensPage()
    {
        film(deskWithPage(-20));
        fnEnableAutoCrop(0, true);
        // The page is looked for beside the capture thread: the crop follows.
        const QString path = m_dir.filePath("page.png");
        QTRY_VERIFY_WITH_TIMEOUT(stillSize(path).isValid() && stillSize(path) != QSize(640, 480),
                                 10000);
        const QImage page(path);
        QVERIFY2(qAbs(double(page.height()) / page.width() / (396.0 / 280) - 1) < 0.03,
                 qPrintable(QStringLiteral("%1x%2").arg(page.width()).arg(page.height())));
        const QRect in = page.rect().adjusted(page.width() / 30, page.height() / 30,
                                              -page.width() / 30, -page.height() / 30);
        for (const QPoint corner : {in.topLeft(), in.topRight(), in.bottomLeft(), in.bottomRight()})
            QVERIFY(qGray(page.pixel(corner)) > 220);
        QCOMPARE(lastFrame().size(), QSize(640, 480)); // the callback still gets the whole frame
        film(scene(qRgb(74, 58, 44)));                 // no page: the whole frame
        QTRY_COMPARE(stillSize(m_dir.filePath("desk.png")), QSize(640, 480));
        fnEnableAutoCrop(0, false);
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
        QCOMPARE(dragged(30, 40, 30, 40), QSize(640, 480)); // a click sets no crop
        const QSize cut = dragged(30, 40, 230, 140);        // 200 x 100 window pixels
        QVERIFY2(qAbs(cut.width() - 400) <= 2 && qAbs(cut.height() - 200) <= 2,
                 qPrintable(QStringLiteral("%1x%2").arg(cut.width()).arg(cut.height())));
        const QImage shown = window.grab().toImage();
        QVERIFY(shown.pixel(130, 40) != shown.pixel(130, 90)); // the frame is drawn
        fnSetMouseMode(0, 0);
        QCOMPARE(stillSize(m_dir.filePath("whole.png")), QSize(640, 480));
        fnSetHWND(0, 0);
    }

    void recordsAsfWmv2AndSurvivesExit()
    {
        film(deskWithPage(5));
        const QByteArray path = m_dir.filePath("one second.wmv").toLocal8Bit();
        QElapsedTimer recorded;
        recorded.start();
        QCOMPARE(fnStartRecord(0, path, true), 1);
        QCOMPARE(fnStartRecord(0, path, true), 0); // already recording
        const int first = calls;
        waitForCalls(30);
        const double seconds = recorded.elapsed() / 1000.0;
        const int filmed = calls - first;
        fnStopRecord(0);
        fnStopRecord(0); // no recording: nothing happens
        const RecordingReadBack recording = readRecording(QString::fromLocal8Bit(path));
        QCOMPARE(recording.format, QByteArray("asf"));
        QCOMPARE(recording.codec, AV_CODEC_ID_WMV2);
        QCOMPARE(recording.size, QSize(640, 480));
        // The file keeps the frames' own times, so it lasts as long as the recording did.
        QVERIFY2(qAbs(recording.seconds - seconds) < 0.5,
                 qPrintable(QStringLiteral("%1 s of %2 s").arg(recording.seconds).arg(seconds)));
        // A loaded machine may drop frames the encoder cannot keep up with, never add any.
        QVERIFY2(recording.lumas.size() >= 10 && recording.lumas.size() <= filmed + 1,
                 qPrintable(QStringLiteral("%1 of %2").arg(recording.lumas.size()).arg(filmed)));
        // A folder that cannot exist (its parent is a file): refused at once.
        QCOMPARE(fnStartRecord(0, path + "/inside/x.wmv", true) + fnStartRecord(7, path, true), 0);

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

    void propertyDialogChangesPicture()
    {
        film(scene(qRgb(100, 100, 100)));
        fnShowVideoProp(0);
        fnShowVideoProp(0); // raises the open dialog
        QList<QDialog *> dialogs;
        for (QWidget *widget : QApplication::topLevelWidgets())
            if (auto *dialog = qobject_cast<QDialog *>(widget); dialog && dialog->isVisible())
                dialogs << dialog;
        QCOMPARE(dialogs.size(), 1);
        // Brightness, contrast, zoom.
        const QList<QSpinBox *> editors = dialogs.front()->findChildren<QSpinBox *>();
        QCOMPARE(editors.size(), 3);
        editors[0]->setValue(60);
        QTRY_VERIFY(qBlue(lastFrame().pixel(0, 479)) >= 155);
        editors[2]->setValue(30);
        QCOMPARE(fnGetCameraControl(0, 5, 5), 30);
        for (QPushButton *button : dialogs.front()->findChildren<QPushButton *>())
            if (button->text() == QStringLiteral("恢复默认"))
                button->click();
        QTRY_VERIFY(qBlue(lastFrame().pixel(0, 479)) <= 105);
        QCOMPARE(QList<int>({fnGetCameraControl(0, 5, 5), fnGetCameraControl(0, 5, 2),
                             editors[0]->value()}),
                 QList<int>({50, 100, 0})); // zoom back, of 100; brightness back
        dialogs.front()->close();
    }
};

QTEST_MAIN(CameraApiTest)
#include "test_cameraapi.moc"
