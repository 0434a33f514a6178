#include "pagefinder.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

namespace optrelle {

namespace {

// The page is looked for in a reduced copy whose long side is at most this; a
// whole divisor keeps the averaging resize on its fast path.
constexpr int reducedLongSide = 640;
// A reduced copy with a shorter side is too small to judge.
constexpr int reducedShortSideMinimum = 32;
constexpr double minimumAreaShare = 0.15;
// The light region must fill its quadrilateral nearly fully: no L shapes.
constexpr double minimumFill = 0.9;
// Corners between 60° and 120°: a page seen from above, perhaps a little skewed.
constexpr double maximumCornerCosine = 0.5;
// Share of the short side within which a corner counts as a frame corner.
constexpr double frameCornerMargin = 0.03;
// Simplifying the region's hull to this share of its perimeter yields its corners.
constexpr double outlineTolerance = 0.02;

int reductionFactor(const Frame &frame)
{
    return (std::max(frame.width, frame.height) + reducedLongSide - 1) / reducedLongSide;
}

// The reduced, upright picture's luminance, softened against sensor grain.
cv::Mat reducedLuminance(const Frame &frame, int factor)
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
    cv::Mat luminance;
    cv::cvtColor(colour, luminance, cv::COLOR_BGR2GRAY);
    cv::flip(luminance, luminance, 0);
    cv::GaussianBlur(luminance, luminance, cv::Size(5, 5), 0);
    return luminance;
}

using Histogram = std::array<double, 256>;

Histogram histogramOf(const cv::Mat &luminance)
{
    Histogram histogram{};
    for (int y = 0; y < luminance.rows; ++y) {
        const std::uint8_t *row = luminance.ptr<std::uint8_t>(y);
        for (int x = 0; x < luminance.cols; ++x)
            ++histogram[row[x]];
    }
    return histogram;
}

// Otsu's threshold among the levels from first up: the level splitting them into
// a dark and a light class whose means lie furthest apart, weighted by both
// classes' sizes.
int otsuThreshold(const Histogram &histogram, int first)
{
    double count = 0;
    double sum = 0;
    for (int level = first; level < 256; ++level) {
        count += histogram[level];
        sum += level * histogram[level];
    }
    double darkCount = 0;
    double darkSum = 0;
    double bestSpread = -1;
    int best = first;
    for (int level = first; level < 255; ++level) {
        darkCount += histogram[level];
        darkSum += level * histogram[level];
        const double lightCount = count - darkCount;
        if (darkCount == 0 || lightCount == 0)
            continue;
        const double meanGap = (sum - darkSum) / lightCount - darkSum / darkCount;
        const double spread = darkCount * lightCount * meanGap * meanGap;
        if (spread > bestSpread) {
            bestSpread = spread;
            best = level;
        }
    }
    return best;
}

// The parts of the picture lighter than threshold.
cv::Mat lightRegions(const cv::Mat &luminance, int threshold)
{
    cv::Mat light;
    cv::threshold(luminance, light, threshold, 255, cv::THRESH_BINARY);
    // Drops stray dots and cuts thin bridges from the page to light things beside it.
    cv::morphologyEx(light, light, cv::MORPH_OPEN,
                     cv::getStructuringElement(cv::MORPH_RECT, cv::Size(5, 5)));
    return light;
}

bool hasPageCorners(const std::vector<cv::Point2f> &corners)
{
    for (std::size_t i = 0; i < corners.size(); ++i) {
        const cv::Point2d corner = corners[i];
        const cv::Point2d toNext = cv::Point2d(corners[(i + 1) % 4]) - corner;
        const cv::Point2d toPrevious = cv::Point2d(corners[(i + 3) % 4]) - corner;
        const double cosine = toNext.dot(toPrevious) / (cv::norm(toNext) * cv::norm(toPrevious));
        if (std::abs(cosine) > maximumCornerCosine)
            return false;
    }
    return true;
}

bool isFrameItself(const std::vector<cv::Point2f> &corners, cv::Size size)
{
    const double margin = frameCornerMargin * std::min(size.width, size.height);
    const cv::Point2d frameCorners[] = {{0, 0},
                                        {size.width - 1.0, 0},
                                        {0, size.height - 1.0},
                                        {size.width - 1.0, size.height - 1.0}};
    return std::all_of(corners.begin(), corners.end(), [&](cv::Point2f corner) {
        return std::any_of(std::begin(frameCorners), std::end(frameCorners),
                           [&](cv::Point2d frameCorner) {
                               return cv::norm(cv::Point2d(corner) - frameCorner) <= margin;
                           });
    });
}

// A dog-ear cuts a page's corner off: the shortest edge's neighbours, extended
// until they meet, give the corner back. False when they never meet.
bool restoreCutCorner(std::vector<cv::Point2f> &corners)
{
    const std::size_t count = corners.size();
    std::size_t shortest = 0;
    for (std::size_t i = 1; i < count; ++i)
        if (cv::norm(corners[(i + 1) % count] - corners[i]) <
            cv::norm(corners[(shortest + 1) % count] - corners[shortest]))
            shortest = i;
    const cv::Point2f start = corners[shortest];
    const cv::Point2f end = corners[(shortest + 1) % count];
    const cv::Point2f before = start - corners[(shortest + count - 1) % count];
    const cv::Point2f after = corners[(shortest + 2) % count] - end;
    const double cross = before.cross(after);
    if (std::abs(cross) < 1e-6 * cv::norm(before) * cv::norm(after))
        return false;
    const double along = (end - start).cross(after) / cross;
    corners[shortest] = start + before * float(along);
    corners.erase(corners.begin() + std::ptrdiff_t((shortest + 1) % count));
    return true;
}

// The region's four corners if it can be a page.
std::optional<std::vector<cv::Point2f>> pageCorners(const std::vector<cv::Point> &region,
                                                    cv::Size size)
{
    const double area = cv::contourArea(region);
    if (area < minimumAreaShare * size.area())
        return std::nullopt;
    std::vector<cv::Point> hull;
    cv::convexHull(region, hull);
    std::vector<cv::Point> simplified;
    cv::approxPolyDP(hull, simplified, outlineTolerance * cv::arcLength(hull, true), true);
    if (simplified.size() < 4)
        return std::nullopt;
    std::vector<cv::Point2f> corners(simplified.begin(), simplified.end());
    while (corners.size() > 4)
        if (!restoreCutCorner(corners))
            return std::nullopt;
    if (!cv::isContourConvex(corners) || area < minimumFill * cv::contourArea(corners) ||
        !hasPageCorners(corners) || isFrameItself(corners, size))
        return std::nullopt;
    return corners;
}

// Corners of the reduced copy in frame pixels, clockwise from the page's top left.
PageOutline frameOutline(const std::vector<cv::Point2f> &corners, int factor)
{
    PageOutline outline;
    std::transform(corners.begin(), corners.end(), outline.corners.begin(), [&](cv::Point2f p) {
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
    const cv::Mat luminance = reducedLuminance(frame, factor);
    // The first split parts a dark desk from the page, or dark print from a light
    // desk and the page; splitting the lighter part again then parts those two.
    const Histogram histogram = histogramOf(luminance);
    const int lightThreshold = otsuThreshold(histogram, 0);
    std::optional<std::vector<cv::Point2f>> best;
    double bestArea = 0;
    for (const int threshold : {lightThreshold, otsuThreshold(histogram, lightThreshold + 1)}) {
        std::vector<std::vector<cv::Point>> regions;
        cv::findContours(lightRegions(luminance, threshold), regions, cv::RETR_EXTERNAL,
                         cv::CHAIN_APPROX_SIMPLE);
        for (const std::vector<cv::Point> &region : regions) {
            const std::optional<std::vector<cv::Point2f>> corners =
                pageCorners(region, luminance.size());
            if (!corners)
                continue;
            const double area = cv::contourArea(*corners);
            if (area > bestArea) {
                bestArea = area;
                best = corners;
            }
        }
    }
    if (!best)
        return std::nullopt;
    return frameOutline(*best, factor);
}

} // namespace optrelle
