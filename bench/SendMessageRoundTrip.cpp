// Round trip of a cross-thread SendMessageW: a worker sends, the owner thread
// runs the handler and the worker gets the answer. Measured into Qt's UI thread
// (the program's case) and into a thread pumping with the plain loop.
// Prints one line per figure, in microseconds.

#include "platform/Window.h"
#include "platform/qt/QtPlatform.h"

#include <QApplication>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

namespace {

constexpr int kWarmup = 2000;
constexpr int kRounds = 20000;

std::vector<double> MeasureSends(HWND window)
{
    using Clock = std::chrono::steady_clock;
    for (int i = 0; i < kWarmup; ++i)
        SendMessageW(window, WM_USER, static_cast<WPARAM>(i), 0);
    std::vector<double> micros;
    micros.reserve(kRounds);
    for (int i = 0; i < kRounds; ++i) {
        const auto start = Clock::now();
        SendMessageW(window, WM_USER, static_cast<WPARAM>(i), 0);
        micros.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
    }
    return micros;
}

void Print(const char *name, std::vector<double> micros)
{
    std::sort(micros.begin(), micros.end());
    auto at = [&](double q) { return micros[static_cast<std::size_t>(q * static_cast<double>(micros.size() - 1))]; };
    std::printf("%s_p50_us %.1f\n", name, at(0.50));
    std::printf("%s_p90_us %.1f\n", name, at(0.90));
    std::printf("%s_p99_us %.1f\n", name, at(0.99));
    std::printf("%s_max_us %.1f\n", name, micros.back());
    std::printf("%s_rounds %zu\n", name, micros.size());
}

LRESULT Echo(HWND, UINT message, WPARAM w, LPARAM) { return message == WM_USER ? static_cast<LRESULT>(w) + 1 : 0; }

} // namespace

int main(int argc, char **argv)
{
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    QtPlatform::Install();

    // Into Qt's UI thread, which sits in its event loop.
    HWND uiWindow = CreateWindowEntry(u"Bench", nullptr, &Echo);
    std::vector<double> qtMicros;
    std::thread worker([&] {
        qtMicros = MeasureSends(uiWindow);
        QMetaObject::invokeMethod(&app, &QCoreApplication::quit, Qt::QueuedConnection);
    });
    app.exec();
    worker.join();
    DestroyWindow(uiWindow);
    Print("send_roundtrip_qt_ui_thread", qtMicros);

    // Into a thread that pumps with the plain loop.
    std::atomic<HWND> plainWindow {nullptr};
    std::atomic<bool> stop {false};
    std::thread owner([&] {
        plainWindow = CreateWindowEntry(u"Bench", nullptr, &Echo);
        PumpMessagesUntil([&] { return stop.load(); }, INFINITE);
        DestroyWindow(plainWindow);
    });
    while (!plainWindow.load())
        std::this_thread::yield();
    const auto plainMicros = MeasureSends(plainWindow);
    stop = true;
    owner.join();
    Print("send_roundtrip_plain_loop", plainMicros);
    return 0;
}
