#include "recordedstreamio.h"

#include <linux/videodev2.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <sys/timerfd.h>
#include <unistd.h>

namespace optrelle {

namespace {

constexpr std::uint32_t mostBuffers = 8;
constexpr off_t bufferOffsetStep = 1 << 20;

int fail(int error)
{
    errno = error;
    return -1;
}

bool exists(const std::string &path)
{
    struct stat status
    {
    };
    return stat(path.c_str(), &status) == 0;
}

} // namespace

RecordedStreamIo::RecordedStreamIo(std::string path, std::unique_ptr<CameraStreamFile> stream,
                                   int framesPerSecond)
    : m_path(std::move(path)), m_stream(std::move(stream)),
      m_framesPerSecond(std::max(1, framesPerSecond))
{
}

RecordedStreamIo::~RecordedStreamIo()
{
    for (const int fd : m_open)
        close(fd);
}

bool RecordedStreamIo::present() const
{
    return exists(m_path) && !exists(m_path + ".unplugged");
}

int RecordedStreamIo::openNode(const char *path)
{
    if (m_path != path || !present())
        return fail(ENOENT);
    const int fd = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    if (fd >= 0) {
        std::lock_guard lock(m_mutex);
        m_open.insert(fd);
    }
    return fd;
}

void RecordedStreamIo::closeNode(int fd)
{
    std::lock_guard lock(m_mutex);
    if (fd == m_streamFd) {
        m_streamFd = -1;
        m_buffers.clear();
        m_queued.clear();
    }
    if (m_open.erase(fd))
        close(fd);
}

int RecordedStreamIo::control(int fd, unsigned long request, void *argument)
{
    std::lock_guard lock(m_mutex);
    if (!m_open.count(fd))
        return fail(EBADF);
    // A pulled-out camera's open descriptors answer nothing but ENODEV.
    if (!present())
        return fail(ENODEV);
    return controlLocked(fd, request, argument);
}

int RecordedStreamIo::controlLocked(int fd, unsigned long request, void *argument)
{
    const Resolution size = m_stream->size();
    const std::uint32_t format = m_stream->pixelFormat();
    switch (request) {
    case VIDIOC_QUERYCAP: {
        auto *capability = static_cast<v4l2_capability *>(argument);
        *capability = {};
        std::strncpy(reinterpret_cast<char *>(capability->driver), "recorded",
                     sizeof capability->driver - 1);
        std::strncpy(reinterpret_cast<char *>(capability->bus_info), m_path.c_str(),
                     sizeof capability->bus_info - 1);
        capability->device_caps = V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_STREAMING;
        capability->capabilities = capability->device_caps | V4L2_CAP_DEVICE_CAPS;
        return 0;
    }
    case VIDIOC_ENUM_FMT: {
        auto *description = static_cast<v4l2_fmtdesc *>(argument);
        if (description->index != 0)
            return fail(EINVAL);
        description->pixelformat = format;
        return 0;
    }
    case VIDIOC_ENUM_FRAMESIZES: {
        auto *frameSize = static_cast<v4l2_frmsizeenum *>(argument);
        if (frameSize->index != 0 || frameSize->pixel_format != format)
            return fail(EINVAL);
        frameSize->type = V4L2_FRMSIZE_TYPE_DISCRETE;
        frameSize->discrete = {std::uint32_t(size.width), std::uint32_t(size.height)};
        return 0;
    }
    case VIDIOC_S_FMT: {
        if (m_streamFd >= 0 && m_streamFd != fd)
            return fail(EBUSY);
        // As a driver does: the request is adjusted to what the camera offers.
        v4l2_pix_format &pix = static_cast<v4l2_format *>(argument)->fmt.pix;
        pix.pixelformat = format;
        pix.width = std::uint32_t(size.width);
        pix.height = std::uint32_t(size.height);
        pix.bytesperline = format == V4L2_PIX_FMT_YUYV ? pix.width * 2 : 0;
        pix.sizeimage = std::uint32_t(m_stream->largestFrame());
        m_streamFd = fd;
        return 0;
    }
    case VIDIOC_REQBUFS: {
        auto *buffers = static_cast<v4l2_requestbuffers *>(argument);
        if (fd != m_streamFd)
            return fail(EBUSY);
        buffers->count = std::min(buffers->count, mostBuffers);
        m_buffers.assign(buffers->count, std::vector<std::uint8_t>(m_stream->largestFrame()));
        m_queued.clear();
        return 0;
    }
    case VIDIOC_QUERYBUF: {
        auto *buffer = static_cast<v4l2_buffer *>(argument);
        if (buffer->index >= m_buffers.size())
            return fail(EINVAL);
        buffer->length = std::uint32_t(m_buffers[buffer->index].size());
        buffer->m.offset = std::uint32_t(buffer->index * bufferOffsetStep);
        return 0;
    }
    case VIDIOC_QBUF: {
        const std::uint32_t index = static_cast<v4l2_buffer *>(argument)->index;
        if (index >= m_buffers.size())
            return fail(EINVAL);
        m_queued.push_back(index);
        return 0;
    }
    case VIDIOC_DQBUF:
        return dequeue(fd, argument);
    case VIDIOC_STREAMON:
    case VIDIOC_STREAMOFF:
        if (fd != m_streamFd)
            return fail(EINVAL);
        armTimer(fd, request == VIDIOC_STREAMON);
        return 0;
    default:
        return fail(request == VIDIOC_QUERYCTRL || request == VIDIOC_G_CTRL ||
                            request == VIDIOC_S_CTRL || request == VIDIOC_QUERYMENU
                        ? EINVAL // a camera without controls
                        : ENOTTY);
    }
}

int RecordedStreamIo::dequeue(int fd, void *argument)
{
    std::uint64_t periods = 0;
    if (fd != m_streamFd || read(fd, &periods, sizeof periods) != sizeof periods || periods == 0 ||
        m_queued.empty())
        return fail(EAGAIN);
    // Periods missed while every buffer was taken are frames the camera dropped.
    m_nextFrame += periods - 1;
    auto *buffer = static_cast<v4l2_buffer *>(argument);
    buffer->index = m_queued.front();
    m_queued.pop_front();
    const CameraStreamFile::FrameBytes frame =
        m_stream->frame(m_nextFrame % m_stream->frameCount());
    ++m_nextFrame;
    std::vector<std::uint8_t> &bytes = m_buffers[buffer->index];
    std::memcpy(bytes.data(), frame.data, std::min(frame.size, bytes.size()));
    buffer->bytesused = std::uint32_t(std::min(frame.size, bytes.size()));
    buffer->flags = 0;
    return 0;
}

void RecordedStreamIo::armTimer(int fd, bool on)
{
    constexpr long second = 1'000'000'000L;
    const long period = second / m_framesPerSecond;
    itimerspec timer{};
    if (on)
        timer.it_interval = timer.it_value = {period / second, period % second};
    timerfd_settime(fd, 0, &timer, nullptr);
}

void *RecordedStreamIo::mapBuffer(int, std::size_t, off_t offset)
{
    std::lock_guard lock(m_mutex);
    const std::size_t index = std::size_t(offset / bufferOffsetStep);
    return index < m_buffers.size() ? m_buffers[index].data() : nullptr;
}

void RecordedStreamIo::unmapBuffer(void *, std::size_t) {}

} // namespace optrelle
