#pragma once
// Tick count and the scheduler's calendar clock.

#include "platform/Win32Types.h"

#include <functional>

// Milliseconds of a monotonic clock, 32-bit, wrapping about every 49.7 days.
DWORD GetTickCount();

namespace SystemTime {

// Calendar seconds since 1970-01-01 UTC plus 28800, as a signed 32-bit number.
int ClockSeconds();

// Tests replace the calendar clock; an empty function restores the real one.
void SetClockSource(std::function<int()> source);

} // namespace SystemTime
