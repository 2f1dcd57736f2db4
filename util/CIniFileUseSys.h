#pragma once
// The program's INI file, read and written through the private-profile functions.

#include "platform/Win32Types.h"

namespace KorrinUtilsFuns {

class CIniFileUseSys {
public:
    // Defaults to the executable's folder and name with "ini" for its extension.
    CIniFileUseSys();
    virtual ~CIniFileUseSys();

    // A name without '/' lies in the executable's folder; ".ini" is added unless
    // the name already ends in it (any letter case). False for a null name.
    bool SetIniFile(LPCWSTR name);
    wstring16 GetIniFile() const;

    int ReadInt(LPCWSTR section, LPCWSTR key, int defaultValue);
    void WriteValue(LPCWSTR section, LPCWSTR key, LPCWSTR value);

    wstring16 m_strIniPath;
};

} // namespace KorrinUtilsFuns

// The program's one INI object (the boss-key settings).
extern KorrinUtilsFuns::CIniFileUseSys g_IniFile;
