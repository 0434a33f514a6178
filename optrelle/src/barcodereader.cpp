#include "barcodereader.h"

#include <ZXing/ReadBarcode.h>

#include <cstdlib>

namespace optrelle {

namespace {

// Twice the area of the code's outline on the frame (shoelace formula).
long long doubledArea(const ZXing::Position &outline)
{
    long long sum = 0;
    for (int i = 0; i < 4; ++i) {
        const ZXing::PointI a = outline[i];
        const ZXing::PointI b = outline[(i + 1) % 4];
        sum += static_cast<long long>(a.x) * b.y - static_cast<long long>(b.x) * a.y;
    }
    return std::llabs(sum);
}

} // namespace

std::string readLargestBarcode(const Frame &frame)
{
    if (frame.width <= 0 || frame.height <= 0)
        return {};
    // Rows are bottom-up: start at the top row and step backwards through memory.
    const ZXing::ImageView view(frame.rowFromTop(0), frame.width, frame.height,
                                ZXing::ImageFormat::BGR, -int(frame.rowBytes()));
    // Several matrix codes are read at once and the largest wins. Linear codes
    // are read one at a time: ZXing 1.4 fails an assertion when it compares two
    // readings of one linear code made along several scan lines.
    ZXing::DecodeHints hints;
    hints.setTryHarder(true);
    hints.setTryRotate(true);
    hints.setFormats(ZXing::BarcodeFormat::MatrixCodes);
    ZXing::Results results = ZXing::ReadBarcodes(view, hints);
    hints.setFormats(ZXing::BarcodeFormat::LinearCodes);
    hints.setMaxNumberOfSymbols(1);
    results.push_back(ZXing::ReadBarcode(view, hints));
    const ZXing::Result *largest = nullptr;
    for (const ZXing::Result &result : results)
        if (result.isValid() &&
            (!largest || doubledArea(result.position()) > doubledArea(largest->position())))
            largest = &result;
    return largest ? largest->text() : std::string();
}

} // namespace optrelle
