#pragma once

#include "frame.h"

#include <memory>
#include <mutex>
#include <vector>

namespace optrelle {

// Recycles frame buffers so a camera streaming large frames does not allocate
// tens of megabytes per frame. A buffer is handed out again once nobody but the
// pool holds it. Safe to use from any thread.
class FramePool
{
public:
    // A frame of the given size, its pixel contents unspecified.
    std::shared_ptr<Frame> acquire(int width, int height);

private:
    std::mutex m_mutex;
    std::vector<std::shared_ptr<Frame>> m_frames;
};

} // namespace optrelle
