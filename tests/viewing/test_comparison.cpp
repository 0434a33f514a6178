// The comparison window, its cells and the image viewer, headless, with the
// launcher and the presenter on a simulated camera. The presenter is frozen, so
// the tests hand the comparison window its frames themselves.

#include <QApplication>
#include <QDir>
#include <QFile>
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

#include "app/kelvora.h"
#include "camera/qmainwidget.h"
#include "common/log.h"
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

QByteArray logText()
{
    QFile log(logFilePath());
    return log.open(QIODevice::ReadOnly) ? log.readAll() : QByteArray();
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
    // The plain window at a size whose cell host is the given size (the bar is 40 high).
    void showWithHost(const QSize &host)
    {
        m_compare->showMode(0);
        m_compare->resize(host + QSize(0, 40));
        QVERIFY(QTest::qWaitForWindowExposed(m_compare));
        QCOMPARE(m_compare->findChild<QWidget *>("widget")->size(), host);
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
        QTRY_VERIFY(!livePictureItem->pixmap().isNull());
        presenterView->OnLock();
    }

    void cleanupTestCase() { m_bar.reset(); }

    void cleanup()
    {
        m_viewer->hide();
        presenterView->m_nDevRotate = 0;
    }

    void layoutButtonsLayOutTheGrid_data()
    {
        QTest::addColumn<QString>("layoutButton");
        QTest::addColumn<QSize>("host");
        QTest::addColumn<QList<QRect>>("expected");
        QTest::newRow("4 cells") << "pushButton4Cell" << QSize(1292, 800)
                                 << QList<QRect>{{40, 0, 600, 400},
                                                 {640, 0, 600, 400},
                                                 {40, 400, 600, 400},
                                                 {640, 400, 600, 400}};
        QTest::newRow("3 cells") << "pushButton3Cell" << QSize(1000, 600)
                                 << QList<QRect>{
                                        {40, 0, 302, 600}, {342, 0, 302, 600}, {644, 0, 302, 600}};
        QTest::newRow("1 cell") << "pushButton1Cell" << QSize(1000, 600)
                                << QList<QRect>{{40, 0, 908, 600}};
        QTest::newRow("2 cells") << "pushButton2Cell" << QSize(1001, 601)
                                 << QList<QRect>{{40, 0, 454, 601}, {494, 0, 454, 601}};
    }

    void layoutButtonsLayOutTheGrid()
    {
        QFETCH(QString, layoutButton);
        QFETCH(QSize, host);
        QFETCH(QList<QRect>, expected);
        showWithHost(host);
        button(m_compare, qPrintable(layoutButton))->click();
        QList<QRect> cells;
        for (QCellItem *each : m_compare->cells())
            cells.append(each->geometry());
        QCOMPARE(cells, expected);
        // Sixteen go 4 × 4; a count without a layout has no places.
        QCOMPARE(compareGridCells(16, QSize(1292, 800)).at(15), QRect(40 + 3 * 300, 600, 300, 200));
        QVERIFY(compareGridCells(5, QSize(1292, 800)).isEmpty());
    }

    void resizeRebuildsEmptyCells()
    {
        showWithHost(QSize(1292, 800));
        button(m_compare, "pushButton16Cell")->click();
        QCOMPARE(m_compare->cells().size(), 16);
        openInCell(cell(0), pictureFile("resize.png", 400, 300));
        const QPointer<QCellItem> old = cell(0);
        m_compare->resize(1000, 640);
        QVERIFY(old.isNull());
        QCOMPARE(m_compare->cells().size(), 16);
        QCOMPARE(cell(15)->geometry(), QRect(40 + 3 * 227, 450, 227, 150));
        for (QCellItem *each : m_compare->cells())
            QVERIFY(each->pictureItem()->pixmap().isNull() && each->fileName().isEmpty());
    }

    void launcherOpensPlainAndPresenterPairedComparison()
    {
        showWithHost(QSize(1292, 800));
        button(m_compare, "pushButton16Cell")->click();
        m_compare->hide();
        presenterView->show();

        button(presenterView, "pushButtonComp")->click();
        QVERIFY(presenterView->isHidden());
        QVERIFY(m_compare->isVisible());
        QCOMPARE(m_compare->cells().size(), 2);
        QVERIFY(m_compare->findChild<QWidget *>("widget_2")->isHidden());
        // The cells take the bar's room too.
        QCOMPARE(cell(1)->geometry(), QRect(40 + 600, 0, 600, 840));

        // The still just stored in the photo folder, fitted to the first picture area.
        QCellItem *still = cell(0);
        const QString photos = QString::fromLocal8Bit(m_bar->m_strImagePath);
        QVERIFY2(still->fileName().startsWith(photos + "/"), qPrintable(still->fileName()));
        QVERIFY(QFile::exists(still->fileName()));
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
        const QRect fit = fitRect(live->pictureArea()->rect(), 640, 480);
        QVERIFY(closeTo(live->pictureItem()->sceneBoundingRect(), fit));
        const QString logged = QString("rc.width = %1, rc.height = %2, ratio = %3")
                                   .arg(fit.width())
                                   .arg(fit.height())
                                   .arg(fit.width() / 640.0, 0, 'f', 2);
        QVERIFY2(logText().contains(logged.toUtf8()), qPrintable(logged));

        m_compare->resize(1292, 880);
        QCOMPARE(m_compare->cells().size(), 16);
        QVERIFY(!cell(1)->m_bLive && cell(0)->fileName().isEmpty());

        // The launcher's own button: two empty cells with the bar.
        m_bar->findChild<QPushButton *>("pushButtonCompare")->click();
        QCOMPARE(m_compare->cells().size(), 2);
        QVERIFY(m_compare->findChild<QWidget *>("widget_2")->isVisible());
        QVERIFY(!cell(0)->m_bLive && !cell(1)->m_bLive && cell(0)->fileName().isEmpty());
        QCOMPARE(cell(1)->geometry(), QRect(40 + 600, 0, 600, 840));
    }

    // A window resized while hidden rebuilds its remembered single cell when it
    // is shown; the pairing still gets its two.
    void pairedModeAfterOneCellAndHiddenResize()
    {
        showWithHost(QSize(1292, 800));
        button(m_compare, "pushButton1Cell")->click();
        m_compare->hide();
        m_compare->resize(1000, 640);
        m_bar->showCompareWindow(1);
        QCOMPARE(m_compare->cells().size(), 2);
        QVERIFY(cell(1)->m_bLive && !cell(0)->fileName().isEmpty());
        QCOMPARE(cell(1)->geometry(), QRect(40 + 454, 0, 454, 640));
    }

    void frameWithoutLiveCellChangesNothing()
    {
        showWithHost(QSize(1292, 800));
        button(m_compare, "pushButton2Cell")->click();
        openInCell(cell(0), pictureFile("still.png", 400, 300));
        const qint64 shown = cell(0)->pictureItem()->pixmap().cacheKey();
        m_compare->showLiveImage(framePainted(Qt::red), true);
        QCOMPARE(cell(0)->pictureItem()->pixmap().cacheKey(), shown);
        QVERIFY(cell(1)->pictureItem()->pixmap().isNull());
        QVERIFY(m_viewer->isHidden());
    }

    void liveCellInFullScreenFeedsTheViewer_data()
    {
        QTest::addColumn<bool>("byReturnIcon");
        QTest::newRow("closed with X") << false;
        QTest::newRow("closed with the return icon") << true;
    }

    void liveCellInFullScreenFeedsTheViewer()
    {
        QFETCH(bool, byReturnIcon);
        showWithHost(QSize(1292, 800));
        button(m_compare, "pushButton2Cell")->click();
        QCellItem *live = cell(1);
        button(live, "pushButtonCam")->click();
        const QPixmap first = framePainted(Qt::red);
        m_compare->showLiveImage(first, false);
        QVERIFY(shows(live->pictureItem(), first));

        button(live, "pushButtonFullSrn")->click();
        QVERIFY(m_viewer->isVisible());
        QVERIFY(QTest::qWaitForWindowExposed(m_viewer));
        const QPixmap second = framePainted(Qt::green);
        m_compare->showLiveImage(second, true);
        auto *view = m_viewer->findChild<QGraphicsView *>();
        QImageItem *viewerItem = nullptr, *returnItem = nullptr;
        for (QGraphicsItem *each : view->scene()->items())
            (each->flags() & QGraphicsItem::ItemIsMovable ? viewerItem : returnItem) =
                static_cast<QImageItem *>(each);
        QVERIFY(shows(viewerItem, second));
        QVERIFY(closeTo(viewerItem->sceneBoundingRect(),
                        fitRect(QRect(QPoint(0, 0), view->size()), 640, 480)));
        QVERIFY(shows(live->pictureItem(), first));
        QCOMPARE(m_viewer->m_pCell.data(), live);

        if (byReturnIcon) {
            const QPoint icon = view->mapFromScene(returnItem->sceneBoundingRect().center());
            QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, icon);
        } else {
            button(m_viewer, "pushButtonClose")->click();
        }
        QVERIFY(m_viewer->isHidden());
        QVERIFY(!live->m_bFullScreen);
        const QPixmap third = framePainted(Qt::blue);
        m_compare->showLiveImage(third, false);
        QVERIFY(shows(live->pictureItem(), third));
        QVERIFY(shows(viewerItem, second));
    }

    void rebuildWhileViewerShowsLiveCellIsSafe()
    {
        showWithHost(QSize(1292, 800));
        button(m_compare, "pushButton2Cell")->click();
        button(cell(0), "pushButtonCam")->click();
        button(cell(0), "pushButtonFullSrn")->click();
        m_compare->showLiveImage(framePainted(Qt::red), false);
        QVERIFY(m_viewer->m_pCell);
        button(m_compare, "pushButton4Cell")->click();
        QVERIFY(m_viewer->m_pCell.isNull());
        m_viewer->hide(); // would write into the destroyed cell if the viewer still held it
        QVERIFY(m_viewer->isHidden());
    }

    void viewerGeometry()
    {
        m_viewer->resize(1920, 1040);
        m_viewer->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_viewer));
        auto *view = m_viewer->findChild<QGraphicsView *>();
        QCOMPARE(view->geometry(), QRect(40, 0, 1828, 1040));
        QCOMPARE(button(m_viewer, "pushButtonClose")->pos(), QPoint(1900, 0));
        QCOMPARE(view->scene()->sceneRect(), QRectF(0, 0, 1920, 1040));
        QPointF returnOffset;
        for (QGraphicsItem *each : view->scene()->items())
            if (!(each->flags() & QGraphicsItem::ItemIsMovable))
                returnOffset = static_cast<QImageItem *>(each)->offset();
        QCOMPARE(returnOffset, QPointF(928, 980));
    }

    void openedFileFitsAfresh()
    {
        showWithHost(QSize(1292, 800));
        button(m_compare, "pushButton2Cell")->click();
        QCellItem *target = cell(0);
        openInCell(target, pictureFile("tall.png", 300, 800));
        button(target, "pushButtonZoomIn")->click();
        button(target, "pushButtonRotRight")->click();

        openInCell(target, pictureFile("wide.png", 900, 300));
        const QRect area = target->pictureArea()->rect();
        QCOMPARE(target->pictureItem()->keptScale(), fitRatio(area, 900, 300));
        QVERIFY(closeTo(target->pictureItem()->sceneBoundingRect(), fitRect(area, 900, 300)));
        QVERIFY(m_dialogs.m_messages.isEmpty());
    }

    // A cancelled dialog, an unreadable file, a failed still: the cell or the
    // viewer shows nothing and its transform stays finite.
    void emptyPictureShowsNothing()
    {
        showWithHost(QSize(1292, 800));
        button(m_compare, "pushButton2Cell")->click();
        QCellItem *target = cell(0);
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
        auto *view = m_viewer->findChild<QGraphicsView *>();
        for (QGraphicsItem *each : view->scene()->items())
            if (each->flags() & QGraphicsItem::ItemIsMovable)
                QVERIFY(showsNothing(static_cast<QImageItem *>(each)));
    }

    void liveFitFollowsDeviceRotation_data()
    {
        QTest::addColumn<int>("mounting");
        QTest::addColumn<float>("turnEnlarges");
        QTest::newRow("upright") << 0 << 1.0f;
        QTest::newRow("turned right") << 90 << 1.2f;
        QTest::newRow("turned left") << 270 << 1.2f;
    }

    void liveFitFollowsDeviceRotation()
    {
        QFETCH(int, mounting);
        QFETCH(float, turnEnlarges);
        showWithHost(QSize(1292, 800));
        button(m_compare, "pushButton2Cell")->click();
        QCellItem *live = cell(0);
        presenterView->m_nDevRotate = mounting;
        button(live, "pushButtonCam")->click();
        m_compare->showLiveImage(framePainted(Qt::red), false);
        const float fitted = fitRatio(live->pictureArea()->rect(), 640, 480) * turnEnlarges;
        QCOMPARE(live->pictureItem()->keptScale(), fitted);

        // Later frames keep the user's zoom.
        button(live, "pushButtonZoomOut")->click();
        const QPixmap next = framePainted(Qt::green);
        m_compare->showLiveImage(next, true);
        QVERIFY(shows(live->pictureItem(), next));
        QCOMPARE(live->pictureItem()->keptScale(), fitted * 0.8333333f);
    }

    void wheelOverTheButtonBarZooms()
    {
        showWithHost(QSize(1292, 800));
        button(m_compare, "pushButton2Cell")->click();
        QCellItem *target = cell(0);
        openInCell(target, pictureFile("wheel.png", 400, 300));
        const float fitted = target->pictureItem()->keptScale();
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
