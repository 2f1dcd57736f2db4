#include "app/CUnattendedSettings.h"

#include "app/AutostartEntry.h"
#include "app/CVellumApp.h"
#include "platform/FileSystem.h"
#include "platform/UserInterface.h"
#include "platform/WideString.h"
#include "tasks/CRunRecordDlg.h"
#include "util/CIniFileUseSys.h"

#include <QWidget>

#include <vector>

namespace {

void UseIniFile() { g_IniFile.SetIniFile((g_strAppDir + u"Orvane.ini").c_str()); }

} // namespace

bool CUnattendedSettings::RestoreOnStart()
{
    UseIniFile();
    return g_IniFile.ReadInt(kSection, kRestoreKey, 0) != 0;
}

void CUnattendedSettings::SetRestoreOnStart(bool on)
{
    UseIniFile();
    g_IniFile.WriteValue(kSection, kRestoreKey, on ? u"1" : u"0");
}

bool CUnattendedSettings::AutostartOn() { return AutostartEntry::Exists(); }

bool CUnattendedSettings::SetAutostart(HWND owner, bool on)
{
    const std::string path = AutostartEntry::Path();
    bool done = false;
    if (on) {
        std::vector<WCHAR> buffer(4096, 0);
        const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        const std::string program = length > 0 && length < buffer.size()
            ? WideString::ToUtf8(std::u16string_view(buffer.data(), length))
            : std::string("tessaly");
        done = AutostartEntry::Write(program);
    } else {
        done = AutostartEntry::Remove();
    }
    if (!done) {
        const wstring16 text = (on ? u"无法写入开机自动运行项：" : u"无法删除开机自动运行项：") +
            (path.empty() ? wstring16(u"$XDG_CONFIG_HOME/autostart/tessaly.desktop") : WideString::FromUtf8(path));
        MessageBoxW(owner, text.c_str(), u"Tessaly", MB_OK | MB_ICONWARNING);
    }
    return done;
}

void CUnattendedSettings::ShowRunRecord(QWidget *frame)
{
    auto *dialog = frame ? frame->findChild<CRunRecordDlg *>() : nullptr;
    if (!dialog)
        dialog = new CRunRecordDlg(frame);
    dialog->ShowTool();
}

wstring16 CUnattendedSettings::StatePath() { return g_strConfigDir + u"TabState.dat"; }
