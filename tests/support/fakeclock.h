#pragma once

#include "platform/clock.h"

// A clock that shows what the test sets; installed for its lifetime.
class FakeClock : public Clock
{
public:
    explicit FakeClock(const QDateTime &now = QDateTime(QDate(2026, 3, 4), QTime(5, 6, 7)))
        : m_now(now)
    {
        Clock::replace(this);
    }
    ~FakeClock() override { Clock::replace(nullptr); }

    QDateTime localTime() const override { return m_now; }
    quint32 tickCount() const override { return m_ticks; }

    QDateTime m_now;
    quint32 m_ticks = 0;
};
