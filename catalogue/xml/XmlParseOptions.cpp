#include "catalogue/xml/XmlParseOptions.h"

void XmlParseOptions::RecordError(
    XmlParseError code, XmlPosition at, std::u16string_view first, std::u16string_view second)
{
    if (errorOccurred)
        return;
    errorOccurred = true;
    errorPosition = at;
    errorCode = code;
    errorText = ErrorText(code, first, second);
}

wstring16 XmlParseOptions::ErrorText(XmlParseError code, std::u16string_view first, std::u16string_view second)
{
    wstring16 text;
    switch (code) {
    case XmlParseError::None:
        break;
    case XmlParseError::SlashWithoutGreater:
        text = u"Element must be closed.";
        break;
    case XmlParseError::CloseTagUnterminated:
        text.append(u"it must be closed with </").append(first).append(u">");
        break;
    case XmlParseError::CloseTagMismatch:
        text.append(u"'<").append(first).append(u"> ... </").append(second).append(u">' is not wel-formed.");
        break;
    case XmlParseError::AttributeMalformed:
        text.append(u"<").append(first).append(u"> attribute has error ");
        break;
    }
    return text;
}
