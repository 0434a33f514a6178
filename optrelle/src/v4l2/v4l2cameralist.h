#pragma once

#include "cameradevice.h"
#include "usbids.h"
#include "v4l2capturedevice.h"
#include "videodeviceio.h"

#include <memory>
#include <string>
#include <vector>

namespace optrelle {

// A capture node of a physical camera as found under devRoot.
struct V4l2Node
{
    std::string path;
    UsbIds ids;
    std::vector<V4l2CaptureDevice::Mode> modes;
};

// The nodes findV4l2Cameras makes its devices of.
std::vector<V4l2Node> findV4l2Nodes(const std::string &devRoot, const std::string &sysfsRoot,
                                    VideoDeviceIo &io);

// The Video4Linux2 capture devices under devRoot ("/dev/video*"), one entry per
// physical camera (metadata and duplicate nodes of the same camera are left
// out), in the order of their node numbers. Their ids are read below sysfsRoot.
std::vector<std::unique_ptr<CameraDevice>>
findV4l2Cameras(const std::string &devRoot = "/dev", const std::string &sysfsRoot = "/sys",
                VideoDeviceIo &io = VideoDeviceIo::system());

} // namespace optrelle
