#pragma once

#include "frame.h"

namespace optrelle {

// What a camera's window shows at one moment.
struct VideoPicture
{
    FramePtr frame;       // null before the first frame
    int quarterTurns = 0; // clockwise, 0..3
    int zoomStep = 0;     // 0 = fitted, see videolayout.h
    bool signalLost = false;
};

} // namespace optrelle
