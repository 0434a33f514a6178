#pragma once

#include <QPoint>
#include <QSize>

// Geometry of the launcher bar: a column of eight icon buttons near a screen edge.

struct BarButtonMetrics
{
    int buttonHeight;
    int iconHeight;
    QSize buttonSize; // wider than high by the single-precision factor 1.7
    QSize iconSize;
};

inline constexpr int barButtonCount = 8;
inline constexpr QSize barSize(50, 254);

// Button and icon sizes for a bar of the given height.
BarButtonMetrics barButtonMetrics(int barHeight, int spacing);

// Top-left corner of the button in the given row.
QPoint barButtonPosition(int row, int buttonHeight, int spacing);

// x of the bar at the right edge of a desktop of the given width.
int rightEdgeBarX(int deskWidth);

// Where the bar stands at x on a desktop of the given height. Positions count from
// the screen's top-left corner, not from the available area's.
QPoint barPosition(int barX, int deskHeight);
