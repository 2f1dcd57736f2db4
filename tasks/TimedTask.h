#pragma once
// One record of a CTaskClass scheduler. The creator allocates it with new; once
// AddTask accepts it the scheduler owns it and deletes it after its last run
// (or at the scheduler's end). A refused record stays with its creator.

#include "platform/Win32Types.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <iterator>
#include <string_view>

namespace KorrinControlsEx {

class CTaskClass;
struct TimedTask;

// The work of one run; gets the record's text and the record.
using TimedTaskCallback = std::function<bool(LPWSTR text, TimedTask *record)>;

struct TimedTask {
    TimedTask() = default;
    // text points into the record's own buffer, so a copy would point into the original.
    TimedTask(const TimedTask &) = delete;
    TimedTask &operator=(const TimedTask &) = delete;

    // Copies at most 31 units and always terminates.
    void SetText(std::u16string_view value)
    {
        const std::size_t n = std::min(value.size(), std::size(textBuffer) - 1);
        std::copy_n(value.data(), n, textBuffer);
        std::fill(textBuffer + n, std::end(textBuffer), u'\0');
        text = textBuffer;
    }

    std::uint32_t message = 0; // sent to window after each run; 0 sends none
    int dueTime = 0; // scheduler clock seconds
    int interval = 0; // seconds from the end of a run to the next due time
    int id = 0; // unique within one scheduler
    bool running = false;
    bool removeAfterRun = false;
    bool counted = false; // taken out of the pending count by a run
    LPWSTR text = textBuffer; // callback argument and the message's WPARAM
    HWND window = nullptr; // without a window the callback never runs
    TimedTaskCallback callback;
    // Latest run thread. Informational only: the thread registry closes it once
    // the thread has ended, so it must not be waited on.
    HANDLE thread = nullptr;
    WCHAR textBuffer[32] = {};
    CTaskClass *owner = nullptr; // scheduler of the latest run
    bool repeat = false;
    int runStart = 0; // scheduler clock at the latest run's start
    bool cancelled = false; // set at shutdown; a run that starts afterwards does nothing
};

} // namespace KorrinControlsEx
