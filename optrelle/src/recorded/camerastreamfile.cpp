#include "camerastreamfile.h"

#include <linux/videodev2.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace optrelle {

namespace {

constexpr std::uint8_t markerStart = 0xff;
constexpr std::uint8_t startOfImage = 0xd8;
constexpr std::uint8_t endOfImage = 0xd9;
constexpr std::uint8_t startOfScan = 0xda;

bool isStartOfImage(const std::uint8_t *data, std::size_t size, std::size_t at)
{
    return at + 2 < size && data[at] == markerStart && data[at + 1] == startOfImage &&
           data[at + 2] == markerStart;
}

std::size_t nextStartOfImage(const std::uint8_t *data, std::size_t size, std::size_t from)
{
    for (std::size_t at = from; at + 2 < size; ++at)
        if (isStartOfImage(data, size, at))
            return at;
    return size;
}

bool standsAlone(std::uint8_t marker)
{
    return marker == 0x01 || (marker >= 0xd0 && marker <= 0xd7); // TEM, restart markers
}

// Start-of-frame markers carry the picture size; C4, C8 and CC are other tables.
bool isFrameHeader(std::uint8_t marker)
{
    return marker >= 0xc0 && marker <= 0xcf && marker != 0xc4 && marker != 0xc8 && marker != 0xcc;
}

std::size_t bigEndian16(const std::uint8_t *at)
{
    return std::size_t(at[0]) << 8 | at[1];
}

// Past the entropy-coded data that starts at `at`: at the first marker that is
// neither a stuffed byte nor a restart marker.
std::size_t skipEntropyData(const std::uint8_t *data, std::size_t size, std::size_t at)
{
    for (; at + 1 < size; ++at)
        if (data[at] == markerStart && data[at + 1] != 0 && data[at + 1] != markerStart &&
            !standsAlone(data[at + 1]))
            return at;
    return size;
}

// The frame starting at `start`: walks its segments up to its end-of-image marker.
JpegFrameSpan frameAt(const std::uint8_t *data, std::size_t size, std::size_t start)
{
    JpegFrameSpan frame;
    frame.offset = start;
    std::size_t at = start + 2;
    std::size_t lastMarker = start;
    while (at + 1 < size) {
        if (data[at] != markerStart) {
            // No marker where one belongs: a segment was cut short and its length
            // led astray. The next frame may start right after the last marker.
            at = lastMarker + 2;
            break;
        }
        lastMarker = at;
        const std::uint8_t marker = data[at + 1];
        if (marker == markerStart) {
            ++at; // fill byte
            continue;
        }
        if (marker == endOfImage) {
            frame.size = at + 2 - start;
            frame.complete = true;
            return frame;
        }
        if (marker == startOfImage)
            break; // the next frame: this one was cut short
        if (standsAlone(marker)) {
            at += 2;
            continue;
        }
        if (at + 4 > size)
            break;
        const std::size_t length = bigEndian16(data + at + 2);
        if (isFrameHeader(marker) && length >= 7 && at + 9 <= size)
            frame.picture = {int(bigEndian16(data + at + 7)), int(bigEndian16(data + at + 5))};
        at += 2 + length;
        if (marker == startOfScan)
            at = skipEntropyData(data, size, at);
    }
    frame.size = nextStartOfImage(data, size, std::min(size, at)) - start;
    return frame;
}

} // namespace

std::vector<JpegFrameSpan> splitJpegStream(const std::uint8_t *data, std::size_t size)
{
    std::vector<JpegFrameSpan> frames;
    for (std::size_t at = nextStartOfImage(data, size, 0); at < size;
         at = nextStartOfImage(data, size, at)) {
        frames.push_back(frameAt(data, size, at));
        at += std::max<std::size_t>(frames.back().size, 2);
    }
    return frames;
}

std::unique_ptr<CameraStreamFile> CameraStreamFile::open(const std::string &path,
                                                         Resolution yuyvSize, std::string *error)
{
    const auto failed = [&](const std::string &why) {
        *error = path + ": " + why;
        return nullptr;
    };
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return failed(std::strerror(errno));
    struct stat status
    {
    };
    const bool sized = fstat(fd, &status) == 0 && status.st_size > 0;
    void *mapped = sized ? mmap(nullptr, std::size_t(status.st_size), PROT_READ, MAP_PRIVATE, fd, 0)
                         : MAP_FAILED;
    ::close(fd);
    if (mapped == MAP_FAILED)
        return failed(sized ? std::strerror(errno) : "empty file");

    std::unique_ptr<CameraStreamFile> stream(new CameraStreamFile);
    stream->m_data = static_cast<const std::uint8_t *>(mapped);
    stream->m_length = std::size_t(status.st_size);
    if (yuyvSize.width > 0) {
        stream->m_pixelFormat = V4L2_PIX_FMT_YUYV;
        stream->m_size = yuyvSize;
        const std::size_t frameBytes = std::size_t(yuyvSize.width) * yuyvSize.height * 2;
        for (std::size_t at = 0; at < stream->m_length; at += frameBytes) {
            const std::size_t bytes = std::min(frameBytes, stream->m_length - at);
            stream->m_frames.push_back({at, bytes, bytes == frameBytes, yuyvSize});
        }
    } else {
        stream->m_pixelFormat = V4L2_PIX_FMT_MJPEG;
        stream->m_frames = splitJpegStream(stream->m_data, stream->m_length);
        const auto first = std::find_if(
            stream->m_frames.begin(), stream->m_frames.end(),
            [](const JpegFrameSpan &frame) { return frame.complete && frame.picture.width > 0; });
        if (first == stream->m_frames.end())
            return failed("no complete JPEG frame");
        stream->m_size = first->picture;
    }
    if (stream->m_frames.empty())
        return failed("no frame");
    return stream;
}

CameraStreamFile::~CameraStreamFile()
{
    munmap(const_cast<std::uint8_t *>(m_data), m_length);
}

CameraStreamFile::FrameBytes CameraStreamFile::frame(std::size_t index) const
{
    const JpegFrameSpan &span = m_frames.at(index);
    return {m_data + span.offset, span.size};
}

std::size_t CameraStreamFile::largestFrame() const
{
    std::size_t largest = 0;
    for (const JpegFrameSpan &span : m_frames)
        largest = std::max(largest, span.size);
    return largest;
}

} // namespace optrelle
