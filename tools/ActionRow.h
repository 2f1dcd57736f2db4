#pragma once
// The rows of the authoring tools' lists. The editor and the auxiliary table
// show all fifteen columns; the recorder shows the first fourteen. An action
// travels between the tools as the fields below.

#include "platform/Win32Types.h"

#include <functional>
#include <string_view>

struct ActionRow {
    enum Column : int {
        ColNumber = 0, // "序号": position when added, never renumbered
        ColDesc, // description with its kind word
        ColX1,
        ColX2,
        ColY1,
        ColY2,
        ColFlashIndex, // 0 in the game area, -1 not
        ColRetry,
        ColRuns,
        ColLoopCount,
        ColLoopInterval,
        ColId,
        ColAction, // the record word (or the script text a row was given)
        ColDelay,
        ColLanguage, // not in the recorder's list
        ColumnCount
    };
    static constexpr int kRecorderColumns = ColLanguage;

    struct Header {
        const char16_t *text;
        int width; // 0: hidden
    };
    static const Header kHeaders[ColumnCount];

    wstring16 body; // record word or script text
    int x1 = 0;
    int x2 = 0;
    int y1 = 0;
    int y2 = 0;
    wstring16 desc;
    int retry = 0;
    int runs = 0;
    int loopCount = 0;
    int loopInterval = 0;
    int flashIndex = 0;
    int delay = 0;
    wstring16 language;

    // "DoClick", "DoDraw" or "DoScroll", compared exactly.
    static bool IsRecordWord(std::u16string_view body);
    // "散点" for a drag, "滚动" for a scroll, "点击" for anything else.
    static std::u16string_view KindWord(std::u16string_view body);
    // "id" and the tick count, or the next number after it that no row has yet,
    // so that rows added within one tick keep ids of their own.
    static wstring16 NewId(DWORD tick, const std::function<bool(const wstring16 &id)> &taken);
};
