#include "framepool.h"

#include <algorithm>

namespace optrelle {

namespace {
// The newest frame, one being painted, one being filled and one spare, and with
// JPEG decoding on two threads two more being decoded and one waiting for them.
constexpr std::size_t keptFrames = 7;
} // namespace

std::shared_ptr<Frame> FramePool::acquire(int width, int height)
{
    std::shared_ptr<Frame> frame;
    {
        std::lock_guard lock(m_mutex);
        // A count of one means only the pool holds the frame; no other thread can
        // take a new reference to it, so it is free to reuse.
        auto free = std::find_if(m_frames.begin(), m_frames.end(),
                                 [](const auto &kept) { return kept.use_count() == 1; });
        if (free != m_frames.end()) {
            frame = *free;
        } else {
            // When every kept frame is in use the new one is not kept.
            frame = std::make_shared<Frame>();
            if (m_frames.size() < keptFrames)
                m_frames.push_back(frame);
        }
    }
    frame->width = width;
    frame->height = height;
    frame->pixels.resize(frame->byteCount());
    return frame;
}

} // namespace optrelle
