#include "app/CAppIcon.h"

#include <QPainter>
#include <QPixmap>

void CAppIcon::Paint(QPainter &painter, int size)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal unit = size / 16.0;
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x2e, 0x6d, 0xb4));
    painter.drawRoundedRect(QRectF(0, 0, size, size), 3 * unit, 3 * unit);
    const qreal tile = 5.5 * unit;
    const qreal gap = 1.5 * unit;
    const qreal origin = (size - 2 * tile - gap) / 2;
    for (int i = 0; i < 4; ++i) {
        const bool lit = i == 3;
        painter.setBrush(lit ? QColor(0xf5, 0xa6, 0x23) : QColor(Qt::white));
        const QRectF r(origin + (i % 2) * (tile + gap), origin + (i / 2) * (tile + gap), tile, tile);
        painter.drawRoundedRect(r, unit, unit);
    }
    painter.restore();
}

QIcon CAppIcon::Icon()
{
    QIcon icon;
    for (int size : kSizes) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        Paint(painter, size);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}
