#include "pagefinder.h"

#include "edgelines.h"
#include "quadrilateral.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

namespace optrelle {

namespace {

// The page is looked for in a reduced copy whose long side is at most this: the
// page's edges are long, print and desk grain blur away, and a whole divisor
// keeps the averaging resize on its fast path.
constexpr int reducedLongSide = 400;
// A reduced copy with a shorter side is too small to judge.
constexpr int reducedShortSideMinimum = 32;

int reductionFactor(const Frame &frame)
{
    return (std::max(frame.width, frame.height) + reducedLongSide - 1) / reducedLongSide;
}

// The reduced, upright picture in CIE Lab, so a page set apart from the desk by
// colour alone (white on pink) shows edges as well as one set apart by light.
cv::Mat reducedLab(const Frame &frame, int factor)
{
    const cv::Size reduced(frame.width / factor, frame.height / factor);
    const cv::Mat bottomUp(frame.height, frame.width, CV_8UC3,
                           const_cast<std::uint8_t *>(frame.pixels.data()), frame.rowBytes());
    // Whole blocks only; the rows left over are at the picture's bottom, so the
    // reduced copy's pixels line up with the frame's from the top.
    const cv::Rect blocks(0, frame.height - reduced.height * factor, reduced.width * factor,
                          reduced.height * factor);
    cv::Mat colour;
    cv::resize(bottomUp(blocks), colour, reduced, 0, 0, cv::INTER_AREA);
    cv::flip(colour, colour, 0);
    cv::Mat lab;
    cv::cvtColor(colour, lab, cv::COLOR_BGR2Lab);
    return lab;
}

// Corners of the reduced copy in frame pixels, clockwise from the page's top left.
PageOutline frameOutline(const std::array<cv::Point2d, 4> &corners, int factor)
{
    PageOutline outline;
    std::transform(corners.begin(), corners.end(), outline.corners.begin(), [&](cv::Point2d p) {
        return QPointF((p.x + 0.5) * factor - 0.5, (p.y + 0.5) * factor - 0.5);
    });
    std::array<QPointF, 4> &points = outline.corners;
    double twiceSignedArea = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        const QPointF &next = points[(i + 1) % 4];
        twiceSignedArea += points[i].x() * next.y() - next.x() * points[i].y();
    }
    // With y pointing down a positive area means clockwise as seen.
    if (twiceSignedArea < 0)
        std::reverse(points.begin(), points.end());
    // The top edge is the one pointing most to the right.
    std::size_t top = 0;
    double mostRightward = -2;
    for (std::size_t i = 0; i < 4; ++i) {
        const QPointF edge = points[(i + 1) % 4] - points[i];
        const double rightward = edge.x() / std::hypot(edge.x(), edge.y());
        if (rightward > mostRightward) {
            mostRightward = rightward;
            top = i;
        }
    }
    std::rotate(points.begin(), points.begin() + top, points.end());
    return outline;
}

} // namespace

std::optional<PageOutline> findPageOutline(const Frame &frame)
{
    if (frame.width <= 0 || frame.height <= 0)
        return std::nullopt;
    const int factor = reductionFactor(frame);
    if (std::min(frame.width, frame.height) / factor < reducedShortSideMinimum)
        return std::nullopt;
    const cv::Mat lab = reducedLab(frame, factor);
    cv::Mat smooth;
    cv::GaussianBlur(lab, smooth, cv::Size(5, 5), 0);
    const std::vector<EdgeLine> lines = findEdgeLines(smooth);
    std::optional<std::array<cv::Point2d, 4>> page = bestPageQuadrilateral(lines, lab.size());
    if (!page)
        page = completedPageQuadrilateral(lines, smooth);
    if (!page)
        return std::nullopt;
    return frameOutline(*page, factor);
}

} // namespace optrelle
