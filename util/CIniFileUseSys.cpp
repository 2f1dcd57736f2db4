#include "util/CIniFileUseSys.h"

#include "platform/FileSystem.h"
#include "platform/PrivateProfile.h"
#include "platform/Threading.h"
#include "platform/UserInterface.h"
#include "platform/WideString.h"
#include "util/FileFunctions.h"

#include <vector>

KorrinUtilsFuns::CIniFileUseSys g_IniFile;

namespace KorrinUtilsFuns {

namespace {

// Paths here may be longer than Windows' 260 characters.
constexpr DWORD kPathCapacity = 4096;

bool ExecutablePath(wstring16 &path)
{
    std::vector<char16_t> buffer(kPathCapacity, u'\0');
    const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), kPathCapacity);
    if (length == 0 || length >= kPathCapacity)
        return false;
    path.assign(buffer.data(), length);
    return true;
}

// "Orvane.exe" gives "Orvane.ini"; a program without that extension, as is usual
// here, keeps its whole name and gains ".ini".
wstring16 IniFileName(const wstring16 &exeName)
{
    if (exeName.size() >= 4 && WideString::ToLower(std::u16string_view(exeName).substr(exeName.size() - 4)) == u".exe")
        return exeName.substr(0, exeName.size() - 3) + u"ini";
    return exeName + u".ini";
}

} // namespace

CIniFileUseSys::CIniFileUseSys()
{
    wstring16 exe;
    if (!ExecutablePath(exe)) {
        const wstring16 message =
            u"GetModuleFileName failed (" + WideString::FromInt(static_cast<int>(GetLastError())) + u")";
        MessageBoxW(nullptr, message.c_str(), nullptr, MB_OK);
        return;
    }
    m_strIniPath = GetShortFolder(exe) + IniFileName(GetFileNamePart(exe));
}

CIniFileUseSys::~CIniFileUseSys() = default;

bool CIniFileUseSys::SetIniFile(LPCWSTR name)
{
    if (!name)
        return false;
    const wstring16 trimmed = WideString::Trim(name);
    wstring16 path = trimmed;
    if (path.find(u'/') == wstring16::npos) {
        wstring16 exe;
        path = (ExecutablePath(exe) ? GetShortFolder(exe) : wstring16()) + path;
    }
    // The name itself must be more than the extension: ".ini" alone becomes ".ini.ini".
    if (!(trimmed.size() > 4 &&
            WideString::ToLower(std::u16string_view(trimmed).substr(trimmed.size() - 4)) == u".ini"))
        path += u".ini";
    m_strIniPath = path;
    return true;
}

wstring16 CIniFileUseSys::GetIniFile() const { return m_strIniPath; }

int CIniFileUseSys::ReadInt(LPCWSTR section, LPCWSTR key, int defaultValue)
{
    return static_cast<int>(GetPrivateProfileIntW(section, key, defaultValue, m_strIniPath.c_str()));
}

void CIniFileUseSys::WriteValue(LPCWSTR section, LPCWSTR key, LPCWSTR value)
{
    WritePrivateProfileStringW(section, key, value, m_strIniPath.c_str());
}

} // namespace KorrinUtilsFuns
