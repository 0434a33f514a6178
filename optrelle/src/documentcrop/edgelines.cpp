#include "edgelines.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <array>
#include <cmath>

namespace optrelle {

namespace {

// A change of colour across a line counts where Lab samples this far to either
// side differ by at least changeThreshold; the line may be off by a pixel.
constexpr int acrossGap = 2;
constexpr int changeThreshold = 8;
// Edge pixels are kept where the colour this far to either side differs so.
constexpr double stepReach = 5;
// A side's colour is taken this far from it.
constexpr double besideReach = 3;
// Colour differences weigh this much more than light ones: a page parted from
// its desk by colour alone (white on pink) changes a and b only a little.
constexpr int chromaWeight = 2;
// Canny's thresholds on the strongest channel's Sobel gradient.
constexpr double cannyLow = 20;
constexpr double cannyHigh = 50;
// Hough votes a line needs, as a share of the picture's short side.
constexpr double minimumVoteShare = 0.12;
constexpr std::size_t maximumLines = 32;
// Lines closer than this in angle and distance are one edge seen twice.
constexpr double sameLineDegrees = 4;
constexpr double sameLineDistance = 5;
// Edge pixels this close to a Hough line are fitted into the exact line.
constexpr double fitDistance = 2;

bool inside(cv::Point2d p, cv::Size size)
{
    return p.x >= 0 && p.y >= 0 && p.x <= size.width - 1 && p.y <= size.height - 1;
}

cv::Vec3b labAt(const cv::Mat &lab, cv::Point2d p)
{
    return lab.at<cv::Vec3b>(int(std::lround(p.y)), int(std::lround(p.x)));
}

// The colour at p, or at the nearest pixel inside the picture.
cv::Vec3b colourNear(const cv::Mat &lab, cv::Point2d p)
{
    return lab.at<cv::Vec3b>(std::clamp(int(std::lround(p.y)), 0, lab.rows - 1),
                             std::clamp(int(std::lround(p.x)), 0, lab.cols - 1));
}

} // namespace

int colourDifference(cv::Vec3b a, cv::Vec3b b)
{
    return std::max({std::abs(a[0] - b[0]), chromaWeight * std::abs(a[1] - b[1]),
                     chromaWeight * std::abs(a[2] - b[2])});
}

namespace {

// The gradient of the channel changing most at each pixel, chroma weighted, so
// Canny sees a page's edge whether light or colour sets it apart.
void strongestGradient(const cv::Mat &lab, cv::Mat &dx, cv::Mat &dy)
{
    std::vector<cv::Mat> channels;
    cv::split(lab, channels);
    std::array<cv::Mat, 3> channelDx;
    std::array<cv::Mat, 3> channelDy;
    for (std::size_t c = 0; c < 3; ++c) {
        cv::Sobel(channels[c], channelDx[c], CV_16S, 1, 0, 3);
        cv::Sobel(channels[c], channelDy[c], CV_16S, 0, 1, 3);
    }
    dx.create(lab.size(), CV_16S);
    dy.create(lab.size(), CV_16S);
    for (int y = 0; y < lab.rows; ++y) {
        short *outX = dx.ptr<short>(y);
        short *outY = dy.ptr<short>(y);
        for (int x = 0; x < lab.cols; ++x) {
            int bestX = channelDx[0].ptr<short>(y)[x];
            int bestY = channelDy[0].ptr<short>(y)[x];
            int best = bestX * bestX + bestY * bestY;
            for (std::size_t c = 1; c < 3; ++c) {
                const int gx = chromaWeight * channelDx[c].ptr<short>(y)[x];
                const int gy = chromaWeight * channelDy[c].ptr<short>(y)[x];
                if (gx * gx + gy * gy > best) {
                    best = gx * gx + gy * gy;
                    bestX = gx;
                    bestY = gy;
                }
            }
            outX[x] = short(std::clamp(bestX, -32767, 32767));
            outY[x] = short(std::clamp(bestY, -32767, 32767));
        }
    }
}

cv::Mat edgesOf(const cv::Mat &lab)
{
    cv::Mat dx;
    cv::Mat dy;
    strongestGradient(lab, dx, dy);
    cv::Mat edges;
    cv::Canny(dx, dy, edges, cannyLow, cannyHigh, true);
    // Only steps from one colour to another can be a page's edge: across print,
    // a thin line or grain the colour is the same a few pixels to either side.
    for (int y = 0; y < edges.rows; ++y) {
        std::uint8_t *row = edges.ptr<std::uint8_t>(y);
        for (int x = 0; x < edges.cols; ++x) {
            if (!row[x])
                continue;
            const cv::Point2d gradient(dx.ptr<short>(y)[x], dy.ptr<short>(y)[x]);
            const cv::Point2d across = gradient * (stepReach / std::max(1.0, cv::norm(gradient)));
            const cv::Point2d p(x, y);
            row[x] = inside(p + across, lab.size()) && inside(p - across, lab.size()) &&
                             colourDifference(labAt(lab, p + across), labAt(lab, p - across)) >=
                                 changeThreshold
                         ? 255
                         : 0;
        }
    }
    return edges;
}

struct Line
{
    cv::Point2d point;
    cv::Point2d direction;
};

bool sameLine(const Line &a, const Line &b)
{
    const double cosine = std::abs(a.direction.dot(b.direction));
    const cv::Point2d normal(-a.direction.y, a.direction.x);
    return cosine > std::cos(sameLineDegrees * CV_PI / 180) &&
           std::abs((b.point - a.point).dot(normal)) < sameLineDistance;
}

// The line through the edge pixels near a rough one, or the rough one when too
// few are near.
Line fittedLine(const Line &rough, const cv::Mat &edges)
{
    const cv::Point2d normal(-rough.direction.y, rough.direction.x);
    const double reach = std::hypot(edges.cols, edges.rows);
    std::vector<cv::Point2f> near;
    for (double s = -reach; s <= reach; s += 1)
        for (double offset = -fitDistance; offset <= fitDistance; offset += 1) {
            const cv::Point2d p = rough.point + rough.direction * s + normal * offset;
            if (inside(p, edges.size()) &&
                edges.at<std::uint8_t>(int(std::lround(p.y)), int(std::lround(p.x))))
                near.emplace_back(float(std::lround(p.x)), float(std::lround(p.y)));
        }
    if (near.size() < 20)
        return rough;
    cv::Vec4f fitted;
    cv::fitLine(near, fitted, cv::DIST_L2, 0, 0.01, 0.01);
    return {{fitted[2], fitted[3]}, {fitted[0], fitted[1]}};
}

// The strongest straight edges, each once, laid exactly onto the edge pixels.
std::vector<Line> straightEdges(const cv::Mat &edges)
{
    std::vector<cv::Vec2f> found;
    const int votes = std::max(10, int(minimumVoteShare * std::min(edges.cols, edges.rows)));
    cv::HoughLines(edges, found, 1, CV_PI / 180, votes);
    std::vector<Line> lines;
    for (const cv::Vec2f &polar : found) {
        const double rho = polar[0];
        const double theta = polar[1];
        const Line line{{rho * std::cos(theta), rho * std::sin(theta)},
                        {-std::sin(theta), std::cos(theta)}};
        if (std::none_of(lines.begin(), lines.end(),
                         [&](const Line &kept) { return sameLine(kept, line); }))
            lines.push_back(line);
        if (lines.size() == maximumLines)
            break;
    }
    for (Line &line : lines)
        line = fittedLine(line, edges);
    return lines;
}

} // namespace

bool changesAcross(const cv::Mat &lab, cv::Point2d p, cv::Point2d normal)
{
    for (int offset = -1; offset <= 1; ++offset) {
        const cv::Point2d a = p + normal * double(offset + acrossGap);
        const cv::Point2d b = p + normal * double(offset - acrossGap);
        if (inside(a, lab.size()) && inside(b, lab.size()) &&
            colourDifference(labAt(lab, a), labAt(lab, b)) >= changeThreshold)
            return true;
    }
    return false;
}

EdgeLine::EdgeLine(cv::Point2d point, cv::Point2d direction, cv::Size size, bool frameBorder)
    : m_point(point), m_direction(direction), m_frameBorder(frameBorder)
{
    // The stretch of the line inside the picture.
    double first = -1e9;
    double last = 1e9;
    const double lower[2] = {0, 0};
    const double upper[2] = {size.width - 1.0, size.height - 1.0};
    const double start[2] = {point.x, point.y};
    const double step[2] = {direction.x, direction.y};
    for (int axis = 0; axis < 2; ++axis) {
        if (std::abs(step[axis]) < 1e-9) {
            if (start[axis] < lower[axis] || start[axis] > upper[axis])
                last = first - 1;
            continue;
        }
        const double a = (lower[axis] - start[axis]) / step[axis];
        const double b = (upper[axis] - start[axis]) / step[axis];
        first = std::max(first, std::min(a, b));
        last = std::min(last, std::max(a, b));
    }
    m_first = first;
    const int count = last >= first ? int(last - first) + 1 : 0;
    m_supportedBefore.assign(std::size_t(count) + 1, 0);
}

void EdgeLine::measureSupport(const cv::Mat &lab)
{
    const cv::Point2d normal(-m_direction.y, m_direction.x);
    m_normalSide.resize(m_supportedBefore.size() - 1);
    m_otherSide.resize(m_supportedBefore.size() - 1);
    for (std::size_t i = 0; i + 1 < m_supportedBefore.size(); ++i) {
        const cv::Point2d p = m_point + m_direction * (m_first + double(i));
        const bool changes = m_frameBorder || changesAcross(lab, p, normal);
        m_supportedBefore[i + 1] = m_supportedBefore[i] + int(changes);
        m_normalSide[i] = colourNear(lab, p + normal * besideReach);
        m_otherSide[i] = colourNear(lab, p - normal * besideReach);
    }
}

double EdgeLine::support(double from, double to) const
{
    if (from > to)
        std::swap(from, to);
    const int samples = int(m_supportedBefore.size()) - 1;
    const int first = std::clamp(int(std::ceil(from - m_first)), 0, samples);
    const int last = std::clamp(int(std::floor(to - m_first)) + 1, 0, samples);
    const double length = std::max(1.0, to - from);
    return std::max(0,
                    m_supportedBefore[std::size_t(last)] - m_supportedBefore[std::size_t(first)]) /
           length;
}

double EdgeLine::supportedReach(double from, double sign, double maximumGap) const
{
    const int samples = int(m_supportedBefore.size()) - 1;
    const auto supported = [&](int i) {
        return i >= 0 && i < samples &&
               m_supportedBefore[std::size_t(i) + 1] > m_supportedBefore[std::size_t(i)];
    };
    const int step = sign < 0 ? -1 : 1;
    int i = int(std::lround(from - m_first));
    int lastSupported = i;
    for (; i >= 0 && i < samples && std::abs(i - lastSupported) <= maximumGap; i += step) {
        if (supported(i))
            lastSupported = i;
    }
    return std::abs(double(lastSupported) + m_first - from);
}

cv::Vec3b EdgeLine::colourBeside(double from, double to, bool normalSide) const
{
    if (from > to)
        std::swap(from, to);
    const std::vector<cv::Vec3b> &colours = normalSide ? m_normalSide : m_otherSide;
    const int samples = int(colours.size());
    const int first = std::clamp(int(std::ceil(from - m_first)), 0, samples);
    const int last = std::clamp(int(std::floor(to - m_first)) + 1, first, samples);
    if (first == last)
        return {};
    // The median of each channel: print and shadows beside the line do not count.
    cv::Vec3b typical;
    std::vector<std::uint8_t> channel(std::size_t(last - first));
    for (int c = 0; c < 3; ++c) {
        for (int i = first; i < last; ++i)
            channel[std::size_t(i - first)] = colours[std::size_t(i)][c];
        std::nth_element(channel.begin(), channel.begin() + std::ptrdiff_t(channel.size() / 2),
                         channel.end());
        typical[c] = channel[channel.size() / 2];
    }
    return typical;
}

bool EdgeLine::meets(const EdgeLine &other, double &along) const
{
    const double cross = m_direction.cross(other.m_direction);
    if (std::abs(cross) < 1e-9)
        return false;
    along = (other.m_point - m_point).cross(other.m_direction) / cross;
    return true;
}

std::vector<EdgeLine> findEdgeLines(const cv::Mat &smooth)
{
    const cv::Size size = smooth.size();
    std::vector<EdgeLine> lines;
    for (const Line &line : straightEdges(edgesOf(smooth)))
        lines.emplace_back(line.point, line.direction, size, false);
    const double right = size.width - 1.0;
    const double bottom = size.height - 1.0;
    lines.emplace_back(cv::Point2d(0, 0), cv::Point2d(1, 0), size, true);
    lines.emplace_back(cv::Point2d(right, 0), cv::Point2d(0, 1), size, true);
    lines.emplace_back(cv::Point2d(0, bottom), cv::Point2d(1, 0), size, true);
    lines.emplace_back(cv::Point2d(0, 0), cv::Point2d(0, 1), size, true);
    for (EdgeLine &line : lines)
        line.measureSupport(smooth);
    return lines;
}

} // namespace optrelle
