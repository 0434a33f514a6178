#pragma once

#include "../frame.h"
#include "newestonlythread.h"
#include "outlinesmoother.h"

#include <mutex>

namespace optrelle {

// Follows the page on live video without holding up the capture thread: the
// newest frame goes to a finder thread of its own whenever that is idle, and
// every frame is cropped with the outline found last, steadied by an
// OutlineSmoother. So the camera keeps its rate however long finding takes.
class PageTracker
{
public:
    // Capture thread: the outline to crop frame with, std::nullopt for the whole
    // frame (no page, or none found yet on frames of this size).
    std::optional<PageOutline> outlineFor(const FramePtr &frame);
    // Any thread: forgets the page, and what is being looked at now (another
    // stream, or automatic crop switched on anew).
    void reset();

private:
    // Finder thread: looks for the page on frame, asked for after `resets` resets.
    void find(const FramePtr &frame, unsigned resets);

    std::mutex m_mutex;
    unsigned m_resets = 0; // a finding asked for before a reset is dropped
    OutlineSmoother m_smoother;
    std::optional<PageOutline> m_outline;
    int m_outlineWidth = 0; // the size of the frames m_outline belongs to
    int m_outlineHeight = 0;
    NewestOnlyThread m_finder; // last: stops before the members it uses go
};

} // namespace optrelle
