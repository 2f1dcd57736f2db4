#pragma once
// Tick count and the scheduler's calendar clock.

#include "platform/Win32Types.h"

#include <functional>

// Milliseconds of a monotonic clock, 32-bit, wrapping about every 49.7 days.
DWORD GetTickCount();

namespace SystemTime {

// Calendar seconds since 1970-01-01 UTC plus 28800, as a signed 32-bit number.
int ClockSeconds();

// One reading of the same clock with the milliseconds already spent in its
// current second (0 to 999), so a wait can end when the second turns.
struct ClockReading {
    int seconds = 0;
    int millisecond = 0;
};
ClockReading ReadClock();

// Tests replace the calendar clock (its readings then fall on whole seconds); an
// empty function restores the real one.
void SetClockSource(std::function<int()> source);

} // namespace SystemTime
