#include "pagetracker.h"

#include "pagefinder.h"

namespace optrelle {

PageTracker::PageTracker() : m_finder([this] { run(); }) {}

PageTracker::~PageTracker()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_one();
    m_finder.join();
}

std::optional<PageOutline> PageTracker::outlineFor(const FramePtr &frame)
{
    std::lock_guard lock(m_mutex);
    if (!m_finding && !m_waiting) {
        m_waiting = frame;
        m_wake.notify_one();
    }
    if (frame->width != m_outlineWidth || frame->height != m_outlineHeight)
        return std::nullopt;
    return m_outline;
}

void PageTracker::reset()
{
    std::lock_guard lock(m_mutex);
    ++m_resets;
    m_waiting.reset();
    m_smoother.reset();
    m_outline.reset();
}

void PageTracker::run()
{
    // Finder thread.
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_stopping || m_waiting; });
        if (m_stopping)
            return;
        const FramePtr frame = std::move(m_waiting);
        m_waiting.reset();
        const unsigned resets = m_resets;
        m_finding = true;
        lock.unlock();
        const std::optional<PageOutline> found = findPageOutline(*frame);
        lock.lock();
        m_finding = false;
        if (resets != m_resets)
            continue;
        m_outline = m_smoother.update(found);
        m_outlineWidth = frame->width;
        m_outlineHeight = frame->height;
    }
}

} // namespace optrelle
