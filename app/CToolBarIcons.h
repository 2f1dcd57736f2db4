#pragma once
// Pictures for the standard toolbar's clipboard and print buttons. The
// desktop's icon theme is used where it has them; otherwise they are drawn
// here, so a button never falls back to its text.

#include <QIcon>

class QPainter;

class CToolBarIcons {
public:
    static QIcon Cut();
    static QIcon Copy();
    static QIcon Paste();
    static QIcon Print();

private:
    using Painter = void (*)(QPainter &painter, qreal unit);
    static QIcon ThemedOrDrawn(const char *themeName, Painter paint);
};
