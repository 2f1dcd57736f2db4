#include "app/CApplicationLook.h"

#include <QApplication>
#include <QFontDatabase>
#include <QSettings>
#include <QStyle>
#include <QStyleFactory>
#include <QToolTip>
#include <QWidget>

namespace {

struct State {
    CApplicationLook::Manager manager = CApplicationLook::Manager::Office2007;
    CApplicationLook::Office2007Style style = CApplicationLook::Office2007Style::LunaBlue;
};

State &TheState()
{
    static State state;
    return state;
}

struct Colours {
    QColor window, base, alternate, button, text, highlight, highlightedText, mid;
};

QPalette Build(const Colours &c)
{
    QPalette p;
    p.setColor(QPalette::Window, c.window);
    p.setColor(QPalette::WindowText, c.text);
    p.setColor(QPalette::Base, c.base);
    p.setColor(QPalette::AlternateBase, c.alternate);
    p.setColor(QPalette::Text, c.text);
    p.setColor(QPalette::Button, c.button);
    p.setColor(QPalette::ButtonText, c.text);
    p.setColor(QPalette::Highlight, c.highlight);
    p.setColor(QPalette::HighlightedText, c.highlightedText);
    p.setColor(QPalette::ToolTipBase, c.alternate);
    p.setColor(QPalette::ToolTipText, c.text);
    p.setColor(QPalette::Mid, c.mid);
    p.setColor(QPalette::Light, c.button.lighter(125));
    p.setColor(QPalette::Midlight, c.button.lighter(110));
    p.setColor(QPalette::Dark, c.mid.darker(130));
    p.setColor(QPalette::Shadow, c.mid.darker(200));
    const QColor disabled = c.text.lightness() < 128 ? QColor(0x8c, 0x8c, 0x8c) : QColor(0x9a, 0x9a, 0x9a);
    p.setColor(QPalette::Disabled, QPalette::Text, disabled);
    p.setColor(QPalette::Disabled, QPalette::WindowText, disabled);
    p.setColor(QPalette::Disabled, QPalette::ButtonText, disabled);
    return p;
}

QString CjkFamily()
{
    const QStringList installed = QFontDatabase::families();
    for (const QString &family : {QStringLiteral("微软雅黑"), QStringLiteral("Microsoft YaHei"),
             QStringLiteral("Noto Sans CJK SC"), QStringLiteral("Noto Sans SC"), QStringLiteral("WenQuanYi Micro Hei"),
             QStringLiteral("Source Han Sans SC")})
        if (installed.contains(family, Qt::CaseInsensitive))
            return family;
    return QStringLiteral("Noto Sans CJK SC");
}

const QString kLookKey = QStringLiteral("Workspace/ApplicationLook");

} // namespace

CApplicationLook::Choice CApplicationLook::ChoiceOf(int lookId)
{
    Choice c;
    switch (lookId) {
    case ID_VIEW_APPLOOK_WIN_2000:
        c.manager = Manager::Base;
        break;
    case ID_VIEW_APPLOOK_OFF_XP:
        c.manager = Manager::OfficeXP;
        break;
    case ID_VIEW_APPLOOK_WIN_XP:
        c.manager = Manager::Windows;
        c.xpTabs = true;
        break;
    case ID_VIEW_APPLOOK_OFF_2003:
        c.manager = Manager::Office2003;
        c.smartDocking = true;
        break;
    case ID_VIEW_APPLOOK_VS_2005:
        c.manager = Manager::VS2005;
        c.smartDocking = true;
        break;
    default:
        c.manager = Manager::Office2007;
        c.smartDocking = true;
        c.changesStyle = true;
        switch (lookId) {
        case ID_VIEW_APPLOOK_OFF_2007_BLUE:
            c.style = Office2007Style::LunaBlue;
            break;
        case ID_VIEW_APPLOOK_OFF_2007_BLACK:
            c.style = Office2007Style::ObsidianBlack;
            break;
        case ID_VIEW_APPLOOK_OFF_2007_SILVER:
            c.style = Office2007Style::Silver;
            break;
        case ID_VIEW_APPLOOK_OFF_2007_AQUA:
            c.style = Office2007Style::Aqua;
            break;
        default:
            c.changesStyle = false;
            break;
        }
        break;
    }
    return c;
}

QString CApplicationLook::StyleNameOf(Manager manager)
{
    return manager == Manager::Windows ? QStringLiteral("windows") : QStringLiteral("fusion");
}

QPalette CApplicationLook::PaletteOf(Manager manager, Office2007Style style)
{
    const QColor black(0, 0, 0);
    const QColor white(255, 255, 255);
    switch (manager) {
    case Manager::Base:
        return Build({QColor(0xd4, 0xd0, 0xc8), white, QColor(0xf2, 0xf0, 0xec), QColor(0xd4, 0xd0, 0xc8), black,
            QColor(0x0a, 0x24, 0x6a), white, QColor(0x80, 0x80, 0x80)});
    case Manager::OfficeXP:
        return Build({QColor(0xf7, 0xf6, 0xf3), white, QColor(0xfa, 0xf9, 0xf7), QColor(0xe9, 0xe7, 0xe1), black,
            QColor(0xb6, 0xbd, 0xd2), black, QColor(0xa7, 0xa6, 0xaa)});
    case Manager::Windows:
        return Build({QColor(0xec, 0xe9, 0xd8), white, QColor(0xf5, 0xf4, 0xea), QColor(0xf0, 0xef, 0xe4), black,
            QColor(0x31, 0x6a, 0xc5), white, QColor(0xac, 0xa8, 0x99)});
    case Manager::Office2003:
        return Build({QColor(0x9d, 0xbd, 0xeb), white, QColor(0xe3, 0xef, 0xff), QColor(0xdd, 0xec, 0xfe), black,
            QColor(0xff, 0xc1, 0x6b), black, QColor(0x6a, 0x8c, 0xcb)});
    case Manager::VS2005:
        return Build({QColor(0xee, 0xed, 0xe5), white, QColor(0xf7, 0xf6, 0xef), QColor(0xe7, 0xe4, 0xd5), black,
            QColor(0xc1, 0xd2, 0xee), black, QColor(0xa0, 0x9d, 0x8c)});
    case Manager::Office2007:
        break;
    }
    switch (style) {
    case Office2007Style::LunaBlue:
        return Build({QColor(0xbf, 0xdb, 0xff), white, QColor(0xe4, 0xef, 0xfd), QColor(0xd5, 0xe5, 0xfa),
            QColor(0x15, 0x42, 0x8b), QColor(0xff, 0xd5, 0x6e), black, QColor(0x8d, 0xb2, 0xe3)});
    case Office2007Style::ObsidianBlack:
        return Build(
            {QColor(0x53, 0x53, 0x53), QColor(0x3a, 0x3a, 0x3a), QColor(0x47, 0x47, 0x47), QColor(0x65, 0x65, 0x65),
                QColor(0xf0, 0xf0, 0xf0), QColor(0xff, 0xc8, 0x3c), black, QColor(0x2c, 0x2c, 0x2c)});
    case Office2007Style::Silver:
        return Build({QColor(0xd6, 0xdb, 0xe2), white, QColor(0xee, 0xf0, 0xf3), QColor(0xe4, 0xe8, 0xed),
            QColor(0x3b, 0x3b, 0x3b), QColor(0xb8, 0xc8, 0xdc), black, QColor(0x9a, 0xa3, 0xae)});
    case Office2007Style::Aqua:
        return Build({QColor(0xc9, 0xe4, 0xe8), white, QColor(0xe6, 0xf3, 0xf5), QColor(0xd8, 0xee, 0xf1),
            QColor(0x1e, 0x3c, 0x46), QColor(0x6c, 0xc2, 0xd2), black, QColor(0x7f, 0xb3, 0xbe)});
    }
    return QPalette();
}

void CApplicationLook::Apply(int lookId)
{
    const Choice choice = ChoiceOf(lookId);
    State &s = TheState();
    s.manager = choice.manager;
    if (choice.changesStyle)
        s.style = choice.style;
    const QString styleName = StyleNameOf(choice.manager);
    if (QApplication::style()->name().compare(styleName, Qt::CaseInsensitive) != 0)
        if (QStyle *style = QStyleFactory::create(styleName))
            QApplication::setStyle(style);
    QApplication::setPalette(PaletteOf(choice.manager, s.style));
}

CApplicationLook::Manager CApplicationLook::CurrentManager() { return TheState().manager; }

CApplicationLook::Office2007Style CApplicationLook::CurrentOffice2007Style() { return TheState().style; }

int CApplicationLook::ReadStored()
{
    QSettings settings;
    bool ok = false;
    const int id = settings.value(kLookKey, kDefaultLook).toInt(&ok);
    return ok ? id : kDefaultLook;
}

void CApplicationLook::Store(int lookId)
{
    QSettings settings;
    settings.setValue(kLookKey, lookId);
}

QFont CApplicationLook::InterfaceFont(FontKind kind)
{
    QFont font(CjkFamily());
    font.setPixelSize(12);
    font.setBold(kind == FontKind::Bold);
    return font;
}

QString CApplicationLook::ToolTipText(const QString &name, const QKeySequence &key)
{
    const QFont bold = InterfaceFont(FontKind::Bold);
    QString tip = QStringLiteral("<span style=\"font-family:'%1'; font-size:%2px; font-weight:bold\">%3</span>")
                      .arg(bold.family().toHtmlEscaped())
                      .arg(bold.pixelSize())
                      .arg(name.toHtmlEscaped());
    if (!key.isEmpty())
        tip += QStringLiteral(" (%1)").arg(key.toString(QKeySequence::NativeText).toHtmlEscaped());
    return tip;
}

void CApplicationLook::ApplyInterfaceFonts(QWidget *frame)
{
    const QFont regular = InterfaceFont();
    for (const char *cls : {"QMenuBar", "QMenu", "QToolBar", "QToolButton", "QStatusBar", "QTabBar"})
        QApplication::setFont(regular, cls);
    QToolTip::setFont(InterfaceFont(FontKind::Tooltip));
    if (frame)
        frame->setFont(regular);
}
