#include "backendselection.h"

#include "optrellelog.h"
#include "recorded/recordedstreamcamera.h"
#include "sim/simulatedcamera.h"
#include "v4l2/v4l2cameralist.h"

namespace optrelle {

namespace {

std::optional<std::vector<std::unique_ptr<CameraDevice>>> simulatedCameras()
{
    std::vector<SimulatedCameraConfig> configs{defaultSimulatedCamera()};
    if (qEnvironmentVariableIsSet("OPTRELLE_CAMERAS")) {
        const std::string value = qEnvironmentVariable("OPTRELLE_CAMERAS").toStdString();
        std::string error;
        std::optional<std::vector<SimulatedCameraConfig>> parsed =
            parseSimulatedCameras(value, &error);
        if (!parsed) {
            qCWarning(optrelleLog, "OPTRELLE_CAMERAS ignored, no camera: %s", error.c_str());
            return std::nullopt;
        }
        if (parsed->empty())
            qCInfo(optrelleLog, "OPTRELLE_CAMERAS is empty: no simulated camera");
        configs = std::move(*parsed);
    }
    const QString sceneFile = qEnvironmentVariable("OPTRELLE_SCENE");
    std::vector<std::unique_ptr<CameraDevice>> cameras;
    for (SimulatedCameraConfig &config : configs) {
        if (!config.recording) {
            cameras.push_back(std::make_unique<SimulatedCamera>(std::move(config), sceneFile));
            continue;
        }
        std::string error;
        std::unique_ptr<CameraDevice> recorded = RecordedStreamCamera::open(
            config.firstId, config.secondId, *config.recording, config.framesPerSecond, &error);
        if (recorded)
            cameras.push_back(std::move(recorded));
        else
            qCWarning(optrelleLog, "recorded camera left out: %s", error.c_str());
    }
    return cameras;
}

} // namespace

std::optional<std::vector<std::unique_ptr<CameraDevice>>> camerasOfChosenBackend()
{
    const QString backend = qEnvironmentVariable("OPTRELLE_BACKEND", QStringLiteral("auto"));
    if (backend == QLatin1String("sim"))
        return simulatedCameras();
    if (backend == QLatin1String("v4l2"))
        return findV4l2Cameras();
    if (backend == QLatin1String("auto")) {
        std::vector<std::unique_ptr<CameraDevice>> real = findV4l2Cameras();
        if (!real.empty())
            return real;
        return simulatedCameras();
    }
    qCWarning(optrelleLog, "OPTRELLE_BACKEND \"%s\" is none of auto, v4l2, sim: no camera",
              qPrintable(backend));
    return std::nullopt;
}

} // namespace optrelle
