#include "qcellitem.h"
#include "ui_qcellitem.h"

#include <QGraphicsScene>
#include <QPushButton>

#include "common/log.h"
#include "common/programwide.h"
#include "platform/dialogs.h"
#include "viewing/comparesources.h"
#include "viewing/iconbutton.h"
#include "viewing/picturestage.h"
#include "viewing/qcompview.h"
#include "viewing/qimageitem.h"
#include "viewing/qimageviewwidget.h"
#include "viewing/twofingergesture.h"

namespace {
constexpr int iconSide = 25;
constexpr float enlargeStep = 1.2f;
constexpr float reduceStep = 0.8333333f; // the float nearest 1 / 1.2
const QPointF middleOfPicture(-1, -1);
} // namespace

QCellItem::QCellItem(const CompareSources &sources, QWidget *parent)
    : QWidget(parent), ui(std::make_unique<Ui::QCellItem>()), m_sources(sources)
{
    ui->setupUi(this);
    const struct
    {
        QPushButton *button;
        const char *icon;
        void (QCellItem::*slot)();
    } buttons[] = {
        {ui->pushButtonOpen, ":/Resources/images/open.png", &QCellItem::onOpen},
        {ui->pushButtonRotLeft, ":/Resources/images/rotleft.png", &QCellItem::rotateLeft},
        {ui->pushButtonRotRight, ":/Resources/images/rotright.png", &QCellItem::rotateRight},
        {ui->pushButtonZoomIn, ":/Resources/images/zoomin.png", &QCellItem::OnZoomIn},
        {ui->pushButtonZoomOut, ":/Resources/images/zoomout.png", &QCellItem::OnZoomOut},
        {ui->pushButtonCam, ":/Resources/images/snap1.png", &QCellItem::OnShowCamImage},
        {ui->pushButtonFullSrn, ":/Resources/images/fullsrn.png", &QCellItem::OnShowFullSrn},
    };
    for (const auto &entry : buttons)
        makeIconButton(entry.button, entry.icon, iconSide);

    const PictureStage stage = buildPictureStage(this, ui->widgetImage, StageView::Compare);
    m_pScene = stage.scene;
    m_pItem = stage.item;
    m_pView = static_cast<QCompView *>(stage.view);
    m_pView->move(0, 0);

    for (const auto &entry : buttons)
        connect(entry.button, &QPushButton::clicked, this, entry.slot);
}

QCellItem::~QCellItem() = default;

QWidget *QCellItem::pictureArea() const
{
    return ui->widgetImage;
}

void QCellItem::showFitted(const QString &path)
{
    const QPixmap picture(path);
    m_pItem->setPixmap(picture);
    // An empty picture (cancelled, unreadable, failed still) leaves the cell empty.
    fitPicture(m_pItem, m_pView, ui->widgetImage->rect(), picture.width(), picture.height());
}

void QCellItem::showSnapshot()
{
    if (!m_sources.takeStill)
        return;
    m_strFileName = m_sources.takeStill();
    showFitted(m_strFileName);
}

void QCellItem::showLiveFrame(const QPixmap &frame)
{
    m_pItem->setPixmap(frame);
    if (!m_bFitPending)
        return;
    m_bFitPending = false;
    // The picture area alone, as for an opened file: fitted to the whole cell the
    // bottom of the picture would lie under the button bar. The frame is the
    // presenter's current frame, so its size is the camera's frame size.
    const QRect area = ui->widgetImage->rect();
    fitPicture(m_pItem, m_pView, area, frame.width(), frame.height());
    if (frame.isNull())
        return;
    const QRect fit = fitRect(area, frame.width(), frame.height());
    writeLog("rc.width = %d, rc.height = %d, ratio = %.02f", fit.width(), fit.height(),
             double(fit.width()) / frame.width());

    // A camera mounted turned: upright, and a step larger to fill the area again.
    const int deviceRotation = m_sources.deviceRotation ? m_sources.deviceRotation() : 0;
    if (deviceRotation == 90)
        m_pItem->turnRight();
    else if (deviceRotation == 270)
        m_pItem->turnLeft();
    else
        return;
    m_pItem->zoomAt(enlargeStep, middleOfPicture);
}

void QCellItem::setButtonsVisible(bool visible)
{
    if (visible)
        ui->widget->show();
    for (QPushButton *button : ui->widget->findChildren<QPushButton *>())
        button->setVisible(visible);
}

void QCellItem::onOpen()
{
    m_bLive = false;
    const QString startFolder =
        m_sources.photoFolder ? QString::fromLocal8Bit(m_sources.photoFolder()) : QString();
    m_strFileName = Dialogs::current().openFileName(
        this, QString(), startFolder, QStringLiteral("Images(*.png *.jpg *.jpeg *.bmp)"));
    showFitted(m_strFileName);
}

void QCellItem::rotateLeft()
{
    m_pItem->turnLeft();
}

void QCellItem::rotateRight()
{
    m_pItem->turnRight();
}

void QCellItem::OnShowFullSrn()
{
    m_bFullScreen = true;
    if (m_sources.viewer)
        m_sources.viewer->showFile(m_strFileName);
}

void QCellItem::OnZoomIn()
{
    m_pItem->zoomAt(enlargeStep, middleOfPicture);
}

void QCellItem::OnZoomOut()
{
    m_pItem->zoomAt(reduceStep, middleOfPicture);
}

void QCellItem::OnShowCamImage()
{
    if (!presenterView)
        return;
    m_bLive = true;
    m_bFitPending = true;
}

void QCellItem::wheelEvent(QWheelEvent *event)
{
    zoomByWheel(event, m_pItem);
}

void QCellItem::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    // The view always covers the picture area.
    m_pScene->setSceneRect(ui->widgetImage->rect());
    m_pView->resize(ui->widgetImage->size());
}
