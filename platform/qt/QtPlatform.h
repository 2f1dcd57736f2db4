#pragma once
// The Qt backend of the window layer. Installed on the UI thread when the
// application object is made (and by Install(), which may be called again
// safely): Qt's event loop, nested ones included, then pumps the UI thread's
// queue, and message boxes, file dialogs, the tray icon, the cursor and hot keys
// go to Qt. When the application object goes away the UI thread's windows are
// released, so no worker stays blocked on them.

#include "platform/Win32Types.h"

#include <QObject>

#include <functional>

class QtPlatform : public QObject {
    Q_OBJECT
public:
    static void Install();
    static bool IsInstalled();
    static bool IsUiThread();

    // Runs work on the UI thread and waits, serving the caller's own window
    // messages meanwhile. work gets a function to call once with its answer
    // (it may answer later, e.g. when a non-blocking dialog closes). Without
    // the backend, or when the program ends first, the answer is fallback.
    static int CallOnUiThread(const std::function<void(std::function<void(int)> answer)> &work, int fallback);

protected:
    bool event(QEvent *event) override;

private:
    QtPlatform();
    ~QtPlatform() override;
    static void Teardown();
    void Pump();
    void ScheduleTimer();

    class Private;
    Private *d;
};
