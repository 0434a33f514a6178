#include "barlayout.h"

namespace {
// The width factor is kept in single precision (1.7000000476837158) and the product
// truncated: button height 30 gives 51, icon height 28 gives 47.
constexpr double widthFactor = 1.7f;

int widthFor(int height)
{
    return int(height * widthFactor);
}
} // namespace

BarButtonMetrics barButtonMetrics(int barHeight, int spacing)
{
    const int buttonHeight = (barHeight - (barButtonCount - 1) * spacing) / barButtonCount;
    const int iconHeight = buttonHeight - 2;
    return {buttonHeight, iconHeight, QSize(widthFor(buttonHeight), buttonHeight),
            QSize(widthFor(iconHeight), iconHeight)};
}

QPoint barButtonPosition(int row, int buttonHeight, int spacing)
{
    return QPoint(0, row * (buttonHeight + spacing));
}

int rightEdgeBarX(int deskWidth)
{
    return deskWidth - 52;
}

QPoint barPosition(int barX, int deskHeight)
{
    return QPoint(barX, deskHeight - 296);
}
