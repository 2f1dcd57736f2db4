// Any bytes into the XML loader, under every option it has, then every lookup
// the catalogue makes on whatever tree comes out.

#include "catalogue/CCatalogue.h"
#include "catalogue/CatalogueAction.h"
#include "catalogue/CatalogueSite.h"
#include "catalogue/xml/XmlNode.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

void WalkCatalogue(const XmlNode &root)
{
    int index = 0;
    for (XmlNode *site : CCatalogue::Sites(root)) {
        Check(CCatalogue::Site(root, index++) == site);
        (void)CatalogueSite::Read(*site);
        std::vector<XmlNode *> enabled = CCatalogue::EnabledActions(*site);
        for (std::size_t k = 0; k < enabled.size(); ++k)
            Check(CCatalogue::EnabledAction(*site, static_cast<int>(k)) == enabled[k]);
        Check(CCatalogue::EnabledAction(*site, static_cast<int>(enabled.size())) == nullptr);
        if (XmlNode *event = CCatalogue::SiteEvent(*site)) {
            for (XmlNode *action : CCatalogue::Actions(*event)) {
                CatalogueAction read = CatalogueAction::Read(*action);
                XmlNode *byId = CCatalogue::ActionById(*site, read.id);
                Check(byId != nullptr);
                Check(CatalogueAction::Read(*byId).id == read.id);
                (void)read.IsMouseAction();
            }
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 1)
        return 0;
    const std::uint8_t flags = data[0];
    ++data;
    --size;

    // Odd bytes become UTF-16 units as they come, lone surrogates and NULs included.
    std::u16string text(size / 2, u'\0');
    for (std::size_t i = 0; i < text.size(); ++i)
        text[i] = static_cast<char16_t>(data[2 * i] | (data[2 * i + 1] << 8));
    if (flags & 0x40) {
        // A narrow alphabet finds markup faster than random units do.
        text.assign(size, u'\0');
        for (std::size_t i = 0; i < size; ++i)
            text[i] = static_cast<char16_t>(data[i]);
    }

    XmlParseOptions options;
    options.tolerant = flags & 0x01;
    options.trim = flags & 0x02;
    options.decodeEntities = flags & 0x04;
    if (flags & 0x08)
        options.escape = 0;
    if (flags & 0x10)
        options.entities = nullptr;

    if (flags & 0x20) {
        XmlNode document;
        bool loaded = document.LoadDocument(text, options);
        Check(!loaded || !document.children.empty());
        (void)document.Text(DefaultXmlTextOptions);
        for (const auto &child : document.children)
            if (child->kind == XmlNodeKind::Element)
                WalkCatalogue(*child);
        return 0;
    }

    XmlNode root;
    XmlPosition end = root.Load(text, 0, options);
    Check(end == XmlNoPosition || end <= text.size());
    Check(options.errorOccurred == (options.errorCode != XmlParseError::None));
    Check(!options.errorOccurred || options.errorPosition <= text.size());
    (void)root.Text(DefaultXmlTextOptions);
    (void)root.Text(XmlTextOptions {});
    (void)root.ChildText(u"#CDATA", DefaultXmlTextOptions);
    WalkCatalogue(root);
    // Loading again into the same node from where the first load stopped.
    if (end != XmlNoPosition) {
        XmlParseOptions again;
        again.tolerant = true;
        XmlPosition next = root.Load(text, end, again);
        Check(next == XmlNoPosition || next <= text.size());
        WalkCatalogue(root);
    }
    return 0;
}
