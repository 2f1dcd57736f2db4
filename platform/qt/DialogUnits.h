#pragma once
// Dialog units of a dialog font: horizontally a quarter, vertically an eighth of
// the font's base units (its average letter width and its height).

#include "platform/Win32Types.h"

#include <QFont>
#include <QRect>

class DialogUnits {
public:
    explicit DialogUnits(const QFont &font);

    // The font a template names, at its point size on a 96-dpi screen (a point
    // size below 1 or an empty name takes the application's font family).
    static QFont DialogFont(const wstring16 &name, int pointSize);
    // a * b / c rounded half away from zero (0 when c is 0).
    static int MulDiv(int a, int b, int c);

    int BaseX() const { return m_baseX; }
    int BaseY() const { return m_baseY; }
    int X(int units) const { return MulDiv(units, m_baseX, 4); }
    int Y(int units) const { return MulDiv(units, m_baseY, 8); }
    // A rectangle in dialog units (right and bottom exclusive) in pixels.
    QRect MapDialogRect(const RECT &units) const;

private:
    int m_baseX = 0;
    int m_baseY = 0;
};
