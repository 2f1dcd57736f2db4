#pragma once
// Reads files that start with the UTF-16LE byte-order mark as Unicode and any
// other file as multi-byte text in a chosen code page; writes UTF-16LE with mark
// (modeUnicodeWrite) or multi-byte text, without newline translation.

#include "util/CStdioFile.h"

namespace KorrinUtilsFuns {

class CStdioFileEx : public CStdioFile {
public:
    static constexpr UINT modeUnicodeWrite = 0x20000;

    CStdioFileEx() = default;
    ~CStdioFileEx() override;

    bool Open(const wstring16 &path, UINT flags, CFileException *error = nullptr) override;
    // Next line, whatever its length, without its line ending; false at end of file.
    virtual bool ReadString(wstring16 &line);
    // The whole text; no terminator, no newline translation.
    virtual void WriteString(const wstring16 &text);

    // -1: the active code page at the moment of each conversion.
    void SetCodePage(int codePage) { m_nCodePage = codePage; }
    // Characters in the open file (bytes for a multi-byte file); 0 when closed.
    std::uint64_t GetCharacterCount() const;

    static bool HasUnicodeMark(const wstring16 &path);
    UINT AdjustOpenFlags(const wstring16 &path, UINT flags);

    bool m_bUnicodeText = false;
    UINT m_nOpenFlags = 0;
    int m_nCodePage = -1;

private:
    bool ReadUnicodeLine(wstring16 &line);
    bool ReadMultiByteLine(wstring16 &line);
};

} // namespace KorrinUtilsFuns
