// Any bytes as a catalogue file: read as UTF-8 or UTF-16LE with its mark,
// parsed as the task panel does, then walked by every lookup.

#include "catalogue/CCatalogue.h"
#include "catalogue/CatalogueAction.h"
#include "catalogue/CatalogueSite.h"
#include "platform/UserInterface.h"
#include "platform/WideString.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

bool g_failed = false;

const std::string &FilePath()
{
    static const std::string path = "/tmp/tessaly-fuzz-catalogue-" + std::to_string(getpid()) + ".xml";
    return path;
}

void Setup()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    SetMessageBoxSeam([](HWND, const wstring16 &, const wstring16 &, UINT) { return IDOK; });
    CCatalogue::SetProcessEnd([](int code) {
        if (code != 1)
            std::abort();
        g_failed = true;
    });
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    Setup();
    if (FILE *f = std::fopen(FilePath().c_str(), "wb")) {
        std::fwrite(data, 1, size, f);
        std::fclose(f);
    } else {
        return 0;
    }
    g_failed = false;
    CCatalogue catalogue;
    bool loaded = catalogue.LoadCatalogue(WideString::FromUtf8(FilePath()));
    if (loaded == g_failed)
        std::abort();
    std::shared_ptr<const XmlNode> root = catalogue.Snapshot();
    for (XmlNode *site : CCatalogue::Sites(*root)) {
        (void)CatalogueSite::Read(*site);
        for (XmlNode *action : CCatalogue::EnabledActions(*site))
            (void)CatalogueAction::Read(*action);
        if (XmlNode *event = CCatalogue::SiteEvent(*site))
            for (XmlNode *action : CCatalogue::Actions(*event))
                if (!CCatalogue::ActionById(*site, CatalogueAction::Read(*action).id))
                    std::abort();
    }
    return 0;
}
