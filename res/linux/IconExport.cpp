// Build-time tool: writes the installed icon files from the program's own drawing,
// tessaly.png at every size into OUT/NxN/apps/ and tessaly.svg into OUT/scalable/apps/.

#include "app/CAppIcon.h"

#include <QDir>
#include <QImage>
#include <QPainter>
#include <QString>
#include <QSvgGenerator>

#include <cstdio>

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUT\n", argv[0]);
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    for (int size : CAppIcon::kSizes) {
        const QString folder = out + QStringLiteral("/%1x%1/apps").arg(size);
        QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        CAppIcon::Paint(painter, size);
        painter.end();
        if (!QDir().mkpath(folder) || !image.save(folder + QStringLiteral("/tessaly.png"))) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(folder));
            return 1;
        }
    }
    const QString scalable = out + QStringLiteral("/scalable/apps");
    if (!QDir().mkpath(scalable))
        return 1;
    constexpr int kSvgSize = 256;
    QSvgGenerator svg;
    svg.setFileName(scalable + QStringLiteral("/tessaly.svg"));
    svg.setSize(QSize(kSvgSize, kSvgSize));
    svg.setViewBox(QRect(0, 0, kSvgSize, kSvgSize));
    svg.setTitle(QStringLiteral("Tessaly"));
    QPainter painter;
    if (!painter.begin(&svg))
        return 1;
    CAppIcon::Paint(painter, kSvgSize);
    return painter.end() ? 0 : 1;
}
