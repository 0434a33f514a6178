// The comparison window, its cells and the image viewer, headless, with the
// launcher and the presenter on a simulated camera. The presenter is frozen, so
// the tests hand the comparison window its frames themselves. The layouts seen on
// a screen are in compare_e2e.sh; here are the cases a script cannot set up.

#include <QApplication>
#include <QGraphicsScene>
#include <QGraphicsView>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QWheelEvent>

#include <cmath>
#include <memory>
#include <tuple>

#include "app/kelvora.h"
#include "camera/qmainwidget.h"
#include "common/programwide.h"
#include "recordingdialogs.h"
#include "recordinglauncher.h"
#include "viewing/picturestage.h"
#include "viewing/qcellitem.h"
#include "viewing/qcompareimage.h"
#include "viewing/qimageitem.h"
#include "viewing/qimageviewwidget.h"

namespace {
QPixmap framePainted(const QColor &colour, int width = 640, int height = 480)
{
    QPixmap frame(width, height);
    frame.fill(colour);
    return frame;
}

bool fittedIn(const QImageItem *item, const QRect &area, int width, int height)
{
    const QRect r = item->sceneBoundingRect().toAlignedRect(), b = fitRect(area, width, height);
    return (r.topLeft() - b.topLeft()).manhattanLength() <= 2 &&
           (r.bottomRight() - b.bottomRight()).manhattanLength() <= 2;
}

float fitRatio(const QRect &area, int width, int height)
{
    return float(double(fitRect(area, width, height).width()) / width);
}

bool shows(const QImageItem *item, const QPixmap &frame)
{
    return item->pixmap().cacheKey() == frame.cacheKey();
}
} // namespace

class TestComparison : public QObject
{
    Q_OBJECT

private:
    RecordingDialogs m_dialogs;
    RecordingLauncher m_launcher;
    QTemporaryDir m_files;
    std::unique_ptr<Kelvora> m_bar;
    QCompareImage *m_compare = nullptr;
    QImageViewWidget *m_viewer = nullptr;

    static QPushButton *button(QWidget *in, const char *name)
    {
        return in->findChild<QPushButton *>(name);
    }
    QCellItem *cell(int index) const { return m_compare->cells().at(index); }
    QGraphicsView *viewerView() const { return m_viewer->findChild<QGraphicsView *>(); }
    // The viewer's picture (movable) or its return icon.
    QImageItem *viewerItem(bool picture) const
    {
        for (QGraphicsItem *each : viewerView()->scene()->items())
            if (bool(each->flags() & QGraphicsItem::ItemIsMovable) == picture)
                return static_cast<QImageItem *>(each);
        return nullptr;
    }
    void openInCell(QCellItem *target, const QString &file)
    {
        m_dialogs.m_chosenFile = file;
        button(target, "pushButtonOpen")->click();
    }
    QString pictureFile(const char *name, int width, int height)
    {
        const QString path = m_files.filePath(name);
        framePainted(Qt::darkCyan, width, height).save(path);
        return path;
    }
    // The plain window whose cell host (the bar is 40 high) has the given size,
    // laid out by the given button.
    void showWithHost(const QSize &host, const char *layout)
    {
        m_compare->showMode(0);
        m_compare->resize(host + QSize(0, 40));
        QVERIFY(QTest::qWaitForWindowExposed(m_compare));
        button(m_compare, layout)->click();
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_files.isValid());
        qputenv("OPTRELLE_BACKEND", "sim");
        qputenv("OPTRELLE_CAMERAS", "0ac8:c498@640x480");
        m_bar = std::make_unique<Kelvora>();
        for (QWidget *window : QApplication::topLevelWidgets())
            if (auto *compare = qobject_cast<QCompareImage *>(window))
                m_compare = compare;
        m_viewer = m_bar->m_pImageViewWidget;
        QVERIFY(m_compare && m_viewer);
        // Sized freely below, as where no window manager keeps it maximized.
        m_compare->setWindowState(Qt::WindowNoState);
        QTRY_VERIFY(!livePictureItem->pixmap().isNull());
        presenterView->OnLock();
    }

    void cleanupTestCase() { m_bar.reset(); }

    void init()
    {
        m_viewer->hide();
        presenterView->m_nDevRotate = 0;
    }

    void layoutsAndResizes()
    {
        const std::tuple<const char *, QSize, QList<QRect>> layouts[] = {
            {"pushButton3Cell",
             {1000, 600},
             {{40, 0, 302, 600}, {342, 0, 302, 600}, {644, 0, 302, 600}}},
            {"pushButton1Cell", {1000, 600}, {{40, 0, 908, 600}}},
            {"pushButton2Cell", {1001, 601}, {{40, 0, 454, 601}, {494, 0, 454, 601}}}};
        for (const auto &[layout, host, expected] : layouts) {
            showWithHost(host, layout);
            QList<QRect> cells;
            for (QCellItem *each : m_compare->cells())
                cells.append(each->geometry());
            QCOMPARE(cells, expected);
        }

        // A resize rebuilds the cells empty.
        showWithHost(QSize(1292, 800), "pushButton16Cell");
        openInCell(cell(0), pictureFile("resize.png", 400, 300));
        const QPointer<QCellItem> old = cell(0);
        m_compare->resize(1000, 640);
        QVERIFY(old.isNull());
        QCOMPARE(cell(15)->geometry(), QRect(40 + 3 * 227, 450, 227, 150));
        QVERIFY(cell(0)->pictureItem()->pixmap().isNull() && cell(0)->fileName().isEmpty());

        // A window resized while hidden rebuilds its remembered single cell when it
        // is shown; the pairing with the live picture still gets its two.
        button(m_compare, "pushButton1Cell")->click();
        m_compare->hide();
        m_compare->resize(1000, 640);
        m_bar->showCompareWindow(1);
        QCOMPARE(m_compare->cells().size(), 2);
        QVERIFY(cell(1)->m_bLive && !cell(0)->fileName().isEmpty());
        QCOMPARE(cell(1)->geometry(), QRect(40 + 454, 0, 454, 640));
        // The live cell has no buttons of its own; its first frame is fitted.
        QVERIFY(!button(cell(1), "pushButtonOpen")->isVisible());
        const QPixmap frame = framePainted(Qt::red);
        m_compare->showLiveImage(frame, false);
        QVERIFY(shows(cell(1)->pictureItem(), frame));
        QVERIFY(fittedIn(cell(1)->pictureItem(), cell(1)->pictureArea()->rect(), 640, 480));
    }

    void liveCellInFullScreenFeedsTheViewer()
    {
        for (const bool byReturnIcon : {false, true}) {
            showWithHost(QSize(1292, 800), "pushButton2Cell");
            // Without a live cell a frame changes nothing.
            m_compare->showLiveImage(framePainted(Qt::red), true);
            QVERIFY(cell(1)->pictureItem()->pixmap().isNull());

            QCellItem *live = cell(1);
            button(live, "pushButtonCam")->click();
            const QPixmap first = framePainted(Qt::red);
            m_compare->showLiveImage(first, false);
            QVERIFY(shows(live->pictureItem(), first));

            button(live, "pushButtonFullSrn")->click();
            QVERIFY(QTest::qWaitForWindowExposed(m_viewer));
            const QPixmap second = framePainted(Qt::green);
            m_compare->showLiveImage(second, true);
            QImageItem *picture = viewerItem(true);
            QVERIFY(shows(picture, second) && shows(live->pictureItem(), first));
            QVERIFY(fittedIn(picture, QRect(QPoint(0, 0), viewerView()->size()), 640, 480));

            if (byReturnIcon) {
                const QPoint icon =
                    viewerView()->mapFromScene(viewerItem(false)->sceneBoundingRect().center());
                QTest::mouseClick(viewerView()->viewport(), Qt::LeftButton, {}, icon);
            } else {
                button(m_viewer, "pushButtonClose")->click();
            }
            QVERIFY(m_viewer->isHidden());
            const QPixmap third = framePainted(Qt::blue);
            m_compare->showLiveImage(third, false);
            QVERIFY(shows(live->pictureItem(), third) && shows(picture, second));

            // Rebuilding the grid while the viewer shows the live cell, then hiding the
            // viewer, must not write into the destroyed cell.
            button(live, "pushButtonFullSrn")->click();
            button(m_compare, "pushButton4Cell")->click();
            QVERIFY(m_viewer->m_pCell.isNull());
            m_viewer->hide();
        }
    }

    void openedFileFitsAfreshWheelZoomsEmptyShowsNothing()
    {
        showWithHost(QSize(1292, 800), "pushButton2Cell");
        QCellItem *target = cell(0);
        openInCell(target, pictureFile("tall.png", 300, 800));
        button(target, "pushButtonZoomIn")->click();
        button(target, "pushButtonRotRight")->click();
        openInCell(target, pictureFile("wide.png", 900, 300));
        const QRect area = target->pictureArea()->rect();
        const float fitted = fitRatio(area, 900, 300);
        QCOMPARE(target->pictureItem()->keptScale(), fitted);
        QVERIFY(fittedIn(target->pictureItem(), area, 900, 300));
        QVERIFY(m_dialogs.m_messages.isEmpty());

        // The bar's own widgets leave the wheel to the cell.
        const QPointF overBar = target->findChild<QWidget *>("widget")->geometry().center();
        QWheelEvent wheel(overBar, target->mapToGlobal(overBar), QPoint(), QPoint(0, 120),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(target, &wheel);
        QCOMPARE(target->pictureItem()->keptScale(), fitted * 1.2f);

        // A cancelled dialog, an unreadable file, a failed still: the cell or the
        // viewer shows nothing and its transform stays finite.
        const auto showsNothing = [](const QImageItem *item) {
            return item->pixmap().isNull() && !item->isVisible() &&
                   std::isfinite(item->transform().m11()) && std::isfinite(item->keptScale());
        };
        for (const QString &answer : {QString(), m_files.filePath("missing.png")}) {
            openInCell(target, pictureFile("shown.png", 400, 300));
            openInCell(target, answer);
            QVERIFY(showsNothing(target->pictureItem()));
        }
        const QByteArray photos = m_bar->m_strImagePath;
        m_bar->m_strImagePath = photos + "/missing/folder";
        target->showSnapshot();
        m_bar->m_strImagePath = photos;
        QVERIFY(showsNothing(target->pictureItem()));
        m_viewer->showImage(QPixmap(), true);
        QVERIFY(showsNothing(viewerItem(true)));
    }

    void liveFitFollowsDeviceRotation()
    {
        // A camera mounted turned enlarges the fit by 1.2; later frames keep the user's zoom.
        for (const auto &[mounting, turnEnlarges] : {std::pair{0, 1.0f}, {90, 1.2f}}) {
            showWithHost(QSize(1292, 800), "pushButton2Cell");
            QCellItem *live = cell(0);
            presenterView->m_nDevRotate = mounting;
            button(live, "pushButtonCam")->click();
            m_compare->showLiveImage(framePainted(Qt::red), false);
            const float fitted = fitRatio(live->pictureArea()->rect(), 640, 480) * turnEnlarges;
            QCOMPARE(live->pictureItem()->keptScale(), fitted);
            button(live, "pushButtonZoomOut")->click();
            m_compare->showLiveImage(framePainted(Qt::green), true);
            QCOMPARE(live->pictureItem()->keptScale(), fitted * 0.8333333f);
        }
    }

    void folderChoiceAndOpening()
    {
        QWidget *bar = m_compare->findChild<QWidget *>("widget_2");
        m_launcher.m_launches.clear();
        for (const QString &chosen : {QString(), m_files.path()}) {
            m_dialogs.m_chosenFolder = chosen;
            button(bar, "pushButtonBrowser")->click();
            QCOMPARE(bar->findChild<QLineEdit *>("lineEditPath")->text(), chosen);
            button(bar, "pushButtonOpen")->click();
        }
        // An empty folder opens nothing.
        QCOMPARE(m_launcher.m_launches.size(), 1);
        QCOMPARE(m_launcher.m_launches.at(0).target, m_files.path());
    }
};

QTEST_MAIN(TestComparison)
#include "test_comparison.moc"
