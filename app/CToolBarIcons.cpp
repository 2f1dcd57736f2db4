#include "app/CToolBarIcons.h"

#include <QPainter>
#include <QPixmap>

namespace {

const QColor kInk(0x30, 0x3a, 0x46);
const QColor kPaper(Qt::white);

// The shapes are laid out on a 16-unit square.
void PaintCut(QPainter &p, qreal u)
{
    p.setPen(QPen(kInk, 1.3 * u, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(5 * u, 10 * u), QPointF(11.5 * u, 1.5 * u));
    p.drawLine(QPointF(11 * u, 10 * u), QPointF(4.5 * u, 1.5 * u));
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(0xc0, 0x39, 0x2b), 1.5 * u));
    p.drawEllipse(QPointF(4.2 * u, 12.2 * u), 2.3 * u, 2.3 * u);
    p.drawEllipse(QPointF(11.8 * u, 12.2 * u), 2.3 * u, 2.3 * u);
}

void PaintPage(QPainter &p, qreal u, QRectF page)
{
    p.setPen(QPen(kInk, u));
    p.setBrush(kPaper);
    p.drawRect(page);
    p.setPen(QPen(QColor(0x7f, 0x8c, 0x99), 0.8 * u));
    for (qreal y = page.top() + 2.5 * u; y < page.bottom() - 1.5 * u; y += 2 * u)
        p.drawLine(QPointF(page.left() + 1.5 * u, y), QPointF(page.right() - 1.5 * u, y));
}

void PaintCopy(QPainter &p, qreal u)
{
    PaintPage(p, u, QRectF(1.5 * u, 1.5 * u, 8 * u, 10 * u));
    PaintPage(p, u, QRectF(6.5 * u, 4.5 * u, 8 * u, 10 * u));
}

void PaintPaste(QPainter &p, qreal u)
{
    p.setPen(QPen(kInk, u));
    p.setBrush(QColor(0xb9, 0x83, 0x4b));
    p.drawRoundedRect(QRectF(1.5 * u, 2.5 * u, 10 * u, 12 * u), u, u);
    p.setBrush(QColor(0x95, 0xa5, 0xa6));
    p.drawRect(QRectF(4 * u, 1 * u, 5 * u, 3 * u));
    PaintPage(p, u, QRectF(6.5 * u, 6 * u, 8 * u, 9 * u));
}

void PaintPrint(QPainter &p, qreal u)
{
    PaintPage(p, u, QRectF(4 * u, 1 * u, 8 * u, 6 * u));
    p.setPen(QPen(kInk, u));
    p.setBrush(QColor(0x95, 0xa5, 0xa6));
    p.drawRoundedRect(QRectF(1 * u, 6.5 * u, 14 * u, 6 * u), u, u);
    p.setBrush(kPaper);
    p.drawRect(QRectF(4 * u, 10.5 * u, 8 * u, 4.5 * u));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x27, 0xae, 0x60));
    p.drawEllipse(QPointF(12.8 * u, 8.5 * u), 0.8 * u, 0.8 * u);
}

} // namespace

QIcon CToolBarIcons::ThemedOrDrawn(const char *themeName, Painter paint)
{
    const QIcon themed = QIcon::fromTheme(QString::fromLatin1(themeName));
    if (!themed.isNull())
        return themed;
    QIcon icon;
    for (int size : {16, 24, 32}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        paint(painter, size / 16.0);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

QIcon CToolBarIcons::Cut() { return ThemedOrDrawn("edit-cut", PaintCut); }
QIcon CToolBarIcons::Copy() { return ThemedOrDrawn("edit-copy", PaintCopy); }
QIcon CToolBarIcons::Paste() { return ThemedOrDrawn("edit-paste", PaintPaste); }
QIcon CToolBarIcons::Print() { return ThemedOrDrawn("document-print", PaintPrint); }
