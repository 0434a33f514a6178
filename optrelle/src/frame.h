#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace optrelle {

// One picture as the camera delivered it: 24-bit BGR pixels, width * 3 bytes a
// row, no padding, rows bottom-up (the first row in memory is the picture's
// bottom row), as the frame callback hands it to the program.
struct Frame
{
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> pixels;
    // The camera's own JPEG of this picture when it sent one and the pixels are
    // still exactly its decoding; empty otherwise.
    std::vector<std::uint8_t> cameraJpeg = {};

    std::size_t rowBytes() const { return std::size_t(width) * 3; }
    std::size_t byteCount() const { return rowBytes() * std::size_t(height); }
    // Row y counted from the top of the picture.
    std::uint8_t *rowFromTop(int y)
    {
        return pixels.data() + std::size_t(height - 1 - y) * rowBytes();
    }
    const std::uint8_t *rowFromTop(int y) const
    {
        return pixels.data() + std::size_t(height - 1 - y) * rowBytes();
    }
};

using FramePtr = std::shared_ptr<const Frame>;

} // namespace optrelle
