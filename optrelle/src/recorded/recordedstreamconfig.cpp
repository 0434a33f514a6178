#include "recordedstreamconfig.h"

#include "sim/simulatedcameraconfig.h"

#include <QRegularExpression>

namespace optrelle {

namespace {

constexpr int largestSide = 16384;
constexpr int fastestRate = 240;

} // namespace

bool isRecordedStreamEntry(const QString &entry)
{
    return entry.contains(u'=');
}

bool parseRecordedStreamEntry(const QString &entry, SimulatedCameraConfig &config,
                              std::string *error)
{
    static const QRegularExpression pattern(
        QStringLiteral(
            R"(^([0-9a-fA-F]{4}):([0-9a-fA-F]{4})=(.+\.(mjpeg|mjpg|yuyv))(?:@([0-9]+)x([0-9]+))?(?:/([0-9]+))?$)"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = pattern.match(entry);
    const bool yuyv = match.captured(4).compare(QLatin1String("yuyv"), Qt::CaseInsensitive) == 0;
    if (!match.hasMatch() || yuyv != match.hasCaptured(5)) {
        *error =
            QStringLiteral("\"%1\" is not ID1:ID2=FILE.mjpeg[/FPS] or ID1:ID2=FILE.yuyv@WxH[/FPS]")
                .arg(entry)
                .toStdString();
        return false;
    }
    config.firstId = match.captured(1).toLower().toStdString();
    config.secondId = match.captured(2).toLower().toStdString();
    config.resolutions.clear();
    RecordedStreamConfig recording{match.captured(3).toStdString(), {}};
    if (yuyv) {
        recording.yuyvSize = {match.captured(5).toInt(), match.captured(6).toInt()};
        const Resolution size = recording.yuyvSize;
        if (size.width < 2 || size.width % 2 || size.height < 1 || size.width > largestSide ||
            size.height > largestSide) {
            *error = QStringLiteral("the YUYV size of \"%1\" is no even width and height up to %2")
                         .arg(entry)
                         .arg(largestSide)
                         .toStdString();
            return false;
        }
    }
    config.recording = recording;
    config.framesPerSecond = match.hasCaptured(7) ? match.captured(7).toInt() : 30;
    if (config.framesPerSecond < 1 || config.framesPerSecond > fastestRate) {
        *error = QStringLiteral("frame rate of \"%1\" is outside 1 .. %2")
                     .arg(entry)
                     .arg(fastestRate)
                     .toStdString();
        return false;
    }
    return true;
}

} // namespace optrelle
