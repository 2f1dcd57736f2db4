// Reads arbitrary bytes as a text file: with and without the UTF-16LE mark,
// in UTF-8 and in GBK, line by line and whole.

#include "util/CStdioFileEx.h"
#include "util/FileFunctions.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

const std::string &NarrowPath()
{
    static const std::string path = "/tmp/tessaly-fuzz-text-" + std::to_string(getpid());
    return path;
}

std::u16string TempPath() { return std::u16string(NarrowPath().begin(), NarrowPath().end()); }

void Store(const std::string &bytes)
{
    std::FILE *f = std::fopen(NarrowPath().c_str(), "wb");
    if (!f)
        std::abort();
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size == 0)
        return 0;
    const int codePage = (data[0] & 1) ? 936 : 65001;
    std::string bytes(reinterpret_cast<const char *>(data) + 1, size - 1);
    if (data[0] & 2)
        bytes.insert(0, "\xFF\xFE");
    Store(bytes);

    std::u16string text = u"x";
    if (!KorrinUtilsFuns::ReadTextFile(TempPath(), text, codePage))
        std::abort(); // a readable file must read
    if (text.compare(0, 1, u"x") != 0)
        std::abort(); // appended, never replaced
    // Every input byte ends up in the text: nothing is dropped unseen.
    const std::size_t body =
        bytes.size() >= 2 && bytes.compare(0, 2, "\xFF\xFE") == 0 ? bytes.size() - 2 : bytes.size();
    if (body > 0 && text.size() == 1)
        std::abort();

    KorrinUtilsFuns::CStdioFileEx file;
    file.SetCodePage(codePage);
    if (file.Open(TempPath(), KorrinUtilsFuns::CStdioFile::typeText)) {
        std::u16string line;
        while (file.ReadString(line))
            if (!file.m_bUnicodeText && line.size() > 4095)
                std::abort();
        file.GetCharacterCount();
    }
    return 0;
}
