#pragma once
// The program's picture: four tiles, one of them lit. Drawn rather than shipped,
// so it is sharp at every size; the build exports the installed icon files from
// this same drawing.

#include <QIcon>

class QPainter;

class CAppIcon {
public:
    // The sizes a desktop asks for, in pixels.
    static constexpr int kSizes[] = {16, 24, 32, 48, 64, 128, 256};

    // Draws the picture into the square (0, 0, size, size).
    static void Paint(QPainter &painter, int size);
    // Every size of kSizes.
    static QIcon Icon();
};
