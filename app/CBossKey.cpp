#include "app/CBossKey.h"

#include "app/CVellumApp.h"
#include "platform/Window.h"
#include "util/CIniFileUseSys.h"
#include "util/FileFunctions.h"

#include <string>

namespace {

constexpr char16_t kIniName[] = u"Orvane.ini";
constexpr char16_t kSection[] = u"MAIN";
constexpr char16_t kKeyVk[] = u"HotkeyVK";
constexpr char16_t kKeyFlags[] = u"HotkeySystem";

// Beside the program's other files; a test without them keeps it beside the executable.
void UseBossKeyFile() { g_IniFile.SetIniFile((g_strAppDir + kIniName).c_str()); }

wstring16 Decimal(int value)
{
    const std::string text = std::to_string(value);
    return wstring16(text.begin(), text.end());
}

} // namespace

UINT CBossKey::ToHotKeyModifiers(WORD flags)
{
    UINT modifiers = 0;
    if (flags & HOTKEYF_ALT)
        modifiers |= MOD_ALT;
    if (flags & HOTKEYF_CONTROL)
        modifiers |= MOD_CONTROL;
    if (flags & HOTKEYF_SHIFT)
        modifiers |= MOD_SHIFT;
    return modifiers;
}

void CBossKey::ReadStored(WORD *virtualKey, WORD *flags)
{
    UseBossKeyFile();
    if (virtualKey)
        *virtualKey = static_cast<WORD>(g_IniFile.ReadInt(kSection, kKeyVk, 0));
    if (flags)
        *flags = static_cast<WORD>(g_IniFile.ReadInt(kSection, kKeyFlags, 0));
}

void CBossKey::Store(WORD virtualKey, WORD flags)
{
    UseBossKeyFile();
    g_IniFile.WriteValue(kSection, kKeyVk, Decimal(virtualKey).c_str());
    g_IniFile.WriteValue(kSection, kKeyFlags, Decimal(flags).c_str());
}

bool CBossKey::RegisterBossKey(WORD modifiers, WORD virtualKey, HWND frame)
{
    UseBossKeyFile();
    const wstring16 path = g_IniFile.GetIniFile();
    if (!KorrinUtilsFuns::FileExists(path)) {
        KorrinUtilsFuns::WriteTextFile(path, u"[MAIN]", true, false);
        return false;
    }
    if (modifiers == 0 && virtualKey == 0)
        ReadStored(&virtualKey, &modifiers);
    return RegisterHotKey(frame, kHotKeyId, ToHotKeyModifiers(modifiers), virtualKey) != FALSE;
}
