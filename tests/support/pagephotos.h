#pragma once

#include "documentcrop/pageoutline.h"

#include <QSize>
#include <QString>

#include <optional>
#include <vector>

// Real photographs of pages on desks with their true corners, as listed in a
// folder's corners.csv, and how well a found outline matches one.
struct PagePhoto
{
    QString path;
    std::array<QPointF, 4> corners; // top-left, top-right, bottom-right, bottom-left
};

struct PageMatch
{
    double iou = 0;              // overlap with the true quadrilateral
    double worstCornerShare = 1; // furthest corner from the truth, share of the page's diagonal
    bool found = false;          // close enough to crop the page as it is
};

// The photographs listed in folder/corners.csv; empty when it cannot be read.
std::vector<PagePhoto> readPagePhotos(const QString &folder);

// The outline found on photo (std::nullopt: the whole frame of size) against its
// true corners, in whichever corner is taken for the top left.
PageMatch matchPage(const PagePhoto &photo, const std::optional<optrelle::PageOutline> &outline,
                    QSize size);
