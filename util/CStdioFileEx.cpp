#include "util/CStdioFileEx.h"

#include "platform/CodePage.h"

#include <algorithm>
#include <cerrno>
#include <climits>

namespace KorrinUtilsFuns {

namespace {

constexpr char16_t kReplacement = 0xFFFD;

UINT ResolvedCodePage(int codePage) { return codePage == -1 ? GetACP() : static_cast<UINT>(codePage); }

void RemoveLineEnding(wstring16 &line)
{
    if (line.size() >= 2 && line[line.size() - 2] == u'\r' && line.back() == u'\n')
        line.resize(line.size() - 2);
    else if (!line.empty() && (line.back() == u'\r' || line.back() == u'\n'))
        line.pop_back();
}

} // namespace

CStdioFileEx::~CStdioFileEx() = default;

UINT CStdioFileEx::AdjustOpenFlags(const wstring16 &path, UINT flags)
{
    m_bUnicodeText = false;
    if ((flags & typeText) && !(flags & (modeCreate | modeWrite))) {
        m_bUnicodeText = HasUnicodeMark(path);
        if (m_bUnicodeText)
            flags = (flags & ~static_cast<UINT>(typeText)) | typeBinary;
    }
    m_nOpenFlags = flags;
    return flags;
}

bool CStdioFileEx::HasUnicodeMark(const wstring16 &path)
{
    CStdioFile file;
    if (!file.Open(path, modeRead | typeBinary))
        return false;
    unsigned char mark[2] = {0, 0};
    try {
        if (file.Read(mark, 2) != 2)
            return false;
    } catch (const CFileException &) {
        return false;
    }
    return mark[0] == 0xFF && mark[1] == 0xFE;
}

bool CStdioFileEx::Open(const wstring16 &path, UINT flags, CFileException *error)
{
    return CStdioFile::Open(path, AdjustOpenFlags(path, flags), error);
}

bool CStdioFileEx::ReadString(wstring16 &line)
{
    if (!IsOpen())
        return false;
    if (m_bUnicodeText && GetPosition() == 0) {
        unsigned char mark[2];
        Read(mark, 2);
    }
    const bool read = m_bUnicodeText ? ReadUnicodeLine(line) : ReadMultiByteLine(line);
    if (read)
        RemoveLineEnding(line);
    return read;
}

bool CStdioFileEx::ReadUnicodeLine(wstring16 &line)
{
    PrepareRead();
    wstring16 text;
    bool any = false;
    for (;;) {
        const int low = ReadByte();
        if (low < 0)
            break;
        any = true;
        const int high = ReadByte();
        if (high < 0) {
            // The odd last byte of the file is no whole character, but it is not dropped unseen.
            text.push_back(kReplacement);
            break;
        }
        const auto unit = static_cast<char16_t>(low | (high << 8));
        text.push_back(unit);
        if (unit == u'\n')
            break;
    }
    if (any)
        line = std::move(text);
    return any;
}

bool CStdioFileEx::ReadMultiByteLine(wstring16 &line)
{
    // A line of any length comes whole: a cut would change what the file says
    // (a long one-line script would gain line breaks).
    std::string bytes;
    if (!ReadWholeRawLine(bytes))
        return false;
    const UINT codePage = ResolvedCodePage(m_nCodePage);
    const DWORD flags = codePage == CP_UTF8 ? 0 : MB_PRECOMPOSED;
    // Room for the "\r\n" a reader puts back: a line of megabytes is not moved for it.
    wstring16 text;
    if (!CodePage::ToWide(codePage, flags, bytes.data(), bytes.size(), text, 2))
        Raise(CFileException::generic, EINVAL); // a code page the system cannot convert
    line = std::move(text);
    return true;
}

void CStdioFileEx::WriteString(const wstring16 &text)
{
    if (m_nOpenFlags & modeUnicodeWrite) {
        if (GetPosition() == 0)
            Write("\xFF\xFE", 2);
        std::string bytes;
        bytes.reserve(text.size() * 2);
        for (char16_t c : text) {
            bytes.push_back(static_cast<char>(c & 0xFF));
            bytes.push_back(static_cast<char>(c >> 8));
        }
        Write(bytes.data(), static_cast<UINT>(bytes.size()));
        return;
    }
    if (text.empty())
        return;
    const UINT codePage = ResolvedCodePage(m_nCodePage);
    const bool utf8 = codePage == CP_UTF8;
    const DWORD flags = utf8 ? 0 : WC_COMPOSITECHECK | WC_SEPCHARS;
    const char *replacement = utf8 ? nullptr : "#";
    BOOL usedDefault = FALSE;
    LPBOOL used = utf8 ? nullptr : &usedDefault;
    const int count = static_cast<int>(text.size());
    const int size = WideCharToMultiByte(codePage, flags, text.data(), count, nullptr, 0, replacement, used);
    if (size <= 0)
        Raise(CFileException::generic, EINVAL);
    std::string bytes(static_cast<std::size_t>(size), '\0');
    const int n = WideCharToMultiByte(codePage, flags, text.data(), count, bytes.data(), size, replacement, used);
    if (n <= 0)
        Raise(CFileException::generic, EINVAL);
    Write(bytes.data(), static_cast<UINT>(n));
}

std::uint64_t CStdioFileEx::GetCharacterCount() const
{
    if (!IsOpen())
        return 0;
    const std::uint64_t length = GetLength();
    if (!m_bUnicodeText)
        return length;
    return length < 2 ? 0 : (length - 2) / 2;
}

} // namespace KorrinUtilsFuns
