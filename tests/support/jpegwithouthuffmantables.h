#pragma once

#include <cstddef>
#include <vector>

// The JPEG without its Huffman tables (DHT segments), as many UVC cameras send
// their frames; decoders fall back on the standard tables.
inline std::vector<unsigned char> jpegWithoutHuffmanTables(const std::vector<unsigned char> &jpeg)
{
    std::vector<unsigned char> out(jpeg.begin(), jpeg.begin() + 2);
    std::size_t at = 2;
    while (at + 4 <= jpeg.size() && jpeg[at + 1] != 0xda) {
        const std::size_t length = std::size_t(jpeg[at + 2]) << 8 | jpeg[at + 3];
        if (jpeg[at + 1] != 0xc4)
            out.insert(out.end(), jpeg.begin() + long(at), jpeg.begin() + long(at + 2 + length));
        at += 2 + length;
    }
    out.insert(out.end(), jpeg.begin() + long(at), jpeg.end());
    return out;
}
