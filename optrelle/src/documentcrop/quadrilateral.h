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

// When no page has all four sides among the edge lines: the best page two
// adjacent edge lines begin, its other two sides looked for near where those
// two stop changing colour (white on white, sides the strongest lines
// crowded out), judged as strictly as bestPageQuadrilateral's.
std::optional<std::array<cv::Point2d, 4>>
completedPageQuadrilateral(const std::vector<EdgeLine> &lines, const cv::Mat &smooth);

} // namespace optrelle
