#pragma once

#include "videopicture.h"

#include <QRect>

class QPainter;

namespace optrelle {

// Paints the picture into area: black where the frame does not reach, the frame
// laid out by VideoLayout, and a "no signal" mark over the last frame when the
// camera stopped delivering.
void paintVideo(QPainter &painter, const QRect &area, const VideoPicture &picture);

} // namespace optrelle
