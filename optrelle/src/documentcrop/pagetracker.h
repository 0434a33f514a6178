#pragma once

#include "../frame.h"
#include "outlinesmoother.h"

#include <condition_variable>
#include <mutex>
#include <thread>

namespace optrelle {

// Follows the page on live video without holding up the capture thread: the
// newest frame goes to a finder thread of its own whenever that is idle, and
// every frame is cropped with the outline found last, steadied by an
// OutlineSmoother. So the camera keeps its rate however long finding takes.
class PageTracker
{
public:
    PageTracker();
    ~PageTracker();
    PageTracker(const PageTracker &) = delete;
    PageTracker &operator=(const PageTracker &) = delete;

    // Capture thread: the outline to crop frame with, std::nullopt for the whole
    // frame (no page, or none found yet on frames of this size).
    std::optional<PageOutline> outlineFor(const FramePtr &frame);
    // Any thread: forgets the page, and what is being looked at now (another
    // stream, or automatic crop switched on anew).
    void reset();

private:
    void run();

    std::mutex m_mutex;
    std::condition_variable m_wake;
    FramePtr m_waiting; // the next frame to look at
    bool m_finding = false;
    bool m_stopping = false;
    unsigned m_resets = 0; // a finding begun before a reset is dropped
    OutlineSmoother m_smoother;
    std::optional<PageOutline> m_outline;
    int m_outlineWidth = 0; // the size of the frames m_outline belongs to
    int m_outlineHeight = 0;
    std::thread m_finder;
};

} // namespace optrelle
