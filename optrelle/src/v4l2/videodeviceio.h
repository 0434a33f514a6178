#pragma once

#include <cstddef>
#include <poll.h>
#include <sys/types.h>

namespace optrelle {

// The system calls the V4L2 backend makes on video nodes. The base class makes
// them for real; tests put a simulated driver in its place.
class VideoDeviceIo
{
public:
    static VideoDeviceIo &system();

    virtual ~VideoDeviceIo() = default;
    virtual int openNode(const char *path);
    virtual void closeNode(int fd);
    // Retries calls interrupted by a signal.
    virtual int control(int fd, unsigned long request, void *argument);
    virtual void *mapBuffer(int fd, std::size_t length, off_t offset);
    virtual void unmapBuffer(void *start, std::size_t length);
    virtual int waitFor(pollfd *fds, nfds_t count);
};

} // namespace optrelle
