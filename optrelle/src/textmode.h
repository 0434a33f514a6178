#pragma once

#include "frame.h"

namespace optrelle {

// Text mode: the frame becomes high-contrast grey. Luminance below a dark
// threshold turns black, above a light threshold white, and the range between
// is stretched, so print on paper stays crisp under uneven desk light. target
// takes source's size; it may be source itself.
void makeTextPicture(const Frame &source, Frame &target);

} // namespace optrelle
