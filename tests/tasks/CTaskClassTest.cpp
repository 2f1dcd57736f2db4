#include "tasks/CTaskClass.h"
#include "platform/SystemTime.h"
#include "platform/Threading.h"
#include "platform/Window.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <climits>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

using namespace KorrinControlsEx;
using namespace std::chrono_literals;

namespace {

using SteadyClock = std::chrono::steady_clock;

constexpr UINT kNotify = 21024;
constexpr int kNoSuchId = 0x7ffffff0;

bool WaitUntil(const std::function<bool()> &done, std::chrono::milliseconds limit = 10s)
{
    const auto end = SteadyClock::now() + limit;
    while (!done()) {
        if (SteadyClock::now() > end)
            return done();
        std::this_thread::sleep_for(2ms);
    }
    return true;
}

// Replaces the scheduler clock for the life of the object; create it before the
// scheduler and let it go after.
class FakeClock {
public:
    explicit FakeClock(int start)
    {
        s_now = start;
        SystemTime::SetClockSource([] { return s_now.load(); });
    }
    ~FakeClock() { SystemTime::SetClockSource({}); }
    void Set(int t) { s_now = t; }

private:
    static inline std::atomic<int> s_now {0};
};

int AddSeconds(int t, int s) { return static_cast<int>(static_cast<std::uint32_t>(t) + static_cast<std::uint32_t>(s)); }

// Any call that changes or looks up the table wakes the loop, so it reads the clock again.
void Nudge(CTaskClass &scheduler) { scheduler.SetRepeat(kNoSuchId, false); }

// A window owned by a thread of its own, as the panel's window is owned by the UI
// thread. With pumping off, sends to it stay queued until it is destroyed.
class OwnedWindow {
public:
    explicit OwnedWindow(WindowHandler handler = {}, bool pump = true)
    {
        std::promise<HWND> created;
        auto ready = created.get_future();
        m_thread = std::thread([this, handler, pump, &created] {
            HWND hwnd = CreateWindowEntry(u"TessalyTestWindow", nullptr, handler);
            created.set_value(hwnd);
            while (!m_destroy.load()) {
                if (pump)
                    PumpMessagesUntil([this] { return m_destroy.load(); }, 20);
                else
                    Sleep(5);
            }
            DestroyWindow(hwnd);
        });
        m_hwnd = ready.get();
    }
    ~OwnedWindow() { Destroy(); }
    HWND Handle() const { return m_hwnd; }
    void Destroy()
    {
        m_destroy = true;
        if (m_thread.joinable())
            m_thread.join();
    }

private:
    std::atomic<bool> m_destroy {false};
    std::thread m_thread;
    HWND m_hwnd = nullptr;
};

// Shared by a record's callback and the test; the record holds a reference, so
// its expiry shows the record was freed.
struct Probe {
    std::atomic<int> runs {0};
};

TimedTask *MakeRecord(int id, int due, HWND window, std::shared_ptr<Probe> probe,
    std::function<void(TimedTask *)> work = {}, bool repeat = false, int interval = 0, UINT message = 0)
{
    auto *r = new TimedTask;
    r->id = id;
    r->dueTime = due;
    r->window = window;
    r->repeat = repeat;
    r->interval = interval;
    r->message = message;
    const std::string digits = std::to_string(id);
    r->SetText(std::u16string(digits.begin(), digits.end()));
    r->callback = [probe, work](LPWSTR, TimedTask *record) {
        probe->runs.fetch_add(1);
        if (work)
            work(record);
        return true;
    };
    return r;
}

} // namespace

TEST(CTaskClass, RefusesNullAndDuplicateIdsAndLeavesTheTableAlone)
{
    FakeClock clock(1000);
    OwnedWindow window;
    CTaskClass scheduler;
    auto kept = std::make_shared<Probe>();
    auto refused = std::make_shared<Probe>();
    ASSERT_TRUE(scheduler.AddTask(MakeRecord(5, 1010, window.Handle(), kept)));
    EXPECT_FALSE(scheduler.AddTask(nullptr));
    TimedTask *duplicate = MakeRecord(5, 1000, window.Handle(), refused);
    EXPECT_FALSE(scheduler.AddTask(duplicate));
    EXPECT_EQ(scheduler.GetCount(), 1);
    EXPECT_EQ(scheduler.GetPending(), 1);

    // The refused record, though due, is not in the table; the kept one runs when due.
    Nudge(scheduler);
    std::this_thread::sleep_for(150ms);
    EXPECT_EQ(refused->runs.load(), 0);
    EXPECT_EQ(kept->runs.load(), 0);
    clock.Set(1010);
    Nudge(scheduler);
    ASSERT_TRUE(WaitUntil([&] { return !scheduler.HasTask(5); }));
    EXPECT_EQ(kept->runs.load(), 1);
    EXPECT_EQ(refused->runs.load(), 0);
    EXPECT_EQ(scheduler.GetCount(), 0);
    EXPECT_EQ(scheduler.GetPending(), 0);
    delete duplicate;
    EXPECT_FALSE(scheduler.SetRepeat(5, true));
    EXPECT_FALSE(scheduler.TaskDone(5));
}

TEST(CTaskClass, ARecordWithoutWindowIsCountedButItsCallbackNeverRuns)
{
    FakeClock clock(500);
    CTaskClass scheduler;
    auto probe = std::make_shared<Probe>();
    ASSERT_TRUE(scheduler.AddTask(MakeRecord(1, 500, nullptr, probe, {}, true, 0)));
    ASSERT_TRUE(WaitUntil([&] { return scheduler.GetPending() == 0; }));
    std::this_thread::sleep_for(150ms);
    EXPECT_EQ(probe->runs.load(), 0);
    EXPECT_EQ(scheduler.GetCount(), 1);
}

TEST(CTaskClass, ARepeatingRecordIsDueIntervalSecondsAfterItsRunEnded)
{
    // Real clock: one-second interval, three-second runs, so a start about every four seconds.
    OwnedWindow window;
    std::mutex m;
    std::vector<SteadyClock::time_point> starts, ends;
    auto probe = std::make_shared<Probe>();
    CTaskClass scheduler;
    auto work = [&](TimedTask *) {
        const auto start = SteadyClock::now();
        std::size_t n;
        {
            std::lock_guard<std::mutex> g(m);
            starts.push_back(start);
            n = starts.size();
        }
        if (n <= 2)
            std::this_thread::sleep_for(3s);
        std::lock_guard<std::mutex> g(m);
        ends.push_back(SteadyClock::now());
    };
    ASSERT_TRUE(scheduler.AddTask(MakeRecord(-1, SystemTime::ClockSeconds(), window.Handle(), probe, work, true, 1)));
    // The probe counts a run before its work has begun: wait for what the work wrote.
    ASSERT_TRUE(WaitUntil(
        [&] {
            std::lock_guard<std::mutex> g(m);
            return starts.size() >= 2 && !ends.empty();
        },
        15s));
    scheduler.SetRepeat(-1, false);
    std::lock_guard<std::mutex> g(m);
    const auto gap = std::chrono::duration_cast<std::chrono::milliseconds>(starts[1] - starts[0]).count();
    const auto idle = std::chrono::duration_cast<std::chrono::milliseconds>(starts[1] - ends[0]).count();
    EXPECT_GE(gap, 3000);
    EXPECT_LE(gap, 5500);
    // Due one clock second after the end: the next start comes within that second.
    EXPECT_GE(idle, 0);
    EXPECT_LE(idle, 2000);
}

TEST(CTaskClass, ARecordStartsWhenTheClockTurnsToItsDueTime)
{
    // Real clock. Added late in a second, due at the next: a wait of whole
    // seconds from the moment of adding would start it most of a second late.
    OwnedWindow window;
    auto probe = std::make_shared<Probe>();
    std::atomic<int> startSecond {0};
    std::atomic<int> startMillisecond {-1};
    CTaskClass scheduler;
    auto work = [&](TimedTask *) {
        const SystemTime::ClockReading at = SystemTime::ReadClock();
        startSecond = at.seconds;
        startMillisecond = at.millisecond;
    };
    ASSERT_TRUE(WaitUntil([] { return SystemTime::ReadClock().millisecond >= 600; }, 3s));
    const int due = AddSeconds(SystemTime::ReadClock().seconds, 1);
    ASSERT_TRUE(scheduler.AddTask(MakeRecord(1, due, window.Handle(), probe, work)));
    ASSERT_TRUE(WaitUntil([&] { return startMillisecond.load() >= 0; }, 5s));
    EXPECT_EQ(startSecond.load(), due);
    EXPECT_LT(startMillisecond.load(), 400);
}
TEST(CTaskClass, TheIntervalCountsFromTheEndOfTheRunNotItsStart)
{
    FakeClock clock(6000);
    OwnedWindow window;
    CTaskClass scheduler;
    auto probe = std::make_shared<Probe>();
    // The run takes three clock seconds.
    auto work = [&](TimedTask *) { clock.Set(6003); };
    ASSERT_TRUE(scheduler.AddTask(MakeRecord(3, 6000, window.Handle(), probe, work, true, 1)));
    ASSERT_TRUE(WaitUntil([&] { return probe->runs.load() == 1 && scheduler.GetPending() == 1; }));
    Nudge(scheduler);
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(probe->runs.load(), 1);
    clock.Set(6004);
    Nudge(scheduler);
    ASSERT_TRUE(WaitUntil([&] { return probe->runs.load() == 2; }));
}

TEST(CTaskClass, SetRepeatFalseGivesExactlyOneMoreRunThenFreesTheRecord)
{
    FakeClock clock(2000);
    OwnedWindow window;
    CTaskClass scheduler;
    auto probe = std::make_shared<Probe>();
    std::weak_ptr<Probe> held = probe;
    ASSERT_TRUE(scheduler.AddTask(MakeRecord(7, 2000, window.Handle(), probe, {}, true, 10)));
    probe.reset();
    ASSERT_TRUE(WaitUntil([&] { return held.lock()->runs.load() == 1 && scheduler.GetPending() == 1; }));
    EXPECT_TRUE(scheduler.SetRepeat(7, false));
    std::this_thread::sleep_for(150ms);
    EXPECT_EQ(held.lock()->runs.load(), 1);

    clock.Set(2010);
    Nudge(scheduler);
    ASSERT_TRUE(WaitUntil([&] { return !scheduler.HasTask(7); }));
    EXPECT_TRUE(held.expired());
    EXPECT_EQ(scheduler.GetCount(), 0);
    EXPECT_EQ(scheduler.GetPending(), 0);
}

TEST(CTaskClass, ARunEndsTheSameWayWhetherItsCallbackReturnsOrThrows)
{
    for (const bool throws : {false, true}) {
        SCOPED_TRACE(throws ? "throws" : "returns");
        FakeClock clock(3000);
        struct Seen {
            std::u16string text;
            LPARAM record;
        };
        std::mutex m;
        std::vector<Seen> seen;
        OwnedWindow window([&](HWND, UINT msg, WPARAM w, LPARAM l) -> LRESULT {
            if (msg == kNotify) {
                std::lock_guard<std::mutex> g(m);
                seen.push_back({reinterpret_cast<LPCWSTR>(w), l});
            }
            return 1;
        });
        CTaskClass scheduler;
        auto probe = std::make_shared<Probe>();
        std::weak_ptr<Probe> held = probe;
        std::atomic<LPARAM> address {0};
        auto work = [&, throws](TimedTask *r) {
            address = reinterpret_cast<LPARAM>(r);
            if (throws)
                throw std::runtime_error("callback failed");
        };
        ASSERT_TRUE(scheduler.AddTask(MakeRecord(42, 3000, window.Handle(), probe, work, true, 5, kNotify)));
        probe.reset();
        ASSERT_TRUE(WaitUntil([&] { return scheduler.GetPending() == 1 && held.lock()->runs.load() == 1; }));
        clock.Set(3005);
        Nudge(scheduler);
        ASSERT_TRUE(WaitUntil([&] { return scheduler.GetPending() == 1 && held.lock()->runs.load() == 2; }));
        scheduler.SetRepeat(42, false);
        clock.Set(3010);
        Nudge(scheduler);
        ASSERT_TRUE(WaitUntil([&] { return held.expired(); }));
        EXPECT_FALSE(scheduler.HasTask(42));
        std::lock_guard<std::mutex> g(m);
        ASSERT_EQ(seen.size(), 3u);
        for (const Seen &s : seen) {
            EXPECT_EQ(s.text, u"42");
            EXPECT_EQ(s.record, address.load());
        }
    }
}

TEST(CTaskClass, TheSameRecordNeverRunsTwiceAtOnceWhileOthersRunBesideIt)
{
    OwnedWindow window;
    CTaskClass scheduler;
    constexpr int kRecords = 3;
    constexpr int kRuns = 200;
    std::atomic<bool> inProgress[kRecords] = {};
    std::atomic<int> overlaps {0};
    std::vector<std::shared_ptr<Probe>> probes;
    for (int i = 0; i < kRecords; ++i) {
        probes.push_back(std::make_shared<Probe>());
        auto work = [&, i](TimedTask *) {
            if (inProgress[i].exchange(true))
                overlaps.fetch_add(1);
            std::this_thread::sleep_for(1ms);
            inProgress[i] = false;
        };
        // Interval 0: due again the moment a run ends.
        ASSERT_TRUE(
            scheduler.AddTask(MakeRecord(i, SystemTime::ClockSeconds(), window.Handle(), probes[i], work, true, 0)));
    }
    ASSERT_TRUE(WaitUntil(
        [&] {
            for (auto &p : probes)
                if (p->runs.load() < kRuns)
                    return false;
            return true;
        },
        60s));
    EXPECT_EQ(overlaps.load(), 0);
}

TEST(CTaskClass, DifferentRecordsRunSideBySide)
{
    OwnedWindow window;
    CTaskClass scheduler;
    std::atomic<int> inside {0};
    std::atomic<int> metTheOther {0};
    auto work = [&](TimedTask *) {
        inside.fetch_add(1);
        if (WaitUntil([&] { return inside.load() == 2; }, 5s))
            metTheOther.fetch_add(1);
    };
    const int now = SystemTime::ClockSeconds();
    ASSERT_TRUE(scheduler.AddTask(MakeRecord(1, now, window.Handle(), std::make_shared<Probe>(), work)));
    ASSERT_TRUE(scheduler.AddTask(MakeRecord(2, now, window.Handle(), std::make_shared<Probe>(), work)));
    ASSERT_TRUE(WaitUntil([&] { return scheduler.GetCount() == 0; }, 15s));
    EXPECT_EQ(metTheOther.load(), 2);
}

TEST(CTaskClass, TwoHundredRecordsDueAtOnceAllRunOnceAndAreFreed)
{
    FakeClock clock(3999);
    OwnedWindow window;
    CTaskClass scheduler;
    auto probe = std::make_shared<Probe>();
    std::weak_ptr<Probe> held = probe;
    for (int i = 0; i < 200; ++i)
        ASSERT_TRUE(scheduler.AddTask(MakeRecord(i, 4000 + i % 3, window.Handle(), probe)));
    EXPECT_EQ(scheduler.GetCount(), 200);
    EXPECT_EQ(scheduler.GetPending(), 200);
    clock.Set(4002);
    Nudge(scheduler);
    ASSERT_TRUE(WaitUntil([&] { return scheduler.GetCount() == 0; }, 30s));
    EXPECT_EQ(probe->runs.load(), 200);
    EXPECT_EQ(scheduler.GetPending(), 0);
    probe.reset();
    EXPECT_TRUE(held.expired());
}

TEST(CTaskClass, DueTimesAcrossTheClockWrapAndFarAhead)
{
    struct Case {
        const char *name;
        int start;
        int offset;
    };
    const Case cases[] = {
        {"wraps past the largest clock value", INT_MAX - 1, 3},
        {"seconds times 1000 exceeds 32 bits", 100000, 3000000},
        {"one second ahead", 5000, 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        FakeClock clock(c.start);
        OwnedWindow window;
        CTaskClass scheduler;
        auto probe = std::make_shared<Probe>();
        const int due = AddSeconds(c.start, c.offset);
        ASSERT_TRUE(scheduler.AddTask(MakeRecord(9, due, window.Handle(), probe, {}, true, c.offset)));
        clock.Set(AddSeconds(due, -1));
        Nudge(scheduler);
        std::this_thread::sleep_for(100ms);
        EXPECT_EQ(probe->runs.load(), 0);
        clock.Set(due);
        Nudge(scheduler);
        ASSERT_TRUE(WaitUntil([&] { return probe->runs.load() == 1 && scheduler.GetPending() == 1; }));
        // The next due time is counted from the end of the run, across the wrap too.
        const int next = AddSeconds(due, c.offset);
        clock.Set(AddSeconds(next, -1));
        Nudge(scheduler);
        std::this_thread::sleep_for(100ms);
        EXPECT_EQ(probe->runs.load(), 1);
        clock.Set(next);
        Nudge(scheduler);
        ASSERT_TRUE(WaitUntil([&] { return probe->runs.load() == 2; }));
    }
}

TEST(CTaskClass, ACallbackMayChangeItsOwnScheduler)
{
    OwnedWindow window;
    CTaskClass scheduler;
    auto second = std::make_shared<Probe>();
    HWND hwnd = window.Handle();
    auto work = [&](TimedTask *r) {
        r->owner->SetRepeat(r->id, false);
        r->owner->AddTask(MakeRecord(2, SystemTime::ClockSeconds(), hwnd, second));
    };
    ASSERT_TRUE(
        scheduler.AddTask(MakeRecord(1, SystemTime::ClockSeconds(), hwnd, std::make_shared<Probe>(), work, true, 0)));
    ASSERT_TRUE(WaitUntil([&] { return second->runs.load() == 1 && scheduler.GetCount() == 0; }));
}

TEST(CTaskClass, DestructionWaitsForRunningCallbacksAndFreesEveryRecord)
{
    OwnedWindow window;
    auto scheduler = std::make_unique<CTaskClass>();
    std::atomic<int> started {0};
    std::atomic<int> finished {0};
    auto probe = std::make_shared<Probe>();
    std::weak_ptr<Probe> held = probe;
    auto slow = [&](TimedTask *) {
        started.fetch_add(1);
        std::this_thread::sleep_for(300ms);
        finished.fetch_add(1);
    };
    const int now = SystemTime::ClockSeconds();
    for (int i = 0; i < 5; ++i)
        ASSERT_TRUE(scheduler->AddTask(MakeRecord(i, now, window.Handle(), probe, slow, i == 0, 0, kNotify)));
    for (int i = 5; i < 8; ++i)
        ASSERT_TRUE(scheduler->AddTask(MakeRecord(i, now + 3600, window.Handle(), probe)));
    probe.reset();
    ASSERT_TRUE(WaitUntil([&] { return started.load() == 5; }));
    scheduler.reset();
    EXPECT_EQ(finished.load(), started.load());
    EXPECT_TRUE(held.expired());
}

TEST(CTaskClass, DestructionReleasesARunBlockedOnAWindowThatGoesAway)
{
    std::atomic<int> handled {0};
    OwnedWindow window(
        [&](HWND, UINT msg, WPARAM, LPARAM) -> LRESULT {
            if (msg == kNotify)
                handled.fetch_add(1);
            return 1;
        },
        false);
    auto scheduler = std::make_unique<CTaskClass>();
    auto probe = std::make_shared<Probe>();
    std::weak_ptr<Probe> held = probe;
    ASSERT_TRUE(
        scheduler->AddTask(MakeRecord(-1, SystemTime::ClockSeconds(), window.Handle(), probe, {}, true, 1, kNotify)));
    probe.reset();
    ASSERT_TRUE(WaitUntil([&] { return held.lock()->runs.load() == 1; }));
    std::this_thread::sleep_for(100ms); // into the send, which nobody answers

    std::atomic<bool> destroyed {false};
    std::thread destroyer([&] {
        scheduler.reset();
        destroyed = true;
    });
    std::this_thread::sleep_for(300ms);
    EXPECT_FALSE(destroyed.load()) << "returned while a run thread could still touch the record";
    window.Destroy();
    EXPECT_TRUE(WaitUntil([&] { return destroyed.load(); }, 10s));
    destroyer.join();
    EXPECT_EQ(handled.load(), 0);
    EXPECT_TRUE(held.expired());
}

TEST(CTaskClass, RecordsAddedAfterShutdownNeverRunAndAreFreed)
{
    OwnedWindow window;
    auto probe = std::make_shared<Probe>();
    std::weak_ptr<Probe> held = probe;
    {
        CTaskClass scheduler;
        scheduler.Shutdown();
        ASSERT_TRUE(scheduler.AddTask(MakeRecord(1, SystemTime::ClockSeconds(), window.Handle(), probe)));
        std::this_thread::sleep_for(150ms);
        scheduler.Shutdown();
    }
    EXPECT_EQ(probe->runs.load(), 0);
    probe.reset();
    EXPECT_TRUE(held.expired());
}

TEST(CTaskClass, TheLoopSleepsUntilTheTableChanges)
{
    CTaskClass scheduler;
    ASSERT_TRUE(WaitUntil([&] { return scheduler.GetWakeCount() == 0; }));
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(scheduler.GetWakeCount(), 0u);
    ASSERT_TRUE(
        scheduler.AddTask(MakeRecord(1, SystemTime::ClockSeconds() + 3600, nullptr, std::make_shared<Probe>())));
    ASSERT_TRUE(WaitUntil([&] { return scheduler.GetWakeCount() == 1; }));
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(scheduler.GetWakeCount(), 1u);
}
