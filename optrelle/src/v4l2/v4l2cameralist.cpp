#include "v4l2cameralist.h"

#include "v4l2capturedevice.h"

#include <linux/videodev2.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <cctype>
#include <cstring>

namespace optrelle {

namespace {

// Node numbers of devRoot/videoN, in order.
std::vector<int> videoNodeNumbers(const std::string &devRoot)
{
    std::vector<int> numbers;
    std::error_code error;
    for (const auto &entry : std::filesystem::directory_iterator(devRoot, error)) {
        const std::string name = entry.path().filename().string();
        if (name.size() > 5 && name.compare(0, 5, "video") == 0 &&
            std::all_of(name.begin() + 5, name.end(),
                        [](unsigned char c) { return std::isdigit(c); }))
            numbers.push_back(std::stoi(name.substr(5)));
    }
    std::sort(numbers.begin(), numbers.end());
    return numbers;
}

} // namespace

std::vector<std::unique_ptr<CameraDevice>>
findV4l2Cameras(const std::string &devRoot, const std::string &sysfsRoot, VideoDeviceIo &io)
{
    std::vector<std::unique_ptr<CameraDevice>> cameras;
    std::set<std::string> busesSeen;
    for (int number : videoNodeNumbers(devRoot)) {
        const std::string name = "video" + std::to_string(number);
        const std::string path = devRoot + "/" + name;
        const int fd = io.openNode(path.c_str());
        if (fd < 0)
            continue;
        v4l2_capability capability{};
        const bool answered = io.control(fd, VIDIOC_QUERYCAP, &capability) == 0;
        const std::uint32_t caps = capability.capabilities & V4L2_CAP_DEVICE_CAPS
                                       ? capability.device_caps
                                       : capability.capabilities;
        // UVC cameras add a metadata node on the same bus; it neither captures
        // video nor streams.
        const bool capturesVideo =
            answered && (caps & V4L2_CAP_VIDEO_CAPTURE) && (caps & V4L2_CAP_STREAMING);
        const std::string bus(reinterpret_cast<const char *>(capability.bus_info),
                              strnlen(reinterpret_cast<const char *>(capability.bus_info),
                                      sizeof capability.bus_info));
        std::vector<V4l2CaptureDevice::Mode> modes;
        if (capturesVideo && busesSeen.insert(bus).second)
            modes = V4l2CaptureDevice::readModes(io, fd);
        io.closeNode(fd);
        if (!modes.empty())
            cameras.push_back(std::make_unique<V4l2CaptureDevice>(
                path, usbIdsOfVideoNode(sysfsRoot, name), std::move(modes), io));
    }
    return cameras;
}

} // namespace optrelle
