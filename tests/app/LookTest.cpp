// The looks 210-218 as Qt styles and palettes, the stored choice and the fonts.

#include "app/CApplicationLook.h"

#include <QApplication>
#include <QFontDatabase>
#include <QSettings>
#include <QStyle>
#include <gtest/gtest.h>

#include <set>

namespace {

using Look = CApplicationLook;
using Manager = CApplicationLook::Manager;
using Style = CApplicationLook::Office2007Style;

TEST(Look, EachIdentifierChoosesItsManager)
{
    const struct {
        int id;
        Manager manager;
        bool changesStyle;
        Style style;
        bool smartDocking;
        bool xpTabs;
    } cases[] = {
        {210, Manager::Base, false, Style::LunaBlue, false, false},
        {211, Manager::OfficeXP, false, Style::LunaBlue, false, false},
        {212, Manager::Windows, false, Style::LunaBlue, false, true},
        {213, Manager::Office2003, false, Style::LunaBlue, true, false},
        {214, Manager::VS2005, false, Style::LunaBlue, true, false},
        {215, Manager::Office2007, true, Style::LunaBlue, true, false},
        {216, Manager::Office2007, true, Style::ObsidianBlack, true, false},
        {217, Manager::Office2007, true, Style::Silver, true, false},
        {218, Manager::Office2007, true, Style::Aqua, true, false},
        {300, Manager::Office2007, false, Style::LunaBlue, true, false},
        {0, Manager::Office2007, false, Style::LunaBlue, true, false},
        {-1, Manager::Office2007, false, Style::LunaBlue, true, false},
    };
    for (const auto &c : cases) {
        const Look::Choice choice = Look::ChoiceOf(c.id);
        EXPECT_EQ(choice.manager, c.manager) << c.id;
        EXPECT_EQ(choice.changesStyle, c.changesStyle) << c.id;
        if (c.changesStyle) {
            EXPECT_EQ(choice.style, c.style) << c.id;
        }
        EXPECT_EQ(choice.smartDocking, c.smartDocking) << c.id;
        EXPECT_EQ(choice.xpTabs, c.xpTabs) << c.id;
    }
}

TEST(Look, EveryLookLooksDifferent)
{
    std::set<std::pair<QString, QRgb>> seen;
    for (int id = 210; id <= 218; ++id) {
        Look::Apply(id);
        const QString style = QApplication::style()->name().toLower();
        const QRgb window = QApplication::palette().color(QPalette::Window).rgb();
        EXPECT_TRUE(seen.insert({style, window}).second) << id;
        EXPECT_EQ(style, Look::StyleNameOf(Look::ChoiceOf(id).manager)) << id;
    }
    Look::Apply(212);
    EXPECT_EQ(QApplication::style()->name().toLower(), QStringLiteral("windows"));
    EXPECT_EQ(Look::CurrentManager(), Manager::Windows);
    // Obsidian is dark: text must stay readable on it.
    Look::Apply(216);
    const QPalette dark = QApplication::palette();
    EXPECT_LT(dark.color(QPalette::Window).lightness(), 128);
    EXPECT_GT(dark.color(QPalette::WindowText).lightness(), 128);
}

TEST(Look, AnUnknownIdentifierKeepsTheOffice2007SchemeInUse)
{
    Look::Apply(216);
    Look::Apply(212);
    Look::Apply(300);
    EXPECT_EQ(Look::CurrentManager(), Manager::Office2007);
    EXPECT_EQ(Look::CurrentOffice2007Style(), Style::ObsidianBlack);
    EXPECT_EQ(QApplication::style()->name().toLower(), QStringLiteral("fusion"));
    EXPECT_EQ(QApplication::palette().color(QPalette::Window),
        Look::PaletteOf(Manager::Office2007, Style::ObsidianBlack).color(QPalette::Window));
    Look::Apply(218);
}

TEST(Look, StoredPerUserWithDefault218)
{
    QSettings().remove(QStringLiteral("Workspace"));
    EXPECT_EQ(Look::ReadStored(), 218);
    Look::Store(212);
    EXPECT_EQ(Look::ReadStored(), 212);
    EXPECT_EQ(QSettings().value(QStringLiteral("Workspace/ApplicationLook")).toInt(), 212);
    QSettings().setValue(QStringLiteral("Workspace/ApplicationLook"), QStringLiteral("garbage"));
    EXPECT_EQ(Look::ReadStored(), 218);
    QSettings().remove(QStringLiteral("Workspace"));
}

TEST(Look, InterfaceFontIsAnInstalledChineseFamilyAt12Pixels)
{
    const QFont font = Look::InterfaceFont();
    EXPECT_EQ(font.pixelSize(), 12);
    EXPECT_TRUE(QFontDatabase::families().contains(font.family(), Qt::CaseInsensitive)) << font.family().toStdString();
    // The family draws Chinese text rather than boxes.
    EXPECT_TRUE(QFontDatabase::writingSystems(font.family()).contains(QFontDatabase::SimplifiedChinese));
    EXPECT_TRUE(Look::InterfaceFont(Look::FontKind::Bold).bold());
}

} // namespace
