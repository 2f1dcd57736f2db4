// Any text as a catalogue the auxiliary table imports; whatever it yields,
// written out again by the editor and imported once more, comes back the same.

#include "platform/WideString.h"
#include "tools/TempCatalogue.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

TempCatalogue::Action ToCells(const ActionRow &row)
{
    TempCatalogue::Action a;
    a.id = u"id1";
    a.px1 = WideString::FromInt(row.x1);
    a.px2 = WideString::FromInt(row.x2);
    a.py1 = WideString::FromInt(row.y1);
    a.py2 = WideString::FromInt(row.y2);
    a.desc = row.desc;
    a.reTryCount = WideString::FromInt(row.retry);
    a.bDoCount = WideString::FromInt(row.runs);
    a.loopCount = WideString::FromInt(row.loopCount);
    a.loopDifTime = WideString::FromInt(row.loopInterval);
    a.doFlashIndex = WideString::FromInt(row.flashIndex);
    a.iSleep = WideString::FromInt(row.delay);
    a.body = row.body;
    a.language = row.language;
    return a;
}

bool Same(const ActionRow &a, const ActionRow &b)
{
    return a.body == b.body && a.desc == b.desc && a.language == b.language && a.x1 == b.x1 && a.x2 == b.x2 &&
        a.y1 == b.y1 && a.y2 == b.y2 && a.retry == b.retry && a.runs == b.runs && a.loopCount == b.loopCount &&
        a.loopInterval == b.loopInterval && a.flashIndex == b.flashIndex && a.delay == b.delay;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    std::u16string text;
    for (std::size_t i = 0; i + 1 < size; i += 2)
        text.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
    const auto rows = TempCatalogue::ReadActions(text);
    if (!rows)
        return 0;
    std::vector<TempCatalogue::Action> cells;
    for (const ActionRow &row : *rows)
        cells.push_back(ToCells(row));
    const auto again = TempCatalogue::Compose(u"u", cells, TempCatalogue::Form::Editor);
    if (!again)
        return 0; // a body holding "]]>" is refused, never written
    const auto back = TempCatalogue::ReadActions(*again);
    if (!back || back->size() != rows->size())
        std::abort();
    for (std::size_t i = 0; i < rows->size(); ++i)
        if (!Same((*rows)[i], (*back)[i]))
            std::abort();
    return 0;
}
