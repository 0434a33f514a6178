#pragma once

#include "camerastreamfile.h"
#include "v4l2/videodeviceio.h"

#include <deque>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace optrelle {

// Plays the kernel's side of a UVC camera for the V4L2 backend from a recorded
// stream: one node (the stream file's path) offering its one format and size,
// mmap buffers, and the file's frames in a loop at a steady rate. A node's
// descriptor is a timerfd armed at the frame rate, so the backend's poll() wakes
// as it would for a camera. While FILE.unplugged exists the camera is pulled
// out: the node cannot be opened and calls on open descriptors fail with ENODEV.
class RecordedStreamIo : public VideoDeviceIo
{
public:
    RecordedStreamIo(std::string path, std::unique_ptr<CameraStreamFile> stream,
                     int framesPerSecond);
    ~RecordedStreamIo() override;

    const std::string &path() const { return m_path; }
    const CameraStreamFile &stream() const { return *m_stream; }
    // The camera is plugged in: its file is there and no FILE.unplugged.
    bool present() const;

    int openNode(const char *path) override;
    void closeNode(int fd) override;
    int control(int fd, unsigned long request, void *argument) override;
    void *mapBuffer(int fd, std::size_t length, off_t offset) override;
    void unmapBuffer(void *start, std::size_t length) override;

private:
    int controlLocked(int fd, unsigned long request, void *argument);
    int dequeue(int fd, void *argument);
    void armTimer(int fd, bool on);

    const std::string m_path;
    const std::unique_ptr<CameraStreamFile> m_stream;
    const int m_framesPerSecond;

    std::mutex m_mutex;
    std::set<int> m_open;
    int m_streamFd = -1;
    std::vector<std::vector<std::uint8_t>> m_buffers;
    std::deque<std::uint32_t> m_queued;
    std::size_t m_nextFrame = 0;
};

} // namespace optrelle
