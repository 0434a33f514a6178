#pragma once

#include "cameradevice.h"
#include "v4l2/videodeviceio.h"

#include <linux/videodev2.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <deque>
#include <map>
#include <string>
#include <sys/eventfd.h>
#include <unistd.h>
#include <vector>

// Plays the kernel side of UVC cameras for the V4L2 backend: capability and
// format queries, the zoom control, mmap buffers, and frames the test pushes one by one.
// A node's descriptor is an eventfd that becomes readable for each pushed frame,
// so the backend's poll() works unchanged. Frames are YUYV white.
class SimulatedUvcDriver : public optrelle::VideoDeviceIo
{
public:
    struct Node
    {
        std::string path;
        std::string bus;
        bool metadata = false;
    };

    std::vector<Node> nodes;
    std::vector<optrelle::Resolution> mjpegSizes{{1280, 720}, {1920, 1080}, {640, 480}};
    std::vector<optrelle::Resolution> yuyvSizes{{640, 480}, {1280, 720}, {320, 240}};
    std::uint32_t streamedFormat = 0;
    int zoom = 120;
    std::atomic<bool> unplugged = false;
    int openError = 0;   // errno of every open, e.g. EACCES
    int formatError = 0; // errno of VIDIOC_S_FMT, e.g. EBUSY: another program streams

    void pushFrame() { signal(m_streamFd); }
    void unplug()
    {
        unplugged = true;
        signal(m_streamFd);
    }

    int openNode(const char *path) override
    {
        for (const Node &node : nodes)
            if (node.path == path && !openError) {
                const int fd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC | EFD_SEMAPHORE);
                m_open[fd] = node;
                return fd;
            }
        return fail(openError ? openError : ENOENT);
    }

    void closeNode(int fd) override
    {
        m_open.erase(fd);
        close(fd);
    }

    int control(int fd, unsigned long request, void *argument) override
    {
        if (unplugged)
            return fail(ENODEV);
        switch (request) {
        case VIDIOC_QUERYCAP: {
            auto *capability = static_cast<v4l2_capability *>(argument);
            const Node &node = m_open.at(fd);
            std::strncpy(reinterpret_cast<char *>(capability->bus_info), node.bus.c_str(),
                         sizeof capability->bus_info - 1);
            capability->device_caps =
                (node.metadata ? V4L2_CAP_META_CAPTURE : V4L2_CAP_VIDEO_CAPTURE) |
                V4L2_CAP_STREAMING;
            capability->capabilities = V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_META_CAPTURE |
                                       V4L2_CAP_STREAMING | V4L2_CAP_DEVICE_CAPS;
            return 0;
        }
        case VIDIOC_ENUM_FMT: {
            auto *format = static_cast<v4l2_fmtdesc *>(argument);
            format->pixelformat = format->index ? V4L2_PIX_FMT_YUYV : V4L2_PIX_FMT_MJPEG;
            return format->index < 2 ? 0 : fail(EINVAL);
        }
        case VIDIOC_ENUM_FRAMESIZES: {
            auto *size = static_cast<v4l2_frmsizeenum *>(argument);
            const auto &sizes = size->pixel_format == V4L2_PIX_FMT_MJPEG ? mjpegSizes : yuyvSizes;
            if (size->index >= sizes.size())
                return fail(EINVAL);
            size->type = V4L2_FRMSIZE_TYPE_DISCRETE;
            size->discrete = {std::uint32_t(sizes[size->index].width),
                              std::uint32_t(sizes[size->index].height)};
            return 0;
        }
        case VIDIOC_S_FMT: {
            if (formatError)
                return fail(formatError);
            auto &pix = static_cast<v4l2_format *>(argument)->fmt.pix;
            streamedFormat = pix.pixelformat;
            pix.bytesperline = pix.width * 2;
            pix.sizeimage = pix.width * pix.height * 2;
            m_frameBytes = pix.sizeimage;
            m_streamFd = fd;
            return 0;
        }
        case VIDIOC_REQBUFS:
            m_buffers.assign(static_cast<v4l2_requestbuffers *>(argument)->count,
                             std::vector<std::uint8_t>(m_frameBytes));
            return 0;
        case VIDIOC_QUERYBUF: {
            auto *buffer = static_cast<v4l2_buffer *>(argument);
            buffer->length = std::uint32_t(m_buffers.at(buffer->index).size());
            buffer->m.offset = buffer->index * 4096;
            return 0;
        }
        case VIDIOC_QBUF:
            m_queued.push_back(static_cast<v4l2_buffer *>(argument)->index);
            return 0;
        case VIDIOC_DQBUF:
            return dequeue(fd, static_cast<v4l2_buffer *>(argument));
        case VIDIOC_STREAMON:
        case VIDIOC_STREAMOFF:
            return 0;
        case VIDIOC_QUERYCTRL: { // zoom is the one control
            auto *query = static_cast<v4l2_queryctrl *>(argument);
            if (query->id != V4L2_CID_ZOOM_ABSOLUTE)
                return fail(EINVAL);
            // clang-format off
            *query = {V4L2_CID_ZOOM_ABSOLUTE, V4L2_CTRL_TYPE_INTEGER, "Zoom, Absolute", 100, 500, 10, 100, 0, {}};
            // clang-format on
            return 0;
        }
        case VIDIOC_G_CTRL:
        case VIDIOC_S_CTRL: {
            auto *control = static_cast<v4l2_control *>(argument);
            if (control->id != V4L2_CID_ZOOM_ABSOLUTE)
                return fail(EINVAL);
            if (request == VIDIOC_S_CTRL)
                zoom = control->value;
            control->value = zoom;
            return 0;
        }
        default:
            return fail(ENOTTY);
        }
    }

    void *mapBuffer(int, std::size_t, off_t offset) override
    {
        return m_buffers.at(std::size_t(offset / 4096)).data();
    }
    void unmapBuffer(void *, std::size_t) override {}

private:
    static int fail(int error)
    {
        errno = error;
        return -1;
    }

    static void signal(int fd)
    {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = write(fd, &one, sizeof one);
    }

    // The next queued buffer filled with a white frame, once one was pushed.
    int dequeue(int fd, v4l2_buffer *buffer)
    {
        std::uint64_t token = 0;
        if (read(fd, &token, sizeof token) != sizeof token || m_queued.empty())
            return fail(EAGAIN);
        buffer->index = m_queued.front();
        m_queued.pop_front();
        std::vector<std::uint8_t> &pixels = m_buffers[buffer->index];
        for (std::size_t i = 0; i < pixels.size(); i += 2) {
            pixels[i] = 235; // white luma
            pixels[i + 1] = 128;
        }
        buffer->bytesused = std::uint32_t(pixels.size());
        buffer->flags = 0;
        return 0;
    }

    std::map<int, Node> m_open;
    int m_streamFd = -1;
    std::size_t m_frameBytes = 0;
    std::vector<std::vector<std::uint8_t>> m_buffers;
    std::deque<std::uint32_t> m_queued;
};
