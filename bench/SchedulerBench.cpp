// Scheduler figures: idle wake-ups, lateness of one-second records, and the cost
// of AddTask / SetRepeat on a table of 10,000 records.
// TESSALY_BENCH_SECONDS shortens the timed part (default 60).

#include "platform/SystemTime.h"
#include "platform/Threading.h"
#include "platform/Window.h"
#include "tasks/CTaskClass.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

using namespace KorrinControlsEx;

namespace {

constexpr int kTableSize = 10000;
constexpr int kAddIterations = 2000;

long long RealMillis()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

TimedTask *FarRecord(int id)
{
    auto *r = new TimedTask;
    r->id = id;
    r->dueTime = SystemTime::ClockSeconds() + 86400;
    r->interval = 60;
    return r;
}

void FillTable(CTaskClass &scheduler)
{
    for (int i = 0; i < kTableSize; ++i)
        scheduler.AddTask(FarRecord(i));
}

void BM_AddTaskNewId(benchmark::State &state)
{
    CTaskClass scheduler;
    FillTable(scheduler);
    std::vector<TimedTask *> records;
    for (int i = 0; i < kAddIterations; ++i)
        records.push_back(FarRecord(kTableSize + i));
    std::size_t next = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(scheduler.AddTask(records[next++]));
    for (; next < records.size(); ++next)
        delete records[next];
}
BENCHMARK(BM_AddTaskNewId)->Iterations(kAddIterations)->Unit(benchmark::kMicrosecond);

void BM_AddTaskDuplicateRefused(benchmark::State &state)
{
    CTaskClass scheduler;
    FillTable(scheduler);
    std::unique_ptr<TimedTask> duplicate(FarRecord(kTableSize - 1));
    for (auto _ : state)
        benchmark::DoNotOptimize(scheduler.AddTask(duplicate.get()));
}
BENCHMARK(BM_AddTaskDuplicateRefused)->Unit(benchmark::kMicrosecond);

void BM_SetRepeatLastRecord(benchmark::State &state)
{
    CTaskClass scheduler;
    FillTable(scheduler);
    bool repeat = false;
    for (auto _ : state) {
        repeat = !repeat;
        benchmark::DoNotOptimize(scheduler.SetRepeat(kTableSize - 1, repeat));
    }
}
BENCHMARK(BM_SetRepeatLastRecord)->Unit(benchmark::kMicrosecond);

void PrintTimedFigures(int seconds)
{
    // A window that exists is all a run needs; message 0 sends nothing to it.
    HWND window = CreateWindowEntry(u"BenchWindow", nullptr, {});

    CTaskClass empty;
    CTaskClass far;
    far.AddTask(FarRecord(1));
    far.SetRepeat(1, true);

    std::mutex m;
    std::vector<long long> lateness;
    CTaskClass busy;
    constexpr int kRecords = 20;
    for (int i = 0; i < kRecords; ++i) {
        auto *r = new TimedTask;
        r->id = i;
        r->dueTime = SystemTime::ClockSeconds() + 1;
        r->interval = 1;
        r->repeat = true;
        r->window = window;
        r->callback = [&m, &lateness](LPWSTR, TimedTask *record) {
            // The due second starts at (dueTime - 28800) seconds of calendar time.
            const long long dueMs = (static_cast<long long>(record->dueTime) - 28800) * 1000;
            const long long late = RealMillis() - dueMs;
            std::lock_guard<std::mutex> g(m);
            lateness.push_back(late);
            return true;
        };
        busy.AddTask(r);
    }

    std::this_thread::sleep_for(std::chrono::seconds(1));
    const auto emptyBefore = empty.GetWakeCount();
    const auto farBefore = far.GetWakeCount();
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    const double perMinute = 60.0 / seconds;
    const double emptyWakes = static_cast<double>(empty.GetWakeCount() - emptyBefore) * perMinute;
    const double farWakes = static_cast<double>(far.GetWakeCount() - farBefore) * perMinute;
    for (int i = 0; i < kRecords; ++i)
        busy.SetRepeat(i, false);

    std::vector<long long> sorted;
    {
        std::lock_guard<std::mutex> g(m);
        sorted = lateness;
    }
    std::sort(sorted.begin(), sorted.end());
    auto at = [&sorted](double q) {
        if (sorted.empty())
            return -1LL;
        const auto i = static_cast<std::size_t>(q * static_cast<double>(sorted.size() - 1));
        return sorted[i];
    };
    std::printf("idle wake-ups per minute, empty table: %.1f\n", emptyWakes);
    std::printf("idle wake-ups per minute, one record a day ahead: %.1f\n", farWakes);
    std::printf("runs of %d one-second records over %d s: %zu\n", kRecords, seconds, sorted.size());
    std::printf("start lateness after the due second, ms: p50 %lld p99 %lld max %lld\n", at(0.5), at(0.99),
        sorted.empty() ? -1LL : sorted.back());
    std::fflush(stdout);
    DestroyWindow(window);
}

} // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    int seconds = 60;
    if (const char *s = std::getenv("TESSALY_BENCH_SECONDS"))
        seconds = std::max(1, std::atoi(s));
    PrintTimedFigures(seconds);
    return 0;
}
