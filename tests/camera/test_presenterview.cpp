// The presenter view on two simulated cameras, headless: the camera choice, the
// resolution list, placing the picture, stills, the command bar and the commands
// of the annotation program.

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGraphicsScene>
#include <QGraphicsTextItem>
#include <QGraphicsView>
#include <QImageReader>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QSlider>
#include <QTest>

#include <atomic>
#include <cstdio>
#include <future>
#include <memory>

#include "app/kelvora.h"
#include "camera/qfocuswidget.h"
#include "camera/qmainwidget.h"
#include "common/log.h"
#include "common/programwide.h"
#include "platform/copydatasender.h"
#include "recordingdialogs.h"
#include "recordinglauncher.h"
#include "optrelle.h"
#include "scanner/qsnapwidget.h"
#include "scanner/qsubcamwidget.h"
#include "viewing/picturestage.h"
#include "viewing/qimageitem.h"

namespace {
QSize stillSize(const QString &path)
{
    return QImageReader(path).size();
}

QRect pictureOnScreen()
{
    return livePictureItem->sceneBoundingRect().toAlignedRect();
}

// Without a document camera the presenter ends the process, so it is built in a
// child run of this test: it prints the messages it would show.
int runWithoutCamera(int argc, char **argv)
{
    QApplication app(argc, argv);
    struct PrintingDialogs : RecordingDialogs
    {
        void message(const QString &text, const QString &caption) override
        {
            std::printf("%s|%s\n", qPrintable(caption), qPrintable(text));
            std::fflush(stdout);
        }
    } dialogs;
    new QMainWidget(nullptr);
    return 3; // not reached: the presenter ends the process
}

// Frames of a 12-megapixel camera in place of the simulated camera's, while set.
std::atomic<bool> largeFrames = false;
void largeOrOwnFrame(const void *data, int width, int height, int)
{
    static const QByteArray large(4000 * 3000 * 3, char(90));
    if (largeFrames)
        presenterView->storeFrame(large.constData(), 4000, 3000);
    else
        presenterView->storeFrame(data, width, height);
}

bool closeTo(const QRect &a, const QRect &b)
{
    return qAbs(a.left() - b.left()) <= 1 && qAbs(a.top() - b.top()) <= 1 &&
           qAbs(a.right() - b.right()) <= 1 && qAbs(a.bottom() - b.bottom()) <= 1;
}
} // namespace

class TestPresenterView : public QObject
{
    Q_OBJECT

private:
    RecordingDialogs m_dialogs;
    RecordingLauncher m_launcher;
    std::unique_ptr<Kelvora> m_bar;
    QMainWidget *m_view = nullptr;

    QWidget *videoArea() const { return m_view->findChild<QWidget *>("widget"); }
    QPushButton *button(const char *name) const { return m_view->findChild<QPushButton *>(name); }
    void waitForFrameWidth(int width) { QTRY_COMPARE(livePictureItem->pixmap().width(), width); }
    // From another thread: a window cannot send to its own listener.
    void sendCommand(const QByteArray &text)
    {
        auto sent =
            std::async(std::launch::async, [text] { return sendCopyData("DuzeVovad", 0, text); });
        QTRY_VERIFY(sent.wait_for(std::chrono::seconds(0)) == std::future_status::ready);
        QVERIFY(sent.get());
    }

private Q_SLOTS:
    void initTestCase()
    {
        qputenv("OPTRELLE_BACKEND", "sim");
        qputenv("OPTRELLE_CAMERAS", "0ac8:c498@640x480,1280x720;1234:abcd@640x480");
        m_bar = std::make_unique<Kelvora>();
        m_view = presenterView;
        QVERIFY(m_view);
        // Sized freely, as where no window manager keeps it maximized.
        m_view->setWindowState(Qt::WindowNoState);
        m_view->resize(1920, 1040);
        QVERIFY(QTest::qWaitForWindowExposed(m_view));
        waitForFrameWidth(640);
    }

    void cleanupTestCase() { m_bar.reset(); }

    void withoutCameraAsksForOneAndEnds()
    {
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("OPTRELLE_CAMERAS", "");
        child.setProcessEnvironment(env);
        child.start(QCoreApplication::applicationFilePath(), {"--without-camera"});
        QVERIFY(child.waitForFinished(30000));
        QCOMPARE(child.exitStatus(), QProcess::NormalExit);
        QCOMPARE(child.exitCode(), 0);
        QCOMPARE(child.readAllStandardOutput(), QByteArray("|请连接设备!\n"));
    }

    void choosesCamerasAndListsResolutions()
    {
        QCOMPARE(m_view->m_nMainCam, 0);
        QCOMPARE(m_view->m_nSubCam, 1);
        QFile log(logFilePath());
        QVERIFY(log.open(QIODevice::ReadOnly));
        QVERIFY(log.readAll().contains("副头pid=1234, vid=abcd (3)"));
        auto *list = m_view->findChild<QComboBox *>("comboBoxRes");
        QStringList entries;
        for (int i = 0; i < list->count(); ++i)
            entries << list->itemText(i);
        QCOMPARE(entries, (QStringList{"3264x2448", "640x480", "1280x720"}));
        QCOMPARE(list->currentIndex(), 0);
        QCOMPARE(m_view->windowTitle(), QString("DuzeVovad"));
    }

    void placesThePicture()
    {
        const QRect area = videoArea()->rect();
        QCOMPARE(area.size(), QSize(1920, 1000));
        m_view->OnShowFitSize();
        QVERIFY(closeTo(pictureOnScreen(), fitRect(area, 640, 480)));
        const float fitRatio = float(fitRect(area, 640, 480).width()) / 640;
        QVERIFY(qFuzzyCompare(livePictureItem->keptScale(), fitRatio));

        m_view->OnShowRealSize();
        QVERIFY(closeTo(pictureOnScreen(), QRect((1920 - 640) / 2, (1000 - 480) / 2, 640, 480)));

        // A camera mounted turned either way: its picture stands upright, fitted
        // to the height; in real size it stays at its own size, centred.
        for (const int mounting : {90, 270}) {
            m_view->m_nDevRotate = mounting;
            m_view->OnShowFitSize();
            QCOMPARE(m_view->m_nRotate, mounting);
            const QRect turned = pictureOnScreen();
            QVERIFY2(qAbs(turned.height() - 1000) <= 1,
                     qPrintable(QString::number(turned.height())));
            QVERIFY(qAbs(turned.width() - 750) <= 1);
            QVERIFY(qAbs(turned.center().x() - 960) <= 1);
            // Fitted to the width, then enlarged until the turned height fills the area.
            QVERIFY(qFuzzyCompare(livePictureItem->keptScale(), 1000.0f / 640));

            m_view->OnShowRealSize();
            QCOMPARE(m_view->m_nRotate, mounting);
            QVERIFY(closeTo(pictureOnScreen(), QRect(960 - 240, 500 - 320, 480, 640)));
            QCOMPARE(livePictureItem->keptScale(), 1.0f);
        }
        m_view->m_nDevRotate = 0;
        m_view->OnShowFitSize();
        QCOMPARE(m_view->m_nRotate, 0);

        // A new window size places the picture afresh in the new area.
        m_view->resize(1000, 494);
        QVERIFY(closeTo(pictureOnScreen(), fitRect(videoArea()->rect(), 640, 480)));
        m_view->resize(1920, 1040);
        QVERIFY(closeTo(pictureOnScreen(), fitRect(area, 640, 480)));
    }

    void stillsFollowListAndRotation()
    {
        const QString first = m_view->capturePhoto();
        QVERIFY(first.startsWith(QString::fromLocal8Bit(m_bar->m_strImagePath) + "/"));
        QVERIFY(first.endsWith(".jpg"));
        QCOMPARE(stillSize(first), QSize(3264, 2448)); // entry 0 resamples this model

        auto *list = m_view->findChild<QComboBox *>("comboBoxRes");
        list->setCurrentIndex(1); // the same camera resolution, without resampling
        QCOMPARE(m_view->m_nResIndex, 1);
        QCOMPARE(stillSize(m_view->capturePhoto()), QSize(640, 480));
        m_view->rotateRight();
        QCOMPARE(stillSize(m_view->capturePhoto()), QSize(480, 640));
        m_view->rotateLeft();

        list->setCurrentIndex(2);
        waitForFrameWidth(1280);
        QCOMPARE(stillSize(m_view->capturePhoto()), QSize(1280, 720));
        list->setCurrentIndex(1);
        waitForFrameWidth(640);
    }

    void obeysTheAnnotationProgram()
    {
        m_view->OnShowFitSize();
        const float fitted = livePictureItem->keptScale();
        sendCommand("ZommOut");
        QVERIFY(qFuzzyCompare(livePictureItem->keptScale(), fitted * 1.2f));
        sendCommand("ZommIn");
        QVERIFY(qAbs(livePictureItem->keptScale() - fitted) < 1e-5);

        const int stills = QDir(QString::fromLocal8Bit(m_bar->m_strImagePath)).count();
        sendCommand("Photo RotateR");
        QCOMPARE(m_view->m_nRotate, 90);
        QCOMPARE(QDir(QString::fromLocal8Bit(m_bar->m_strImagePath)).count(), uint(stills));
        sendCommand("Photo");
        QCOMPARE(QDir(QString::fromLocal8Bit(m_bar->m_strImagePath)).count(), uint(stills + 1));
        m_view->rotateLeft();

        // Frozen, a new resolution changes nothing on screen until unfrozen.
        sendCommand("FreeZe");
        auto *list = m_view->findChild<QComboBox *>("comboBoxRes");
        list->setCurrentIndex(2);
        QTest::qWait(300); // frames at 30 fps would have arrived
        QCOMPARE(livePictureItem->pixmap().width(), 640);
        sendCommand("FreeZe");
        waitForFrameWidth(1280);
        list->setCurrentIndex(1);
        waitForFrameWidth(640);
    }

    void commandBarAndModes()
    {
        m_view->resize(1000, 494);
        QCOMPARE(button("pushButtonSettings")->geometry(), QRect(74, 0, 40, 40));
        QCOMPARE(button("pushButtonSpotlight")->pos(), QPoint(928, 0));
        QCOMPARE(m_view->findChild<QComboBox *>("comboBoxRes")->pos(), QPoint(377, 4));
        QCOMPARE(button("pushButtonCapture")->iconSize(), QSize(38, 38));
        QVERIFY(button("pushButtonCapture")->text().isEmpty());
        QVERIFY(!button("pushButtonOpenFolder")->isVisible());

        QPushButton *text = button("pushButtonMin");
        text->click();
        QCOMPARE(text->toolTip(), QString("图片模式"));
        m_view->resize(1100, 494); // the bar puts its own icon and tooltip back
        QCOMPARE(text->toolTip(), QString("文本模式"));
        QVERIFY(text->isChecked());
        text->click();
        QCOMPARE(text->toolTip(), QString("文本模式"));
        m_view->resize(1920, 1040);

        m_view->OnShowRealSize();
        m_view->OnZoomIn();
        QGraphicsTextItem *indicator = nullptr;
        for (QGraphicsItem *item : livePictureItem->scene()->items())
            if (auto *textItem = dynamic_cast<QGraphicsTextItem *>(item))
                indicator = textItem;
        QVERIFY(indicator && indicator->isVisible());
        QCOMPARE(indicator->toPlainText(), QString("120%"));
        QTRY_VERIFY(!indicator->isVisible()); // six ticks of 200 ms later
    }

    void fullScreenAlternates()
    {
        const QSize before = m_view->size();
        m_view->resize(m_view->screen()->availableGeometry().size());
        const QSize work = m_view->size();
        m_view->OnFullSrn();
        QCOMPARE(m_view->size(), m_view->screen()->geometry().size());
        QCOMPARE(m_view->windowState(), Qt::WindowFullScreen);
        m_view->OnFullSrn();
        QCOMPARE(m_view->size(), work);
        m_view->setWindowState(Qt::WindowNoState);
        m_view->resize(before);
    }

    void barcodeLinkOpens()
    {
        m_launcher.m_launches.clear();
        m_view->onReadBarcode(); // the simulated desk carries a QR code with a bare link
        QCOMPARE(m_launcher.m_launches.size(), 1);
        QCOMPARE(m_launcher.m_launches[0].target, QString("http://kelvora.example/scan?id=42"));
    }

    void snapshotWithoutStillStartsNoDrag()
    {
        const QByteArray photos = m_bar->m_strImagePath;
        m_bar->m_strImagePath = photos + "/missing/folder";
        QSnapWidget *snap = m_view->snapWidget();
        const qsizetype messages = m_dialogs.m_messages.size();
        snap->mouseClick(); // returns after its bounded wait, without a drag
        m_bar->m_strImagePath = photos;
        // The user is told once, naming the file.
        QCOMPARE(m_dialogs.m_messages.size(), messages + 1);
        QVERIFY(m_dialogs.m_messages.last().startsWith(
            "提示|照片无法保存: " + QString::fromLocal8Bit(photos) + "/missing/folder/"));
        QCOMPARE(snap->cursor().shape(), Qt::OpenHandCursor);
        QFile log(logFilePath());
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QByteArray lines = log.readAll();
        QVERIFY(lines.contains("拍照失败: " + photos + "/missing/folder/"));
        QVERIFY(lines.contains("抓图未生成文件, 不拖动: " + photos + "/missing/folder/"));
    }

    // The panel spans the camera's own zoom range; its buttons stop at the ends
    // and every value reaches the camera.
    void focusPanelDrivesTheCameraZoom()
    {
        QPushButton *focus = button("pushButtonFocus");
        QWidget *panel = m_view->focusWidget();
        auto *slider = panel->findChild<QSlider *>("horizontalSlider");
        auto *text = panel->findChild<QLineEdit *>("lineEditVal");
        auto *add = panel->findChild<QPushButton *>("pushButtonAdd");
        auto *sub = panel->findChild<QPushButton *>("pushButtonSub");
        const auto cameraZoom = [this] { return fnGetCameraControl(m_view->m_nMainCam, 5, 5); };
        focus->click();
        QVERIFY(panel->isVisible());
        QFile log(logFilePath());
        QVERIFY(log.open(QIODevice::ReadOnly));
        QVERIFY(log.readAll().contains("lMin = 0, lMax = 100, val = 50 step = 10"));
        QCOMPARE(slider->minimum(), 0);
        QCOMPARE(slider->maximum(), 100);
        QCOMPARE(slider->value(), 50);
        QCOMPARE(text->text(), QString("50"));

        add->click();
        QCOMPARE(slider->value(), 60);
        QCOMPARE(cameraZoom(), 60);
        for (int press = 0; press < 8; ++press)
            sub->click();
        QCOMPARE(text->text(), QString("0"));
        QCOMPARE(cameraZoom(), 0);
        for (int press = 0; press < 12; ++press)
            add->click();
        QCOMPARE(text->text(), QString("100"));
        QCOMPARE(cameraZoom(), 100);
        slider->setValue(35); // a drag passes every value
        QCOMPARE(cameraZoom(), 35);

        focus->click();
        QVERIFY(!panel->isVisible());
        QVERIFY(panel->geometry().contains(
            panel->findChild<QWidget *>("checkBoxAuto")->geometry().translated(panel->pos())));
        m_view->setZoomValue(50, false);
    }

    void secondaryCameraWindowAndSwap()
    {
        QDir photos(QString::fromLocal8Bit(m_bar->m_strImagePath));
        const QStringList before = photos.entryList(QDir::Files);
        button("pushButtonSubCam")->click();
        QSubCamWidget *sub = m_view->subCamWidget();
        QVERIFY(sub && sub->isVisible());
        QCOMPARE(sub->camera(), m_view->m_nSubCam);
        sub->findChild<QPushButton *>("pushButtonCapture")->click();
        QCOMPARE(photos.entryList(QDir::Files).size(), before.size() + 1);
        const QByteArray photoFolder = m_bar->m_strImagePath;
        m_bar->m_strImagePath = photoFolder + "/missing";
        sub->findChild<QPushButton *>("pushButtonCapture")->click();
        m_bar->m_strImagePath = photoFolder;
        QVERIFY(m_dialogs.m_messages.last().startsWith("提示|照片无法保存: " + photos.path()));
        sub->findChild<QPushButton *>("pushButtonClose")->click();
        QVERIFY(!sub->isVisible());

        // The main camera at 1280 x 720, the secondary one at 640 x 480.
        auto *list = m_view->findChild<QComboBox *>("comboBoxRes");
        list->setCurrentIndex(2);
        waitForFrameWidth(1280);
        button("pushButtonSwitch")->click();
        QVERIFY(sub->isVisible());
        waitForFrameWidth(640);
        button("pushButtonSwitch")->click();
        waitForFrameWidth(1280);
        list->setCurrentIndex(1);
        waitForFrameWidth(640);
    }

    // A large frame fitted to the screen is drawn from its half-size level at the
    // full frame's place and size; real size and zooming in draw the full frame.
    void largeFramesDrawnFromTheLevelTheScreenNeeds()
    {
        const QRect area = videoArea()->rect();
        fnSetVideoCB(m_view->m_nMainCam, reinterpret_cast<void *>(&largeOrOwnFrame));
        largeFrames = true;
        m_view->OnShowFitSize();
        QTRY_COMPARE(livePictureItem->pixmap().devicePixelRatio(), 0.5);
        QCOMPARE(livePictureItem->pixmap().size(), QSize(2000, 1500));
        QVERIFY(closeTo(pictureOnScreen(), fitRect(area, 4000, 3000)));

        m_view->OnShowRealSize();
        QTRY_COMPARE(livePictureItem->pixmap().width(), 4000);
        QCOMPARE(livePictureItem->pixmap().devicePixelRatio(), 1.0);
        QVERIFY(
            closeTo(pictureOnScreen(), QRect((1920 - 4000) / 2, (1000 - 3000) / 2, 4000, 3000)));

        m_view->OnShowFitSize();
        QTRY_COMPARE(livePictureItem->pixmap().devicePixelRatio(), 0.5);
        for (int step = 0; step < 3; ++step) // a third of full size, 1.2 times a step
            m_view->OnZoomIn();
        QCOMPARE(livePictureItem->pixmap().devicePixelRatio(), 1.0); // at once, also frozen

        largeFrames = false;
        m_view->OnShowFitSize();
        waitForFrameWidth(640);
        QVERIFY(closeTo(pictureOnScreen(), fitRect(area, 640, 480)));
    }
};

int main(int argc, char **argv)
{
    if (argc > 1 && qstrcmp(argv[1], "--without-camera") == 0)
        return runWithoutCamera(argc, argv);
    QApplication app(argc, argv);
    TestPresenterView test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "test_presenterview.moc"
