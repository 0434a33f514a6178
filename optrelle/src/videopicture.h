#pragma once

#include "frame.h"

#include <QRectF>

namespace optrelle {

// What a camera's window shows at one moment.
struct VideoPicture
{
    FramePtr frame;       // null before the first frame
    int quarterTurns = 0; // clockwise, 0..3
    int zoomStep = 0;     // 0 = fitted, see videolayout.h
    bool signalLost = false;
    QRectF cropRegion; // the manual crop frame, see ManualCrop; empty for none
};

} // namespace optrelle
