#pragma once
// Byte-exact file helpers for the file-layer tests.

#include "platform/WideString.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace TestBytes {

inline std::string Read(const std::filesystem::path &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void Write(const std::filesystem::path &path, const std::string &bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// UTF-16LE bytes of a wide text.
inline std::string Utf16(const std::u16string &text)
{
    std::string bytes;
    for (char16_t c : text) {
        bytes.push_back(static_cast<char>(c & 0xFF));
        bytes.push_back(static_cast<char>(c >> 8));
    }
    return bytes;
}

inline std::u16string Wide(const std::filesystem::path &path) { return WideString::FromUtf8(path.string()); }

} // namespace TestBytes
