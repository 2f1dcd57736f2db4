#include "platform/qt/DialogUnits.h"

#include <QApplication>
#include <QFontMetrics>

#include <algorithm>
#include <cstdint>
#include <cstdlib>

DialogUnits::DialogUnits(const QFont &font)
{
    const QFontMetrics metrics(font);
    // The average width of the 52 letters, rounded, as the system has always taken it.
    const int letters =
        metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    m_baseX = std::max(1, (letters / 26 + 1) / 2);
    m_baseY = std::max(1, metrics.height());
}

QFont DialogUnits::DialogFont(const wstring16 &name, int pointSize)
{
    QFont font = QApplication::font();
    if (!name.empty())
        font.setFamilies({QString::fromUtf16(name.data(), static_cast<qsizetype>(name.size()))});
    if (pointSize > 0)
        font.setPixelSize(MulDiv(pointSize, 96, 72));
    return font;
}

int DialogUnits::MulDiv(int a, int b, int c)
{
    if (c == 0)
        return 0;
    const std::int64_t product = static_cast<std::int64_t>(a) * b;
    const std::int64_t half = std::llabs(c) / 2;
    const bool negative = (product < 0) != (c < 0);
    const std::int64_t magnitude = (std::llabs(product) + half) / std::llabs(c);
    return static_cast<int>(negative ? -magnitude : magnitude);
}

QRect DialogUnits::MapDialogRect(const RECT &units) const
{
    const int left = X(units.left);
    const int top = Y(units.top);
    return QRect(left, top, X(units.right) - left, Y(units.bottom) - top);
}
