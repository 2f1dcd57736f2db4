#include "catalogue/CatalogueSite.h"

#include "catalogue/CatalogueSchema.h"

CatalogueSite CatalogueSite::Read(const XmlNode &site)
{
    CatalogueSite out;
    out.name = CatalogueSchema::ReadText(site, u"name");
    out.id = CatalogueSchema::ReadText(site, u"Id");
    out.url = CatalogueSchema::ReadText(site, u"Url");
    return out;
}
