#include "pagestraightener.h"

#include <QLineF>

#include <opencv2/imgproc.hpp>

#include <algorithm>

namespace optrelle {

QSize straightenedSize(const PageOutline &outline)
{
    const auto &[topLeft, topRight, bottomRight, bottomLeft] = outline.corners;
    const auto length = [](QPointF a, QPointF b) { return QLineF(a, b).length(); };
    return {std::max(1, int(std::lround(
                            (length(topLeft, topRight) + length(bottomLeft, bottomRight)) / 2))),
            std::max(1, int(std::lround(
                            (length(topLeft, bottomLeft) + length(topRight, bottomRight)) / 2)))};
}

void straightenPage(const Frame &frame, const PageOutline &outline, Frame &page)
{
    const auto &[topLeft, topRight, bottomRight, bottomLeft] = outline.corners;
    const QSize size = straightenedSize(outline);
    page.width = size.width();
    page.height = size.height();
    page.pixels.resize(page.byteCount());

    // Both buffers are bottom-up, so the corners are mapped in bottom-up rows.
    const auto source = [&frame](QPointF p) {
        return cv::Point2f(float(p.x()), float(frame.height - p.y()));
    };
    const float w = float(page.width);
    const float h = float(page.height);
    const cv::Point2f from[4] = {source(topLeft), source(topRight), source(bottomRight),
                                 source(bottomLeft)};
    const cv::Point2f to[4] = {{0, h}, {w, h}, {w, 0}, {0, 0}};
    const cv::Mat in(frame.height, frame.width, CV_8UC3,
                     const_cast<std::uint8_t *>(frame.pixels.data()), frame.rowBytes());
    cv::Mat out(page.height, page.width, CV_8UC3, page.pixels.data(), page.rowBytes());
    cv::warpPerspective(in, out, cv::getPerspectiveTransform(from, to), out.size(),
                        cv::INTER_LINEAR, cv::BORDER_REPLICATE);
}

} // namespace optrelle
