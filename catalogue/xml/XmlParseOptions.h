#pragma once
// What a load may do, and where the first error of a load is reported.

#include "catalogue/xml/XmlEntity.h"
#include "platform/Win32Types.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

// A place in the text being parsed, as an index; XmlNoPosition is "none" and
// can never be a real place, since a text is never that long.
using XmlPosition = std::size_t;
inline constexpr XmlPosition XmlNoPosition = static_cast<XmlPosition>(-1);

enum class XmlParseError : std::int32_t {
    None = 0,
    SlashWithoutGreater = 1,
    CloseTagUnterminated = 2,
    CloseTagMismatch = 3,
    AttributeMalformed = 4,
};

struct XmlParseOptions {
    bool trim = false;
    bool decodeEntities = true;
    const XmlEntityTable *entities = &DefaultXmlEntities;
    // U+0000 means no escape character.
    char16_t escape = u'\\';
    bool tolerant = false;

    bool errorOccurred = false;
    XmlPosition errorPosition = XmlNoPosition;
    XmlParseError errorCode = XmlParseError::None;
    wstring16 errorText;

    // Keeps only the first error of a load; `first` and `second` fill the "%s" of the text.
    void RecordError(
        XmlParseError code, XmlPosition at, std::u16string_view first = {}, std::u16string_view second = {});

    static wstring16 ErrorText(XmlParseError code, std::u16string_view first = {}, std::u16string_view second = {});
};
