#pragma once

#include <QRect>

class QGraphicsScene;
class QGraphicsView;
class QImageItem;
class QWidget;

// A picture stage: a scene with one movable picture item, shown by a view that
// fills its host area.
struct PictureStage
{
    QGraphicsScene *scene; // child of the building widget; owns the item
    QImageItem *item;
    QGraphicsView *view; // child of the host area
};

enum class StageView
{
    Live,    // a QVideoView, acting on livePictureItem (the builder registers it)
    Compare, // a QCompView, acting on the stage's own item
};

PictureStage buildPictureStage(QWidget *builder, QWidget *hostArea, StageView kind);

// The largest rectangle of the picture's aspect ratio inside area, centred across
// the spare direction. Rectangles are inclusive (width = right - left + 1). An
// empty picture has no aspect ratio: the area is returned as it is.
QRect fitRect(const QRect &area, int imageWidth, int imageHeight);

// Places a freshly set pixmap of imageWidth × imageHeight so that it fills the fit
// rectangle of area, and starts the kept scale afresh. An empty picture (no
// pixmap, an unreadable file) hides the item instead of zooming by a non-finite
// factor.
void fitPicture(QImageItem *item, QGraphicsView *view, const QRect &area, int imageWidth,
                int imageHeight);
