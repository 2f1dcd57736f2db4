#pragma once
// Conversions between the program's wide texts and multi-byte text in a code
// page (-1: the active one). They never raise; failure answers 0.

#include "platform/Win32Types.h"

namespace KorrinUtilsFuns {

// Converts the NUL-terminated source into target (zeroed first, at most
// capacity characters with the terminator). Returns the characters written
// without the terminator; 0 when it does not fit.
int MultiByteToUnicode(LPCSTR source, LPWSTR target, int capacity, int codePage);

// Converts the NUL-terminated source into target (zeroed first, at most
// capacity bytes with the terminator); outside 65001 what the code page cannot
// hold becomes "#". Returns the bytes written without the terminator.
int UnicodeToMultiByte(LPCWSTR source, LPSTR target, int capacity, int codePage);

// Bytes the converted source needs, terminator included; 0 on failure.
int GetMultiByteLength(LPCWSTR source, int codePage);

} // namespace KorrinUtilsFuns
