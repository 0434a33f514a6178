#include "picturestage.h"

#include <QGraphicsScene>

#include <cmath>

#include "viewing/qcompview.h"
#include "viewing/qimageitem.h"
#include "viewing/qvideoview.h"

PictureStage buildPictureStage(QWidget *builder, QWidget *hostArea, StageView kind)
{
    auto *scene = new QGraphicsScene(builder);
    scene->setSceneRect(0, 0, hostArea->width(), hostArea->height());

    auto *item = new QImageItem(nullptr);
    item->setFlag(QGraphicsItem::ItemIsMovable);
    scene->addItem(item);
    item->setTransformationMode(Qt::SmoothTransformation);
    scene->setItemIndexMethod(QGraphicsScene::BspTreeIndex);

    QGraphicsView *view = nullptr;
    if (kind == StageView::Live) {
        view = new QVideoView(hostArea);
    } else {
        auto *compView = new QCompView(hostArea);
        compView->m_pItem = item;
        view = compView;
    }
    view->setScene(scene);
    view->setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view->resize(hostArea->size());
    view->show();
    return {scene, item, view};
}

QRect fitRect(const QRect &area, int imageWidth, int imageHeight)
{
    if (imageWidth <= 0 || imageHeight <= 0)
        return area;
    const double areaWidth = area.right() - area.left() + 1;
    const double areaHeight = area.bottom() - area.top() + 1;
    const double iw = imageWidth, ih = imageHeight;

    if (iw / ih < areaWidth / areaHeight) {
        const double width = areaHeight * iw / ih;
        return QRect(
            QPoint(int(std::trunc(area.left() + (areaWidth - width) * 0.5)), area.top()),
            QPoint(int(std::trunc(area.left() + (areaWidth + width) * 0.5)), area.bottom()));
    }
    const double height = areaWidth * ih / iw;
    return QRect(QPoint(area.left(), int(std::trunc(area.top() + (areaHeight - height) * 0.5))),
                 QPoint(area.right(), int(std::trunc(area.top() + (areaHeight + height) * 0.5))));
}

void fitPicture(QImageItem *item, QGraphicsView *view, const QRect &area, int imageWidth,
                int imageHeight)
{
    if (imageWidth <= 0 || imageHeight <= 0) {
        item->hide();
        return;
    }
    item->resetTransform();
    view->resetTransform();
    const QRect fit = fitRect(area, imageWidth, imageHeight);
    const float ratio = float(double(fit.right() - fit.left() + 1) / imageWidth);
    item->resetKeptScale();
    item->setOffset(fit.left(), fit.top());
    // Scaling about the fit rectangle's corner makes the picture cover it.
    item->zoomAt(ratio, QPointF(fit.left(), fit.top()));
    item->setVisible(true);
    item->setPos(0, 0);
}
