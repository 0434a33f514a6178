#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

class QImageViewWidget;

// What the comparison window and its cells take from the rest of the program;
// the launcher fills it in where it creates the window. Unset parts do nothing.
struct CompareSources
{
    // A still of the presenter camera: its path, empty when none was written.
    std::function<QString()> takeStill;
    // How the presenter camera is mounted: 0, 90, 180 or 270 degrees.
    std::function<int()> deviceRotation;
    // Where the open dialog starts.
    std::function<QByteArray()> photoFolder;
    // Shows a cell's picture in full screen.
    QImageViewWidget *viewer = nullptr;
};
