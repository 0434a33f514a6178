#pragma once

#include "cameradevice.h"
#include "recorded/recordedstreamconfig.h"

#include <optional>
#include <string>
#include <vector>

namespace optrelle {

struct SimulatedCameraConfig
{
    std::string firstId;
    std::string secondId;
    std::vector<Resolution> resolutions;
    int framesPerSecond = 30;
    // Set for an ID1:ID2=FILE entry: the camera replays that file.
    std::optional<RecordedStreamConfig> recording;
};

// The cameras of a value like "0ac8:c498@1280x720,1920x1080/15;1234:abcd": entries
// separated by ';', each two ids of four hex digits, optionally '@' and its
// resolutions, optionally '/' and its frame rate. Ids come out in lower case.
// std::nullopt for a malformed value, with the reason in error; an empty value
// is no camera.
std::optional<std::vector<SimulatedCameraConfig>> parseSimulatedCameras(const std::string &value,
                                                                        std::string *error);

// The camera used when nothing else is asked for: 15aa:1555 at the default
// resolutions and rate.
SimulatedCameraConfig defaultSimulatedCamera();

} // namespace optrelle
