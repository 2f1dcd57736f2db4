#pragma once
// The file of the kept tabs. A header line names the format, the length and a
// CRC-32 of the body, so a torn or damaged file is known as such; the body is a
// run of length-prefixed UTF-8 fields ("5:abcde,"), which holds any cell text.
// Saving replaces the file atomically and keeps the one before it beside it;
// reading falls back to that copy.

#include "tasks/SessionState.h"

#include <cstdint>
#include <string>
#include <string_view>

class SessionStateFile {
public:
    enum class Source { Current, Previous, None };

    static std::string Compose(const SessionState &state);
    // False for anything that is not a whole, undamaged state; state is then untouched.
    static bool Parse(std::string_view bytes, SessionState *state);

    // path: the state; the previous copy is path + ".prev".
    static wstring16 PreviousPath(const wstring16 &path);
    static bool Write(const wstring16 &path, const std::string &bytes);
    // The current file, else the previous copy. damaged: a file was there that could not be read.
    static Source Read(const wstring16 &path, SessionState *state, bool *damaged);

    static std::uint32_t Crc32(std::string_view bytes);
};
