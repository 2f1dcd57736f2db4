#pragma once
// The error a failed read or write of an open file raises. Library functions
// that report by result catch it; only CStdioFile and CStdioFileEx let it pass.

#include "platform/Win32Types.h"

#include <stdexcept>
#include <string>

namespace KorrinUtilsFuns {

class CFileException : public std::runtime_error {
public:
    enum Cause { none = 0, generic, fileNotFound, accessDenied, badSeek, hardIO, diskFull, endOfFile };

    CFileException(Cause cause = none, int osError = 0, const std::string &path = std::string());

    Cause m_cause;
    int m_lOsError; // errno of the failed call
    std::string m_strFileName;

    // Sets cause, error and path; used by Open to report why it failed.
    void Set(Cause cause, int osError, const std::string &path);
    static Cause CauseFromErrno(int osError);
};

} // namespace KorrinUtilsFuns
