#include "clock.h"

#include <QElapsedTimer>

namespace {
Clock systemClock;
Clock *installedClock = &systemClock;
} // namespace

QDateTime Clock::localTime() const
{
    return QDateTime::currentDateTime();
}

quint32 Clock::tickCount() const
{
    static QElapsedTimer sinceStart = [] {
        QElapsedTimer timer;
        timer.start();
        return timer;
    }();
    return quint32(sinceStart.elapsed());
}

Clock &Clock::current()
{
    return *installedClock;
}

void Clock::replace(Clock *clock)
{
    installedClock = clock ? clock : &systemClock;
}
