#include "tasks/ListFile.h"

#include "platform/WideString.h"
#include "util/FileFunctions.h"

wstring16 ListFile::Compose(
    int columns, const std::function<int()> &rowCount, const std::function<wstring16(int, int)> &cell)
{
    wstring16 text;
    for (int row = 0; row < rowCount(); ++row) {
        wstring16 first = cell(row, 0);
        if (first.empty())
            continue;
        for (int column = 0; column < columns; ++column) {
            if (!text.empty())
                text += kSeparator;
            text += column == 0 ? first : cell(row, column);
        }
        text += kRowEnd;
    }
    return text;
}

std::vector<int> ListFile::RowsHoldingSeparator(
    int columns, const std::function<int()> &rowCount, const std::function<wstring16(int, int)> &cell)
{
    std::vector<int> rows;
    for (int row = 0; row < rowCount(); ++row) {
        if (cell(row, 0).empty())
            continue; // left out of the file anyway
        for (int column = 0; column < columns; ++column)
            if (cell(row, column).find(kSeparator) != wstring16::npos) {
                rows.push_back(row);
                break;
            }
    }
    return rows;
}

wstring16 ListFile::RowNames(const std::vector<int> &rows)
{
    wstring16 names = u"第";
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (i > 0)
            names += u"、";
        names += WideString::FromInt(rows[i] + 1);
    }
    return names + u"行";
}

std::vector<wstring16> ListFile::Split(std::u16string_view text)
{
    std::vector<wstring16> fields;
    std::size_t start = 0;
    for (;;) {
        const std::size_t at = text.find(kSeparator, start);
        if (at == std::u16string_view::npos)
            break;
        fields.emplace_back(text.substr(start, at - start));
        start = at + kSeparator.size();
    }
    if (start < text.size())
        fields.emplace_back(text.substr(start));
    return fields;
}

bool ListFile::Write(const wstring16 &path, const wstring16 &text)
{
    return KorrinUtilsFuns::ReplaceTextFile(path, text);
}

wstring16 ListFile::Read(const wstring16 &path)
{
    wstring16 text;
    if (!KorrinUtilsFuns::ReadTextFile(path, text, 65001))
        return {};
    return text;
}

std::vector<std::vector<wstring16>> ListFile::ReadRows(const wstring16 &path, int columns)
{
    std::vector<std::vector<wstring16>> rows;
    if (columns <= 0)
        return rows;
    std::vector<wstring16> fields = Split(Read(path));
    const std::size_t n = static_cast<std::size_t>(columns);
    rows.reserve(fields.size() / n);
    for (std::size_t i = 0; i + n <= fields.size(); i += n)
        rows.emplace_back(std::make_move_iterator(fields.begin() + static_cast<std::ptrdiff_t>(i)),
            std::make_move_iterator(fields.begin() + static_cast<std::ptrdiff_t>(i + n)));
    return rows;
}
