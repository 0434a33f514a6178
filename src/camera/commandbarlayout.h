#pragma once

#include <QPoint>

// Geometry of the presenter's command bar: a row of square icon buttons, centred,
// with the resolution list in the room of three buttons after the seventh.

struct CommandBarMetrics
{
    int buttonSize; // the bar's height
    int iconSize;
    int margin; // left of the first button; negative on a bar too narrow for all
    int spacing;
};

inline constexpr int commandBarSpacing = 3;

CommandBarMetrics commandBarMetrics(int barWidth, int barHeight, int spacing);

// The position of the button in bar slot 0..6 or 10..20 (7..9 hold the list).
QPoint commandButtonPosition(int slot, const CommandBarMetrics &metrics);

QPoint resolutionListPosition(const CommandBarMetrics &metrics);
