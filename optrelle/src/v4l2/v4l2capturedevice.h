#pragma once

#include "cameradevice.h"
#include "framepool.h"
#include "jpegdecodinglanes.h"
#include "usbids.h"
#include "videodeviceio.h"

#include <linux/videodev2.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

namespace optrelle {

// A Video4Linux2 capture node of a real camera. Streams through four mmap
// buffers on its own thread, which waits in poll() on the device and a wake-up
// eventfd; MJPEG frames are decoded straight into bottom-up BGR on two threads
// of their own (JpegDecodingLanes), YUYV frames
// converted in one pass; frames that fail to decode or come at another size are
// dropped. An unplugged camera ends the thread with signalLost(). Every device
// call that fails is logged with its errno.
class V4l2CaptureDevice : public CameraDevice
{
public:
    // A frame size and the pixel format it is streamed in.
    struct Mode
    {
        Resolution size;
        std::uint32_t pixelFormat = 0;
    };

    // The sizes of the open device: its discrete MJPEG sizes in its own order,
    // then YUYV-only sizes; MJPEG above 640x480 where offered, YUYV otherwise.
    static std::vector<Mode> readModes(VideoDeviceIo &io, int fd);

    // sysfsRoot is where the ids of a node plugged in again are read.
    V4l2CaptureDevice(std::string nodePath, UsbIds ids, std::vector<Mode> modes,
                      VideoDeviceIo &io = VideoDeviceIo::system(), std::string sysfsRoot = "/sys");
    ~V4l2CaptureDevice() override;

    std::string firstId() const override { return m_ids.vendor; }
    std::string secondId() const override { return m_ids.product; }
    std::vector<Resolution> resolutions() const override;
    bool start(int index, FrameSink *sink) override;
    int startError() const override { return m_startError; }
    void stop() override;
    // The node's folder: nodes come and go there as cameras are plugged in.
    std::string presenceFolder() const override;
    // The node of a camera with the same ids, which may have a new number.
    bool reattach() override;
    std::optional<ZoomRange> zoomRange() override;
    bool setZoom(int value) override;
    // Every enabled integer, boolean and menu control the driver lists.
    std::vector<CameraControl> controls() override;
    bool setControl(std::uint32_t id, int value) override;

private:
    struct MappedBuffer
    {
        void *start = nullptr;
        std::size_t length = 0;
    };

    // Makes a device call; a failure is logged with errno and kept as the
    // start error.
    bool call(int fd, unsigned long request, void *argument, const char *name);
    // Logs a failed call with its errno; gives the errno back.
    int logFailure(const char *call, int error) const;
    bool openStream(const Mode &mode);
    void closeStream();
    void run(FrameSink *sink);
    // Streams until stop() (true) or until the device fails (false). MJPEG frames
    // go to lanes for decoding, YUYV ones straight to sink.
    bool capture(FrameSink &sink, JpegDecodingLanes *lanes);
    // Runs query on the streaming descriptor, or on the node opened for it alone
    // when the camera is not streaming; failure when the node cannot be opened.
    template <typename Result, typename Query>
    Result withControlFd(Result failure, Query query) const;
    std::vector<std::pair<int, std::string>> readMenu(int fd, const v4l2_queryctrl &query) const;

    VideoDeviceIo &m_io;
    std::string m_nodePath;
    const UsbIds m_ids;
    const std::vector<Mode> m_modes;
    const std::string m_sysfsRoot;
    std::atomic<int> m_startError = 0;

    int m_fd = -1;
    int m_wakeFd = -1;
    std::vector<MappedBuffer> m_buffers;
    Mode m_streamed;
    std::size_t m_bytesPerLine = 0;
    std::thread m_thread;
    FramePool m_pool;
};

} // namespace optrelle
