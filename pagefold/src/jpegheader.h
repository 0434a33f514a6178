#pragma once

#include <optional>
#include <string_view>

namespace pagefold {

// What a PDF image dictionary needs to know about a JPEG, read from its
// markers: the frame header (SOF), the JFIF density (APP0) and whether an
// Adobe marker (APP14) says its CMYK samples are stored inverted.
struct JpegHeader
{
    int width = 0;
    int height = 0;
    int components = 0; // 1 gray, 3 colour, 4 CMYK
    double dpiX = 300;  // when the file names no density
    double dpiY = 300;
    bool adobe = false;
};

// The header of a complete 8-bit JPEG (start and end markers present, a frame
// of 1, 3 or 4 components and a nonzero size); nothing for anything else.
std::optional<JpegHeader> readJpegHeader(std::string_view jpeg);

} // namespace pagefold
