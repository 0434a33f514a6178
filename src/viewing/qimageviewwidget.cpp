#include "qimageviewwidget.h"
#include "ui_qimageviewwidget.h"

#include <QGraphicsScene>
#include <QPainter>

#include "viewing/picturestage.h"
#include "viewing/qcellitem.h"
#include "viewing/qcompview.h"
#include "viewing/qimageitem.h"

namespace {
// The return icon's offset leaves it a slot of this size near the bottom centre.
constexpr QSize returnSlot(64, 48);

QPixmap returnIcon()
{
    QPixmap slot(returnSlot);
    slot.fill(Qt::transparent);
    const QPixmap icon = QPixmap(QStringLiteral(":/Resources/images/ret2.png"))
                             .scaled(returnSlot.height(), returnSlot.height(), Qt::KeepAspectRatio,
                                     Qt::SmoothTransformation);
    QPainter(&slot).drawPixmap((returnSlot.width() - icon.width()) / 2, 0, icon);
    return slot;
}
} // namespace

QImageViewWidget::QImageViewWidget(QWidget *parent)
    : QWidget(parent), ui(std::make_unique<Ui::QImageViewWidget>())
{
    ui->setupUi(this);
    const PictureStage stage = buildPictureStage(this, this, StageView::Compare);
    m_pScene = stage.scene;
    m_pItem = stage.item;
    m_pView = static_cast<QCompView *>(stage.view);
    m_pView->move(0, 0);

    // Added after the picture, so it is drawn above it.
    m_pReturnItem = new QImageItem(this);
    m_pReturnItem->setPixmap(returnIcon());
    m_pScene->addItem(m_pReturnItem);

    // The view was created after the form's button and would cover it.
    ui->pushButtonClose->raise();
    ui->pushButtonClose->move(width() - 10, 0);
    connect(ui->pushButtonClose, &QPushButton::clicked, this, &QImageViewWidget::OnClose);
}

QImageViewWidget::~QImageViewWidget() = default;

void QImageViewWidget::showImage(const QPixmap &picture, bool refit)
{
    show();
    m_pItem->setPixmap(picture);
    if (refit)
        fitPicture(m_pItem, m_pView, QRect(QPoint(0, 0), m_pView->size()), picture.width(),
                   picture.height());
}

void QImageViewWidget::showFile(const QString &path)
{
    show();
    m_pItem->setPixmap(QPixmap(path));
}

void QImageViewWidget::OnClose()
{
    hide();
}

void QImageViewWidget::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    const int w = width(), h = height();
    m_pScene->setSceneRect(0, 0, w, h);
    // Like the comparison grid: 40 pixels free on the left, 52 on the right.
    m_pView->resize(w - 92, h);
    m_pView->move(40, 0);
    m_pReturnItem->setOffset(w / 2 - 32, h - 60);
    ui->pushButtonClose->move(w - 20, 0);
}

void QImageViewWidget::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    // The cell's live frames come back to it.
    if (m_pCell)
        m_pCell->m_bFullScreen = false;
}
