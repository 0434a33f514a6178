// The presenter view on simulated cameras, headless, from the picture fitted and
// upright (init()); presenter_e2e.sh drives the stills, bar and floating windows.

#include <QApplication>
#include <QElapsedTimer>
#include <QGraphicsScene>
#include <QPushButton>
#include <QTest>

#include <atomic>
#include <memory>

#include "app/kelvora.h"
#include "camera/qmainwidget.h"
#include "camera/qsnapwidget.h"
#include "camera/qsubcamwidget.h"
#include "common/programwide.h"
#include "optrelle.h"
#include "recordingdialogs.h"
#include "recordinglauncher.h"
#include "viewing/picturestage.h"
#include "viewing/qimageitem.h"

namespace {
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

    QPushButton *button(const char *name) const { return m_view->findChild<QPushButton *>(name); }
    QRect pictureArea() const { return m_view->findChild<QWidget *>("widget")->rect(); }
    void waitForFrameWidth(int width) { QTRY_COMPARE(livePictureItem->pixmap().width(), width); }
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
        fnSetVideoCB(m_view->m_nMainCam, reinterpret_cast<void *>(&largeOrOwnFrame));
        largeFrames = false;
        m_bar->m_strImagePath = m_photos;
        m_view->m_nDevRotate = 0;
        m_view->OnShowFitSize();
        waitForFrameWidth(640);
    }

    void cleanupTestCase() { m_bar.reset(); }

    // A camera mounted turned either way: its picture stands upright, its top row
    // along the right edge or the left one, fitted to the height.
    void placesThePicture()
    {
        QCOMPARE(pictureArea().size(), QSize(1920, 1000));
        QVERIFY(closeTo(pictureOnScreen(), fitRect(pictureArea(), 640, 480)));
        for (const int mounting : {90, 270}) {
            m_view->m_nDevRotate = mounting;
            m_view->OnShowFitSize();
            const QRect turned = pictureOnScreen();
            QVERIFY(closeTo(turned, QRect(960 - 375, 0, 750, 1000)));
            const QPoint first = mounting == 90 ? turned.topRight() : turned.bottomLeft();
            QVERIFY((firstPixelOnScreen() - first).manhattanLength() <= 2);
        }
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
    }

    void secondaryCameraStillFailureIsTold()
    {
        button("pushButtonSubCam")->click();
        m_bar->m_strImagePath = m_photos + "/missing";
        m_view->subCamWidget()->findChild<QPushButton *>("pushButtonCapture")->click();
        QVERIFY(m_dialogs.m_messages.last().startsWith("提示|照片无法保存: " +
                                                       QString::fromLocal8Bit(m_photos)));
    }

    // A large frame fitted to the screen is drawn from its half-size level at the
    // full frame's place and size; real size draws the full frame.
    void largeFramesDrawnFromTheLevelTheScreenNeeds()
    {
        largeFrames = true;
        QTRY_COMPARE(livePictureItem->pixmap().devicePixelRatio(), 0.5);
        QCOMPARE(livePictureItem->pixmap().size(), QSize(2000, 1500));
        QVERIFY(closeTo(pictureOnScreen(), QRect(293, 0, 1333, 1000)));

        m_view->OnShowRealSize();
        QTRY_COMPARE(livePictureItem->pixmap().width(), 4000);
        QCOMPARE(livePictureItem->pixmap().devicePixelRatio(), 1.0);
    }
};

QTEST_MAIN(TestPresenterView)
#include "test_presenterview.moc"
