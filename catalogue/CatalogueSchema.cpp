#include "catalogue/CatalogueSchema.h"

#include "platform/WideString.h"

namespace CatalogueSchema {

wstring16 ReadText(const XmlNode &node, std::u16string_view attribute)
{
    const wstring16 *value = node.AttributeValue(attribute);
    return value ? *value : wstring16();
}

bool ReadFlag(const XmlNode &node, std::u16string_view attribute)
{
    const wstring16 *value = node.AttributeValue(attribute);
    return value && value->size() == 4 && WideString::ToLower(*value) == u"true";
}

int ReadInteger(const XmlNode &node, std::u16string_view attribute)
{
    const wstring16 *value = node.AttributeValue(attribute);
    return value ? WideString::ToInt(*value) : 0;
}

} // namespace CatalogueSchema
