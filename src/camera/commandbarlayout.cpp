#include "commandbarlayout.h"

CommandBarMetrics commandBarMetrics(int barWidth, int barHeight, int spacing)
{
    // Twenty button widths and seventeen gaps: the list counts as three buttons
    // with one gap of its own on each side missing.
    return {barHeight, barHeight - 2, (barWidth - 20 * barHeight - 17 * spacing) / 2, spacing};
}

QPoint commandButtonPosition(int slot, const CommandBarMetrics &metrics)
{
    const int gaps = slot <= 6 ? slot : slot - 2;
    return {metrics.margin + slot * metrics.buttonSize + gaps * metrics.spacing, 0};
}

QPoint resolutionListPosition(const CommandBarMetrics &metrics)
{
    return {metrics.margin + 7 * (metrics.buttonSize + metrics.spacing) + 2, 4};
}
