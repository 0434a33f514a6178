#pragma once

#include "frame.h"

#include <QDateTime>
#include <QImage>
#include <QString>

namespace optrelle {

// The picture a simulated camera films: a desk with a slightly turned printed
// page (large Chinese and Latin lines, a QR code), an asymmetric colour marker in
// the top-left corner, and a clock with a frame counter that changes every frame.
// With a scene file the desk is that picture instead, scaled to the frame and
// drawn without clock. Not thread-safe; each camera owns one.
class DeskScene
{
public:
    // Text of the QR code on the page.
    static const char *const qrText;
    // Side of the marker's red square for a frame height: the marker is a red
    // square at (0, 0) with a green square right of it and a blue one below it.
    static int markerSide(int frameHeight);

    explicit DeskScene(QString sceneFile = {});

    // Fills frame (already sized) with the scene for this moment. The still part
    // is drawn once per size and copied afterwards.
    void render(Frame &frame, quint64 frameNumber, const QDateTime &time);

private:
    QImage drawStillPart(int width, int height) const;
    void drawClock(Frame &frame, quint64 frameNumber, const QDateTime &time) const;

    QImage m_sceneImage;
    Frame m_still;
};

} // namespace optrelle
