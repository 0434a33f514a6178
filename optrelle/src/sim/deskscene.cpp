#include "deskscene.h"

#include "frameimage.h"

#include <QFile>
#include <QFont>
#include <QPainter>

#include <ZXing/BitMatrix.h>
#include <ZXing/MultiFormatWriter.h>

#include <algorithm>
#include <cstring>

namespace optrelle {

namespace {

const QColor deskColour(74, 58, 44);
const QColor paperColour(250, 250, 246);
const QColor inkColour(20, 20, 24);
constexpr double pageTurnDegrees = -2.5;

const char *const pageLines[] = {
    "文档摄像头测试页",
    "Kelvora document camera",
    "教师在讲台上展示作业",
    "The quick brown fox 2026",
};

QFont pageFont(int pixelSize)
{
    QFont font(QStringLiteral("WenQuanYi Zen Hei"));
    font.setPixelSize(std::max(6, pixelSize));
    return font;
}

void drawQrCode(QPainter &painter, const QRectF &area)
{
    const ZXing::BitMatrix matrix = ZXing::MultiFormatWriter(ZXing::BarcodeFormat::QRCode)
                                        .setMargin(0)
                                        .encode(std::string(DeskScene::qrText), 0, 0);
    const double module = std::min(area.width(), area.height()) / (matrix.width() + 8);
    const QPointF origin = area.topLeft() + QPointF(4 * module, 4 * module);
    painter.fillRect(QRectF(area.topLeft(), QSizeF(module, module) * (matrix.width() + 8)),
                     Qt::white);
    for (int y = 0; y < matrix.height(); ++y)
        for (int x = 0; x < matrix.width(); ++x)
            if (matrix.get(x, y))
                painter.fillRect(
                    QRectF(origin + QPointF(x * module, y * module), QSizeF(module, module)),
                    inkColour);
}

} // namespace

const char *const DeskScene::qrText = "http://kelvora.example/scan?id=42\r\nKelvora test desk";

int DeskScene::markerSide(int frameHeight)
{
    return std::max(4, frameHeight / 20);
}

DeskScene::DeskScene(QString sceneFile) : m_sceneFile(std::move(sceneFile))
{
    followSceneFile();
}

void DeskScene::followSceneFile()
{
    if (m_sceneFile.isEmpty())
        return;
    const auto now = std::chrono::steady_clock::now();
    if (now < m_nextSceneCheck)
        return;
    m_nextSceneCheck = now + sceneCheckInterval;
    struct stat current = {};
    if (::stat(QFile::encodeName(m_sceneFile).constData(), &current) != 0)
        return;
    if (current.st_ino == m_sceneStat.st_ino && current.st_dev == m_sceneStat.st_dev &&
        current.st_size == m_sceneStat.st_size &&
        current.st_mtim.tv_sec == m_sceneStat.st_mtim.tv_sec &&
        current.st_mtim.tv_nsec == m_sceneStat.st_mtim.tv_nsec)
        return;
    QImage image;
    if (!image.load(m_sceneFile))
        return; // perhaps half written in place: looked at again next time
    m_sceneImage = std::move(image);
    m_sceneStat = current;
    m_still = Frame(); // drawn again from the new picture
}

void DeskScene::render(Frame &frame, quint64 frameNumber, const QDateTime &time)
{
    followSceneFile();
    if (m_still.width != frame.width || m_still.height != frame.height)
        imageToFrame(drawStillPart(frame.width, frame.height), m_still);
    std::memcpy(frame.pixels.data(), m_still.pixels.data(), frame.byteCount());
    if (m_sceneImage.isNull())
        drawClock(frame, frameNumber, time);
}

QImage DeskScene::drawStillPart(int width, int height) const
{
    if (!m_sceneImage.isNull())
        return m_sceneImage.scaled(width, height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);

    QImage image(width, height, QImage::Format_RGB32);
    image.fill(deskColour);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);

    // The page: four fifths of the height, A4 proportions turned to landscape
    // when the frame is wide, centred and slightly turned.
    const double pageHeight = height * 0.8;
    const double pageWidth = std::min(width * 0.86, pageHeight * 1.414);
    painter.save();
    painter.translate(width / 2.0, height * 0.53);
    painter.rotate(pageTurnDegrees);
    const QRectF page(-pageWidth / 2, -pageHeight / 2, pageWidth, pageHeight);
    painter.fillRect(page, paperColour);

    const double margin = pageHeight * 0.07;
    const double lineHeight = pageHeight * 0.13;
    painter.setPen(inkColour);
    painter.setFont(pageFont(int(lineHeight * 0.5)));
    QRectF line(page.left() + margin, page.top() + margin, page.width() - 2 * margin, lineHeight);
    for (const char *text : pageLines) {
        painter.drawText(line, Qt::AlignLeft | Qt::AlignVCenter, QString::fromUtf8(text));
        line.translate(0, lineHeight * 1.15);
    }
    const double codeSide = pageHeight * 0.36;
    drawQrCode(painter, QRectF(page.right() - margin - codeSide, page.bottom() - margin - codeSide,
                               codeSide, codeSide));
    painter.restore();

    const int side = markerSide(height);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.fillRect(0, 0, side, side, Qt::red);
    painter.fillRect(side, 0, side, side, Qt::green);
    painter.fillRect(0, side, side, side, Qt::blue);
    return image;
}

void DeskScene::drawClock(Frame &frame, quint64 frameNumber, const QDateTime &time) const
{
    const int clockHeight = std::max(8, frame.height / 16);
    const int clockWidth = std::min(frame.width, clockHeight * 9);
    QImage clock(clockWidth, clockHeight, QImage::Format_BGR888);
    clock.fill(deskColour);
    {
        QPainter painter(&clock);
        painter.setPen(Qt::white);
        painter.setFont(pageFont(clockHeight * 6 / 10));
        painter.drawText(clock.rect(), Qt::AlignCenter,
                         time.toString(QStringLiteral("hh:mm:ss.zzz")) +
                             QStringLiteral("  #%1").arg(frameNumber, 6, 10, QLatin1Char('0')));
    }
    // Top-right corner of the desk, clear of the marker and the page.
    const int left = frame.width - clockWidth;
    for (int y = 0; y < clockHeight; ++y)
        std::memcpy(frame.rowFromTop(y) + std::size_t(left) * 3, clock.constScanLine(y),
                    std::size_t(clockWidth) * 3);
}

} // namespace optrelle
