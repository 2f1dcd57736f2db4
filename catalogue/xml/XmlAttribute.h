#pragma once
// One attribute of an element or processing instruction, in document order.

#include "platform/Win32Types.h"

class XmlNode;

struct XmlAttribute {
    wstring16 name;
    // Empty when the attribute was written without "=".
    wstring16 value;
    XmlNode *parent = nullptr;
};
