#include "platform/qt/QtPlatform.h"

#include "platform/Window.h"
#include "platform/WindowBackend.h"
#include "platform/qt/QtFileDialog.h"
#include "platform/qt/QtMessageBox.h"
#include "platform/qt/QtTrayIcon.h"
#include "platform/qt/X11HotKeys.h"

#include <QCoreApplication>
#include <QCursor>
#include <QEvent>
#include <QEventLoop>
#include <QGuiApplication>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

// Referenced by the link options of the GUI library so that every program
// linking it carries the start-up hook below.
extern "C" {
int tessaly_qt_platform_anchor = 0;
}

namespace {

const QEvent::Type kPumpEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

struct PendingCall {
    int answer = 0;
    bool done = false;
};

// Shared with wakers that may run on any thread at any time, even while the
// backend goes away: they post only while the target is alive.
struct Shared {
    std::mutex mutex;
    QtPlatform *instance = nullptr;
    std::atomic<bool> pumpQueued {false};
    std::vector<std::shared_ptr<PendingCall>> pending;
};

Shared &State()
{
    static auto *shared = new Shared;
    return *shared;
}

void Answer(const std::shared_ptr<PendingCall> &call, int answer)
{
    std::lock_guard lock(State().mutex);
    if (!call->done) {
        call->done = true;
        call->answer = answer;
    }
}

void StartupHook() { QtPlatform::Install(); }

} // namespace

Q_COREAPP_STARTUP_FUNCTION(StartupHook)

class QtPlatform::Private {
public:
    QTimer timer;
    int destroyListener = 0;
};

QtPlatform::QtPlatform() : d(new Private)
{
    d->timer.setSingleShot(true);
    d->timer.setTimerType(Qt::PreciseTimer);
    connect(&d->timer, &QTimer::timeout, this, &QtPlatform::Pump);
}

QtPlatform::~QtPlatform() { delete d; }

void QtPlatform::Install()
{
    auto *app = QCoreApplication::instance();
    if (!app || QThread::currentThread() != app->thread())
        return;
    auto &s = State();
    {
        std::lock_guard lock(s.mutex);
        if (s.instance)
            return;
        s.instance = new QtPlatform;
    }
    WindowBackend::SetThreadWaker([] {
        auto &st = State();
        if (st.pumpQueued.exchange(true))
            return; // one pump event at a time is enough
        std::lock_guard lock(st.mutex);
        if (st.instance)
            QCoreApplication::postEvent(st.instance, new QEvent(kPumpEvent), Qt::HighEventPriority);
    });
    WindowBackend::SetThreadLoop([](DWORD ms) {
        QEventLoop loop;
        QTimer::singleShot(static_cast<int>(ms), &loop, &QEventLoop::quit);
        loop.exec();
    });
    WindowBackend::SetCursorPosBackend([](POINT *p) {
        const QPoint pos = QCursor::pos();
        *p = POINT {pos.x(), pos.y()};
        return true;
    });
    QtMessageBox::Install();
    QtFileDialog::Install();
    QtTrayIcon::Install();
    X11HotKeys::Install();
    qAddPostRoutine(&QtPlatform::Teardown);
    // Work queued before the loop existed is pumped once it runs.
    s.pumpQueued = true;
    QCoreApplication::postEvent(s.instance, new QEvent(kPumpEvent), Qt::HighEventPriority);
}

bool QtPlatform::IsInstalled()
{
    std::lock_guard lock(State().mutex);
    return State().instance != nullptr;
}

bool QtPlatform::IsUiThread()
{
    auto *app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

void QtPlatform::Teardown()
{
    auto &s = State();
    QtPlatform *instance = nullptr;
    std::vector<std::shared_ptr<PendingCall>> pending;
    {
        std::lock_guard lock(s.mutex);
        instance = s.instance;
        s.instance = nullptr;
        pending.swap(s.pending);
    }
    if (!instance)
        return;
    X11HotKeys::Uninstall();
    QtTrayIcon::Uninstall();
    QtFileDialog::Uninstall();
    QtMessageBox::Uninstall();
    WindowBackend::SetCursorPosBackend(nullptr);
    WindowBackend::SetThreadWaker(nullptr);
    WindowBackend::SetThreadLoop(nullptr);
    // Nobody pumps this thread for Qt any more: senders must not wait for it.
    WindowBackend::ReleaseThreadWindows();
    for (auto &call : pending)
        Answer(call, call->answer);
    delete instance;
}

bool QtPlatform::event(QEvent *event)
{
    if (event->type() != kPumpEvent)
        return QObject::event(event);
    State().pumpQueued = false;
    Pump();
    return true;
}

void QtPlatform::Pump()
{
    // A worker that is answered usually sends again at once (one call per list
    // cell). Waiting a moment for that next send saves it a whole turn of Qt's
    // loop, a repaint included; the slice stays short so the UI never stalls.
    using Clock = std::chrono::steady_clock;
    constexpr auto kLinger = std::chrono::microseconds(150);
    constexpr auto kSlice = std::chrono::milliseconds(1);
    const auto sliceEnd = Clock::now() + kSlice;
    auto lingerEnd = Clock::now() + kLinger;
    bool workLeft = false;
    for (;;) {
        const auto now = Clock::now();
        if (WindowBackend::PumpMessagesBefore(sliceEnd, workLeft) > 0)
            lingerEnd = now + kLinger;
        else if (now >= lingerEnd)
            break;
        else
            std::this_thread::yield();
        if (Clock::now() >= sliceEnd)
            break;
    }
    // What the slice left runs after Qt's own timers and paints have had a turn.
    if (workLeft && !State().pumpQueued.exchange(true))
        QCoreApplication::postEvent(this, new QEvent(kPumpEvent), Qt::HighEventPriority);
    ScheduleTimer();
}

void QtPlatform::ScheduleTimer()
{
    const DWORD ms = WindowBackend::MillisecondsToNextTimer();
    if (ms == INFINITE)
        d->timer.stop();
    else
        d->timer.start(static_cast<int>(std::min<DWORD>(ms, 0x7FFFFFFF)));
}

int QtPlatform::CallOnUiThread(const std::function<void(std::function<void(int)>)> &work, int fallback)
{
    auto call = std::make_shared<PendingCall>();
    call->answer = fallback;
    auto answer = [call](int value) { Answer(call, value); };
    auto isDone = [call] {
        std::lock_guard lock(State().mutex);
        return call->done;
    };
    auto &s = State();
    if (IsUiThread()) {
        if (!IsInstalled())
            return fallback;
        work(answer);
        // Work that answers later (a non-blocking dialog) is waited for here,
        // in a loop that keeps the program live.
        while (!isDone() && IsInstalled())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        Answer(call, fallback);
        return call->answer;
    }
    {
        std::lock_guard lock(s.mutex);
        if (!s.instance)
            return fallback;
        s.pending.push_back(call);
        QMetaObject::invokeMethod(
            s.instance,
            [call, work, answer] {
                {
                    std::lock_guard lock(State().mutex);
                    if (call->done)
                        return;
                }
                work(answer);
            },
            Qt::QueuedConnection);
    }
    PumpMessagesUntil(isDone, INFINITE);
    {
        std::lock_guard lock(s.mutex);
        std::erase(s.pending, call);
    }
    return call->answer;
}
