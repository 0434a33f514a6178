#include "textmode.h"

#include <algorithm>
#include <array>

namespace optrelle {

namespace {

constexpr int darkThreshold = 70;
constexpr int lightThreshold = 180;

constexpr std::array<std::uint8_t, 256> contrastCurve()
{
    std::array<std::uint8_t, 256> curve{};
    for (int y = 0; y < 256; ++y) {
        const int stretched = (y - darkThreshold) * 255 / (lightThreshold - darkThreshold);
        curve[y] = std::uint8_t(std::clamp(stretched, 0, 255));
    }
    return curve;
}

constexpr auto curve = contrastCurve();

} // namespace

void makeTextPicture(const Frame &source, Frame &target)
{
    target.width = source.width;
    target.height = source.height;
    target.pixels.resize(source.byteCount());
    const std::uint8_t *pixel = source.pixels.data();
    const std::uint8_t *const end = pixel + source.byteCount();
    std::uint8_t *out = target.pixels.data();
    for (; pixel != end; pixel += 3, out += 3) {
        // BT.601 luminance from B, G, R with weights summing to 256.
        const int luma = (29 * pixel[0] + 150 * pixel[1] + 77 * pixel[2]) >> 8;
        out[0] = out[1] = out[2] = curve[luma];
    }
}

} // namespace optrelle
