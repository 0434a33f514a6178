#include "yuyvframe.h"

#include <algorithm>

namespace optrelle {

namespace {

std::uint8_t clampToByte(int value)
{
    return std::uint8_t(std::clamp(value, 0, 255));
}

// One pixel from its luma and the pair's chroma terms, written as B, G, R.
void writeBgr(std::uint8_t *out, int y, int blue, int green, int red)
{
    const int luma = 298 * (y - 16) + 128;
    out[0] = clampToByte((luma + blue) >> 8);
    out[1] = clampToByte((luma + green) >> 8);
    out[2] = clampToByte((luma + red) >> 8);
}

} // namespace

bool yuyvToFrame(const std::uint8_t *yuyv, std::size_t size, int width, int height,
                 std::size_t bytesPerLine, Frame &frame)
{
    if (width <= 0 || height <= 0 || width % 2 || bytesPerLine < std::size_t(width) * 2 ||
        size < bytesPerLine * std::size_t(height - 1) + std::size_t(width) * 2)
        return false;
    frame.width = width;
    frame.height = height;
    frame.pixels.resize(frame.byteCount());
    for (int row = 0; row < height; ++row) {
        const std::uint8_t *in = yuyv + bytesPerLine * std::size_t(row);
        std::uint8_t *out = frame.rowFromTop(row);
        for (int x = 0; x < width; x += 2, in += 4, out += 6) {
            const int u = in[1] - 128;
            const int v = in[3] - 128;
            const int blue = 516 * u;
            const int green = -100 * u - 208 * v;
            const int red = 409 * v;
            writeBgr(out, in[0], blue, green, red);
            writeBgr(out + 3, in[2], blue, green, red);
        }
    }
    return true;
}

} // namespace optrelle
