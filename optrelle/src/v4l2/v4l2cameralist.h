#pragma once

#include "cameradevice.h"
#include "videodeviceio.h"

#include <memory>
#include <string>
#include <vector>

namespace optrelle {

// The Video4Linux2 capture devices under devRoot ("/dev/video*"), one entry per
// physical camera (metadata and duplicate nodes of the same camera are left
// out), in the order of their node numbers. Their ids are read below sysfsRoot.
std::vector<std::unique_ptr<CameraDevice>>
findV4l2Cameras(const std::string &devRoot = "/dev", const std::string &sysfsRoot = "/sys",
                VideoDeviceIo &io = VideoDeviceIo::system());

} // namespace optrelle
