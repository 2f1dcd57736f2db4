#pragma once
// The boss key: a system-wide hot key that hides or shows the main window. Its
// combination lives in "Orvane.ini" in the program's folder, section "MAIN", as
// the hot-key control reports it ("HotkeyVK", "HotkeySystem").

#include "platform/Win32Types.h"

class CBossKey {
public:
    static constexpr int kHotKeyId = 200;

    // Hot-key control modifier flags.
    static constexpr WORD HOTKEYF_SHIFT = 0x01;
    static constexpr WORD HOTKEYF_CONTROL = 0x02;
    static constexpr WORD HOTKEYF_ALT = 0x04;
    static constexpr WORD HOTKEYF_EXT = 0x08;

    // Points g_IniFile at the boss-key file. On the first run creates it holding
    // only "[MAIN]" and registers nothing. Otherwise, with both values 0, takes
    // the stored combination, and registers it on frame under kHotKeyId (a key
    // already registered there is replaced). False when nothing got registered.
    static bool RegisterBossKey(WORD modifiers, WORD virtualKey, HWND frame);

    // Alt, Ctrl and Shift of the control's flags as MOD_ALT, MOD_CONTROL and
    // MOD_SHIFT; the extended-key flag and every other bit are dropped.
    static UINT ToHotKeyModifiers(WORD flags);

    // The stored combination (0 for what is missing).
    static void ReadStored(WORD *virtualKey, WORD *flags);
    static void Store(WORD virtualKey, WORD flags);
};
