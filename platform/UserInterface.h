#pragma once
// User-interface services, each behind one function with a test seam.
// Without a backend (no Qt, no seam) a message box writes its text to standard
// error and answers IDOK; file dialogs answer "cancelled".

#include "platform/Win32Types.h"

// Callable from any thread. From a worker the box is shown by the UI thread and
// the caller waits; the UI stays live. Closing the owner window answers the box.
int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type);
