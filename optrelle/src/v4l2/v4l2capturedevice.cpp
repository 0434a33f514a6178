#include "v4l2capturedevice.h"

#include "optrellelog.h"
#include "v4l2cameralist.h"
#include "yuyvframe.h"

#include <linux/videodev2.h>

#include <cerrno>
#include <cstring>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

namespace optrelle {

namespace {

constexpr unsigned bufferCount = 4;
constexpr int yuyvPreferredArea = 640 * 480;

bool offersFormat(VideoDeviceIo &io, int fd, std::uint32_t pixelFormat)
{
    v4l2_fmtdesc format{};
    format.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    for (format.index = 0; io.control(fd, VIDIOC_ENUM_FMT, &format) == 0; ++format.index)
        if (format.pixelformat == pixelFormat)
            return true;
    return false;
}

std::vector<Resolution> frameSizes(VideoDeviceIo &io, int fd, std::uint32_t pixelFormat)
{
    std::vector<Resolution> sizes;
    if (!offersFormat(io, fd, pixelFormat))
        return sizes;
    v4l2_frmsizeenum size{};
    size.pixel_format = pixelFormat;
    for (size.index = 0; io.control(fd, VIDIOC_ENUM_FRAMESIZES, &size) == 0; ++size.index) {
        if (size.type == V4L2_FRMSIZE_TYPE_DISCRETE) {
            sizes.push_back({int(size.discrete.width), int(size.discrete.height)});
        } else {
            // A stepwise or continuous range: its largest size stands for it.
            sizes.push_back({int(size.stepwise.max_width), int(size.stepwise.max_height)});
            break;
        }
    }
    return sizes;
}

bool sameSize(Resolution a, Resolution b)
{
    return a.width == b.width && a.height == b.height;
}

bool contains(const std::vector<Resolution> &sizes, Resolution size)
{
    return std::any_of(sizes.begin(), sizes.end(),
                       [size](Resolution s) { return sameSize(s, size); });
}

} // namespace

std::vector<V4l2CaptureDevice::Mode> V4l2CaptureDevice::readModes(VideoDeviceIo &io, int fd)
{
    const std::vector<Resolution> mjpeg = frameSizes(io, fd, V4L2_PIX_FMT_MJPEG);
    const std::vector<Resolution> yuyv = frameSizes(io, fd, V4L2_PIX_FMT_YUYV);
    std::vector<Mode> modes;
    for (Resolution size : mjpeg) {
        // Small frames travel uncompressed when the camera can: no decoding cost.
        const bool small = size.width * size.height <= yuyvPreferredArea;
        modes.push_back(
            {size, small && contains(yuyv, size) ? V4L2_PIX_FMT_YUYV : V4L2_PIX_FMT_MJPEG});
    }
    for (Resolution size : yuyv)
        if (!contains(mjpeg, size))
            modes.push_back({size, V4L2_PIX_FMT_YUYV});
    return modes;
}

V4l2CaptureDevice::V4l2CaptureDevice(std::string nodePath, UsbIds ids, std::vector<Mode> modes,
                                     VideoDeviceIo &io, std::string sysfsRoot)
    : m_io(io), m_nodePath(std::move(nodePath)), m_ids(std::move(ids)), m_modes(std::move(modes)),
      m_sysfsRoot(std::move(sysfsRoot))
{
}

V4l2CaptureDevice::~V4l2CaptureDevice()
{
    stop();
}

std::vector<Resolution> V4l2CaptureDevice::resolutions() const
{
    std::vector<Resolution> sizes;
    for (const Mode &mode : m_modes)
        sizes.push_back(mode.size);
    return sizes;
}

bool V4l2CaptureDevice::start(int index, FrameSink *sink)
{
    m_startError = EINVAL;
    if (index < 0 || index >= int(m_modes.size()) || !sink || m_fd >= 0)
        return false;
    m_startError = 0;
    if (!openStream(m_modes[std::size_t(index)])) {
        closeStream();
        return false;
    }
    m_thread = std::thread(&V4l2CaptureDevice::run, this, sink);
    return true;
}

void V4l2CaptureDevice::stop()
{
    if (m_thread.joinable()) {
        const std::uint64_t wake = 1;
        [[maybe_unused]] const ssize_t written = write(m_wakeFd, &wake, sizeof wake);
        m_thread.join();
    }
    closeStream();
}

std::string V4l2CaptureDevice::presenceFolder() const
{
    return std::filesystem::path(m_nodePath).parent_path().string();
}

bool V4l2CaptureDevice::reattach()
{
    for (const V4l2Node &node : findV4l2Nodes(presenceFolder(), m_sysfsRoot, m_io))
        if (node.ids.vendor == m_ids.vendor && node.ids.product == m_ids.product) {
            m_nodePath = node.path;
            return true;
        }
    return false;
}

bool V4l2CaptureDevice::call(int fd, unsigned long request, void *argument, const char *name)
{
    if (m_io.control(fd, request, argument) == 0)
        return true;
    m_startError = logFailure(name, errno);
    return false;
}

int V4l2CaptureDevice::logFailure(const char *call, int error) const
{
    qCWarning(optrelleLog, "%s: %s failed: %s (errno %d)", m_nodePath.c_str(), call,
              std::strerror(error), error);
    return error;
}

bool V4l2CaptureDevice::openStream(const Mode &mode)
{
    m_fd = m_io.openNode(m_nodePath.c_str());
    if (m_fd < 0) {
        m_startError = logFailure("open", errno);
        return false;
    }
    m_wakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (m_wakeFd < 0) {
        m_startError = errno;
        return false;
    }

    v4l2_format format{};
    format.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    format.fmt.pix.width = std::uint32_t(mode.size.width);
    format.fmt.pix.height = std::uint32_t(mode.size.height);
    format.fmt.pix.pixelformat = mode.pixelFormat;
    format.fmt.pix.field = V4L2_FIELD_ANY;
    if (!call(m_fd, VIDIOC_S_FMT, &format, "VIDIOC_S_FMT"))
        return false;
    if (format.fmt.pix.pixelformat != mode.pixelFormat) {
        m_startError = EINVAL;
        qCWarning(optrelleLog, "%s: the driver changed the pixel format", m_nodePath.c_str());
        return false;
    }
    // The driver may adjust the size; frames come at the size it chose.
    m_streamed = {{int(format.fmt.pix.width), int(format.fmt.pix.height)}, mode.pixelFormat};
    m_bytesPerLine =
        std::max<std::size_t>(format.fmt.pix.bytesperline, std::size_t(m_streamed.size.width) * 2);

    v4l2_requestbuffers request{};
    request.count = bufferCount;
    request.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    request.memory = V4L2_MEMORY_MMAP;
    if (!call(m_fd, VIDIOC_REQBUFS, &request, "VIDIOC_REQBUFS"))
        return false;
    if (request.count == 0) {
        m_startError = ENOMEM;
        return false;
    }
    for (unsigned i = 0; i < request.count; ++i) {
        v4l2_buffer buffer{};
        buffer.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        buffer.memory = V4L2_MEMORY_MMAP;
        buffer.index = i;
        if (!call(m_fd, VIDIOC_QUERYBUF, &buffer, "VIDIOC_QUERYBUF"))
            return false;
        void *start = m_io.mapBuffer(m_fd, buffer.length, off_t(buffer.m.offset));
        if (!start) {
            m_startError = logFailure("mmap", errno ? errno : ENOMEM);
            return false;
        }
        m_buffers.push_back({start, buffer.length});
        if (!call(m_fd, VIDIOC_QBUF, &buffer, "VIDIOC_QBUF"))
            return false;
    }
    v4l2_buf_type type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    return call(m_fd, VIDIOC_STREAMON, &type, "VIDIOC_STREAMON");
}

void V4l2CaptureDevice::closeStream()
{
    if (m_fd >= 0) {
        v4l2_buf_type type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        m_io.control(m_fd, VIDIOC_STREAMOFF, &type);
    }
    for (const MappedBuffer &buffer : m_buffers)
        m_io.unmapBuffer(buffer.start, buffer.length);
    m_buffers.clear();
    if (m_fd >= 0)
        m_io.closeNode(m_fd);
    if (m_wakeFd >= 0)
        close(m_wakeFd);
    m_fd = m_wakeFd = -1;
}

void V4l2CaptureDevice::run(FrameSink *sink)
{
    // Ended before signalLost(): the frames it holds come first.
    std::optional<JpegDecodingLanes> lanes;
    if (m_streamed.pixelFormat == V4L2_PIX_FMT_MJPEG)
        lanes.emplace(*sink, m_streamed.size);
    const bool stopped = capture(*sink, lanes ? &*lanes : nullptr);
    lanes.reset();
    if (!stopped)
        sink->signalLost();
}

bool V4l2CaptureDevice::capture(FrameSink &sink, JpegDecodingLanes *lanes)
{
    pollfd waits[2] = {{m_fd, POLLIN, 0}, {m_wakeFd, POLLIN, 0}};
    for (;;) {
        if (m_io.waitFor(waits, 2) < 0) {
            if (errno == EINTR)
                continue;
            logFailure("poll", errno);
            break;
        }
        if (waits[1].revents)
            return true; // stop() asked
        if (waits[0].revents & (POLLERR | POLLHUP | POLLNVAL)) {
            qCWarning(optrelleLog, "%s: the device hung up", m_nodePath.c_str());
            break;
        }
        v4l2_buffer buffer{};
        buffer.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        buffer.memory = V4L2_MEMORY_MMAP;
        if (m_io.control(m_fd, VIDIOC_DQBUF, &buffer) != 0) {
            if (errno == EAGAIN)
                continue;
            // ENODEV, EIO: the camera is gone.
            logFailure("VIDIOC_DQBUF", errno);
            break;
        }
        std::shared_ptr<Frame> frame =
            m_pool.acquire(m_streamed.size.width, m_streamed.size.height);
        const bool intact =
            !(buffer.flags & V4L2_BUF_FLAG_ERROR) && buffer.index < m_buffers.size();
        const auto *data =
            static_cast<const std::uint8_t *>(intact ? m_buffers[buffer.index].start : nullptr);
        const std::size_t size =
            intact ? std::min<std::size_t>(buffer.bytesused, m_buffers[buffer.index].length) : 0;
        // The JPEG is copied out so the buffer goes back to the camera at once.
        if (intact && lanes)
            frame->cameraJpeg.assign(data, data + size);
        else
            frame->cameraJpeg.clear();
        const bool good =
            intact && (lanes || yuyvToFrame(data, size, m_streamed.size.width,
                                            m_streamed.size.height, m_bytesPerLine, *frame));
        const bool requeued = call(m_fd, VIDIOC_QBUF, &buffer, "VIDIOC_QBUF");
        if (!good)
            qCDebug(optrelleLog, "%s: a damaged frame of %u bytes dropped", m_nodePath.c_str(),
                    buffer.bytesused);
        else if (lanes)
            lanes->submit(std::move(frame));
        else
            sink.frameCaptured(std::move(frame));
        if (!requeued)
            break;
    }
    return false;
}

template <typename Result, typename Query>
Result V4l2CaptureDevice::withControlFd(Result failure, Query query) const
{
    const bool opened = m_fd < 0;
    const int fd = opened ? m_io.openNode(m_nodePath.c_str()) : m_fd;
    if (fd < 0)
        return failure;
    Result result = query(fd);
    if (opened)
        m_io.closeNode(fd);
    return result;
}

std::optional<ZoomRange> V4l2CaptureDevice::zoomRange()
{
    return withControlFd(std::optional<ZoomRange>(), [this](int fd) -> std::optional<ZoomRange> {
        v4l2_queryctrl query{};
        query.id = V4L2_CID_ZOOM_ABSOLUTE;
        v4l2_control control{};
        control.id = V4L2_CID_ZOOM_ABSOLUTE;
        if (m_io.control(fd, VIDIOC_QUERYCTRL, &query) != 0 ||
            (query.flags & V4L2_CTRL_FLAG_DISABLED) ||
            m_io.control(fd, VIDIOC_G_CTRL, &control) != 0)
            return std::nullopt;
        return ZoomRange{query.minimum, query.maximum, std::max(1, query.step), control.value};
    });
}

bool V4l2CaptureDevice::setZoom(int value)
{
    return setControl(V4L2_CID_ZOOM_ABSOLUTE, value);
}

std::vector<std::pair<int, std::string>>
V4l2CaptureDevice::readMenu(int fd, const v4l2_queryctrl &query) const
{
    std::vector<std::pair<int, std::string>> menu;
    for (int index = query.minimum; index <= query.maximum; ++index) {
        v4l2_querymenu item{};
        item.id = query.id;
        item.index = std::uint32_t(index);
        // Drivers leave gaps in their menus; a missing entry is no error.
        if (m_io.control(fd, VIDIOC_QUERYMENU, &item) != 0)
            continue;
        menu.emplace_back(index, query.type == V4L2_CTRL_TYPE_INTEGER_MENU
                                     ? std::to_string(item.value)
                                     : std::string(reinterpret_cast<const char *>(item.name)));
    }
    return menu;
}

std::vector<CameraControl> V4l2CaptureDevice::controls()
{
    return withControlFd(std::vector<CameraControl>(), [this](int fd) {
        std::vector<CameraControl> controls;
        v4l2_queryctrl query{};
        query.id = V4L2_CTRL_FLAG_NEXT_CTRL;
        while (m_io.control(fd, VIDIOC_QUERYCTRL, &query) == 0) {
            const v4l2_queryctrl found = query;
            query.id |= V4L2_CTRL_FLAG_NEXT_CTRL;
            if (found.flags & (V4L2_CTRL_FLAG_DISABLED | V4L2_CTRL_FLAG_READ_ONLY))
                continue;
            CameraControl control;
            switch (found.type) {
            case V4L2_CTRL_TYPE_INTEGER:
                control.kind = CameraControl::Kind::Integer;
                break;
            case V4L2_CTRL_TYPE_BOOLEAN:
                control.kind = CameraControl::Kind::Boolean;
                break;
            case V4L2_CTRL_TYPE_MENU:
            case V4L2_CTRL_TYPE_INTEGER_MENU:
                control.kind = CameraControl::Kind::Menu;
                control.menu = readMenu(fd, found);
                break;
            default:
                continue; // buttons, class headers, strings: nothing to set with a slider
            }
            v4l2_control current{};
            current.id = found.id;
            if (m_io.control(fd, VIDIOC_G_CTRL, &current) != 0)
                continue;
            control.id = found.id;
            control.name = reinterpret_cast<const char *>(found.name);
            control.minimum = found.minimum;
            control.maximum = found.maximum;
            control.step = std::max(1, found.step);
            control.defaultValue = found.default_value;
            control.value = current.value;
            controls.push_back(std::move(control));
        }
        return controls;
    });
}

bool V4l2CaptureDevice::setControl(std::uint32_t id, int value)
{
    return withControlFd(false, [&](int fd) {
        v4l2_control control{};
        control.id = id;
        control.value = value;
        return call(fd, VIDIOC_S_CTRL, &control, "VIDIOC_S_CTRL");
    });
}

} // namespace optrelle
