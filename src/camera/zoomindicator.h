#pragma once

#include <QString>

// The zoom indicator's text for a kept scale: "150%". Rounds up from a tenth below
// a whole percent, so 1.2 steps read as 120, 144, ... despite single precision.
QString zoomIndicatorText(float keptScale);
