#pragma once
// Dialog units of a dialog font: horizontally a quarter, vertically an eighth of
// the font's base units (its average letter width and its height).

#include "platform/Win32Types.h"

#include <QFont>
#include <QRect>

class DialogUnits {
public:
    explicit DialogUnits(const QFont &font);
    // The units of the font a template names: measured on the face that stands
    // for it, or, where neither it nor a metric-compatible face is installed,
    // the units it was designed with, so geometry never depends on a fallback.
    DialogUnits(const wstring16 &name, int pointSize);

    // The font a template names, at its point size on a 96-dpi screen (a point
    // size below 1 or an empty name takes the application's font family). A
    // family that is not installed is replaced by a metric-compatible one.
    static QFont DialogFont(const wstring16 &name, int pointSize);
    // The installed face that stands in for a family with the same metrics
    // (SimSun: "AR PL UMing CN"), or the family itself when it is installed or
    // has no known stand-in.
    static QString FaceFor(const QString &family);
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
