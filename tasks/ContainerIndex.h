#pragma once
// The list of named containers kept in the containers folder: for each, the
// folder its browser data lives in, the name the user gave it and its colour.
// Folder names are made from the user's name once and never change, so a
// rename moves no data; they hold only characters that are safe in a path of
// their own below the containers folder.
//
// The file is a header line and one line per container: folder, colour and
// name separated by tabs. Names hold no control characters, so they need no
// escaping; a line that is not sound is dropped, the others are kept.

#include "platform/Win32Types.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

class ContainerIndex {
public:
    struct Entry {
        wstring16 folder;
        wstring16 name;
        int colour = 0;
        bool operator==(const Entry &other) const = default;
    };

    static constexpr std::size_t kMaxNameUnits = 64;
    static constexpr std::size_t kMaxFolderUnits = 32;
    static constexpr int kColours = 8;
    static constexpr char16_t kFileName[] = u"index.txt";

    // The name as it is kept and shown: control and direction-changing
    // characters become spaces, runs of white space one space, no space at
    // either end, at most kMaxNameUnits units. Empty: no usable name.
    static wstring16 CleanName(const wstring16 &name);
    // One path component of safe characters only: lower-case ASCII letters,
    // digits, '_', '-' and CJK ideographs; no dot, nothing a system reserves.
    static bool IsSafeFolder(const wstring16 &folder);
    // A safe folder for name that taken() says is free.
    static wstring16 DeriveFolder(const wstring16 &name, const std::function<bool(const wstring16 &)> &taken);
    // The colour used least by entries (the first of those on a tie).
    static int FreeColour(const std::vector<Entry> &entries);

    static std::string Compose(const std::vector<Entry> &entries);
    // The sound entries of bytes, in their order; later duplicates of a folder or name dropped.
    static std::vector<Entry> Parse(std::string_view bytes);

    // The file in folder (ending in '/'); nothing when it is missing or unreadable.
    static std::vector<Entry> Read(const wstring16 &folder);
    // Replaces the file, keeping the one before beside it.
    static bool Write(const wstring16 &folder, const std::vector<Entry> &entries);
};
