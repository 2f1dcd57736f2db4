#include "catalogue/xml/XmlEntity.h"

#include <algorithm>

const XmlEntityTable DefaultXmlEntities = {
    {u'&', u"&amp;", 5},
    {u'"', u"&quot;", 6},
    {u'\'', u"&apos;", 6},
    {u'<', u"&lt;", 4},
    {u'>', u"&gt;", 4},
};

namespace {

constexpr std::size_t MaxReferenceLength = 10;

std::u16string_view Reference(const XmlEntity &row)
{
    // A row claiming more than it holds (or more than 10) must not make us read past its text.
    std::size_t length = row.length > 0 ? static_cast<std::size_t>(row.length) : 0;
    length = std::min({length, row.reference.size(), MaxReferenceLength});
    return row.reference.substr(0, length);
}

} // namespace

namespace XmlEntities {

bool MayHold(std::u16string_view text, const XmlEntityTable &table)
{
    // Every default row starts with "&": one scan answers for all of them.
    bool onlyAmpersand = true;
    for (const XmlEntity &row : table) {
        std::u16string_view ref = Reference(row);
        if (!ref.empty() && ref.front() != u'&') {
            onlyAmpersand = false;
            break;
        }
    }
    if (onlyAmpersand)
        return text.find(u'&') != std::u16string_view::npos;
    for (const XmlEntity &row : table) {
        std::u16string_view ref = Reference(row);
        if (!ref.empty() && text.find(ref.front()) != std::u16string_view::npos)
            return true;
    }
    return false;
}

wstring16 Decode(std::u16string_view text, const XmlEntityTable &table)
{
    // Most values hold no reference at all: answer those without a character loop.
    if (!MayHold(text, table))
        return wstring16(text);

    wstring16 out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        bool matched = false;
        for (const XmlEntity &row : table) {
            std::u16string_view ref = Reference(row);
            // An empty reference would never move on.
            if (!ref.empty() && text.substr(i, ref.size()) == ref) {
                out.push_back(row.character);
                i += ref.size();
                matched = true;
                break;
            }
        }
        if (!matched)
            out.push_back(text[i++]);
    }
    return out;
}

wstring16 Encode(std::u16string_view text, const XmlEntityTable &table)
{
    auto rowOf = [&table](char16_t c) -> const XmlEntity * {
        // A row without a reference would make the character vanish.
        for (const XmlEntity &row : table)
            if (row.character == c && !Reference(row).empty())
                return &row;
        return nullptr;
    };
    std::size_t count = 0;
    for (char16_t c : text)
        if (rowOf(c))
            ++count;
    if (count == 0)
        return wstring16(text);

    wstring16 out;
    out.reserve(text.size() + MaxReferenceLength * count);
    for (char16_t c : text) {
        if (const XmlEntity *row = rowOf(c))
            out.append(Reference(*row));
        else
            out.push_back(c);
    }
    return out;
}

} // namespace XmlEntities
