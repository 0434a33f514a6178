#pragma once

#include "../frame.h"
#include "pageoutline.h"

#include <optional>

namespace optrelle {

// The document page on the desk: the largest light four-sided shape covering at
// least a sixth of the frame, found on a reduced copy so it keeps up with live
// video. std::nullopt when there is no such page (or it fills the whole frame).
std::optional<PageOutline> findPageOutline(const Frame &frame);

} // namespace optrelle
