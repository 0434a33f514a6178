#include "jpegheader.h"

#include <cstdint>

namespace pagefold {

namespace {

constexpr double centimetresPerInch = 2.54;

enum Marker : uint8_t
{
    startOfImage = 0xd8,
    endOfImage = 0xd9,
    startOfScan = 0xda,
    jfifSegment = 0xe0,
    adobeSegment = 0xee,
    defineHuffman = 0xc4,
    jpegExtension = 0xc8,
    defineArithmetic = 0xcc,
    firstFrame = 0xc0,
    progressiveFrame = 0xc2,
    lastFrame = 0xcf,
};

enum DensityUnit : uint8_t
{
    perInch = 1,
    perCentimetre = 2,
};

unsigned byteAt(std::string_view data, size_t at)
{
    return uint8_t(data[at]);
}

unsigned wordAt(std::string_view data, size_t at)
{
    return byteAt(data, at) << 8 | byteAt(data, at + 1);
}

bool isFrameMarker(unsigned marker)
{
    return marker >= firstFrame && marker <= lastFrame && marker != defineHuffman &&
           marker != jpegExtension && marker != defineArithmetic;
}

// Markers without a length field: TEM and the restart markers.
bool standsAlone(unsigned marker)
{
    return marker == 0x01 || (marker >= 0xd0 && marker <= 0xd7);
}

void readJfif(std::string_view segment, JpegHeader &header)
{
    // "JFIF\0", version (2), units (1), x density (2), y density (2)
    if (segment.size() < 12 || segment.substr(0, 5) != std::string_view("JFIF\0", 5))
        return;
    const unsigned unit = byteAt(segment, 7);
    const double x = wordAt(segment, 8);
    const double y = wordAt(segment, 10);
    if ((unit != perInch && unit != perCentimetre) || x == 0 || y == 0)
        return; // an aspect ratio only, or no density: the default stands
    const double scale = unit == perCentimetre ? centimetresPerInch : 1;
    header.dpiX = x * scale;
    header.dpiY = y * scale;
}

bool readFrame(std::string_view segment, JpegHeader &header)
{
    // precision (1), height (2), width (2), components (1)
    if (segment.size() < 6 || byteAt(segment, 0) != 8)
        return false;
    header.height = int(wordAt(segment, 1));
    header.width = int(wordAt(segment, 3));
    header.components = int(byteAt(segment, 5));
    return header.width > 0 && header.height > 0 &&
           (header.components == 1 || header.components == 3 || header.components == 4);
}

// A writer may pad the file after its end marker; a file cut short has none.
bool endsWithEndOfImage(std::string_view jpeg)
{
    size_t end = jpeg.size();
    while (end > 2 && (byteAt(jpeg, end - 1) == 0x00 || byteAt(jpeg, end - 1) == 0xff))
        --end;
    return end >= 4 && byteAt(jpeg, end - 2) == 0xff && byteAt(jpeg, end - 1) == endOfImage;
}

} // namespace

std::optional<JpegHeader> readJpegHeader(std::string_view jpeg)
{
    if (jpeg.size() < 4 || byteAt(jpeg, 0) != 0xff || byteAt(jpeg, 1) != startOfImage ||
        !endsWithEndOfImage(jpeg))
        return std::nullopt;
    JpegHeader header;
    bool frameRead = false;
    size_t at = 2;
    while (at + 1 < jpeg.size()) {
        if (byteAt(jpeg, at) != 0xff)
            return std::nullopt;
        const unsigned marker = byteAt(jpeg, at + 1);
        at += 2;
        if (marker == 0xff) { // fill byte
            --at;
            continue;
        }
        if (standsAlone(marker))
            continue;
        if (marker == startOfScan || marker == endOfImage)
            break;
        if (at + 2 > jpeg.size())
            return std::nullopt;
        const size_t length = wordAt(jpeg, at);
        if (length < 2 || at + length > jpeg.size())
            return std::nullopt;
        const std::string_view segment = jpeg.substr(at + 2, length - 2);
        if (marker == jfifSegment)
            readJfif(segment, header);
        else if (marker == adobeSegment && segment.substr(0, 5) == "Adobe")
            header.adobe = true;
        else if (isFrameMarker(marker)) {
            // Baseline, extended and progressive frames are what PDF readers
            // decode; lossless, hierarchical and arithmetic ones are refused.
            if (marker > progressiveFrame || !readFrame(segment, header))
                return std::nullopt;
            frameRead = true;
        }
        at += length;
    }
    if (!frameRead)
        return std::nullopt;
    return header;
}

} // namespace pagefold
