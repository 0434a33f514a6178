// The camera library's document features through its C interface: codes,
// cropping, recording, the property dialog, on a simulated camera filming scene
// files.
#include "optrelle.h"

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QImage>
#include <QImageReader>
#include <QPushButton>
#include <QPainter>
#include <QProcess>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

#include <ZXing/BitMatrix.h>
#include <ZXing/MultiFormatWriter.h>

extern "C" {
#include <libavformat/avformat.h>
}

#include <atomic>

namespace {

std::atomic<int> frames = 0;
std::atomic<int> firstSample = 0; // blue of the picture's bottom-left pixel
std::atomic<int> frameWidth = 0;

void countFrame(const void *data, int width, int, int)
{
    frameWidth = width;
    firstSample = *static_cast<const unsigned char *>(data);
    ++frames;
}

void waitForFrames(int more, int timeoutMs = 5000)
{
    const int target = frames + more;
    QTRY_VERIFY_WITH_TIMEOUT(frames >= target, timeoutMs);
}

QImage plainImage(QRgb colour)
{
    QImage scene(640, 480, QImage::Format_RGB32);
    scene.fill(colour);
    return scene;
}

QImage codeImage(ZXing::BarcodeFormat format, const std::string &text)
{
    const ZXing::BitMatrix matrix =
        ZXing::MultiFormatWriter(format).setMargin(10).encode(text, 400, 160);
    QImage scene = plainImage(qRgb(255, 255, 255));
    for (int y = 0; y < matrix.height(); ++y)
        for (int x = 0; x < matrix.width(); ++x)
            if (matrix.get(x, y))
                scene.setPixel(120 + x, 160 + y, qRgb(0, 0, 0));
    return scene;
}

// A white A4 page lying turned on a dark desk.
QImage deskWithPage(double degrees)
{
    QImage scene = plainImage(qRgb(74, 58, 44));
    QPainter painter(&scene);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(320, 240);
    painter.rotate(degrees);
    painter.fillRect(QRectF(-140, -198, 280, 396), QColor(250, 250, 246));
    painter.fillRect(QRectF(-100, -150, 200, 12), Qt::black); // a line of print
    return scene;
}

// What libavformat reads back from a recording.
struct Recording
{
    QByteArray format;
    QByteArray codec;
    QSize size;
    double seconds = 0;
    int frames = 0;
};

Recording readRecording(const QString &path)
{
    Recording recording;
    AVFormatContext *context = nullptr;
    if (avformat_open_input(&context, path.toLocal8Bit().constData(), nullptr, nullptr) != 0)
        return recording;
    if (avformat_find_stream_info(context, nullptr) >= 0 && context->nb_streams == 1) {
        const AVCodecParameters *video = context->streams[0]->codecpar;
        recording.format = context->iformat->name;
        recording.codec = avcodec_get_name(video->codec_id);
        recording.size = QSize(video->width, video->height);
        recording.seconds = double(context->duration) / AV_TIME_BASE;
        AVPacket *packet = av_packet_alloc();
        while (av_read_frame(context, packet) >= 0) {
            ++recording.frames;
            av_packet_unref(packet);
        }
        av_packet_free(&packet);
    }
    avformat_close_input(&context);
    return recording;
}

QSize stillSize(const QString &path)
{
    QByteArray bytes = path.toLocal8Bit();
    if (fnCapture(0, bytes.data()) != 1)
        return {};
    return QImageReader(path).size();
}

} // namespace

class DocumentFeaturesTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    int m_resolution = 0;

    // The camera's current resolution, which the whole frame has.
    QSize frameSize() const
    {
        return {fnGetResWidth(0, m_resolution), fnGetResHeight(0, m_resolution)};
    }

    // Shows scene to the camera from its next stream on, and waits for it.
    void film(const QImage &scene)
    {
        QVERIFY(scene.save(m_dir.filePath("scene.png")));
        // The scene file is read when streaming starts.
        m_resolution = 1 - m_resolution;
        fnSetResolution(0, m_resolution);
        waitForFrames(1);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(plainImage(qRgb(128, 128, 128)).save(m_dir.filePath("scene.png")));
        qputenv("OPTRELLE_BACKEND", "sim");
        qputenv("OPTRELLE_CAMERAS", "0ac8:c498@640x480,1280x960/30");
        qputenv("OPTRELLE_SCENE", m_dir.filePath("scene.png").toLocal8Bit());
        QCOMPARE(fnInit(), 1);
        QCOMPARE(fnOpenCamera(0, 0), 1);
        fnSetVideoCB(0, reinterpret_cast<void *>(&countFrame));
        waitForFrames(1);
    }

    void codesReadBack_data()
    {
        QTest::addColumn<QImage>("scene");
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("Code 128") << codeImage(ZXing::BarcodeFormat::Code128, "Kelvora-128")
                                  << QByteArray("Kelvora-128");
        // Photographed in poor light: text mode turns the whole code black.
        QImage dim = codeImage(ZXing::BarcodeFormat::EAN13, "4006381333931");
        for (int y = 0; y < dim.height(); ++y)
            for (int x = 0; x < dim.width(); ++x)
                dim.setPixel(x, y,
                             qGray(dim.pixel(x, y)) > 128 ? qRgb(66, 66, 66) : qRgb(12, 12, 12));
        QTest::newRow("EAN-13 in poor light") << dim << QByteArray("4006381333931");
        QTest::newRow("no code") << plainImage(qRgb(250, 250, 250)) << QByteArray();
    }

    // Text mode changes what is shown, never what is read.
    void codesReadBack()
    {
        QFETCH(QImage, scene);
        QFETCH(QByteArray, text);
        film(scene);
        QCOMPARE(QByteArray(fnReadBarcode(0)), text);
        QCOMPARE(fnSetVideoProcAmp(0, 5, 0, 0), 1);
        waitForFrames(2);
        QCOMPARE(QByteArray(fnReadBarcode(0)), text);
        QCOMPARE(fnSetVideoProcAmp(0, 5, 4, 0), 1);
        waitForFrames(1);
    }

    void autoCropStraightensPage()
    {
        film(deskWithPage(-20));
        fnEnableAutoCrop(0, true);
        // The page is looked for beside the capture thread: the crop follows.
        const QString path = m_dir.filePath("page.png");
        QTRY_VERIFY_WITH_TIMEOUT(stillSize(path).isValid() && stillSize(path) != frameSize(),
                                 10000);
        const QImage page(path);
        QVERIFY2(qAbs(double(page.height()) / page.width() / (396.0 / 280) - 1) < 0.03,
                 qPrintable(QStringLiteral("%1x%2").arg(page.width()).arg(page.height())));
        const QRect in = page.rect().adjusted(page.width() * 3 / 100, page.height() * 3 / 100,
                                              -page.width() * 3 / 100, -page.height() * 3 / 100);
        for (const QPoint corner : {in.topLeft(), in.topRight(), in.bottomLeft(), in.bottomRight()})
            QVERIFY2(qGray(page.pixel(corner)) > 220,
                     qPrintable(QString::number(qGray(page.pixel(corner)))));
        QCOMPARE(frameWidth.load(), frameSize().width()); // the callback still gets the whole frame

        film(plainImage(qRgb(74, 58, 44))); // no page: the whole frame
        QCOMPARE(stillSize(m_dir.filePath("desk.png")), frameSize());
        fnEnableAutoCrop(0, false);
    }

    void manualCropCutsStills()
    {
        film(plainImage(qRgb(200, 200, 200)));
        QWidget window;
        window.resize(640 / 2, m_resolution ? 960 / 2 : 480 / 2);
        QCOMPARE(fnOpenCamera(0, window.winId()), 1);
        const QSize frame = frameSize();
        const double scale = double(window.width()) / frame.width();
        const OptrelleWindowId id = window.winId();

        // Normal mode: the mouse does nothing.
        fnOnLMouseDown(id, 20, 20);
        fnOnLMouseUp(id, 200, 150);
        QCOMPARE(stillSize(m_dir.filePath("normal.png")), frame);

        fnSetMouseMode(0, 1);
        fnOnLMouseDown(id, 30, 40);
        fnOnLMouseUp(id, 30, 40); // a click sets no crop
        QCOMPARE(stillSize(m_dir.filePath("click.png")), frame);

        fnOnLMouseDown(id, 30, 40);
        fnOnMouseMove(id, 100, 100);
        fnOnLMouseUp(id, 230, 140); // dragged up to here: 200 x 100 window pixels
        const QImage shown = window.grab().toImage();
        QVERIFY(shown.pixel(130, 40) != shown.pixel(130, 90)); // the frame is drawn
        const QSize cut = stillSize(m_dir.filePath("cut.png"));
        QVERIFY2(qAbs(cut.width() - 200 / scale) <= 1 / scale &&
                     qAbs(cut.height() - 100 / scale) <= 1 / scale,
                 qPrintable(QStringLiteral("%1x%2").arg(cut.width()).arg(cut.height())));

        fnSetMouseMode(0, 0);
        QCOMPARE(stillSize(m_dir.filePath("whole.png")), frame);
        fnSetHWND(0, 0);
    }

    void recordingIsAsfWmv2()
    {
        film(deskWithPage(5));
        const QByteArray path = m_dir.filePath("three seconds.wmv").toLocal8Bit();
        QElapsedTimer recorded;
        recorded.start();
        QCOMPARE(fnStartRecord(0, path.constData(), true), 1);
        QCOMPARE(fnStartRecord(0, path.constData(), true), 0); // already recording
        const int first = frames;
        waitForFrames(90, 20000); // three seconds at 30 fps, longer on a loaded machine
        const double seconds = recorded.elapsed() / 1000.0;
        const int filmed = frames - first;
        fnStopRecord(0);
        fnStopRecord(0); // no recording: nothing happens
        const Recording recording = readRecording(QString::fromLocal8Bit(path));
        QCOMPARE(recording.format, QByteArray("asf"));
        QCOMPARE(recording.codec, QByteArray("wmv2"));
        QCOMPARE(recording.size, frameSize());
        // The file keeps the frames' own times, so it lasts as long as the recording did.
        QVERIFY2(qAbs(recording.seconds - seconds) < 0.5,
                 qPrintable(QStringLiteral("%1 s of %2 s").arg(recording.seconds).arg(seconds)));
        // A loaded machine may drop frames the encoder cannot keep up with, never add any.
        QVERIFY2(recording.frames >= 30 && recording.frames <= filmed + 1,
                 qPrintable(QStringLiteral("%1 of %2").arg(recording.frames).arg(filmed)));

        // A folder that cannot exist (its parent is a file): refused at once.
        QByteArray blocked = m_dir.filePath("three seconds.wmv/inside/x.wmv").toLocal8Bit();
        QCOMPARE(fnStartRecord(0, blocked.constData(), true), 0);
        QCOMPARE(fnStartRecord(7, path.constData(), true), 0);
    }

    void recordingSurvivesExit()
    {
        const QString path = m_dir.filePath("exit.wmv");
        QProcess child;
        child.start(QCoreApplication::applicationDirPath() + "/optrelle_exit_while_streaming",
                    {path});
        QVERIFY(child.waitForFinished(20000));
        QVERIFY2(child.exitCode() == 0, child.readAllStandardError().right(2000).constData());
        const Recording recording = readRecording(path);
        QCOMPARE(recording.codec, QByteArray("wmv2"));
        QVERIFY(recording.frames > 0);
    }

    void propertyDialogChangesPicture()
    {
        film(plainImage(qRgb(100, 100, 100)));
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
        QTRY_VERIFY_WITH_TIMEOUT(firstSample >= 155, 5000);
        editors[2]->setValue(30);
        QCOMPARE(fnGetCameraControl(0, 5, 5), 30);

        for (QPushButton *button : dialogs.front()->findChildren<QPushButton *>())
            if (button->text() == QStringLiteral("恢复默认"))
                button->click();
        QTRY_VERIFY_WITH_TIMEOUT(firstSample <= 105, 5000);
        QCOMPARE(fnGetCameraControl(0, 5, 5), 50);
        QCOMPARE(editors[0]->value(), 0);
        dialogs.front()->close();
    }
};

QTEST_MAIN(DocumentFeaturesTest)
#include "test_documentfeatures.moc"
