#pragma once

#include "cameracontrol.h"
#include "frame.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace optrelle {

struct Resolution
{
    int width = 0;
    int height = 0;
};

// The camera's optical zoom as the device reports it.
struct ZoomRange
{
    int minimum = 0;
    int maximum = 0;
    int step = 1;
    int value = 0;
};

// Where a streaming device hands its frames. Both calls run on the device's
// capture thread.
class FrameSink
{
public:
    virtual ~FrameSink() = default;
    // A complete frame; the sink may keep it.
    virtual void frameCaptured(std::shared_ptr<Frame> frame) = 0;
    // The device stopped delivering (unplugged, failed); no frame follows.
    virtual void signalLost() = 0;
};

// One physical camera of a backend. Called from one thread at a time (the
// library's caller); frames arrive on a capture thread the device owns.
class CameraDevice
{
public:
    virtual ~CameraDevice() = default;

    // The two ids the library reports: for a USB camera the idVendor and the
    // idProduct, four lower-case hex digits each.
    virtual std::string firstId() const = 0;
    virtual std::string secondId() const = 0;
    virtual std::vector<Resolution> resolutions() const = 0;

    // Starts streaming at resolutions()[index] into sink. False when the device
    // cannot stream at all; then nothing reaches the sink, and startError() tells
    // the errno of the call that failed.
    virtual bool start(int index, FrameSink *sink) = 0;
    virtual int startError() const { return 0; }
    // Stops streaming; when it returns no call into the sink is running or follows.
    // Does nothing when the device is not streaming.
    virtual void stop() = 0;

    // std::nullopt when the device has no optical zoom or cannot be asked.
    virtual std::optional<ZoomRange> zoomRange() = 0;
    virtual bool setZoom(int value) = 0;

    // A folder whose changes may mean that the device, after it stopped
    // delivering, is back; empty for a device that cannot come back.
    virtual std::string presenceFolder() const { return {}; }
    // After the signal was lost and stop(): finds the same camera again. False
    // while it is not there.
    virtual bool reattach() { return false; }

    // The settings the property dialog offers, with their current values; empty
    // when the device has none or cannot be asked.
    virtual std::vector<CameraControl> controls() { return {}; }
    virtual bool setControl(std::uint32_t /*id*/, int /*value*/) { return false; }
};

} // namespace optrelle
