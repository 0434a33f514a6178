#include "pageturnwatcher.h"

#include <algorithm>
#include <array>
#include <cstdlib>

namespace {
// A pixel has changed when it differs by more than this many grey levels plus
// noiseFactor times the measured noise.
constexpr int leastChange = 6;
constexpr double noiseFactor = 8;
// Shares of the small copy's pixels: more changed than movementShare between
// frames is movement; more changed than pageShare at rest is another page.
constexpr double movementShare = 0.005;
constexpr double pageShare = 0.01;
// The noise is measured only after the picture has settled this long.
constexpr quint32 settleMs = 300;
// How quickly the noise measurement follows the camera.
constexpr double noiseFollowing = 0.05;

int medianOf(const std::array<int, 256> &histogram, int count)
{
    int seen = 0;
    for (int level = 0; level < 256; ++level) {
        seen += histogram[level];
        if (2 * seen >= count)
            return level;
    }
    return 255;
}
} // namespace

void PageTurnWatcher::reset()
{
    m_anchor.clear();
    m_lastPage.clear();
    m_noise = -1;
    m_restJudged = false;
}

void PageTurnWatcher::shrink(const QImage &frame)
{
    const QImage image =
        frame.format() == QImage::Format_RGB32 || frame.format() == QImage::Format_ARGB32
            ? frame
            : frame.convertToFormat(QImage::Format_RGB32);
    // Each small pixel averages its block; of large blocks every other pixel of
    // every other row: a quarter of the frame is read, which steadies the noise
    // well enough.
    const int block = std::max(1, image.width() / smallWidth);
    const QSize size(image.width() / block, image.height() / block);
    if (size != m_smallSize) {
        m_smallSize = size;
        reset();
    }
    m_small.resize(std::size_t(size.width()) * size.height());
    const int step = block >= 4 ? 2 : 1;
    const int samples = ((block + step - 1) / step) * ((block + step - 1) / step);
    std::vector<int> sums(size.width());
    for (int y = 0; y < size.height(); ++y) {
        std::fill(sums.begin(), sums.end(), 0);
        for (int row = 0; row < block; row += step) {
            const auto *line =
                reinterpret_cast<const quint32 *>(image.constScanLine(y * block + row));
            for (int x = 0; x < size.width(); ++x) {
                const quint32 *pixel = line + x * block;
                int sum = 0;
                for (int column = 0; column < block; column += step) {
                    const quint32 rgb = pixel[column];
                    // Green counts twice, as the eye weighs it.
                    sum += int((rgb >> 16 & 0xff) + 2 * (rgb >> 8 & 0xff) + (rgb & 0xff));
                }
                sums[x] += sum;
            }
        }
        std::uint8_t *out = m_small.data() + std::size_t(y) * size.width();
        for (int x = 0; x < size.width(); ++x)
            out[x] = std::uint8_t(sums[x] / (4 * samples));
    }
}

int PageTurnWatcher::changedPixels(const Picture &other) const
{
    const int threshold = leastChange + int(noiseFactor * std::max(0.0, m_noise));
    int changed = 0;
    for (std::size_t i = 0; i < m_small.size(); ++i)
        changed += std::abs(int(m_small[i]) - int(other[i])) > threshold;
    return changed;
}

bool PageTurnWatcher::watch(const QImage &frame, quint32 timeMs)
{
    if (frame.isNull())
        return false;
    shrink(frame);
    if (m_anchor.empty()) {
        m_anchor = m_small;
        m_lastMovementMs = timeMs;
        return false;
    }

    std::array<int, 256> histogram{};
    for (std::size_t i = 0; i < m_small.size(); ++i)
        ++histogram[std::abs(int(m_small[i]) - int(m_anchor[i]))];
    const int median = medianOf(histogram, int(m_small.size()));
    if (m_noise < 0)
        m_noise = median;

    const int pixels = int(m_small.size());
    if (changedPixels(m_anchor) > movementShare * pixels) {
        m_anchor = m_small;
        m_lastMovementMs = timeMs;
        m_restJudged = false;
        return false;
    }
    const quint32 still = timeMs - m_lastMovementMs;
    if (still >= settleMs)
        m_noise += noiseFollowing * (median - m_noise);
    if (m_restJudged || still < restMs)
        return false;

    m_restJudged = true;
    if (m_lastPage.empty()) {
        m_lastPage = m_small;
        return false;
    }
    if (changedPixels(m_lastPage) <= pageShare * pixels)
        return false;
    m_lastPage = m_small;
    return true;
}
