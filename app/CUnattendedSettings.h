#pragma once
// The "基础功能" settings for leaving the program running: restoring the last
// tasks at every start (in Orvane.ini, off unless the user turns it on), the
// desktop's autostart entry, and the run record window.

#include "platform/Win32Types.h"

class QWidget;

class CUnattendedSettings {
public:
    static constexpr char16_t kSection[] = u"MAIN";
    static constexpr char16_t kRestoreKey[] = u"RestoreOnStart";

    static bool RestoreOnStart();
    static void SetRestoreOnStart(bool on);
    static bool AutostartOn();
    // Writes or removes the entry; a failure is told to the user.
    static bool SetAutostart(HWND owner, bool on);
    static void ShowRunRecord(QWidget *frame);
    // Where the kept tabs are saved.
    static wstring16 StatePath();
};
