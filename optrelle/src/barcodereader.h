#pragma once

#include "frame.h"

#include <string>

namespace optrelle {

// The text of the largest code in the frame, as UTF-8, read with every format
// ZXing knows (QR, Data Matrix, Aztec, PDF417, EAN/UPC, Code 128/39, ...);
// empty when there is none. The frame is read upright, whatever its turn.
std::string readLargestBarcode(const Frame &frame);

} // namespace optrelle
