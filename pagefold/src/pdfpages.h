#pragma once

#include "jpegheader.h"

#include <string>
#include <vector>

namespace pagefold {

struct JpegImage
{
    std::string bytes;
    JpegHeader header;
    std::string textLayer; // a PDF whose first page is laid under the image; empty: none
};

// A PDF with one page per image, in order, each page exactly the image's size
// at its density, the image's bytes embedded unchanged as a DCTDecode stream,
// over the first page of its text layer, if any, stretched to the same size.
// Throws qpdf's exceptions.
std::string pdfOfImages(const std::vector<JpegImage> &images);

} // namespace pagefold
