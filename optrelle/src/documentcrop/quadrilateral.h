#pragma once

#include "edgelines.h"

#include <array>
#include <optional>

namespace optrelle {

// The four corners, in order around it, of the quadrilateral of four edge lines
// that most plausibly is a page lying on a desk of that picture size: convex,
// corners near right angles as a camera above a desk sees them, every side lying
// on a change of colour along most of its length, at most one side the frame's
// border; of those the one whose sides show the most such change. std::nullopt
// when none is convincing.
std::optional<std::array<cv::Point2d, 4>> bestPageQuadrilateral(const std::vector<EdgeLine> &lines,
                                                                cv::Size size);

} // namespace optrelle
