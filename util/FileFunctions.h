#pragma once
// Whole-file text reading and writing, resource extraction and small path and
// folder functions. Paths use '/' between their parts. None of these raises.

#include "platform/Win32Types.h"

#include <string>

namespace KorrinUtilsFuns {

// Appends every line of the file followed by CR LF to text. A file starting with
// FF FE is UTF-16LE; any other is read in codePage (-1: the active code page).
// True also when the file cannot be opened (text unchanged); false only when an
// opened file fails while being read, and then text is left as it was.
bool ReadTextFile(const wstring16 &path, wstring16 &text, int codePage);

// Creates or empties the file (append: keeps it and writes at its end) and
// writes text: UTF-16LE with FF FE when unicode (the mark only into an empty
// file), else in the active code page with "#" for what it cannot hold.
// Nothing is reported; a file that cannot be opened is left alone.
void WriteTextFile(const wstring16 &path, const wstring16 &text, bool unicode, bool append);

// Replaces the file with text as UTF-16LE with FF FE: written beside it under a
// temporary name, flushed, then renamed over it, so a failure or a crash at any
// moment leaves either the old file or the new one. A file that exists but may
// not be written is left alone. False when the new file did not take its place.
bool ReplaceTextFile(const wstring16 &path, const wstring16 &text);
// The same for bytes as they are. previous: the replaced file is kept under that
// path (renamed, so it stays whole) before the new one takes its place. The
// folder is flushed too, so the rename itself survives a power cut.
bool ReplaceFileBytes(const wstring16 &path, const std::string &bytes, const wstring16 &previous = wstring16());

// Writes the resource's bytes unchanged to path (created or truncated).
bool ExtractResourceToFile(HMODULE module, UINT resourceId, const wstring16 &resourceType, const wstring16 &path);

bool IsFolder(const wstring16 &path);
// True when a file or a folder exists at path.
bool FileExists(const wstring16 &path);
// Deletes the file even when it is read-only.
void DeleteFileForced(const wstring16 &path);
// Creates the folder and every missing folder above it; true when it exists afterwards.
bool CreateFolderPath(const wstring16 &path);

// The folder of an existing path, up to and including its last '/'.
wstring16 GetShortFolder(const wstring16 &path);
// What follows the last '/'; the whole text when there is none.
wstring16 GetFileNamePart(const wstring16 &path);

} // namespace KorrinUtilsFuns
