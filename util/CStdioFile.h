#pragma once
// A buffered stream file with the framework's open flags. Text mode turns CR LF
// into LF on reading; writing never translates. Read and write errors of an open
// file raise CFileException; Open reports by result.

#include "platform/Win32Types.h"
#include "util/CFileException.h"

#include <cstdint>
#include <cstdio>
#include <string>

namespace KorrinUtilsFuns {

class CStdioFile {
public:
    enum OpenFlags : UINT {
        modeRead = 0x0,
        modeWrite = 0x1,
        modeReadWrite = 0x2,
        modeCreate = 0x1000,
        modeNoTruncate = 0x2000,
        typeText = 0x4000,
        typeBinary = 0x8000,
    };
    enum SeekPosition { begin = SEEK_SET, current = SEEK_CUR, end = SEEK_END };

    CStdioFile() = default;
    virtual ~CStdioFile();
    CStdioFile(const CStdioFile &) = delete;
    CStdioFile &operator=(const CStdioFile &) = delete;

    // Without modeCreate the file must exist; a folder never opens. On failure
    // error (when given) tells why.
    virtual bool Open(const wstring16 &path, UINT flags, CFileException *error = nullptr);
    // Flushes and closes; a failed flush raises after the file is closed.
    void Close();
    // Closes without raising.
    void Abort();
    bool IsOpen() const { return m_pStream != nullptr; }

    // Narrow line of a text-mode file (CR LF read as LF), up to and including
    // LF, at most maxBytes bytes. Empty at end of file.
    std::string ReadRawLine(std::size_t maxBytes);
    // The same without a bound, into bytes (replaced): a line of any length at
    // the speed of the C library's own scan. False at end of file.
    bool ReadWholeRawLine(std::string &bytes);
    // Reads up to count bytes; returns how many were read (0 at end of file).
    UINT Read(void *buffer, UINT count);
    void Write(const void *buffer, UINT count);

    std::uint64_t Seek(std::int64_t offset, SeekPosition from);
    void SeekToBegin() { Seek(0, begin); }
    std::uint64_t SeekToEnd() { return Seek(0, end); }
    std::uint64_t GetPosition() const;
    std::uint64_t GetLength() const;
    void Flush();

    const wstring16 &GetFilePath() const { return m_strFileName; }

protected:
    // Reads one byte; -1 at end of file. Raises on a read error.
    int ReadByte();
    [[noreturn]] void Raise(CFileException::Cause cause, int osError) const;
    // Between a write and a read (and back) the stream must be repositioned.
    void PrepareRead();
    void PrepareWrite();

    std::FILE *m_pStream = nullptr;
    bool m_bTextMode = false;
    bool m_bLastWasWrite = false;
    wstring16 m_strFileName;
};

} // namespace KorrinUtilsFuns
