#pragma once

#include "../frame.h"
#include "pageoutline.h"

#include <optional>

namespace optrelle {

// The document page on the desk: the quadrilateral of straight edges that is
// most plausibly a page seen from above (convex, corners near right angles, its
// sides on changes of colour along most of their length, one colour just inside
// them all), at least 6 % of the frame; a page running off the frame is cut by
// the frame's border. Found on a reduced copy. std::nullopt when none is
// convincing: the whole frame loses nothing, a wrong crop loses text.
// Safe to call from any thread.
std::optional<PageOutline> findPageOutline(const Frame &frame);

} // namespace optrelle
