#include "catalogue/CatalogueAction.h"

#include "catalogue/CCatalogue.h"
#include "catalogue/CatalogueSchema.h"

namespace {

struct TextAttribute {
    std::u16string_view name;
    wstring16 CatalogueAction::*field;
};
struct FlagAttribute {
    std::u16string_view name;
    bool CatalogueAction::*field;
};
struct IntegerAttribute {
    std::u16string_view name;
    int CatalogueAction::*field;
};

// The action's attributes by the way each one is read.
const TextAttribute TextAttributes[] = {
    {u"id", &CatalogueAction::id},
    {u"desc", &CatalogueAction::desc},
    {u"languang", &CatalogueAction::languang},
    {u"loopCount", &CatalogueAction::loopCountText},
};
const FlagAttribute FlagAttributes[] = {
    {u"disable", &CatalogueAction::disable},
    {u"debug", &CatalogueAction::debug},
};
const IntegerAttribute IntegerAttributes[] = {
    {u"reTryCount", &CatalogueAction::reTryCount},
    {u"bDoCount", &CatalogueAction::bDoCount},
    {u"loopCount", &CatalogueAction::loopCount},
    {u"loopDifTime", &CatalogueAction::loopDifTime},
    {u"iSleep", &CatalogueAction::iSleep},
    {u"px1", &CatalogueAction::px1},
    {u"py1", &CatalogueAction::py1},
    {u"px2", &CatalogueAction::px2},
    {u"py2", &CatalogueAction::py2},
    {u"doFlashIndex", &CatalogueAction::doFlashIndex},
};

} // namespace

bool CatalogueAction::IsMouseAction() const { return CCatalogue::IsMouseBody(body); }

CatalogueAction CatalogueAction::Read(const XmlNode &action)
{
    CatalogueAction out;
    for (const TextAttribute &a : TextAttributes)
        out.*a.field = CatalogueSchema::ReadText(action, a.name);
    for (const FlagAttribute &a : FlagAttributes)
        out.*a.field = CatalogueSchema::ReadFlag(action, a.name);
    for (const IntegerAttribute &a : IntegerAttributes)
        out.*a.field = CatalogueSchema::ReadInteger(action, a.name);
    out.body = CCatalogue::ActionBody(action);
    return out;
}
