#pragma once
// A dialog or form as the program's resources describe it: caption, style, font
// and size in dialog units, and its controls (identifier, window class, text,
// rectangle in dialog units, style). Templates are JSON files of res/dialogs,
// embedded as resources of type "DIALOG":
//
//   { "id": 316, "caption": "...", "style": ["WS_POPUP", "WS_CAPTION", "DS_MODALFRAME"],
//     "font": { "name": "宋体", "size": 9 }, "rect": [0, 0, 186, 95],
//     "controls": [ { "id": 1, "class": "Button", "text": "设置", "rect": [129, 74, 50, 14],
//                     "style": ["BS_DEFPUSHBUTTON", "WS_TABSTOP"] }, ... ] }
//
// A style is a list of names, numbers or "0x" hexadecimal texts; "NOT name" takes
// bits away. Controls are child windows and visible unless their style says
// "NOT WS_VISIBLE". "rect" is left, top, width, height.

#include "platform/Win32Types.h"

#include <QByteArray>
#include <QString>

#include <optional>
#include <vector>

struct DialogControl {
    int id = 0;
    wstring16 className;
    wstring16 text;
    RECT rect; // dialog units: right and bottom are left + width and top + height
    DWORD style = 0;
    DWORD exStyle = 0;
};

class DialogTemplate {
public:
    int id = 0;
    wstring16 caption;
    DWORD style = 0;
    DWORD exStyle = 0;
    wstring16 fontName;
    int fontSize = 9; // points
    RECT rect; // dialog units
    std::vector<DialogControl> controls;

    // The first control with the identifier, or null.
    const DialogControl *Control(int controlId) const;

    // Reads a template; on failure returns nothing and says why in error.
    static std::optional<DialogTemplate> Parse(const QByteArray &json, QString *error = nullptr);
    // The embedded template with the identifier.
    static std::optional<DialogTemplate> Load(int templateId, QString *error = nullptr);
    // A style name's bits (0 and false for an unknown name).
    static bool StyleBits(const QString &name, DWORD *bits);
};
