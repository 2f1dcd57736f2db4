#pragma once
// A node of the in-memory XML tree, and the lenient parser that fills it.

#include "catalogue/xml/XmlAttribute.h"
#include "catalogue/xml/XmlParseOptions.h"
#include "catalogue/xml/XmlTextOptions.h"
#include "platform/Win32Types.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

enum class XmlNodeKind : std::int32_t {
    Element = 0,
    ProcessingInstruction = 1,
    Comment = 2,
    CData = 3,
    Document = 4,
};

class XmlNode {
public:
    // Deeper nesting fails the load: no catalogue comes near it, and it keeps a
    // hostile file from exhausting memory or the stack of whoever walks the tree.
    static constexpr std::size_t MaxDepth = 10000;

    XmlNode() = default;
    // Frees the subtree without recursing, however deep it is.
    ~XmlNode();
    XmlNode(const XmlNode &) = delete;
    XmlNode &operator=(const XmlNode &) = delete;

    // Parses the element that starts at the first "<" at or after `from` into
    // this node. Returns the place after it, the place of a closing tag that
    // belongs to the caller, the place after a comment or CDATA section that
    // stood where an element was expected (this node then stays empty), the
    // end of the text when the text ended inside the element, or XmlNoPosition
    // on failure. Never reads outside `text`.
    XmlPosition Load(std::u16string_view text, XmlPosition from, XmlParseOptions &options);

    // Fills a Document node: its children become the instructions, comments
    // and sections around the root element, and the root element itself.
    // False when the root element cannot be loaded.
    bool LoadDocument(std::u16string_view text, XmlParseOptions &options);

    const XmlAttribute *FindAttribute(std::u16string_view attributeName) const;
    // nullptr when the attribute is absent; an empty value is an empty text.
    const wstring16 *AttributeValue(std::u16string_view attributeName) const;
    XmlNode *FindChild(std::u16string_view childName) const;
    std::vector<XmlNode *> FindChildren(std::u16string_view childName) const;

    wstring16 Text(const XmlTextOptions &options) const;
    // Empty when there is no child of that name.
    wstring16 ChildText(std::u16string_view childName, const XmlTextOptions &options) const;

    wstring16 name;
    wstring16 value;
    XmlNode *parent = nullptr;
    std::vector<std::unique_ptr<XmlNode>> children;
    std::vector<XmlAttribute> attributes;
    XmlNodeKind kind = XmlNodeKind::Element;
    XmlNode *document = nullptr;
};
