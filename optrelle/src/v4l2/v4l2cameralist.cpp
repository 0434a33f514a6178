#include "v4l2cameralist.h"

#include "optrellelog.h"
#include "v4l2capturedevice.h"

#include <linux/videodev2.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <filesystem>
#include <set>

namespace optrelle {

namespace {

// Names of the devRoot/videoN nodes, in the order of N.
std::vector<std::string> videoNodeNames(const std::string &devRoot)
{
    std::vector<std::pair<unsigned, std::string>> nodes;
    std::error_code error;
    for (const auto &entry : std::filesystem::directory_iterator(devRoot, error)) {
        const std::string name = entry.path().filename().string();
        unsigned number = 0;
        const char *digits = name.data() + 5;
        const char *end = name.data() + name.size();
        if (name.size() > 5 && name.compare(0, 5, "video") == 0 &&
            std::from_chars(digits, end, number) == std::from_chars_result{end, std::errc()})
            nodes.emplace_back(number, name);
    }
    std::sort(nodes.begin(), nodes.end());
    std::vector<std::string> names;
    for (auto &node : nodes)
        names.push_back(std::move(node.second));
    return names;
}

} // namespace

std::vector<V4l2Node> findV4l2Nodes(const std::string &devRoot, const std::string &sysfsRoot,
                                    VideoDeviceIo &io)
{
    std::vector<V4l2Node> found;
    std::set<std::string> busesSeen;
    for (const std::string &name : videoNodeNames(devRoot)) {
        const std::string path = devRoot + "/" + name;
        const int fd = io.openNode(path.c_str());
        if (fd < 0) {
            // Most often the user is not in the video group: say so, or the
            // simulated camera would stand in without a word.
            qCWarning(optrelleLog, "%s cannot be opened (%s): camera left out", path.c_str(),
                      std::strerror(errno));
            continue;
        }
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
            found.push_back({path, usbIdsOfVideoNode(sysfsRoot, name), std::move(modes)});
    }
    return found;
}

std::vector<std::unique_ptr<CameraDevice>>
findV4l2Cameras(const std::string &devRoot, const std::string &sysfsRoot, VideoDeviceIo &io)
{
    std::vector<std::unique_ptr<CameraDevice>> cameras;
    for (V4l2Node &node : findV4l2Nodes(devRoot, sysfsRoot, io))
        cameras.push_back(std::make_unique<V4l2CaptureDevice>(
            std::move(node.path), std::move(node.ids), std::move(node.modes), io, sysfsRoot));
    return cameras;
}

} // namespace optrelle
