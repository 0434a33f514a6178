#pragma once

#include "../frame.h"
#include "pageoutline.h"

#include <QSize>

namespace optrelle {

// The straightened page's size: the mean lengths of the outline's opposite
// edges, so a page filmed head-on keeps its proportions.
QSize straightenedSize(const PageOutline &outline);

// The page inside outline, straightened by a perspective transform at the
// frame's full resolution into page (rows bottom-up like every frame), which
// takes the straightened size.
void straightenPage(const Frame &frame, const PageOutline &outline, Frame &page);

} // namespace optrelle
