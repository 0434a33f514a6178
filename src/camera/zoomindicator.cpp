#include "zoomindicator.h"

#include <cmath>

QString zoomIndicatorText(float keptScale)
{
    const int percent = int(std::trunc(double(keptScale) * 100 + 0.9));
    return QStringLiteral("%1%").arg(percent);
}
