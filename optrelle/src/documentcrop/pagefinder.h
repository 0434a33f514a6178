#pragma once

#include "../frame.h"
#include "pageoutline.h"

#include <optional>

namespace optrelle {

// The document page on the desk: the largest light, convex, roughly rectangular
// shape covering at least 15 % of the frame, on a dark desk or a light one, a
// dog-eared corner restored; found on a reduced copy so it keeps up with live
// video. std::nullopt when there is no such page (or it fills the whole frame).
// Safe to call from any thread.
std::optional<PageOutline> findPageOutline(const Frame &frame);

} // namespace optrelle
