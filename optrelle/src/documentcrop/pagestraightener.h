#pragma once

#include "../frame.h"
#include "pageoutline.h"

namespace optrelle {

// The page inside outline, straightened by a perspective transform at the
// frame's full resolution into page (rows bottom-up like every frame). The page
// gets the mean lengths of the outline's opposite edges, so a page filmed
// head-on keeps its proportions.
void straightenPage(const Frame &frame, const PageOutline &outline, Frame &page);

} // namespace optrelle
