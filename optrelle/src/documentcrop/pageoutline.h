#pragma once

#include <QPointF>

#include <array>

namespace optrelle {

// The corners of the document page on a frame, in frame pixels counted from the
// upright picture's top-left corner: top-left, top-right, bottom-right,
// bottom-left as the page lies on the desk.
struct PageOutline
{
    std::array<QPointF, 4> corners;
};

} // namespace optrelle
