#pragma once

#include "frame.h"

#include <cstddef>
#include <cstdint>

namespace optrelle {

// Converts a YUYV 4:2:2 picture (BT.601, limited range) of width x height, rows
// bytesPerLine apart, into frame (sized here) in one pass, writing its rows
// bottom-up. False when size bytes cannot hold the picture or width is odd.
bool yuyvToFrame(const std::uint8_t *yuyv, std::size_t size, int width, int height,
                 std::size_t bytesPerLine, Frame &frame);

} // namespace optrelle
