#pragma once

#include "frame.h"

namespace optrelle {

// Text mode: the frame becomes high-contrast grey. Luminance below a dark
// threshold turns black, above a light threshold white, and the range between
// is stretched, so print on paper stays crisp under uneven desk light.
void makeTextPicture(Frame &frame);

} // namespace optrelle
