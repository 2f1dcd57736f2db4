#include "util/CFileException.h"

#include <cerrno>
#include <cstring>

namespace KorrinUtilsFuns {

namespace {

std::string Describe(CFileException::Cause cause, int osError, const std::string &path)
{
    std::string text = "file error";
    if (cause != CFileException::none && osError)
        text += std::string(": ") + std::strerror(osError);
    if (!path.empty())
        text += " (" + path + ")";
    return text;
}

} // namespace

CFileException::CFileException(Cause cause, int osError, const std::string &path)
    : std::runtime_error(Describe(cause, osError, path)), m_cause(cause), m_lOsError(osError), m_strFileName(path)
{
}

void CFileException::Set(Cause cause, int osError, const std::string &path)
{
    *this = CFileException(cause, osError, path);
}

CFileException::Cause CFileException::CauseFromErrno(int osError)
{
    switch (osError) {
    case 0:
        return none;
    case ENOENT:
    case ENOTDIR:
        return fileNotFound;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
        return accessDenied;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        return diskFull;
    case ESPIPE:
    case EOVERFLOW:
        return badSeek;
    case EIO:
        return hardIO;
    default:
        return generic;
    }
}

} // namespace KorrinUtilsFuns
