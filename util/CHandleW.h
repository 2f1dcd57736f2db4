#pragma once
// One registered thread handle. The registry that removes an entry closes the
// handle first; this object never closes it.

#include "platform/Win32Types.h"

namespace KorrinControlsEx {

class CHandleW {
public:
    CHandleW() = default;
    explicit CHandleW(HANDLE value) : handle(value) { }
    virtual ~CHandleW();
    CHandleW(const CHandleW &) = delete;
    CHandleW &operator=(const CHandleW &) = delete;

    // Run-time class name, kept for code that asks an object what it is.
    static constexpr const char *ClassName() { return "CHandleW"; }

    HANDLE handle = nullptr;
};

} // namespace KorrinControlsEx
