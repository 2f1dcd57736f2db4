#include "platform/CodePage.h"

#include "platform/Threading.h"
#include "platform/WideString.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <iconv.h>
#include <map>
#include <string>

namespace {

constexpr char16_t kReplacement = 0xFFFD;
std::atomic<UINT> g_testCodePage {0};

// Letter + combining mark -> precomposed letter, for WC_COMPOSITECHECK
// (Latin-1, Latin Extended-A and the pinyin letters; sorted by base, then mark).
struct Composition {
    char16_t base;
    char16_t mark;
    char16_t composed;
};
constexpr Composition kCompositions[] = {
    {0x41, 0x300, 0xC0},
    {0x41, 0x301, 0xC1},
    {0x41, 0x302, 0xC2},
    {0x41, 0x303, 0xC3},
    {0x41, 0x304, 0x100},
    {0x41, 0x306, 0x102},
    {0x41, 0x308, 0xC4},
    {0x41, 0x30A, 0xC5},
    {0x41, 0x30C, 0x1CD},
    {0x41, 0x328, 0x104},
    {0x43, 0x301, 0x106},
    {0x43, 0x302, 0x108},
    {0x43, 0x307, 0x10A},
    {0x43, 0x30C, 0x10C},
    {0x43, 0x327, 0xC7},
    {0x44, 0x30C, 0x10E},
    {0x45, 0x300, 0xC8},
    {0x45, 0x301, 0xC9},
    {0x45, 0x302, 0xCA},
    {0x45, 0x304, 0x112},
    {0x45, 0x306, 0x114},
    {0x45, 0x307, 0x116},
    {0x45, 0x308, 0xCB},
    {0x45, 0x30C, 0x11A},
    {0x45, 0x328, 0x118},
    {0x47, 0x302, 0x11C},
    {0x47, 0x306, 0x11E},
    {0x47, 0x307, 0x120},
    {0x47, 0x327, 0x122},
    {0x48, 0x302, 0x124},
    {0x49, 0x300, 0xCC},
    {0x49, 0x301, 0xCD},
    {0x49, 0x302, 0xCE},
    {0x49, 0x303, 0x128},
    {0x49, 0x304, 0x12A},
    {0x49, 0x306, 0x12C},
    {0x49, 0x307, 0x130},
    {0x49, 0x308, 0xCF},
    {0x49, 0x30C, 0x1CF},
    {0x49, 0x328, 0x12E},
    {0x4A, 0x302, 0x134},
    {0x4B, 0x327, 0x136},
    {0x4C, 0x301, 0x139},
    {0x4C, 0x30C, 0x13D},
    {0x4C, 0x327, 0x13B},
    {0x4D, 0x301, 0x1E3E},
    {0x4E, 0x300, 0x1F8},
    {0x4E, 0x301, 0x143},
    {0x4E, 0x303, 0xD1},
    {0x4E, 0x30C, 0x147},
    {0x4E, 0x327, 0x145},
    {0x4F, 0x300, 0xD2},
    {0x4F, 0x301, 0xD3},
    {0x4F, 0x302, 0xD4},
    {0x4F, 0x303, 0xD5},
    {0x4F, 0x304, 0x14C},
    {0x4F, 0x306, 0x14E},
    {0x4F, 0x308, 0xD6},
    {0x4F, 0x30B, 0x150},
    {0x4F, 0x30C, 0x1D1},
    {0x52, 0x301, 0x154},
    {0x52, 0x30C, 0x158},
    {0x52, 0x327, 0x156},
    {0x53, 0x301, 0x15A},
    {0x53, 0x302, 0x15C},
    {0x53, 0x30C, 0x160},
    {0x53, 0x327, 0x15E},
    {0x54, 0x30C, 0x164},
    {0x54, 0x327, 0x162},
    {0x55, 0x300, 0xD9},
    {0x55, 0x301, 0xDA},
    {0x55, 0x302, 0xDB},
    {0x55, 0x303, 0x168},
    {0x55, 0x304, 0x16A},
    {0x55, 0x306, 0x16C},
    {0x55, 0x308, 0xDC},
    {0x55, 0x30A, 0x16E},
    {0x55, 0x30B, 0x170},
    {0x55, 0x30C, 0x1D3},
    {0x55, 0x328, 0x172},
    {0x57, 0x302, 0x174},
    {0x59, 0x301, 0xDD},
    {0x59, 0x302, 0x176},
    {0x59, 0x308, 0x178},
    {0x5A, 0x301, 0x179},
    {0x5A, 0x307, 0x17B},
    {0x5A, 0x30C, 0x17D},
    {0x61, 0x300, 0xE0},
    {0x61, 0x301, 0xE1},
    {0x61, 0x302, 0xE2},
    {0x61, 0x303, 0xE3},
    {0x61, 0x304, 0x101},
    {0x61, 0x306, 0x103},
    {0x61, 0x308, 0xE4},
    {0x61, 0x30A, 0xE5},
    {0x61, 0x30C, 0x1CE},
    {0x61, 0x328, 0x105},
    {0x63, 0x301, 0x107},
    {0x63, 0x302, 0x109},
    {0x63, 0x307, 0x10B},
    {0x63, 0x30C, 0x10D},
    {0x63, 0x327, 0xE7},
    {0x64, 0x30C, 0x10F},
    {0x65, 0x300, 0xE8},
    {0x65, 0x301, 0xE9},
    {0x65, 0x302, 0xEA},
    {0x65, 0x304, 0x113},
    {0x65, 0x306, 0x115},
    {0x65, 0x307, 0x117},
    {0x65, 0x308, 0xEB},
    {0x65, 0x30C, 0x11B},
    {0x65, 0x328, 0x119},
    {0x67, 0x302, 0x11D},
    {0x67, 0x306, 0x11F},
    {0x67, 0x307, 0x121},
    {0x67, 0x327, 0x123},
    {0x68, 0x302, 0x125},
    {0x69, 0x300, 0xEC},
    {0x69, 0x301, 0xED},
    {0x69, 0x302, 0xEE},
    {0x69, 0x303, 0x129},
    {0x69, 0x304, 0x12B},
    {0x69, 0x306, 0x12D},
    {0x69, 0x308, 0xEF},
    {0x69, 0x30C, 0x1D0},
    {0x69, 0x328, 0x12F},
    {0x6A, 0x302, 0x135},
    {0x6B, 0x327, 0x137},
    {0x6C, 0x301, 0x13A},
    {0x6C, 0x30C, 0x13E},
    {0x6C, 0x327, 0x13C},
    {0x6D, 0x301, 0x1E3F},
    {0x6E, 0x300, 0x1F9},
    {0x6E, 0x301, 0x144},
    {0x6E, 0x303, 0xF1},
    {0x6E, 0x30C, 0x148},
    {0x6E, 0x327, 0x146},
    {0x6F, 0x300, 0xF2},
    {0x6F, 0x301, 0xF3},
    {0x6F, 0x302, 0xF4},
    {0x6F, 0x303, 0xF5},
    {0x6F, 0x304, 0x14D},
    {0x6F, 0x306, 0x14F},
    {0x6F, 0x308, 0xF6},
    {0x6F, 0x30B, 0x151},
    {0x6F, 0x30C, 0x1D2},
    {0x72, 0x301, 0x155},
    {0x72, 0x30C, 0x159},
    {0x72, 0x327, 0x157},
    {0x73, 0x301, 0x15B},
    {0x73, 0x302, 0x15D},
    {0x73, 0x30C, 0x161},
    {0x73, 0x327, 0x15F},
    {0x74, 0x30C, 0x165},
    {0x74, 0x327, 0x163},
    {0x75, 0x300, 0xF9},
    {0x75, 0x301, 0xFA},
    {0x75, 0x302, 0xFB},
    {0x75, 0x303, 0x169},
    {0x75, 0x304, 0x16B},
    {0x75, 0x306, 0x16D},
    {0x75, 0x308, 0xFC},
    {0x75, 0x30A, 0x16F},
    {0x75, 0x30B, 0x171},
    {0x75, 0x30C, 0x1D4},
    {0x75, 0x328, 0x173},
    {0x77, 0x302, 0x175},
    {0x79, 0x301, 0xFD},
    {0x79, 0x302, 0x177},
    {0x79, 0x308, 0xFF},
    {0x7A, 0x301, 0x17A},
    {0x7A, 0x307, 0x17C},
    {0x7A, 0x30C, 0x17E},
    {0xDC, 0x300, 0x1DB},
    {0xDC, 0x301, 0x1D7},
    {0xDC, 0x304, 0x1D5},
    {0xDC, 0x30C, 0x1D9},
    {0xFC, 0x300, 0x1DC},
    {0xFC, 0x301, 0x1D8},
    {0xFC, 0x304, 0x1D6},
    {0xFC, 0x30C, 0x1DA},
};

char16_t Compose(char16_t base, char16_t mark)
{
    const auto it = std::lower_bound(std::begin(kCompositions), std::end(kCompositions), Composition {base, mark, 0},
        [](const Composition &a, const Composition &b) {
            return a.base != b.base ? a.base < b.base : a.mark < b.mark;
        });
    return (it != std::end(kCompositions) && it->base == base && it->mark == mark) ? it->composed : 0;
}

std::u16string Precompose(const char16_t *text, std::size_t count)
{
    std::u16string out;
    out.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        char16_t c = text[i];
        while (i + 1 < count) {
            const char16_t joined = Compose(c, text[i + 1]);
            if (!joined)
                break;
            c = joined;
            ++i;
        }
        out.push_back(c);
    }
    return out;
}

bool IsDoubleByteLead(UINT codePage, unsigned char b)
{
    switch (codePage) {
    case 932:
        return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
    case 936:
    case 949:
    case 950:
        return b >= 0x81 && b <= 0xFE;
    default:
        return false;
    }
}

// Maximal-subpart decoding: each invalid piece becomes one U+FFFD.
bool DecodeUtf8(const unsigned char *s, std::size_t n, std::u16string &out)
{
    bool valid = true;
    std::size_t i = 0;
    while (i < n) {
        const unsigned char b = s[i];
        if (b < 0x80) {
            // A run of ASCII in one go: a file of megabytes is mostly that.
            std::size_t end = i + 1;
            while (end < n && s[end] < 0x80)
                ++end;
            const std::size_t at = out.size();
            out.resize(at + (end - i));
            std::copy(s + i, s + end, out.begin() + static_cast<std::ptrdiff_t>(at));
            i = end;
            continue;
        }
        int need = 0;
        char32_t cp = 0;
        unsigned char lo = 0x80, hi = 0xBF;
        if (b >= 0xC2 && b <= 0xDF) {
            need = 1;
            cp = b & 0x1F;
        } else if (b >= 0xE0 && b <= 0xEF) {
            need = 2;
            cp = b & 0x0F;
            if (b == 0xE0)
                lo = 0xA0;
            if (b == 0xED)
                hi = 0x9F;
        } else if (b >= 0xF0 && b <= 0xF4) {
            need = 3;
            cp = b & 0x07;
            if (b == 0xF0)
                lo = 0x90;
            if (b == 0xF4)
                hi = 0x8F;
        } else {
            out.push_back(kReplacement);
            valid = false;
            ++i;
            continue;
        }
        std::size_t j = i + 1;
        int got = 0;
        while (got < need && j < n) {
            const unsigned char c = s[j];
            if (c < lo || c > hi)
                break;
            cp = (cp << 6) | (c & 0x3F);
            lo = 0x80;
            hi = 0xBF;
            ++j;
            ++got;
        }
        if (got < need) {
            out.push_back(kReplacement);
            valid = false;
            i = j;
            continue;
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
        i = j;
    }
    return valid;
}

void EncodeUtf8(const char16_t *s, std::size_t n, std::string &out)
{
    out += WideString::ToUtf8(std::u16string_view(s, n));
}

// iconv descriptors are not shareable between threads: each thread keeps its own.
class IconvCache {
public:
    ~IconvCache()
    {
        for (auto &[key, cd] : m_open)
            iconv_close(cd);
    }
    // toWide: code page -> UTF-16LE, else UTF-16LE -> code page. Null when unknown.
    iconv_t Get(UINT codePage, bool toWide)
    {
        const auto key = std::make_pair(codePage, toWide);
        auto it = m_open.find(key);
        if (it == m_open.end()) {
            const std::string name = "CP" + std::to_string(codePage);
            iconv_t cd = toWide ? iconv_open("UTF-16LE", name.c_str()) : iconv_open(name.c_str(), "UTF-16LE");
            if (cd == reinterpret_cast<iconv_t>(-1))
                return nullptr;
            it = m_open.emplace(key, cd).first;
        }
        iconv(it->second, nullptr, nullptr, nullptr, nullptr);
        return it->second;
    }

private:
    std::map<std::pair<UINT, bool>, iconv_t> m_open;
};

thread_local IconvCache t_iconv;

// false: unknown code page (error set); invalid set when a byte was replaced.
bool DecodeIconv(UINT codePage, const char *s, std::size_t n, std::u16string &out, bool &invalid)
{
    iconv_t cd = t_iconv.Get(codePage, true);
    if (!cd) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    char chunk[4096];
    char *in = const_cast<char *>(s);
    std::size_t inLeft = n;
    while (inLeft > 0) {
        char *outPtr = chunk;
        std::size_t outLeft = sizeof chunk;
        const std::size_t rc = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
        const int error = rc == static_cast<std::size_t>(-1) ? errno : 0;
        for (char *p = chunk; p + 1 < outPtr; p += 2)
            out.push_back(
                static_cast<char16_t>(static_cast<unsigned char>(p[0]) | (static_cast<unsigned char>(p[1]) << 8)));
        if (error == EILSEQ || error == EINVAL) {
            // One byte becomes U+FFFD; what follows it is read again, so an ASCII
            // byte after a bad lead byte is kept.
            out.push_back(kReplacement);
            invalid = true;
            ++in;
            --inLeft;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
        } else if (error && error != E2BIG) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return false;
        }
    }
    return true;
}

bool EncodeIconv(
    UINT codePage, const char16_t *s, std::size_t n, std::string &out, const char *defaultChar, bool &usedDefault)
{
    iconv_t cd = t_iconv.Get(codePage, false);
    if (!cd) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    std::string bytes;
    bytes.reserve(n * 2);
    for (std::size_t i = 0; i < n; ++i) {
        bytes.push_back(static_cast<char>(s[i] & 0xFF));
        bytes.push_back(static_cast<char>(s[i] >> 8));
    }
    char chunk[4096];
    char *in = bytes.data();
    std::size_t inLeft = bytes.size();
    while (inLeft > 0) {
        char *outPtr = chunk;
        std::size_t outLeft = sizeof chunk;
        const std::size_t rc = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
        const int error = rc == static_cast<std::size_t>(-1) ? errno : 0;
        out.append(chunk, static_cast<std::size_t>(outPtr - chunk));
        if (error == EILSEQ || error == EINVAL) {
            const std::size_t at = static_cast<std::size_t>(in - bytes.data()) / 2;
            std::size_t skip = 1;
            if (at + 1 < n && s[at] >= 0xD800 && s[at] <= 0xDBFF && s[at + 1] >= 0xDC00 && s[at + 1] <= 0xDFFF)
                skip = 2;
            out.append(defaultChar);
            usedDefault = true;
            in += skip * 2;
            inLeft -= std::min(inLeft, skip * 2);
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
        } else if (error && error != E2BIG) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return false;
        }
    }
    char *outPtr = chunk;
    std::size_t outLeft = sizeof chunk;
    iconv(cd, nullptr, nullptr, &outPtr, &outLeft);
    out.append(chunk, static_cast<std::size_t>(outPtr - chunk));
    return true;
}

UINT ResolveCodePage(UINT codePage) { return codePage == CP_ACP ? GetACP() : codePage; }

} // namespace

namespace CodePage {

void SetActiveCodePageForTest(UINT codePage) { g_testCodePage = codePage; }

UINT FromLocaleName(const char *locale)
{
    if (!locale || !*locale)
        return CP_UTF8;
    std::string name(locale);
    const auto at = name.find('@');
    if (at != std::string::npos)
        name.erase(at);
    const auto dot = name.find('.');
    if (dot == std::string::npos)
        return name.rfind("zh_CN", 0) == 0 || name.rfind("zh_SG", 0) == 0 ? 936 : CP_UTF8;
    std::string codeset;
    for (char c : name.substr(dot + 1))
        if (c != '-' && c != '_')
            codeset.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
    if (codeset == "utf8")
        return CP_UTF8;
    if (codeset == "gbk" || codeset == "gb2312" || codeset == "gb18030" || codeset == "euccn")
        return 936;
    if (codeset == "big5" || codeset == "big5hkscs")
        return 950;
    if (codeset == "sjis" || codeset == "shiftjis")
        return 932;
    if (codeset == "euckr")
        return 949;
    if (codeset.rfind("cp", 0) == 0 && codeset.size() > 2 &&
        codeset.find_first_not_of("0123456789", 2) == std::string::npos)
        return static_cast<UINT>(std::strtoul(codeset.c_str() + 2, nullptr, 10));
    return CP_UTF8;
}

int IncompleteTailLength(UINT codePage, const char *bytes, int count)
{
    codePage = ResolveCodePage(codePage);
    if (!bytes || count <= 0)
        return 0;
    const auto *b = reinterpret_cast<const unsigned char *>(bytes);
    if (codePage == CP_UTF8) {
        for (int i = count - 1; i >= 0 && i >= count - 4; --i) {
            if ((b[i] & 0xC0) == 0x80)
                continue;
            if (b[i] < 0xC0)
                return 0;
            const int need = b[i] >= 0xF0 ? 4 : b[i] >= 0xE0 ? 3 : 2;
            return count - i < need ? count - i : 0;
        }
        return 0;
    }
    int i = 0;
    while (i < count) {
        if (IsDoubleByteLead(codePage, b[i])) {
            if (i + 1 == count)
                return 1;
            i += 2;
        } else {
            ++i;
        }
    }
    return 0;
}

} // namespace CodePage

UINT GetACP()
{
    if (const UINT forced = g_testCodePage.load())
        return forced;
    for (const char *variable : {"LC_ALL", "LC_CTYPE", "LANG"}) {
        const char *value = std::getenv(variable);
        if (value && *value)
            return CodePage::FromLocaleName(value);
    }
    return CP_UTF8;
}

bool CodePage::ToWide(
    UINT codePage, DWORD flags, const char *bytes, std::size_t count, std::u16string &out, std::size_t room)
{
    codePage = ResolveCodePage(codePage);
    out.clear();
    // No code page makes more units than bytes.
    out.reserve(count + room);
    bool invalid = false;
    if (codePage == CP_UTF8) {
        if (flags & ~MB_ERR_INVALID_CHARS) {
            SetLastError(ERROR_INVALID_FLAGS);
            return false;
        }
        invalid = !DecodeUtf8(reinterpret_cast<const unsigned char *>(bytes), count, out);
    } else if (!DecodeIconv(codePage, bytes, count, out, invalid)) {
        return false;
    }
    if (invalid && (flags & MB_ERR_INVALID_CHARS)) {
        SetLastError(ERROR_NO_UNICODE_TRANSLATION);
        return false;
    }
    return true;
}

int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR source, int count, LPWSTR target, int capacity)
{
    if (!source || count == 0 || count < -1 || capacity < 0 || (capacity > 0 && !target)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const std::size_t length = count == -1 ? std::strlen(source) + 1 : static_cast<std::size_t>(count);
    std::u16string out;
    if (!CodePage::ToWide(codePage, flags, source, length, out))
        return 0;
    if (capacity == 0)
        return static_cast<int>(out.size());
    if (out.size() > static_cast<std::size_t>(capacity)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::copy(out.begin(), out.end(), target);
    return static_cast<int>(out.size());
}

int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR source, int count, LPSTR target, int capacity,
    LPCSTR defaultChar, LPBOOL usedDefault)
{
    if (!source || count == 0 || count < -1 || capacity < 0 || (capacity > 0 && !target)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    codePage = ResolveCodePage(codePage);
    std::size_t length = 0;
    if (count == -1) {
        while (source[length])
            ++length;
        ++length;
    } else {
        length = static_cast<std::size_t>(count);
    }
    std::string out;
    if (codePage == CP_UTF8) {
        if (flags) {
            SetLastError(ERROR_INVALID_FLAGS);
            return 0;
        }
        if (defaultChar || usedDefault) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return 0;
        }
        EncodeUtf8(source, length, out);
    } else {
        bool used = false;
        bool ok = false;
        const char *replacement = defaultChar && *defaultChar ? defaultChar : "?";
        if (flags & WC_COMPOSITECHECK) {
            const std::u16string joined = Precompose(source, length);
            ok = EncodeIconv(codePage, joined.data(), joined.size(), out, replacement, used);
        } else {
            ok = EncodeIconv(codePage, source, length, out, replacement, used);
        }
        if (usedDefault)
            *usedDefault = used ? TRUE : FALSE;
        if (!ok)
            return 0;
    }
    if (capacity == 0)
        return static_cast<int>(out.size());
    if (out.size() > static_cast<std::size_t>(capacity)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::copy(out.begin(), out.end(), target);
    return static_cast<int>(out.size());
}
