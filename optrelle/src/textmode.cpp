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

void makeTextPicture(Frame &frame)
{
    std::uint8_t *pixel = frame.pixels.data();
    std::uint8_t *const end = pixel + frame.byteCount();
    for (; pixel != end; pixel += 3) {
        // BT.601 luminance from B, G, R with weights summing to 256.
        const int luma = (29 * pixel[0] + 150 * pixel[1] + 77 * pixel[2]) >> 8;
        pixel[0] = pixel[1] = pixel[2] = curve[luma];
    }
}

} // namespace optrelle
