#pragma once
// The text layout of a saved list (the task panel's exeList.bak, the recorder's
// temEventList.bak): every cell of every row as one flat run of fields, "____"
// before every field but the file's first, CR LF after each row, UTF-16LE with
// its mark. The column count is the only framing; it is not stored.

#include "platform/Win32Types.h"

#include <functional>
#include <string_view>
#include <vector>

class ListFile {
public:
    static constexpr std::u16string_view kSeparator = u"____";
    static constexpr std::u16string_view kRowEnd = u"\r\n";

    // The text of a list read cell by cell. rowCount is asked again before every
    // row (the rows may change meanwhile); a row whose first cell is empty is left out.
    static wstring16 Compose(
        int columns, const std::function<int()> &rowCount, const std::function<wstring16(int row, int column)> &cell);
    // The rows (0-based) whose cells hold the separator: written, they would
    // come back as other fields, shifting every row after them.
    static std::vector<int> RowsHoldingSeparator(
        int columns, const std::function<int()> &rowCount, const std::function<wstring16(int row, int column)> &cell);
    // "第1、3行" for rows 0 and 2.
    static wstring16 RowNames(const std::vector<int> &rows);
    // The fields of a text: every piece before a separator is a field (an empty
    // one too); the rest after the last separator only when it is not empty.
    static std::vector<wstring16> Split(std::u16string_view text);
    // Replaces the file (UTF-16LE with FF FE) whole or not at all; a file that
    // may not be written is left alone. False when the file was not replaced.
    static bool Write(const wstring16 &path, const wstring16 &text);
    // The file's lines, each followed by CR LF (UTF-16LE by its mark, else UTF-8);
    // empty when it cannot be read.
    static wstring16 Read(const wstring16 &path);
    // The fields of a file cut into rows of `columns` fields; surplus fields dropped.
    static std::vector<std::vector<wstring16>> ReadRows(const wstring16 &path, int columns);
};
