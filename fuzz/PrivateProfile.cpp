// Reads and writes arbitrary bytes as an INI file. A write must keep the file's
// other content and must read back.

#include "platform/PrivateProfile.h"
#include "platform/CodePage.h"

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

const std::string &Path()
{
    static const std::string path = "/tmp/tessaly-fuzz-ini-" + std::to_string(getpid());
    return path;
}

std::string Load()
{
    std::string bytes;
    if (std::FILE *f = std::fopen(Path().c_str(), "rb")) {
        char chunk[4096];
        std::size_t n;
        while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0)
            bytes.append(chunk, n);
        std::fclose(f);
    }
    return bytes;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size == 0)
        return 0;
    CodePage::SetActiveCodePageForTest((data[0] & 1) ? 936 : 65001);
    const std::string bytes(reinterpret_cast<const char *>(data) + 1, size - 1);
    if (std::FILE *f = std::fopen(Path().c_str(), "wb")) {
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }
    const std::u16string file(Path().begin(), Path().end());
    char16_t buffer[512];
    GetPrivateProfileStringW(nullptr, nullptr, nullptr, buffer, 512, file.c_str());
    GetPrivateProfileStringW(u"MAIN", nullptr, nullptr, buffer, 7, file.c_str());
    GetPrivateProfileStringW(u"MAIN", u"HotkeyVK", u"d", buffer, 512, file.c_str());
    GetPrivateProfileIntW(u"MAIN", u"HotkeySystem", 0, file.c_str());

    if (!WritePrivateProfileStringW(u"zz-fuzz", u"Key", u"value", file.c_str()))
        std::abort();
    const std::string after = Load();
    const bool wide = bytes.size() >= 2 && bytes.compare(0, 2, "\xFF\xFE") == 0;
    const std::size_t kept = bytes.size() - ((wide && bytes.size() % 2) ? 1 : 0);
    // Unless the input already had that section, the old content is still there, unchanged.
    std::string lower;
    for (char c : bytes)
        if (c != '\0')
            lower.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
    if (lower.find("zz-fuzz") == std::string::npos && after.compare(0, kept, bytes, 0, kept) != 0)
        std::abort();
    if (GetPrivateProfileStringW(u"ZZ-FUZZ", u"key", u"", buffer, 512, file.c_str()) != 5)
        std::abort();
    WritePrivateProfileStringW(u"MAIN", u"HotkeyVK", nullptr, file.c_str());
    WritePrivateProfileStringW(u"zz-fuzz", nullptr, nullptr, file.c_str());
    return 0;
}
