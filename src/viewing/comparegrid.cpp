#include "comparegrid.h"

#include <optional>

namespace {
struct GridShape
{
    int columns;
    int rows;
};

std::optional<GridShape> gridShapeFor(int count)
{
    switch (count) {
    case 1:
    case 2:
    case 3:
        return GridShape{count, 1};
    case 4:
        return GridShape{2, 2};
    case 16:
        return GridShape{4, 4};
    default:
        return std::nullopt;
    }
}

constexpr int leftStrip = 40;
constexpr int stripsTogether = 92; // 40 on the left, 52 on the right
} // namespace

QList<QRect> compareGridCells(int count, const QSize &host)
{
    const std::optional<GridShape> shape = gridShapeFor(count);
    if (!shape)
        return {};
    const int width = (host.width() - stripsTogether) / shape->columns;
    const int height = host.height() / shape->rows;
    QList<QRect> cells;
    for (int i = 0; i < count; ++i) {
        const int column = i % shape->columns, row = i / shape->columns;
        cells.append(QRect(leftStrip + column * width, row * height, width, height));
    }
    return cells;
}
