#pragma once

#include "cameradevice.h"
#include "frame.h"

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace optrelle {

// Decodes a stream's JPEG frames (Frame::cameraJpeg) into their pixels on two
// threads, so a large picture's rate is not bound by one core's decoding, and
// hands them to the sink one at a time in the order they came. While both threads
// are busy only the newest frame waits: a stream faster than decoding drops frames
// instead of queueing them. A frame that fails to decode or has another size than
// the stream's is dropped.
class JpegDecodingLanes
{
public:
    JpegDecodingLanes(FrameSink &sink, Resolution streamed);
    // Drops the waiting frame, lets the lanes deliver the frames they hold, ends them.
    ~JpegDecodingLanes();
    JpegDecodingLanes(const JpegDecodingLanes &) = delete;
    JpegDecodingLanes &operator=(const JpegDecodingLanes &) = delete;

    void submit(std::shared_ptr<Frame> frame);

    static constexpr int laneCount = 2;

private:
    void run();

    FrameSink &m_sink;
    const Resolution m_streamed;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::shared_ptr<Frame> m_waiting;
    std::uint64_t m_taken = 0;     // frames taken by a lane, in stream order
    std::uint64_t m_delivered = 0; // of those, handed on or dropped
    bool m_ending = false;
    std::vector<std::thread> m_lanes;
};

} // namespace optrelle
