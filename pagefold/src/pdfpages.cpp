#include "pdfpages.h"

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <cstdio>
#include <memory>
#include <stdexcept>

namespace pagefold {

namespace {

constexpr double pointsPerInch = 72;

// Page sizes in points, to a ten-thousandth, without trailing zeros.
std::string pdfNumber(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.4f", value);
    std::string number(text);
    number.erase(number.find_last_not_of('0') + 1);
    if (number.back() == '.')
        number.pop_back();
    return number;
}

QPDFObjectHandle colourSpace(int components)
{
    switch (components) {
    case 1:
        return QPDFObjectHandle::newName("/DeviceGray");
    case 4:
        return QPDFObjectHandle::newName("/DeviceCMYK");
    default:
        return QPDFObjectHandle::newName("/DeviceRGB");
    }
}

// Adobe's writers store CMYK samples inverted; the Decode array turns them back.
QPDFObjectHandle invertedDecode(int components)
{
    QPDFObjectHandle decode = QPDFObjectHandle::newArray();
    for (int component = 0; component < components; ++component) {
        decode.appendItem(QPDFObjectHandle::newInteger(1));
        decode.appendItem(QPDFObjectHandle::newInteger(0));
    }
    return decode;
}

QPDFObjectHandle imageStream(QPDF &pdf, const JpegImage &image)
{
    QPDFObjectHandle stream = pdf.newStream();
    QPDFObjectHandle dict = stream.getDict();
    dict.replaceKey("/Type", QPDFObjectHandle::newName("/XObject"));
    dict.replaceKey("/Subtype", QPDFObjectHandle::newName("/Image"));
    dict.replaceKey("/Width", QPDFObjectHandle::newInteger(image.header.width));
    dict.replaceKey("/Height", QPDFObjectHandle::newInteger(image.header.height));
    dict.replaceKey("/ColorSpace", colourSpace(image.header.components));
    dict.replaceKey("/BitsPerComponent", QPDFObjectHandle::newInteger(8));
    if (image.header.components == 4 && image.header.adobe)
        dict.replaceKey("/Decode", invertedDecode(4));
    stream.replaceStreamData(image.bytes, QPDFObjectHandle::newName("/DCTDecode"),
                             QPDFObjectHandle::newNull());
    return stream;
}

// The first page of a text layer as a form in pdf, and the drawing that
// stretches it over a page of width x height points. textPdf must outlive the
// writing of pdf, which reads the copied streams from it.
std::string addTextLayer(QPDF &pdf, QPDF &textPdf, const std::string &layer, double width,
                         double height, QPDFObjectHandle &xObjects)
{
    textPdf.processMemoryFile("text layer", layer.data(), layer.size());
    const std::vector<QPDFPageObjectHelper> textPages =
        QPDFPageDocumentHelper(textPdf).getAllPages();
    if (textPages.empty())
        throw std::runtime_error("the text layer has no page");
    QPDFPageObjectHelper textPage = textPages.front();
    const QPDFObjectHandle::Rectangle box = textPage.getTrimBox().getArrayAsRectangle();
    if (box.urx - box.llx <= 0 || box.ury - box.lly <= 0)
        throw std::runtime_error("the text layer's page has no size");
    xObjects.replaceKey("/Tx0", pdf.copyForeignObject(textPage.getFormXObjectForPage()));
    const double scaleX = width / (box.urx - box.llx);
    const double scaleY = height / (box.ury - box.lly);
    return "q " + pdfNumber(scaleX) + " 0 0 " + pdfNumber(scaleY) + " " +
           pdfNumber(-box.llx * scaleX) + " " + pdfNumber(-box.lly * scaleY) + " cm /Tx0 Do Q ";
}

void addPage(QPDF &pdf, QPDFPageDocumentHelper &pages, const JpegImage &image, QPDF &textPdf)
{
    const double widthPoints = image.header.width * pointsPerInch / image.header.dpiX;
    const double heightPoints = image.header.height * pointsPerInch / image.header.dpiY;
    const std::string width = pdfNumber(widthPoints);
    const std::string height = pdfNumber(heightPoints);

    QPDFObjectHandle xObjects = QPDFObjectHandle::newDictionary();
    xObjects.replaceKey("/Im0", imageStream(pdf, image));
    // The invisible text goes first, under the picture, so it never hides a pixel.
    const std::string text =
        image.textLayer.empty()
            ? std::string()
            : addTextLayer(pdf, textPdf, image.textLayer, widthPoints, heightPoints, xObjects);
    QPDFObjectHandle resources = QPDFObjectHandle::newDictionary();
    resources.replaceKey("/XObject", xObjects);

    QPDFObjectHandle mediaBox = QPDFObjectHandle::newArray();
    for (const std::string &number : {std::string("0"), std::string("0"), width, height})
        mediaBox.appendItem(QPDFObjectHandle::newReal(number));

    QPDFObjectHandle page = QPDFObjectHandle::newDictionary();
    page.replaceKey("/Type", QPDFObjectHandle::newName("/Page"));
    page.replaceKey("/MediaBox", mediaBox);
    page.replaceKey("/Resources", resources);
    page.replaceKey("/Contents",
                    pdf.newStream(text + "q " + width + " 0 0 " + height + " 0 0 cm /Im0 Do Q"));
    pages.addPage(QPDFPageObjectHelper(pdf.makeIndirectObject(page)), false);
}

} // namespace

std::string pdfOfImages(const std::vector<JpegImage> &images)
{
    QPDF pdf;
    pdf.emptyPDF();
    QPDFPageDocumentHelper pages(pdf);
    // Each page's text layer, alive until the document is written.
    std::vector<std::unique_ptr<QPDF>> textPdfs;
    for (const JpegImage &image : images) {
        textPdfs.push_back(std::make_unique<QPDF>());
        addPage(pdf, pages, image, *textPdfs.back());
    }

    QPDFWriter writer(pdf);
    writer.setOutputMemory();
    // Object streams keep the structure small beside the image (PDF 1.5).
    writer.setObjectStreamMode(qpdf_o_generate);
    writer.write();
    const std::shared_ptr<Buffer> buffer = writer.getBufferSharedPointer();
    return std::string(reinterpret_cast<const char *>(buffer->getBuffer()), buffer->getSize());
}

} // namespace pagefold
