#include "quadrilateral.h"

#include <algorithm>
#include <cmath>

namespace optrelle {

namespace {

// Opposite sides of a page seen from above lie within this angle of each other.
constexpr double maximumOppositeDegrees = 35;
// Corners between 60° and 120°: a page seen from above in some perspective.
constexpr double maximumCornerCosine = 0.5;
constexpr double minimumAreaShare = 0.06;
// Every side seen along at least this share of its length: a faint change of
// colour counts as seen, so a page's side must show it nearly all along,
// where print, shadows and clutter show it here and there.
constexpr double minimumSideSupport = 0.8;
// Corners may lie this share of the short side outside the picture (a page
// edge blurred at the border) and are then moved onto it.
constexpr double borderTolerance = 0.01;
// The page's margin next to each side differs from the desk beyond by at least
// the first, and from the margin next to another side by at most the second
// (light falls unevenly, paper curls into shadow).
constexpr int minimumPageContrast = 10;
constexpr int maximumMarginSpread = 55;

// A side seen weakly is looked for this far around where the two sides seen
// well put it: pixels to either side, degrees either way (perspective).
constexpr int localSearchOffset = 2;
constexpr double localSearchDegrees = 12;
constexpr double localSearchStepDegrees = 2;
// A side seen well goes on past gaps this long (a cable across it, a glint).
constexpr double maximumSideGap = 4;
// Pages begun by two sides are searched for from at most this many corners.
constexpr std::size_t maximumPageStarts = 32;

struct Candidate
{
    std::array<cv::Point2d, 4> corners;
    double score = 0;
};

bool nearlyParallel(const EdgeLine &a, const EdgeLine &b)
{
    return std::abs(a.direction().dot(b.direction())) >
           std::cos(maximumOppositeDegrees * CV_PI / 180);
}

bool plausibleCorners(const std::array<cv::Point2d, 4> &corners, cv::Size size)
{
    double sign = 0;
    double twiceArea = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        const cv::Point2d corner = corners[i];
        const cv::Point2d toNext = corners[(i + 1) % 4] - corner;
        const cv::Point2d toPrevious = corners[(i + 3) % 4] - corner;
        const double lengths = cv::norm(toNext) * cv::norm(toPrevious);
        if (lengths < 1e-9 || std::abs(toNext.dot(toPrevious)) > maximumCornerCosine * lengths)
            return false;
        const double turn = toPrevious.cross(toNext);
        if (sign * turn < 0)
            return false;
        sign = turn;
        twiceArea += corner.cross(corners[(i + 1) % 4]);
    }
    return std::abs(twiceArea) / 2 >= minimumAreaShare * size.area();
}

// Moves corners just outside the picture onto its border; false when one lies
// further out.
bool keepInside(std::array<cv::Point2d, 4> &corners, cv::Size size)
{
    const double tolerance = borderTolerance * std::min(size.width, size.height);
    for (cv::Point2d &corner : corners) {
        if (corner.x < -tolerance || corner.y < -tolerance ||
            corner.x > size.width - 1 + tolerance || corner.y > size.height - 1 + tolerance)
            return false;
        corner.x = std::clamp(corner.x, 0.0, size.width - 1.0);
        corner.y = std::clamp(corner.y, 0.0, size.height - 1.0);
    }
    return true;
}

// Whether the colour just inside each side is alike, as a page's margin all
// round is, and differs from the colour just outside each side but the frame's.
bool samePageInside(const std::array<const EdgeLine *, 4> &sides,
                    const std::array<double, 4> &start, const std::array<double, 4> &end,
                    const std::array<cv::Point2d, 4> &corners)
{
    const cv::Point2d centre = (corners[0] + corners[1] + corners[2] + corners[3]) / 4;
    std::array<cv::Vec3b, 4> inside;
    for (std::size_t i = 0; i < 4; ++i) {
        const EdgeLine &side = *sides[i];
        const cv::Point2d normal(-side.direction().y, side.direction().x);
        const bool normalInside = normal.dot(centre - side.point()) > 0;
        inside[i] = side.colourBeside(start[i], end[i], normalInside);
        if (!side.isFrameBorder() &&
            colourDifference(inside[i], side.colourBeside(start[i], end[i], !normalInside)) <
                minimumPageContrast)
            return false;
    }
    for (std::size_t i = 0; i < 4; ++i)
        for (std::size_t j = i + 1; j < 4; ++j)
            if (colourDifference(inside[i], inside[j]) > maximumMarginSpread)
                return false;
    return true;
}

// The quadrilateral of sides first, second (opposite first), and across, acrossSecond,
// in order first, acrossSecond, second, across; std::nullopt when no page or
// one scoring no more than scoreToBeat.
std::optional<Candidate> pageCandidate(const std::array<const EdgeLine *, 4> &sides, cv::Size size,
                                       double scoreToBeat)
{
    // Side i runs from corner i to corner i + 1: where it meets the sides before
    // and after it.
    std::array<double, 4> start{};
    std::array<double, 4> end{};
    Candidate candidate;
    for (std::size_t i = 0; i < 4; ++i) {
        if (!sides[i]->meets(*sides[(i + 3) % 4], start[i]) ||
            !sides[i]->meets(*sides[(i + 1) % 4], end[i]))
            return std::nullopt;
        candidate.corners[i] = sides[i]->point() + sides[i]->direction() * start[i];
    }
    if (!keepInside(candidate.corners, size) || !plausibleCorners(candidate.corners, size))
        return std::nullopt;
    for (std::size_t i = 0; i < 4; ++i) {
        if (sides[i]->isFrameBorder())
            continue;
        const double support = sides[i]->support(start[i], end[i]);
        if (support < minimumSideSupport)
            return std::nullopt;
        // Stretches without a change of colour count against the side.
        candidate.score += (2 * support - 1) * std::abs(end[i] - start[i]);
    }
    // The colours inside are looked at last, and only for a quadrilateral that
    // would win: they take longest.
    if (candidate.score <= scoreToBeat || !samePageInside(sides, start, end, candidate.corners))
        return std::nullopt;
    return candidate;
}

// The line within the local search of the side that starts at from and runs
// along direction for length, along which the picture changes across most.
// The line that starts near from, within degrees of direction, along which the
// picture changes across most over length.
EdgeLine localSide(const cv::Mat &smooth, cv::Point2d from, cv::Point2d direction, double length,
                   double degrees)
{
    const cv::Point2d normal(-direction.y, direction.x);
    int bestCount = -1;
    cv::Point2d bestStart = from;
    cv::Point2d bestDirection = direction;
    for (double turn = -degrees; turn <= degrees; turn += localSearchStepDegrees) {
        const double angle = turn * CV_PI / 180;
        const cv::Point2d turned = direction * std::cos(angle) + normal * std::sin(angle);
        const cv::Point2d across(-turned.y, turned.x);
        for (int offset = -localSearchOffset; offset <= localSearchOffset; ++offset) {
            const cv::Point2d start = from + normal * double(offset);
            int count = 0;
            for (double s = 0; s <= length; s += 2)
                count += int(changesAcross(smooth, start + turned * s, across));
            if (count > bestCount) {
                bestCount = count;
                bestStart = start;
                bestDirection = turned;
            }
        }
    }
    EdgeLine side(bestStart, bestDirection, smooth.size(), false);
    side.measureSupport(smooth);
    return side;
}

// Two adjacent sides seen from their corner on, each for a length: where a
// page may begin whose other two sides were not among the edge lines.
struct PageStart
{
    const EdgeLine *first;
    const EdgeLine *second;
    cv::Point2d corner;
    cv::Point2d firstWay;
    cv::Point2d secondWay;
    double firstLength;
    double secondLength;
};

// The pages first and second may begin, large enough to be a page.
void addPageStarts(const EdgeLine &first, const EdgeLine &second, cv::Size size,
                   std::vector<PageStart> &starts)
{
    const double minimumSide = std::sqrt(minimumAreaShare * size.area()) / 2;
    double alongFirst = 0;
    double alongSecond = 0;
    if (first.isFrameBorder() || second.isFrameBorder() || nearlyParallel(first, second) ||
        !first.meets(second, alongFirst) || !second.meets(first, alongSecond))
        return;
    const cv::Point2d corner = first.point() + first.direction() * alongFirst;
    for (const double firstSign : {-1.0, 1.0}) {
        const double firstLength = first.supportedReach(alongFirst, firstSign, maximumSideGap);
        if (firstLength < minimumSide)
            continue;
        const cv::Point2d firstWay = first.direction() * firstSign;
        for (const double secondSign : {-1.0, 1.0}) {
            const double secondLength =
                second.supportedReach(alongSecond, secondSign, maximumSideGap);
            const cv::Point2d secondWay = second.direction() * secondSign;
            if (secondLength >= minimumSide &&
                firstLength * secondLength * std::abs(firstWay.cross(secondWay)) >=
                    minimumAreaShare * size.area())
                starts.push_back(
                    {&first, &second, corner, firstWay, secondWay, firstLength, secondLength});
        }
    }
}

} // namespace

std::optional<std::array<cv::Point2d, 4>>
completedPageQuadrilateral(const std::vector<EdgeLine> &lines, const cv::Mat &smooth)
{
    std::vector<PageStart> starts;
    for (std::size_t i = 0; i < lines.size(); ++i)
        for (std::size_t j = i + 1; j < lines.size(); ++j)
            addPageStarts(lines[i], lines[j], smooth.size(), starts);
    // Longest seen first: the search for the other sides is costly, and a page
    // can hardly score more than the length of the two sides seen twice over,
    // so once one is found the shorter starts need no search; a page's sides
    // are among the longest seen, so the shortest starts of a busy picture
    // are not searched at all.
    std::sort(starts.begin(), starts.end(), [](const PageStart &a, const PageStart &b) {
        return a.firstLength + a.secondLength > b.firstLength + b.secondLength;
    });
    if (starts.size() > maximumPageStarts)
        starts.resize(maximumPageStarts);
    std::optional<Candidate> best;
    for (const PageStart &start : starts) {
        if (best && 2 * (start.firstLength + start.secondLength) <= best->score)
            break;
        const EdgeLine oppositeFirst =
            localSide(smooth, start.corner + start.secondWay * start.secondLength, start.firstWay,
                      start.firstLength, localSearchDegrees);
        const EdgeLine oppositeSecond =
            localSide(smooth, start.corner + start.firstWay * start.firstLength, start.secondWay,
                      start.secondLength, localSearchDegrees);
        const std::optional<Candidate> candidate =
            pageCandidate({start.first, start.second, &oppositeFirst, &oppositeSecond},
                          smooth.size(), best ? best->score : -1e9);
        if (candidate)
            best = candidate;
    }
    if (!best)
        return std::nullopt;
    return best->corners;
}

std::optional<std::array<cv::Point2d, 4>> bestPageQuadrilateral(const std::vector<EdgeLine> &lines,
                                                                cv::Size size)
{
    // Pairs of lines that may be a page's opposite sides; at most one of a
    // quadrilateral's sides may be a frame border.
    std::vector<std::pair<std::size_t, std::size_t>> opposites;
    for (std::size_t i = 0; i < lines.size(); ++i)
        for (std::size_t j = i + 1; j < lines.size(); ++j)
            if (nearlyParallel(lines[i], lines[j]) &&
                !(lines[i].isFrameBorder() && lines[j].isFrameBorder()))
                opposites.emplace_back(i, j);
    std::optional<Candidate> best;
    for (std::size_t p = 0; p < opposites.size(); ++p) {
        const auto [a, b] = opposites[p];
        for (std::size_t q = p + 1; q < opposites.size(); ++q) {
            const auto [c, d] = opposites[q];
            if (a == c || a == d || b == c || b == d || nearlyParallel(lines[a], lines[c]))
                continue;
            const int borders = int(lines[a].isFrameBorder()) + int(lines[b].isFrameBorder()) +
                                int(lines[c].isFrameBorder()) + int(lines[d].isFrameBorder());
            if (borders > 1)
                continue;
            const std::optional<Candidate> candidate = pageCandidate(
                {&lines[a], &lines[c], &lines[b], &lines[d]}, size, best ? best->score : -1e9);
            if (candidate)
                best = candidate;
        }
    }
    if (!best)
        return std::nullopt;
    return best->corners;
}

} // namespace optrelle
