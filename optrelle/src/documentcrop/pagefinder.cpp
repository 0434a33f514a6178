#include "pagefinder.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>

namespace optrelle {

namespace {

constexpr int reducedLongSide = 640;
constexpr double smallestPageShare = 1.0 / 6;
// A shape this close to the whole frame is the frame's own edge (a page held
// too close, or an evenly lit scene), not a page lying on the desk.
constexpr double largestPageShare = 0.97;

// Orders four points as top-left, top-right, bottom-right, bottom-left.
PageOutline ordered(const std::vector<cv::Point2f> &points, double scale)
{
    const auto bySum = [](cv::Point2f a, cv::Point2f b) { return a.x + a.y < b.x + b.y; };
    const auto byDifference = [](cv::Point2f a, cv::Point2f b) { return a.x - a.y < b.x - b.y; };
    const cv::Point2f topLeft = *std::min_element(points.begin(), points.end(), bySum);
    const cv::Point2f bottomRight = *std::max_element(points.begin(), points.end(), bySum);
    const cv::Point2f topRight = *std::max_element(points.begin(), points.end(), byDifference);
    const cv::Point2f bottomLeft = *std::min_element(points.begin(), points.end(), byDifference);
    PageOutline outline;
    int i = 0;
    for (const cv::Point2f &p : {topLeft, topRight, bottomRight, bottomLeft})
        outline.corners[i++] = QPointF(p.x * scale, p.y * scale);
    return outline;
}

} // namespace

std::optional<PageOutline> findPageOutline(const Frame &frame)
{
    if (frame.width < 8 || frame.height < 8)
        return std::nullopt;
    const cv::Mat bottomUp(frame.height, frame.width, CV_8UC3,
                           const_cast<std::uint8_t *>(frame.pixels.data()), frame.rowBytes());
    const double scale =
        std::max(1.0, double(std::max(frame.width, frame.height)) / reducedLongSide);
    cv::Mat reduced;
    cv::resize(bottomUp, reduced, cv::Size(), 1 / scale, 1 / scale, cv::INTER_AREA);
    cv::flip(reduced, reduced, 0);
    cv::Mat grey;
    cv::cvtColor(reduced, grey, cv::COLOR_BGR2GRAY);
    cv::GaussianBlur(grey, grey, cv::Size(5, 5), 0);
    // The page is lighter than the desk: Otsu's threshold separates the two, and
    // closing fills the page's print so it is one shape.
    cv::threshold(grey, grey, 0, 255, cv::THRESH_BINARY | cv::THRESH_OTSU);
    cv::morphologyEx(grey, grey, cv::MORPH_CLOSE,
                     cv::getStructuringElement(cv::MORPH_RECT, cv::Size(9, 9)));

    std::vector<std::vector<cv::Point>> contours;
    cv::findContours(grey, contours, cv::RETR_EXTERNAL, cv::CHAIN_APPROX_SIMPLE);
    if (contours.empty())
        return std::nullopt;
    const auto &largest =
        *std::max_element(contours.begin(), contours.end(), [](const auto &a, const auto &b) {
            return cv::contourArea(a) < cv::contourArea(b);
        });
    const double frameArea = double(reduced.cols) * reduced.rows;
    const double area = cv::contourArea(largest);
    if (area < smallestPageShare * frameArea || area > largestPageShare * frameArea)
        return std::nullopt;

    std::vector<cv::Point> polygon;
    cv::approxPolyDP(largest, polygon, 0.02 * cv::arcLength(largest, true), true);
    std::vector<cv::Point2f> corners;
    if (polygon.size() == 4 && cv::isContourConvex(polygon)) {
        corners.assign(polygon.begin(), polygon.end());
    } else {
        // A page with a dog-ear or a hand on it: the turned rectangle around it,
        // when the shape nearly fills that rectangle.
        const cv::RotatedRect box = cv::minAreaRect(largest);
        if (area < 0.85 * box.size.area())
            return std::nullopt;
        cv::Point2f points[4];
        box.points(points);
        corners.assign(points, points + 4);
    }
    return ordered(corners, scale);
}

} // namespace optrelle
