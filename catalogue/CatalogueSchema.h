#pragma once
// The catalogue's elements and the three ways its attribute values are read.

#include "catalogue/xml/XmlNode.h"
#include "platform/Win32Types.h"

#include <string_view>

namespace CatalogueSchema {

// Only direct children of the root named SiteElement are sites; only a site's
// first EventElement holds its actions; an action's body is its first BodyNode.
inline constexpr std::u16string_view RootElement = u"game";
inline constexpr std::u16string_view SiteElement = u"item";
inline constexpr std::u16string_view NotesElement = u"property";
inline constexpr std::u16string_view EventElement = u"event";
inline constexpr std::u16string_view ActionElement = u"action";
inline constexpr std::u16string_view BodyNode = u"#CDATA";

// The bodies that make an action a recorded mouse gesture.
inline constexpr std::u16string_view MouseBodies[] = {u"DoClick", u"DoDraw", u"DoScroll"};

// Absent reads as empty text.
wstring16 ReadText(const XmlNode &node, std::u16string_view attribute);
// True when the lower-cased text is "true".
bool ReadFlag(const XmlNode &node, std::u16string_view attribute);
// Optional sign and leading digits; anything else, or an absent attribute, reads as 0.
int ReadInteger(const XmlNode &node, std::u16string_view attribute);

} // namespace CatalogueSchema
