#pragma once

#include "cameradevice.h"

#include <QString>

#include <string>

namespace optrelle {

struct SimulatedCameraConfig;

// A camera that replays a recorded stream file.
struct RecordedStreamConfig
{
    std::string file;
    Resolution yuyvSize; // the picture size of a .yuyv file
};

// True for an OPTRELLE_CAMERAS entry naming a recorded stream (it has a '=').
bool isRecordedStreamEntry(const QString &entry);

// Reads "ID1:ID2=FILE[@WxH][/FPS]" into config: FILE ends in .mjpeg, .mjpg or
// .yuyv, and a .yuyv file needs its @WxH. False, with the reason in error, for
// a malformed entry.
bool parseRecordedStreamEntry(const QString &entry, SimulatedCameraConfig &config,
                              std::string *error);

} // namespace optrelle
