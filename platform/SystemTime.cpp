#include "platform/SystemTime.h"

#include <ctime>
#include <mutex>

namespace {

std::mutex g_clockMutex;
std::function<int()> g_clockSource;

} // namespace

DWORD GetTickCount()
{
    timespec ts {};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    const unsigned long long ms =
        static_cast<unsigned long long>(ts.tv_sec) * 1000ULL + static_cast<unsigned long long>(ts.tv_nsec) / 1000000ULL;
    return static_cast<DWORD>(ms);
}

namespace SystemTime {

int ClockSeconds() { return ReadClock().seconds; }

ClockReading ReadClock()
{
    {
        std::lock_guard<std::mutex> lock(g_clockMutex);
        if (g_clockSource)
            return {g_clockSource(), 0};
    }
    timespec ts {};
    clock_gettime(CLOCK_REALTIME, &ts);
    const long long now = static_cast<long long>(ts.tv_sec) + 28800;
    // Wraps like the 32-bit value the design carries.
    return {static_cast<int>(static_cast<std::uint32_t>(now)), static_cast<int>(ts.tv_nsec / 1000000)};
}

void SetClockSource(std::function<int()> source)
{
    std::lock_guard<std::mutex> lock(g_clockMutex);
    g_clockSource = std::move(source);
}

} // namespace SystemTime
