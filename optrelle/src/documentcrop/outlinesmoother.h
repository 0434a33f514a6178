#pragma once

#include "pageoutline.h"

#include <optional>

namespace optrelle {

// Steadies the page outline found frame by frame, so the straightened page does
// not jitter: corners move a part of the way towards each new finding, jump when
// the page was moved, and survive a few frames in which the page was not found
// (a hand passing over it). Used by one thread.
class OutlineSmoother
{
public:
    std::optional<PageOutline> update(const std::optional<PageOutline> &found);
    void reset();

private:
    std::optional<PageOutline> m_outline;
    int m_misses = 0;
};

} // namespace optrelle
