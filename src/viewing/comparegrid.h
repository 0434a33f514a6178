#pragma once

#include <QList>
#include <QRect>

// Where the comparison window puts n cells in a host of the given size: 1, 2 or 3
// in a row, 4 as 2 × 2 and 16 as 4 × 4, row by row, leaving 40 pixels free on the
// left and 52 on the right. Any other count has no layout: the list is empty.
QList<QRect> compareGridCells(int count, const QSize &host);
