#pragma once
// Waiting in a bench program: runs the event loop until done() holds or the time
// is up; true when it holds. A real wait: a spinning loop would take a core from
// the pages and panels being measured.

#include <QEventLoop>
#include <QTimer>

#include <functional>

inline bool WaitFor(const std::function<bool()> &done, int milliseconds)
{
    if (done())
        return true;
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    check.start(1);
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
    return done();
}
