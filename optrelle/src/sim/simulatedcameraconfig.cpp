#include "simulatedcameraconfig.h"

#include <QRegularExpression>
#include <QString>
#include <QStringList>

namespace optrelle {

namespace {

constexpr int largestSide = 16384;
constexpr int fastestRate = 240;

const std::vector<Resolution> defaultResolutions = {
    {640, 480}, {1280, 720}, {1920, 1080}, {2592, 1944}};

std::optional<SimulatedCameraConfig> parseEntry(const QString &entry, std::string *error)
{
    if (SimulatedCameraConfig recorded; isRecordedStreamEntry(entry))
        return parseRecordedStreamEntry(entry, recorded, error) ? std::optional(recorded)
                                                                : std::nullopt;
    static const QRegularExpression pattern(QStringLiteral(
        R"(^([0-9a-fA-F]{4}):([0-9a-fA-F]{4})(?:@([0-9]+x[0-9]+(?:,[0-9]+x[0-9]+)*))?(?:/([0-9]+))?$)"));
    const QRegularExpressionMatch match = pattern.match(entry);
    if (!match.hasMatch()) {
        *error = QStringLiteral("\"%1\" is not ID1:ID2[@WxH,...][/FPS] with ids of four hex digits")
                     .arg(entry)
                     .toStdString();
        return std::nullopt;
    }
    SimulatedCameraConfig config;
    config.firstId = match.captured(1).toLower().toStdString();
    config.secondId = match.captured(2).toLower().toStdString();
    config.resolutions = defaultResolutions;
    if (match.hasCaptured(3)) {
        config.resolutions.clear();
        for (const QString &size : match.captured(3).split(u',')) {
            const QStringList sides = size.split(u'x');
            const int width = sides[0].toInt();
            const int height = sides[1].toInt();
            if (width < 1 || height < 1 || width > largestSide || height > largestSide) {
                *error = QStringLiteral("resolution %1 of \"%2\" is outside 1x1 .. %3x%3")
                             .arg(size, entry)
                             .arg(largestSide)
                             .toStdString();
                return std::nullopt;
            }
            config.resolutions.push_back({width, height});
        }
    }
    if (match.hasCaptured(4)) {
        config.framesPerSecond = match.captured(4).toInt();
        if (config.framesPerSecond < 1 || config.framesPerSecond > fastestRate) {
            *error = QStringLiteral("frame rate of \"%1\" is outside 1 .. %2")
                         .arg(entry)
                         .arg(fastestRate)
                         .toStdString();
            return std::nullopt;
        }
    }
    return config;
}

} // namespace

std::optional<std::vector<SimulatedCameraConfig>> parseSimulatedCameras(const std::string &value,
                                                                        std::string *error)
{
    std::vector<SimulatedCameraConfig> cameras;
    const QStringList entries = QString::fromStdString(value).split(u';', Qt::SkipEmptyParts);
    for (const QString &entry : entries) {
        std::optional<SimulatedCameraConfig> config = parseEntry(entry.trimmed(), error);
        if (!config)
            return std::nullopt;
        cameras.push_back(std::move(*config));
    }
    return cameras;
}

SimulatedCameraConfig defaultSimulatedCamera()
{
    return {"15aa", "1555", defaultResolutions, 30, std::nullopt};
}

} // namespace optrelle
