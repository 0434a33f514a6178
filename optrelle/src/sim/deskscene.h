#pragma once

#include "frame.h"

#include <QDateTime>
#include <QImage>
#include <QString>

#include <chrono>
#include <sys/stat.h>

namespace optrelle {

// The picture a simulated camera films: a desk with a slightly turned printed
// page (large Chinese and Latin lines, a QR code), an asymmetric colour marker in
// the top-left corner, and a clock with a frame counter that changes every frame.
// With a scene file the desk is that picture instead, scaled to the frame and
// drawn without clock; a file replaced on disk (renamed over, so its inode or
// modification time changes) is filmed from the next look, taken at most every
// sceneCheckInterval. Not thread-safe; each camera owns one.
class DeskScene
{
public:
    // Text of the QR code on the page.
    static const char *const qrText;
    // Side of the marker's red square for a frame height: the marker is a red
    // square at (0, 0) with a green square right of it and a blue one below it.
    static int markerSide(int frameHeight);

    // How often the scene file is looked at: a stat, not a reload, per look.
    static constexpr std::chrono::milliseconds sceneCheckInterval{50};

    explicit DeskScene(QString sceneFile = {});

    // Fills frame (already sized) with the scene for this moment. The still part
    // is drawn once per size and copied afterwards.
    void render(Frame &frame, quint64 frameNumber, const QDateTime &time);

private:
    // Reloads the scene file when it is another file or has changed since it was
    // loaded; a file that cannot be read keeps the picture filmed so far.
    void followSceneFile();
    QImage drawStillPart(int width, int height) const;
    void drawClock(Frame &frame, quint64 frameNumber, const QDateTime &time) const;

    QString m_sceneFile;
    struct stat m_sceneStat = {};
    std::chrono::steady_clock::time_point m_nextSceneCheck;
    QImage m_sceneImage;
    Frame m_still;
};

} // namespace optrelle
