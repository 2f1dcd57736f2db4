#pragma once
// The frame's visual looks 210 to 218 and its interface fonts. Each look is a
// Qt style with a palette of its own, applied to the whole application as the
// looks of a desktop framework are. Looks other than 210-218 keep the last
// Office 2007 colour scheme with that family's style.

#include <QFont>
#include <QKeySequence>
#include <QPalette>
#include <QString>

class QWidget;

class CApplicationLook {
public:
    enum Look : int {
        ID_VIEW_APPLOOK_WIN_2000 = 210,
        ID_VIEW_APPLOOK_OFF_XP = 211,
        ID_VIEW_APPLOOK_WIN_XP = 212,
        ID_VIEW_APPLOOK_OFF_2003 = 213,
        ID_VIEW_APPLOOK_VS_2005 = 214,
        ID_VIEW_APPLOOK_OFF_2007_BLUE = 215,
        ID_VIEW_APPLOOK_OFF_2007_BLACK = 216,
        ID_VIEW_APPLOOK_OFF_2007_SILVER = 217,
        ID_VIEW_APPLOOK_OFF_2007_AQUA = 218,
    };
    static constexpr int kDefaultLook = ID_VIEW_APPLOOK_OFF_2007_AQUA;

    enum class Manager { Base, OfficeXP, Windows, Office2003, VS2005, Office2007 };
    enum class Office2007Style { LunaBlue, ObsidianBlack, Silver, Aqua };

    struct Choice {
        Manager manager = Manager::Office2007;
        bool changesStyle = false; // false: the Office 2007 style stays as it is
        Office2007Style style = Office2007Style::LunaBlue;
        bool smartDocking = false;
        bool xpTabs = false;
    };
    static Choice ChoiceOf(int lookId);

    // Applies the look to the application: Qt style and palette.
    static void Apply(int lookId);
    static Manager CurrentManager();
    static Office2007Style CurrentOffice2007Style();
    // The Qt style's name of a manager ("windows" for the Windows look).
    static QString StyleNameOf(Manager manager);
    static QPalette PaletteOf(Manager manager, Office2007Style style);

    // The stored look ("ApplicationLook" of section "Workspace"), default 218.
    static int ReadStored();
    static void Store(int lookId);

    // The frame's three interface fonts: "微软雅黑" at a 12-pixel character
    // height where that family is installed, else a Chinese sans family that is.
    // Regular for menus and bars, bold for what stands out in them (a menu's
    // default item, the name of a toolbar button in its tip), tooltip for tips.
    enum class FontKind { Regular, Bold, Tooltip };
    static QFont InterfaceFont(FontKind kind = FontKind::Regular);
    // A toolbar button's tip: its name in the bold font, then its key.
    static QString ToolTipText(const QString &name, const QKeySequence &key);
    // Gives the frame, its menus, bars and tool tips the interface fonts.
    static void ApplyInterfaceFonts(QWidget *frame);
};
