#include "pagetracker.h"

#include "pagefinder.h"

namespace optrelle {

std::optional<PageOutline> PageTracker::outlineFor(const FramePtr &frame)
{
    std::lock_guard lock(m_mutex);
    if (!m_finder.isBusy())
        m_finder.post([this, frame, resets = m_resets] { find(frame, resets); });
    if (frame->width != m_outlineWidth || frame->height != m_outlineHeight)
        return std::nullopt;
    return m_outline;
}

void PageTracker::reset()
{
    std::lock_guard lock(m_mutex);
    ++m_resets;
    m_smoother.reset();
    m_outline.reset();
}

void PageTracker::find(const FramePtr &frame, unsigned resets)
{
    const std::optional<PageOutline> found = findPageOutline(*frame);
    std::lock_guard lock(m_mutex);
    if (resets != m_resets)
        return;
    m_outline = m_smoother.update(found);
    m_outlineWidth = frame->width;
    m_outlineHeight = frame->height;
}

} // namespace optrelle
