#include "util/CStdioFile.h"

#include "platform/WideString.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace KorrinUtilsFuns {

CStdioFile::~CStdioFile() { Abort(); }

bool CStdioFile::Open(const wstring16 &path, UINT flags, CFileException *error)
{
    Abort();
    const std::string native = WideString::ToUtf8(path);
    int access = O_RDONLY;
    const char *mode = "r";
    if ((flags & 3) == modeWrite) {
        access = O_WRONLY;
        mode = "w";
    } else if ((flags & 3) == modeReadWrite) {
        access = O_RDWR;
        mode = "r+";
    }
    if (flags & modeCreate)
        access |= O_CREAT | ((flags & modeNoTruncate) ? 0 : O_TRUNC);
    const int fd = native.empty() || native.find('\0') != std::string::npos
        ? (errno = ENOENT, -1)
        : open(native.c_str(), access | O_CLOEXEC, 0666);
    if (fd < 0) {
        if (error)
            error->Set(CFileException::CauseFromErrno(errno), errno, native);
        return false;
    }
    // A folder is not a file, whatever the system lets us open.
    struct stat info;
    if (fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
        close(fd);
        if (error)
            error->Set(CFileException::accessDenied, EISDIR, native);
        return false;
    }
    m_pStream = fdopen(fd, mode);
    if (!m_pStream) {
        const int saved = errno;
        close(fd);
        if (error)
            error->Set(CFileException::CauseFromErrno(saved), saved, native);
        return false;
    }
    m_bTextMode = !(flags & typeBinary);
    m_bLastWasWrite = false;
    m_strFileName = path;
    return true;
}

void CStdioFile::Close()
{
    if (!m_pStream)
        return;
    std::FILE *stream = m_pStream;
    m_pStream = nullptr;
    if (std::fclose(stream) != 0)
        Raise(CFileException::CauseFromErrno(errno), errno);
}

void CStdioFile::Abort()
{
    if (m_pStream)
        std::fclose(m_pStream);
    m_pStream = nullptr;
}

void CStdioFile::Raise(CFileException::Cause cause, int osError) const
{
    throw CFileException(
        cause == CFileException::none ? CFileException::generic : cause, osError, WideString::ToUtf8(m_strFileName));
}

void CStdioFile::PrepareRead()
{
    if (!m_pStream)
        Raise(CFileException::generic, EBADF);
    if (m_bLastWasWrite) {
        if (std::fflush(m_pStream) != 0 || fseeko(m_pStream, 0, SEEK_CUR) != 0)
            Raise(CFileException::CauseFromErrno(errno), errno);
        m_bLastWasWrite = false;
    }
}

void CStdioFile::PrepareWrite()
{
    if (!m_pStream)
        Raise(CFileException::generic, EBADF);
    if (!m_bLastWasWrite) {
        if (fseeko(m_pStream, 0, SEEK_CUR) != 0)
            Raise(CFileException::CauseFromErrno(errno), errno);
        m_bLastWasWrite = true;
    }
}

int CStdioFile::ReadByte()
{
    const int c = getc_unlocked(m_pStream);
    if (c == EOF && std::ferror(m_pStream)) {
        const int error = errno;
        std::clearerr(m_pStream);
        Raise(CFileException::CauseFromErrno(error), error);
    }
    return c == EOF ? -1 : c;
}

std::string CStdioFile::ReadRawLine(std::size_t maxBytes)
{
    PrepareRead();
    std::string line;
    while (line.size() < maxBytes) {
        const int c = ReadByte();
        if (c < 0)
            break;
        if (c == '\r' && m_bTextMode) {
            const int next = ReadByte();
            if (next == '\n') {
                line.push_back('\n');
                break;
            }
            if (next >= 0)
                ungetc(next, m_pStream);
        }
        line.push_back(static_cast<char>(c));
        if (c == '\n')
            break;
    }
    return line;
}

bool CStdioFile::ReadWholeRawLine(std::string &bytes)
{
    PrepareRead();
    char *buffer = nullptr;
    std::size_t capacity = 0;
    const ssize_t n = getdelim(&buffer, &capacity, '\n', m_pStream);
    if (n < 0) {
        const int error = errno;
        std::free(buffer);
        if (std::ferror(m_pStream)) {
            std::clearerr(m_pStream);
            Raise(CFileException::CauseFromErrno(error), error);
        }
        return false;
    }
    auto length = static_cast<std::size_t>(n);
    if (m_bTextMode && length >= 2 && buffer[length - 1] == '\n' && buffer[length - 2] == '\r') {
        buffer[length - 2] = '\n';
        --length;
    }
    bytes.assign(buffer, length);
    std::free(buffer);
    return true;
}

UINT CStdioFile::Read(void *buffer, UINT count)
{
    PrepareRead();
    const std::size_t n = std::fread(buffer, 1, count, m_pStream);
    if (n < count && std::ferror(m_pStream)) {
        const int error = errno;
        std::clearerr(m_pStream);
        Raise(CFileException::CauseFromErrno(error), error);
    }
    return static_cast<UINT>(n);
}

void CStdioFile::Write(const void *buffer, UINT count)
{
    PrepareWrite();
    if (count && std::fwrite(buffer, 1, count, m_pStream) != count) {
        const int error = errno;
        std::clearerr(m_pStream);
        Raise(error ? CFileException::CauseFromErrno(error) : CFileException::diskFull, error);
    }
}

std::uint64_t CStdioFile::Seek(std::int64_t offset, SeekPosition from)
{
    if (!m_pStream)
        Raise(CFileException::generic, EBADF);
    if (m_bLastWasWrite && std::fflush(m_pStream) != 0)
        Raise(CFileException::CauseFromErrno(errno), errno);
    if (fseeko(m_pStream, static_cast<off_t>(offset), from) != 0)
        Raise(CFileException::badSeek, errno);
    m_bLastWasWrite = false;
    return GetPosition();
}

std::uint64_t CStdioFile::GetPosition() const
{
    if (!m_pStream)
        Raise(CFileException::generic, EBADF);
    const off_t position = ftello(m_pStream);
    if (position < 0)
        Raise(CFileException::badSeek, errno);
    return static_cast<std::uint64_t>(position);
}

std::uint64_t CStdioFile::GetLength() const
{
    if (!m_pStream)
        Raise(CFileException::generic, EBADF);
    if (m_bLastWasWrite && std::fflush(m_pStream) != 0)
        Raise(CFileException::CauseFromErrno(errno), errno);
    struct stat info;
    if (fstat(fileno(m_pStream), &info) != 0)
        Raise(CFileException::CauseFromErrno(errno), errno);
    return static_cast<std::uint64_t>(info.st_size);
}

void CStdioFile::Flush()
{
    if (m_pStream && std::fflush(m_pStream) != 0)
        Raise(CFileException::CauseFromErrno(errno), errno);
}

} // namespace KorrinUtilsFuns
