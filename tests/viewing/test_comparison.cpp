// The comparison window, its cells and the image viewer, headless, with the
// launcher and the presenter on a simulated camera. The presenter is frozen, so
// the tests hand the comparison window its frames themselves.

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
#include "viewing/comparegrid.h"
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

bool closeTo(const QRectF &a, const QRect &b)
{
    const QRect r = a.toAlignedRect();
    return qAbs(r.left() - b.left()) <= 1 && qAbs(r.top() - b.top()) <= 1 &&
           qAbs(r.right() - b.right()) <= 1 && qAbs(r.bottom() - b.bottom()) <= 1;
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

    QPushButton *button(QWidget *in, const char *name) const
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
    QString pictureFile(const char *name, int width, int height)
    {
        const QString path = m_files.filePath(name);
        framePainted(Qt::darkCyan, width, height).save(path);
        return path;
    }
    void openInCell(QCellItem *target, const QString &file)
    {
        m_dialogs.m_chosenFile = file;
        button(target, "pushButtonOpen")->click();
    }
    // The plain window at a size whose cell host is the given size (the bar is 40 high),
    // laid out by the given button.
    void showWithHost(const QSize &host, const char *layout)
    {
        m_compare->showMode(0);
        m_compare->resize(host + QSize(0, 40));
        QVERIFY(QTest::qWaitForWindowExposed(m_compare));
        QCOMPARE(m_compare->findChild<QWidget *>("widget")->size(), host);
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
        QVERIFY(m_compare->isHidden() && m_viewer->isHidden());
        QCOMPARE(m_compare->windowTitle(), QString("同屏对比"));
        // Sized freely below, as where no window manager keeps it maximized.
        m_compare->setWindowState(Qt::WindowNoState);
        QTRY_VERIFY(!livePictureItem->pixmap().isNull());
        presenterView->OnLock();
    }

    void cleanupTestCase() { m_bar.reset(); }

    void cleanup()
    {
        m_viewer->hide();
        presenterView->m_nDevRotate = 0;
    }

    void layoutButtonsLayOutTheGrid()
    {
        const std::tuple<const char *, QSize, QList<QRect>> layouts[] = {
            {"pushButton4Cell",
             {1292, 800},
             {{40, 0, 600, 400}, {640, 0, 600, 400}, {40, 400, 600, 400}, {640, 400, 600, 400}}},
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
        QVERIFY(compareGridCells(5, QSize(1292, 800)).isEmpty()); // no layout, no places
    }

    void sixteenCellsThenPresenterAndLauncherComparison()
    {
        // A resize rebuilds the sixteen cells empty.
        showWithHost(QSize(1292, 800), "pushButton16Cell");
        QCOMPARE(m_compare->cells().size(), 16);
        QCOMPARE(cell(15)->geometry(), QRect(40 + 3 * 300, 600, 300, 200));
        openInCell(cell(0), pictureFile("resize.png", 400, 300));
        const QPointer<QCellItem> old = cell(0);
        m_compare->resize(1000, 640);
        QVERIFY(old.isNull());
        QCOMPARE(m_compare->cells().size(), 16);
        QCOMPARE(cell(15)->geometry(), QRect(40 + 3 * 227, 450, 227, 150));
        for (QCellItem *each : m_compare->cells())
            QVERIFY(each->pictureItem()->pixmap().isNull() && each->fileName().isEmpty());

        // The presenter's button pairs a fresh still with the live picture; the cells
        // take the bar's room too.
        m_compare->resize(1292, 840);
        m_compare->hide();
        presenterView->show();
        button(presenterView, "pushButtonComp")->click();
        QVERIFY(presenterView->isHidden() && m_compare->isVisible());
        QCOMPARE(m_compare->cells().size(), 2);
        QVERIFY(m_compare->findChild<QWidget *>("widget_2")->isHidden());
        QCOMPARE(cell(1)->geometry(), QRect(40 + 600, 0, 600, 840));

        QCellItem *still = cell(0);
        const QString photos = QString::fromLocal8Bit(m_bar->m_strImagePath);
        QVERIFY2(still->fileName().startsWith(photos + "/"), qPrintable(still->fileName()));
        const QSize stillSize = QImage(still->fileName()).size();
        QCOMPARE(still->pictureItem()->pixmap().size(), stillSize);
        QVERIFY(
            closeTo(still->pictureItem()->sceneBoundingRect(),
                    fitRect(still->pictureArea()->rect(), stillSize.width(), stillSize.height())));

        // The live cell: no buttons, the bar left empty, its first frame fitted to
        // the picture area, so none of it lies under the bar.
        QCellItem *live = cell(1);
        QVERIFY(live->m_bLive);
        QVERIFY(!button(live, "pushButtonOpen")->isVisible());
        QVERIFY(!button(live, "pushButtonFullSrn")->isVisible());
        QVERIFY(live->findChild<QWidget *>("widget")->isVisible());
        const QPixmap frame = framePainted(Qt::red);
        m_compare->showLiveImage(frame, false);
        QVERIFY(shows(live->pictureItem(), frame));
        QVERIFY(closeTo(live->pictureItem()->sceneBoundingRect(),
                        fitRect(live->pictureArea()->rect(), 640, 480)));

        m_compare->resize(1292, 880);
        QCOMPARE(m_compare->cells().size(), 16);
        QVERIFY(!cell(1)->m_bLive && cell(0)->fileName().isEmpty());

        // The launcher's own button: two empty cells with the bar.
        m_bar->findChild<QPushButton *>("pushButtonCompare")->click();
        QCOMPARE(m_compare->cells().size(), 2);
        QVERIFY(m_compare->findChild<QWidget *>("widget_2")->isVisible());
        QVERIFY(!cell(0)->m_bLive && !cell(1)->m_bLive && cell(0)->fileName().isEmpty());
        QCOMPARE(cell(1)->geometry(), QRect(40 + 600, 0, 600, 840));

        // A window resized while hidden rebuilds its remembered single cell when it
        // is shown; the pairing still gets its two.
        button(m_compare, "pushButton1Cell")->click();
        m_compare->hide();
        m_compare->resize(1000, 640);
        m_bar->showCompareWindow(1);
        QCOMPARE(m_compare->cells().size(), 2);
        QVERIFY(cell(1)->m_bLive && !cell(0)->fileName().isEmpty());
        QCOMPARE(cell(1)->geometry(), QRect(40 + 454, 0, 454, 640));
    }

    void liveCellInFullScreenFeedsTheViewer()
    {
        for (const bool byReturnIcon : {false, true}) {
            showWithHost(QSize(1292, 800), "pushButton2Cell");
            // Without a live cell a frame changes nothing.
            openInCell(cell(0), pictureFile("still.png", 400, 300));
            const qint64 shown = cell(0)->pictureItem()->pixmap().cacheKey();
            m_compare->showLiveImage(framePainted(Qt::red), true);
            QCOMPARE(cell(0)->pictureItem()->pixmap().cacheKey(), shown);
            QVERIFY(cell(1)->pictureItem()->pixmap().isNull());
            QVERIFY(m_viewer->isHidden());

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
            QVERIFY(shows(picture, second));
            QVERIFY(closeTo(picture->sceneBoundingRect(),
                            fitRect(QRect(QPoint(0, 0), viewerView()->size()), 640, 480)));
            QVERIFY(shows(live->pictureItem(), first));
            QCOMPARE(m_viewer->m_pCell.data(), live);

            if (byReturnIcon) {
                const QPoint icon =
                    viewerView()->mapFromScene(viewerItem(false)->sceneBoundingRect().center());
                QTest::mouseClick(viewerView()->viewport(), Qt::LeftButton, {}, icon);
            } else {
                button(m_viewer, "pushButtonClose")->click();
            }
            QVERIFY(m_viewer->isHidden());
            QVERIFY(!live->m_bFullScreen);
            const QPixmap third = framePainted(Qt::blue);
            m_compare->showLiveImage(third, false);
            QVERIFY(shows(live->pictureItem(), third));
            QVERIFY(shows(picture, second));

            // Rebuilding the grid while the viewer shows the live cell, then hiding the
            // viewer, must not write into the destroyed cell.
            button(live, "pushButtonFullSrn")->click();
            m_compare->showLiveImage(framePainted(Qt::red), false);
            QVERIFY(m_viewer->m_pCell);
            button(m_compare, "pushButton4Cell")->click();
            QVERIFY(m_viewer->m_pCell.isNull());
            m_viewer->hide();
            QVERIFY(m_viewer->isHidden());
        }
    }

    void viewerGeometry()
    {
        m_viewer->resize(1920, 1040);
        m_viewer->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_viewer));
        QCOMPARE(viewerView()->geometry(), QRect(40, 0, 1828, 1040));
        QCOMPARE(button(m_viewer, "pushButtonClose")->pos(), QPoint(1900, 0));
        QCOMPARE(viewerView()->scene()->sceneRect(), QRectF(0, 0, 1920, 1040));
        QCOMPARE(viewerItem(false)->offset(), QPointF(928, 980));
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
        QVERIFY(closeTo(target->pictureItem()->sceneBoundingRect(), fitRect(area, 900, 300)));
        QVERIFY(m_dialogs.m_messages.isEmpty());

        // The bar's own widgets leave the wheel to the cell.
        const QPointF overBar = target->findChild<QWidget *>("widget")->geometry().center();
        const auto wheel = [target, overBar](int delta) {
            QWheelEvent event(overBar, target->mapToGlobal(overBar), QPoint(), QPoint(0, delta),
                              Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
            QApplication::sendEvent(target, &event);
        };
        wheel(120);
        QCOMPARE(target->pictureItem()->keptScale(), fitted * 1.2f);
        wheel(-120);
        QCOMPARE(target->pictureItem()->lastFactor(), 0.8333333f);

        // A cancelled dialog, an unreadable file, a failed still: the cell or the
        // viewer shows nothing and its transform stays finite.
        const auto showsNothing = [](const QImageItem *item) {
            return item->pixmap().isNull() && !item->isVisible() &&
                   std::isfinite(item->transform().m11()) && std::isfinite(item->keptScale());
        };
        for (const QString &answer : {QString(), m_files.filePath("missing.png")}) {
            openInCell(target, pictureFile("shown.png", 400, 300));
            openInCell(target, answer);
            QCOMPARE(target->fileName(), answer);
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
        for (const auto &[mounting, turnEnlarges] : {std::pair{0, 1.0f}, {90, 1.2f}, {270, 1.2f}}) {
            showWithHost(QSize(1292, 800), "pushButton2Cell");
            QCellItem *live = cell(0);
            presenterView->m_nDevRotate = mounting;
            button(live, "pushButtonCam")->click();
            m_compare->showLiveImage(framePainted(Qt::red), false);
            const float fitted = fitRatio(live->pictureArea()->rect(), 640, 480) * turnEnlarges;
            QCOMPARE(live->pictureItem()->keptScale(), fitted);

            button(live, "pushButtonZoomOut")->click();
            const QPixmap next = framePainted(Qt::green);
            m_compare->showLiveImage(next, true);
            QVERIFY(shows(live->pictureItem(), next));
            QCOMPARE(live->pictureItem()->keptScale(), fitted * 0.8333333f);
        }
    }

    void folderChoiceAndOpening()
    {
        // The cells have open buttons of their own.
        QWidget *bar = m_compare->findChild<QWidget *>("widget_2");
        auto *path = bar->findChild<QLineEdit *>("lineEditPath");
        m_launcher.m_launches.clear();
        m_dialogs.m_chosenFolder = m_files.path();
        button(bar, "pushButtonBrowser")->click();
        QCOMPARE(path->text(), m_files.path());
        button(bar, "pushButtonOpen")->click();
        QCOMPARE(m_launcher.m_launches.size(), 1);
        QCOMPARE(m_launcher.m_launches.at(0).target, m_files.path());

        m_dialogs.m_chosenFolder.clear();
        button(bar, "pushButtonBrowser")->click();
        QVERIFY(path->text().isEmpty());
        button(bar, "pushButtonOpen")->click();
        QCOMPARE(m_launcher.m_launches.size(), 1);
    }
};

QTEST_MAIN(TestComparison)
#include "test_comparison.moc"
