#include "outlinesmoother.h"

#include <QLineF>

namespace optrelle {

namespace {

constexpr double followShare = 0.3; // of the way to the new corner, each frame
// A corner further than this (a share of the page's diagonal) from its old
// place means the page was moved: follow at once.
constexpr double jumpShare = 0.08;
constexpr int missesKept = 10;

} // namespace

std::optional<PageOutline> OutlineSmoother::update(const std::optional<PageOutline> &found)
{
    if (!found) {
        if (++m_misses > missesKept)
            m_outline.reset();
        return m_outline;
    }
    m_misses = 0;
    if (!m_outline) {
        m_outline = found;
        return m_outline;
    }
    const double diagonal = QLineF(found->corners[0], found->corners[2]).length();
    bool moved = false;
    for (int i = 0; i < 4; ++i)
        moved |= QLineF(m_outline->corners[i], found->corners[i]).length() > jumpShare * diagonal;
    if (moved)
        m_outline = found;
    else
        for (int i = 0; i < 4; ++i)
            m_outline->corners[i] += (found->corners[i] - m_outline->corners[i]) * followShare;
    return m_outline;
}

void OutlineSmoother::reset()
{
    m_outline.reset();
    m_misses = 0;
}

} // namespace optrelle
