#pragma once
// How XmlNode::Text writes an element's own value.

#include "catalogue/xml/XmlEntity.h"

struct XmlTextOptions {
    bool encodeEntities = false;
    const XmlEntityTable *entities = nullptr;
};

// Encoding on, with DefaultXmlEntities.
extern const XmlTextOptions DefaultXmlTextOptions;
