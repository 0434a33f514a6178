#include "videodeviceio.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <unistd.h>

namespace optrelle {

VideoDeviceIo &VideoDeviceIo::system()
{
    static VideoDeviceIo io;
    return io;
}

int VideoDeviceIo::openNode(const char *path)
{
    return open(path, O_RDWR | O_NONBLOCK | O_CLOEXEC);
}

void VideoDeviceIo::closeNode(int fd)
{
    close(fd);
}

int VideoDeviceIo::control(int fd, unsigned long request, void *argument)
{
    int result;
    do {
        result = ioctl(fd, request, argument);
    } while (result == -1 && errno == EINTR);
    return result;
}

void *VideoDeviceIo::mapBuffer(int fd, std::size_t length, off_t offset)
{
    void *start = mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_SHARED, fd, offset);
    return start == MAP_FAILED ? nullptr : start;
}

void VideoDeviceIo::unmapBuffer(void *start, std::size_t length)
{
    munmap(start, length);
}

int VideoDeviceIo::waitFor(pollfd *fds, nfds_t count)
{
    return poll(fds, count, -1);
}

} // namespace optrelle
