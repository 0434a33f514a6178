#pragma once

#include <QDateTime>

// The local time and the millisecond tick count. Everything that stamps a file
// name or a log line, or measures an interval, asks this seam so that tests can
// set the clock. The base class is the system clock.
class Clock
{
public:
    virtual ~Clock() = default;

    virtual QDateTime localTime() const;
    // Milliseconds since an arbitrary start; wraps like a 32-bit counter.
    virtual quint32 tickCount() const;

    static Clock &current();
    // Installs a test clock; nullptr restores the system clock. Not owned.
    static void replace(Clock *clock);
};
