#include "platform/qt/DialogUnits.h"

#include <QApplication>
#include <QFontDatabase>
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

namespace {

// Families the templates name with their metric-compatible stand-ins: Song
// faces whose letters are half as wide as the pixel size and whose height is it.
struct Stand {
    const char16_t *family;
    const char16_t *face;
};
constexpr Stand kStandIns[] = {
    {u"宋体", u"AR PL UMing CN"},
    {u"SimSun", u"AR PL UMing CN"},
    {u"新宋体", u"AR PL UMing CN"},
    {u"NSimSun", u"AR PL UMing CN"},
};

bool Installed(const QString &family) { return QFontDatabase::families().contains(family, Qt::CaseInsensitive); }

const Stand *StandFor(const QString &family)
{
    for (const Stand &s : kStandIns)
        if (family.compare(QString::fromUtf16(s.family), Qt::CaseInsensitive) == 0)
            return &s;
    return nullptr;
}

QString Family(const wstring16 &name) { return QString::fromUtf16(name.data(), static_cast<qsizetype>(name.size())); }

} // namespace

QString DialogUnits::FaceFor(const QString &family)
{
    if (Installed(family))
        return family;
    const Stand *stand = StandFor(family);
    if (stand && Installed(QString::fromUtf16(stand->face)))
        return QString::fromUtf16(stand->face);
    return family;
}

QFont DialogUnits::DialogFont(const wstring16 &name, int pointSize)
{
    QFont font = QApplication::font();
    if (!name.empty())
        font.setFamilies({FaceFor(Family(name))});
    if (pointSize > 0)
        font.setPixelSize(MulDiv(pointSize, 96, 72));
    return font;
}

DialogUnits::DialogUnits(const wstring16 &name, int pointSize) : DialogUnits(DialogFont(name, pointSize))
{
    const QString family = Family(name);
    if (name.empty() || pointSize <= 0 || !StandFor(family) || Installed(FaceFor(family)))
        return;
    // Neither the family nor its stand-in: the units it would have had.
    const int pixels = MulDiv(pointSize, 96, 72);
    m_baseX = std::max(1, (pixels + 1) / 2);
    m_baseY = std::max(1, pixels);
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
