#pragma once
// The attributes of one site, as the task panel shows them.

#include "catalogue/xml/XmlNode.h"
#include "platform/Win32Types.h"

struct CatalogueSite {
    wstring16 name; // the site combo's entry
    wstring16 id; // written by the tools, never read by the panel
    wstring16 url;

    static CatalogueSite Read(const XmlNode &site);
};
