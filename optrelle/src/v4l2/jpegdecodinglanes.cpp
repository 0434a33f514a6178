#include "jpegdecodinglanes.h"

#include "jpegframedecoder.h"
#include "optrellelog.h"

namespace optrelle {

JpegDecodingLanes::JpegDecodingLanes(FrameSink &sink, Resolution streamed)
    : m_sink(sink), m_streamed(streamed)
{
    for (int lane = 0; lane < laneCount; ++lane)
        m_lanes.emplace_back(&JpegDecodingLanes::run, this);
}

JpegDecodingLanes::~JpegDecodingLanes()
{
    {
        std::lock_guard lock(m_mutex);
        m_ending = true;
        m_waiting.reset();
    }
    m_changed.notify_all();
    for (std::thread &lane : m_lanes)
        lane.join();
}

void JpegDecodingLanes::submit(std::shared_ptr<Frame> frame)
{
    {
        std::lock_guard lock(m_mutex);
        if (m_waiting)
            qCDebug(optrelleLog, "decoding is behind the camera: a frame dropped");
        m_waiting = std::move(frame);
    }
    m_changed.notify_one();
}

void JpegDecodingLanes::run()
{
    JpegFrameDecoder decoder;
    for (;;) {
        std::shared_ptr<Frame> frame;
        std::uint64_t ticket = 0;
        {
            std::unique_lock lock(m_mutex);
            m_changed.wait(lock, [this] { return m_ending || m_waiting; });
            if (!m_waiting)
                return;
            frame = std::move(m_waiting);
            ticket = m_taken++;
        }
        const std::vector<std::uint8_t> &jpeg = frame->cameraJpeg;
        // A frame of another size is a glitch of the camera; the stream's size holds.
        const Resolution picture = decoder.pictureSize(jpeg.data(), jpeg.size());
        const bool good = picture.width == m_streamed.width &&
                          picture.height == m_streamed.height &&
                          decoder.decode(jpeg.data(), jpeg.size(), *frame);
        if (!good)
            qCDebug(optrelleLog, "a damaged frame of %zu bytes dropped", jpeg.size());
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this, ticket] { return m_delivered == ticket; });
        lock.unlock();
        // The frames before this one are delivered and the next waits for it.
        if (good)
            m_sink.frameCaptured(std::move(frame));
        lock.lock();
        ++m_delivered;
        lock.unlock();
        m_changed.notify_all();
    }
}

} // namespace optrelle
