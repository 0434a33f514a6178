// The comparison window, its cells and the image viewer, headless, fed frames by
// hand (the presenter is frozen); launcher_e2e.sh shows the layouts on a screen.

#include <QApplication>
#include <QGraphicsScene>
#include <QGraphicsView>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <memory>

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
    RecordingLauncher m_launcher; // starts no annotation program
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
    QImageItem *viewerPicture() const
    {
        for (QGraphicsItem *each : viewerView()->scene()->items())
            if (each->flags() & QGraphicsItem::ItemIsMovable)
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
    // The plain window, laid out by the given button.
    void showLaidOut(const char *layout)
    {
        m_compare->showMode(0);
        m_compare->resize(1292, 840);
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

    void init() { m_viewer->hide(); }

    // A resize rebuilds the cells empty; one made while hidden still leaves the
    // pairing with the live picture its two cells.
    void resizesRebuildTheCells()
    {
        showLaidOut("pushButton16Cell");
        openInCell(cell(0), pictureFile("resize.png", 400, 300));
        const QPointer<QCellItem> old = cell(0);
        m_compare->resize(1000, 640);
        QVERIFY(old.isNull() && cell(0)->fileName().isEmpty());
        QCOMPARE(m_compare->cells().size(), 16);

        button(m_compare, "pushButton1Cell")->click();
        m_compare->hide();
        m_compare->resize(1000, 640);
        m_bar->showCompareWindow(1);
        QCOMPARE(m_compare->cells().size(), 2);
        QVERIFY(cell(1)->m_bLive && !cell(0)->fileName().isEmpty());
        const QPixmap frame = framePainted(Qt::red);
        m_compare->showLiveImage(frame, false);
        QVERIFY(shows(cell(1)->pictureItem(), frame));
        QVERIFY(fittedIn(cell(1)->pictureItem(), cell(1)->pictureArea()->rect(), 640, 480));
    }

    void liveCellInFullScreenFeedsTheViewer()
    {
        showLaidOut("pushButton2Cell");
        QCellItem *live = cell(1);
        button(live, "pushButtonCam")->click();
        const QPixmap first = framePainted(Qt::red);
        m_compare->showLiveImage(first, false);
        QVERIFY(shows(live->pictureItem(), first));

        button(live, "pushButtonFullSrn")->click();
        QVERIFY(QTest::qWaitForWindowExposed(m_viewer));
        const QPixmap second = framePainted(Qt::green);
        m_compare->showLiveImage(second, true);
        QImageItem *picture = viewerPicture();
        QVERIFY(shows(picture, second) && shows(live->pictureItem(), first));
        QVERIFY(fittedIn(picture, QRect(QPoint(0, 0), viewerView()->size()), 640, 480));

        button(m_viewer, "pushButtonClose")->click();
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

    void openedFileFitsAfreshEmptyShowsNothing()
    {
        showLaidOut("pushButton2Cell");
        QCellItem *target = cell(0);
        openInCell(target, pictureFile("tall.png", 300, 800));
        button(target, "pushButtonZoomIn")->click();
        button(target, "pushButtonRotRight")->click();
        openInCell(target, pictureFile("wide.png", 900, 300));
        QVERIFY(fittedIn(target->pictureItem(), target->pictureArea()->rect(), 900, 300));
        QVERIFY(m_dialogs.m_messages.isEmpty());

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
        QVERIFY(showsNothing(viewerPicture()));
    }
};

QTEST_MAIN(TestComparison)
#include "test_comparison.moc"
