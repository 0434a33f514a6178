// The presenter view on two simulated cameras, headless: the camera choice, the
// resolution list, placing the picture, stills, the command bar and the commands
// of the annotation program. Each function starts from the first list entry, the
// picture fitted and upright (init()).

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGraphicsScene>
#include <QGraphicsTextItem>
#include <QImageReader>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QTest>

#include <atomic>
#include <cstdio>
#include <future>
#include <memory>

#include "app/kelvora.h"
#include "camera/qfocuswidget.h"
#include "camera/qmainwidget.h"
#include "camera/qsnapwidget.h"
#include "camera/qsubcamwidget.h"
#include "common/log.h"
#include "common/programwide.h"
#include "optrelle.h"
#include "platform/copydatasender.h"
#include "recordingdialogs.h"
#include "recordinglauncher.h"
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

// Where the picture's top-left pixel is drawn.
QPoint firstPixelOnScreen()
{
    return livePictureItem->mapToScene(livePictureItem->boundingRect().topLeft()).toPoint();
}

bool closeTo(const QRect &a, const QRect &b)
{
    return (a.topLeft() - b.topLeft()).manhattanLength() <= 2 &&
           (a.bottomRight() - b.bottomRight()).manhattanLength() <= 2;
}

QByteArray loggedText()
{
    QFile log(logFilePath());
    return log.open(QIODevice::ReadOnly) ? log.readAll() : QByteArray();
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
    SettingsStrings settings;
    new QMainWidget(settings);
    return 3; // not reached: the presenter ends the process
}

// The camera's frames counted, or a 12-megapixel camera's in their place.
std::atomic<int> framesSeen = 0;
std::atomic<bool> largeFrames = false;
void countedFrame(const void *data, int width, int height, int)
{
    static const QByteArray large(4000 * 3000 * 3, char(90));
    ++framesSeen;
    if (largeFrames)
        presenterView->storeFrame(large.constData(), 4000, 3000);
    else
        presenterView->storeFrame(data, width, height);
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
    QByteArray m_photos;

    QComboBox *resolutions() const { return m_view->findChild<QComboBox *>("comboBoxRes"); }
    QPushButton *button(const char *name) const { return m_view->findChild<QPushButton *>(name); }
    QRect pictureArea() const { return m_view->findChild<QWidget *>("widget")->rect(); }
    void waitForFrameWidth(int width) { QTRY_COMPARE(livePictureItem->pixmap().width(), width); }
    int photoCount() const { return QDir(QString::fromLocal8Bit(m_photos)).count(); }
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
        m_photos = m_bar->m_strImagePath;
        // Sized freely, as where no window manager keeps it maximized.
        m_view->setWindowState(Qt::WindowNoState);
        m_view->resize(1920, 1040);
        QVERIFY(QTest::qWaitForWindowExposed(m_view));
    }

    void init()
    {
        fnSetVideoCB(m_view->m_nMainCam, reinterpret_cast<void *>(&countedFrame));
        largeFrames = false;
        m_bar->m_strImagePath = m_photos;
        m_view->m_nDevRotate = 0;
        resolutions()->setCurrentIndex(0);
        m_view->OnShowFitSize();
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
        QVERIFY(loggedText().contains("副头pid=1234, vid=abcd (3)"));
        QStringList entries;
        for (int i = 0; i < resolutions()->count(); ++i)
            entries << resolutions()->itemText(i);
        QCOMPARE(entries, (QStringList{"3264x2448", "640x480", "1280x720"}));
    }

    void placesThePicture()
    {
        const QRect area = pictureArea();
        QCOMPARE(area.size(), QSize(1920, 1000));
        QVERIFY(closeTo(pictureOnScreen(), fitRect(area, 640, 480)));
        m_view->OnShowRealSize();
        QVERIFY(closeTo(pictureOnScreen(), QRect((1920 - 640) / 2, (1000 - 480) / 2, 640, 480)));

        // A camera mounted turned either way: its picture stands upright, its top
        // row along the right edge or the left one, fitted to the height; in real
        // size it stays at its own size, centred.
        for (const int mounting : {90, 270}) {
            m_view->m_nDevRotate = mounting;
            m_view->OnShowFitSize();
            QCOMPARE(m_view->m_nRotate, mounting);
            const QRect turned = pictureOnScreen();
            QVERIFY(closeTo(turned, QRect(960 - 375, 0, 750, 1000)));
            const QPoint first = mounting == 90 ? turned.topRight() : turned.bottomLeft();
            QVERIFY((firstPixelOnScreen() - first).manhattanLength() <= 2);
            m_view->OnShowRealSize();
            QVERIFY(closeTo(pictureOnScreen(), QRect(960 - 240, 500 - 320, 480, 640)));
        }

        // A new window size places the picture afresh in the new area.
        m_view->m_nDevRotate = 0;
        m_view->OnShowFitSize();
        m_view->resize(1000, 494);
        QVERIFY(closeTo(pictureOnScreen(), fitRect(pictureArea(), 640, 480)));
        m_view->resize(1920, 1040);
        QVERIFY(closeTo(pictureOnScreen(), fitRect(area, 640, 480)));
    }

    void stillsFollowListAndRotation()
    {
        const QString first = m_view->capturePhoto();
        QVERIFY(first.startsWith(QString::fromLocal8Bit(m_photos) + "/"));
        QVERIFY(first.endsWith(".jpg"));
        QCOMPARE(stillSize(first), QSize(3264, 2448)); // entry 0 resamples this model

        resolutions()->setCurrentIndex(1); // the same camera resolution, without resampling
        QCOMPARE(stillSize(m_view->capturePhoto()), QSize(640, 480));
        m_view->rotateRight();
        QCOMPARE(stillSize(m_view->capturePhoto()), QSize(480, 640));
        resolutions()->setCurrentIndex(2);
        waitForFrameWidth(1280);
        QCOMPARE(stillSize(m_view->capturePhoto()), QSize(1280, 720));
    }

    void obeysTheAnnotationProgram()
    {
        const float fitted = livePictureItem->keptScale();
        sendCommand("ZommOut");
        QVERIFY(qFuzzyCompare(livePictureItem->keptScale(), fitted * 1.2f));
        sendCommand("ZommIn");
        QVERIFY(qAbs(livePictureItem->keptScale() - fitted) < 1e-5);

        const int stills = photoCount();
        sendCommand("Photo RotateR"); // the turn comes first and alone
        QCOMPARE(m_view->m_nRotate, 90);
        QCOMPARE(photoCount(), stills);
        sendCommand("Photo");
        QCOMPARE(photoCount(), stills + 1);

        // Frozen, frames keep coming but none reaches the screen until unfrozen.
        sendCommand("FreeZe");
        QSignalSpy announced(m_view, &QMainWidget::frameChange);
        resolutions()->setCurrentIndex(2);
        const int seen = framesSeen;
        QTRY_VERIFY(framesSeen >= seen + 5);
        QCOMPARE(announced.count(), 0);
        QCOMPARE(livePictureItem->pixmap().width(), 640);
        sendCommand("FreeZe");
        waitForFrameWidth(1280);
    }

    void commandBarAndModes()
    {
        m_view->resize(1000, 494);
        QCOMPARE(button("pushButtonSettings")->geometry(), QRect(74, 0, 40, 40));
        QCOMPARE(button("pushButtonSpotlight")->pos(), QPoint(928, 0));
        QCOMPARE(resolutions()->pos(), QPoint(377, 4));
        QCOMPARE(button("pushButtonCapture")->iconSize(), QSize(38, 38));
        QVERIFY(!button("pushButtonOpenFolder")->isVisible());

        QPushButton *text = button("pushButtonMin");
        text->click();
        QCOMPARE(text->toolTip(), QString("图片模式"));
        m_view->resize(1100, 494); // the bar puts its own icon and tooltip back
        QCOMPARE(text->toolTip(), QString("文本模式"));
        text->click();
        QVERIFY(!text->isChecked());
        m_view->resize(1920, 1040);

        m_view->OnShowRealSize(); // the indicator shows the scale against real size
        m_view->OnZoomIn();
        QGraphicsTextItem *indicator = nullptr;
        for (QGraphicsItem *item : livePictureItem->scene()->items())
            indicator = indicator ? indicator : dynamic_cast<QGraphicsTextItem *>(item);
        QVERIFY(indicator && indicator->isVisible());
        QCOMPARE(indicator->toPlainText(), QString("120%"));
        QTRY_VERIFY(!indicator->isVisible()); // six ticks of 200 ms later
    }

    void fullScreenAlternates()
    {
        m_view->resize(m_view->screen()->availableGeometry().size());
        const QSize work = m_view->size();
        m_view->OnFullSrn();
        QCOMPARE(m_view->size(), m_view->screen()->geometry().size());
        QCOMPARE(m_view->windowState(), Qt::WindowFullScreen);
        m_view->OnFullSrn();
        QCOMPARE(m_view->size(), work);
        m_view->setWindowState(Qt::WindowNoState);
        m_view->resize(1920, 1040);
    }

    void barcodeLinkOpens()
    {
        m_launcher.m_launches.clear();
        m_view->onReadBarcode(); // the simulated desk carries a QR code with a bare link
        QCOMPARE(m_launcher.m_launches.size(), 1);
        QCOMPARE(m_launcher.m_launches[0].target, QString("http://kelvora.example/scan?id=42"));
    }

    // A failed still is told once, and the snapshot window neither waits for its
    // file nor starts a drag.
    void snapshotWithoutStillStartsNoDrag()
    {
        m_bar->m_strImagePath = m_photos + "/missing/folder";
        QSnapWidget *snap = m_view->snapWidget();
        const qsizetype messages = m_dialogs.m_messages.size();
        QElapsedTimer pressed;
        pressed.start();
        snap->mouseClick();
        QVERIFY(pressed.elapsed() < QSnapWidget::stillWaitMs);
        QCOMPARE(m_dialogs.m_messages.size(), messages + 1);
        QVERIFY(m_dialogs.m_messages.last().startsWith(
            "提示|照片无法保存: " + QString::fromLocal8Bit(m_photos) + "/missing/folder/"));
        QCOMPARE(snap->cursor().shape(), Qt::OpenHandCursor);
        QVERIFY(loggedText().contains("拍照失败: " + m_photos + "/missing/folder/"));
    }

    // The panel spans the camera's own zoom range; its buttons stop at the ends
    // and every value reaches the camera.
    void focusPanelDrivesTheCameraZoom()
    {
        QWidget *panel = m_view->focusWidget();
        auto *slider = panel->findChild<QSlider *>("horizontalSlider");
        auto *add = panel->findChild<QPushButton *>("pushButtonAdd");
        auto *sub = panel->findChild<QPushButton *>("pushButtonSub");
        const auto cameraZoom = [this] { return fnGetCameraControl(m_view->m_nMainCam, 5, 5); };
        m_view->setZoomValue(50, false);
        button("pushButtonFocus")->click();
        QVERIFY(panel->isVisible());
        QCOMPARE(slider->maximum(), 100);
        QCOMPARE(panel->findChild<QLineEdit *>("lineEditVal")->text(), QString("50"));
        add->click();
        QCOMPARE(cameraZoom(), 60);
        for (int press = 0; press < 8; ++press)
            sub->click();
        QCOMPARE(cameraZoom(), 0);
        for (int press = 0; press < 12; ++press)
            add->click();
        QCOMPARE(cameraZoom(), 100);
        slider->setValue(35); // a drag passes every value
        QCOMPARE(cameraZoom(), 35);
        button("pushButtonFocus")->click();
        QVERIFY(!panel->isVisible());
    }

    void secondaryCameraWindowAndSwap()
    {
        const int stills = photoCount();
        button("pushButtonSubCam")->click();
        QSubCamWidget *sub = m_view->subCamWidget();
        QVERIFY(sub && sub->isVisible());
        QCOMPARE(sub->camera(), m_view->m_nSubCam);
        sub->findChild<QPushButton *>("pushButtonCapture")->click();
        QCOMPARE(photoCount(), stills + 1);
        m_bar->m_strImagePath = m_photos + "/missing";
        sub->findChild<QPushButton *>("pushButtonCapture")->click();
        QVERIFY(m_dialogs.m_messages.last().startsWith("提示|照片无法保存: " +
                                                       QString::fromLocal8Bit(m_photos)));
        sub->findChild<QPushButton *>("pushButtonClose")->click();
        QVERIFY(!sub->isVisible());

        // The main camera at 1280 x 720, the secondary one at 640 x 480.
        resolutions()->setCurrentIndex(2);
        waitForFrameWidth(1280);
        button("pushButtonSwitch")->click();
        QVERIFY(sub->isVisible());
        waitForFrameWidth(640);
        button("pushButtonSwitch")->click();
        waitForFrameWidth(1280);
    }

    // A large frame fitted to the screen is drawn from its half-size level at the
    // full frame's place and size; real size and zooming in draw the full frame.
    void largeFramesDrawnFromTheLevelTheScreenNeeds()
    {
        largeFrames = true;
        QTRY_COMPARE(livePictureItem->pixmap().devicePixelRatio(), 0.5);
        QCOMPARE(livePictureItem->pixmap().size(), QSize(2000, 1500));
        QVERIFY(closeTo(pictureOnScreen(), QRect(293, 0, 1333, 1000)));

        m_view->OnShowRealSize();
        QTRY_COMPARE(livePictureItem->pixmap().width(), 4000);
        QCOMPARE(livePictureItem->pixmap().devicePixelRatio(), 1.0);

        m_view->OnShowFitSize();
        QTRY_COMPARE(livePictureItem->pixmap().devicePixelRatio(), 0.5);
        for (int step = 0; step < 3; ++step) // a third of full size, 1.2 times a step
            m_view->OnZoomIn();
        QCOMPARE(livePictureItem->pixmap().devicePixelRatio(), 1.0); // at once, also frozen
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
