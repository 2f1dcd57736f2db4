#pragma once
// One action read from the catalogue at the moment it is needed.

#include "catalogue/xml/XmlNode.h"
#include "platform/Win32Types.h"

struct CatalogueAction {
    wstring16 id;
    wstring16 desc;
    wstring16 languang; // empty: the browser uses javascript
    wstring16 loopCountText; // copied as written into a new task row
    bool disable = false;
    bool debug = false;
    int reTryCount = 0;
    int bDoCount = 0;
    int loopCount = 0;
    int loopDifTime = 0;
    int iSleep = 0;
    int px1 = 0;
    int py1 = 0;
    int px2 = 0;
    int py2 = 0;
    int doFlashIndex = 0;
    // The first CDATA section, trimmed at both ends.
    wstring16 body;

    bool IsMouseAction() const;

    static CatalogueAction Read(const XmlNode &action);
};
