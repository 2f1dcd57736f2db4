#pragma once
// Entity rows used to decode element text and attribute values, and to encode text.

#include "platform/Win32Types.h"

#include <cstdint>
#include <string_view>
#include <vector>

struct XmlEntity {
    char16_t character = 0;
    // At most 10 characters; `length` says how many of them count.
    std::u16string_view reference;
    std::int32_t length = 0;
};

using XmlEntityTable = std::vector<XmlEntity>;

// "&amp;", "&quot;", "&apos;", "&lt;", "&gt;" in this order.
extern const XmlEntityTable DefaultXmlEntities;

namespace XmlEntities {

// False when no reference of the table can begin anywhere in text.
bool MayHold(std::u16string_view text, const XmlEntityTable &table);

// At each place the first row whose reference begins there wins; numeric
// references are not rows and stay as written.
wstring16 Decode(std::u16string_view text, const XmlEntityTable &table);

// Each character that has a row becomes its reference; text with none comes back unchanged.
wstring16 Encode(std::u16string_view text, const XmlEntityTable &table);

} // namespace XmlEntities
