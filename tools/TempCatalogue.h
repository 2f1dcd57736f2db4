#pragma once
// The catalogue file the recorder and the editor write: one site, "Tessaly",
// whose event holds the tool's rows as actions. The text is UTF-16LE with its
// mark although its declaration says utf-8; the catalogue reader goes by the mark.

#include "platform/UserInterface.h"
#include "platform/Win32Types.h"
#include "tools/ActionRow.h"

#include <optional>
#include <string_view>
#include <vector>

class TempCatalogue {
public:
    // One action as the tools' list cells hold it.
    struct Action {
        wstring16 id;
        wstring16 px1;
        wstring16 px2;
        wstring16 py1;
        wstring16 py2;
        wstring16 desc;
        wstring16 reTryCount;
        wstring16 bDoCount;
        wstring16 loopCount;
        wstring16 loopDifTime;
        wstring16 doFlashIndex;
        wstring16 iSleep;
        wstring16 body; // the CDATA
        // Written as `languang` when not empty; the editor's form leaves a
        // blank in its place when empty, the recorder's has no such place.
        wstring16 language;
    };
    enum class Form { Recorder, Editor };

    // The whole text, or nothing when a body cannot stand in a CDATA section
    // (it holds "]]>"); *badRow then says which (0-based).
    static std::optional<wstring16> Compose(
        const wstring16 &url, const std::vector<Action> &actions, Form form, std::size_t *badRow = nullptr);

    // An attribute value the catalogue reader gives back unchanged: the five
    // characters it decodes and its escape character are written escaped.
    static wstring16 EscapeAttribute(std::u16string_view value);

    static bool Write(const wstring16 &path, const wstring16 &text);

    // The file dialogs the tools and the panel ask for a catalogue with.
    static FileDialogRequest SaveDialog(HWND owner);
    static FileDialogRequest OpenDialog(HWND owner);

    // The actions of a catalogue text as the auxiliary table imports them: the
    // items in order, each through its first event, stopping at the first item
    // that has none; a script without a language becomes "javascript". Nothing
    // when the text is not well-formed.
    static std::optional<std::vector<ActionRow>> ReadActions(std::u16string_view text);

    // Composes and writes the file and tells the user how it went: the row
    // that cannot be written (nothing is), a failed write, or where to load it.
    static bool Save(
        HWND owner, const wstring16 &path, const wstring16 &url, const std::vector<Action> &actions, Form form);

    static constexpr char16_t kGeneratedMessage[] = u"配置文件已生成，在左窗格加载。";
    static constexpr char16_t kSiteName[] = u"Tessaly";
};
