#pragma once

#include <opencv2/core.hpp>

#include <vector>

namespace optrelle {

// A straight line across a picture along which the picture may change from page
// to desk, with where along it it does: the evidence a page's side is judged by.
class EdgeLine
{
public:
    // The line through point along direction (unit length), clipped to a picture
    // of size; frameBorder for the picture's own edges, which count as seen all
    // along (a page running off the frame is cut by them).
    EdgeLine(cv::Point2d point, cv::Point2d direction, cv::Size size, bool frameBorder);

    cv::Point2d point() const { return m_point; }
    cv::Point2d direction() const { return m_direction; }
    bool isFrameBorder() const { return m_frameBorder; }

    // Learns where the picture changes across the line: colours a few pixels to
    // either side that differ clearly, in the Lab picture.
    void measureSupport(const cv::Mat &lab);
    // The share of the stretch between two points on the line (given by their
    // distance along it from point()) where the picture changes across it.
    double support(double from, double to) const;
    // How far from the point at from the picture goes on changing across the
    // line, towards larger distances when sign > 0, bridging gaps up to
    // maximumGap.
    double supportedReach(double from, double sign, double maximumGap) const;
    // The typical colour (Lab) beside the stretch between two points on the
    // line, on the side the normal (-direction.y, direction.x) points to when
    // normalSide, else on the other.
    cv::Vec3b colourBeside(double from, double to, bool normalSide) const;
    // Distance along the line from point() to where it meets other; false when
    // they are parallel.
    bool meets(const EdgeLine &other, double &along) const;

private:
    cv::Point2d m_point;
    cv::Point2d m_direction;
    bool m_frameBorder;
    // Samples one pixel apart, from m_first along the line: prefix counts of
    // those where the picture changes across the line.
    double m_first = 0;
    std::vector<int> m_supportedBefore;
    // The colour a little way to either side of each sample.
    std::vector<cv::Vec3b> m_normalSide;
    std::vector<cv::Vec3b> m_otherSide;
};

// How far apart two Lab colours look: the largest difference in light or in
// (weighted) colour.
int colourDifference(cv::Vec3b a, cv::Vec3b b);

// Whether the Lab picture changes colour across a line through p with the given
// normal: the evidence a side is seen at p.
bool changesAcross(const cv::Mat &lab, cv::Point2d p, cv::Point2d normal);

// The straight edges of a smoothed Lab picture that may be a page's sides,
// strongest first, followed by the picture's four borders; each with its
// support measured.
std::vector<EdgeLine> findEdgeLines(const cv::Mat &smooth);

} // namespace optrelle
