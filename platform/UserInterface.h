#pragma once
// User-interface services, each behind one function with a test seam.
// Without a backend (no Qt, no seam) a message box writes its text to standard
// error and answers IDOK; file dialogs answer "cancelled".

#include "platform/Win32Types.h"

#include <functional>
#include <vector>

// Callable from any thread. From a worker the box is shown by the UI thread and
// the caller waits; the UI stays live. Closing the owner window answers the box.
int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type);

// Closes the boxes shown for owner (null: every box) with their dismiss answers,
// also those a worker has asked for that are not on screen yet. For an owner
// that closes while its threads may still be asking.
void DismissMessageBoxes(HWND owner);

// The answer a box gets when it is closed without a choice (its owner went away,
// the program ends): Cancel where the box has one, No for Yes/No, else OK.
int MessageBoxDismissAnswer(UINT type);

using MessageBoxFunction = std::function<int(HWND owner, const wstring16 &text, const wstring16 &caption, UINT type)>;
// Tests install a scripted answerer (called on the calling thread); empty removes
// it. Returns the one it replaces, so a test can put it back.
MessageBoxFunction SetMessageBoxSeam(MessageBoxFunction seam);
// The backend that shows real boxes (the Qt one installs itself).
void SetMessageBoxBackend(MessageBoxFunction backend);
void SetMessageBoxDismissBackend(std::function<void(HWND owner)> dismiss);

// File dialogs as the program asks for them.
constexpr DWORD OFN_READONLY = 0x00000001;
constexpr DWORD OFN_OVERWRITEPROMPT = 0x00000002;
constexpr DWORD OFN_HIDEREADONLY = 0x00000004;
constexpr DWORD OFN_NOCHANGEDIR = 0x00000008;
constexpr DWORD OFN_PATHMUSTEXIST = 0x00000800;
constexpr DWORD OFN_FILEMUSTEXIST = 0x00001000;
constexpr DWORD OFN_CREATEPROMPT = 0x00002000;

struct FileDialogRequest {
    bool save = false;
    HWND owner = nullptr;
    wstring16 defaultExtension; // e.g. "*.bak" or "*.opml,*.xml"
    wstring16 initialName; // e.g. "exeList.bak"; may be empty
    DWORD flags = 0; // OFN_*
    wstring16 filter; // "text|pattern|text|pattern|" (a final extra '|' is allowed)
};

struct FileDialogFilter {
    wstring16 text;
    wstring16 pattern; // one or more patterns separated by ';'
};

// The pairs of a "text|pattern|" filter; an incomplete last pair is dropped.
std::vector<FileDialogFilter> ParseFileDialogFilter(const wstring16 &filter);
// The extensions named by a default-extension text ("*.opml,*.xml" gives "opml"
// and "xml"; "bak" and ".bak" give "bak").
std::vector<wstring16> DefaultExtensions(const wstring16 &defaultExtension);
// Adds an extension to a chosen path whose file name has none: the one of the
// chosen filter's pattern when the default extensions name it, else the first
// default extension.
wstring16 ApplyDefaultExtension(const wstring16 &path, const wstring16 &defaultExtension, const wstring16 &pattern);

using FileDialogFunction = std::function<bool(const FileDialogRequest &request, wstring16 *path)>;
// Shows the dialog; true with the chosen full path when the user pressed OK.
// Callable from any thread (the dialog itself runs on the UI thread).
bool RunFileDialog(const FileDialogRequest &request, wstring16 *path);
void SetFileDialogSeam(FileDialogFunction seam);
void SetFileDialogBackend(FileDialogFunction backend);

// The notification-area icon.
struct HICON__;
using HICON = HICON__ *;

constexpr DWORD NIM_ADD = 0x00000000;
constexpr DWORD NIM_MODIFY = 0x00000001;
constexpr DWORD NIM_DELETE = 0x00000002;
constexpr UINT NIF_MESSAGE = 0x00000001;
constexpr UINT NIF_ICON = 0x00000002;
constexpr UINT NIF_TIP = 0x00000004;

struct NOTIFYICONDATAW {
    DWORD cbSize = 0;
    HWND hWnd = nullptr;
    UINT uID = 0;
    UINT uFlags = 0;
    UINT uCallbackMessage = 0;
    HICON hIcon = nullptr;
    WCHAR szTip[128] = {};
};

// Adds, changes or removes the icon of (hWnd, uID). Mouse actions on it post
// uCallbackMessage to hWnd with uID and the mouse message (WM_LBUTTONUP,
// WM_LBUTTONDBLCLK, WM_RBUTTONUP). FALSE where the desktop has no tray.
BOOL Shell_NotifyIconW(DWORD message, NOTIFYICONDATAW *data);
using NotifyIconFunction = std::function<BOOL(DWORD message, const NOTIFYICONDATAW &data)>;
void SetNotifyIconBackend(NotifyIconFunction backend);
