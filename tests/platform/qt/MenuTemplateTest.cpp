#include "platform/qt/MenuTemplate.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <memory>

namespace {

const char *const Menu = R"({ "id": 315, "items": [
  { "text": "Rec", "items": [
    { "id": 32784, "text": "放到临时事件" },
    { "separator": true },
    { "id": 32785, "text": "off", "disabled": true },
    { "text": "More", "items": [ { "id": 32786, "text": "deep", "checked": true } ] } ] },
  { "text": "Second", "items": [ { "id": 1, "text": "one" } ] } ] })";

TEST(MenuTemplate, BuildsPopupsWithTheirCommands)
{
    QString error;
    auto menu = MenuTemplate::Parse(QByteArray(Menu), &error);
    ASSERT_TRUE(menu.has_value()) << error.toStdString();
    std::unique_ptr<QMenu> popup(menu->CreatePopup(0));
    ASSERT_NE(popup, nullptr);
    const QList<QAction *> actions = popup->actions();
    ASSERT_EQ(actions.size(), 4);
    EXPECT_EQ(actions[0]->text(), QStringLiteral("放到临时事件"));
    EXPECT_EQ(MenuTemplate::CommandOf(actions[0]), 32784);
    EXPECT_TRUE(actions[1]->isSeparator());
    EXPECT_EQ(MenuTemplate::CommandOf(actions[1]), 0);
    EXPECT_FALSE(actions[2]->isEnabled());
    ASSERT_NE(actions[3]->menu(), nullptr);
    QAction *deep = actions[3]->menu()->actions().value(0);
    EXPECT_EQ(MenuTemplate::CommandOf(deep), 32786);
    EXPECT_TRUE(deep->isChecked());
    EXPECT_EQ(menu->CreatePopup(2), nullptr);
    EXPECT_EQ(menu->CreatePopup(-1), nullptr);

    QMenuBar bar;
    menu->FillMenuBar(&bar);
    EXPECT_EQ(bar.actions().size(), 2);
    EXPECT_EQ(MenuTemplate::CommandOf(nullptr), 0);
}

TEST(MenuTemplate, RejectsWhatIsNotAMenu)
{
    const char *bad[] = {
        "",
        "[]",
        R"({"items": []})",
        R"({"id": 1})",
        R"({"id": 1, "items": {}})",
        R"({"id": 1, "items": [1]})",
        R"({"id": 1, "items": [{"id": 70000}]})",
        R"({"id": 1, "items": [{"id": 1.5}]})",
        R"({"id": 1, "items": [{"text": 3}]})",
        R"({"id": 1, "items": [{"text": "empty popup", "items": []}]})",
    };
    for (const char *json : bad)
        EXPECT_FALSE(MenuTemplate::Parse(QByteArray(json)).has_value()) << json;

    // Nesting far beyond any menu is refused rather than followed.
    QByteArray deep = "{\"id\": 1, \"items\": ";
    for (int i = 0; i < 200; ++i)
        deep += "[{\"text\": \"x\", \"items\": ";
    deep += "[{\"id\": 5}]";
    for (int i = 0; i < 200; ++i)
        deep += "}]";
    deep += "}";
    EXPECT_FALSE(MenuTemplate::Parse(deep).has_value());
}

TEST(MenuTemplate, TaskPanelMenuIsEmbedded)
{
    auto menu = MenuTemplate::Load(310);
    ASSERT_TRUE(menu.has_value());
    std::unique_ptr<QMenu> popup(menu->CreatePopup(0));
    ASSERT_NE(popup, nullptr);
    EXPECT_EQ(popup->title(), QStringLiteral("List"));
    ASSERT_EQ(popup->actions().size(), 15);
    EXPECT_EQ(MenuTemplate::CommandOf(popup->actions()[0]), 32781);
    EXPECT_EQ(popup->actions()[4]->text(), QStringLiteral("删除选中         (所有选中项)"));
    for (int i : {3, 6, 9})
        EXPECT_TRUE(popup->actions()[i]->isSeparator()) << i;
    EXPECT_EQ(MenuTemplate::CommandOf(popup->actions()[14]), 32775);
    EXPECT_FALSE(MenuTemplate::Load(311).has_value());
}

TEST(MenuTemplate, TrackingReturnsTheChosenCommand)
{
    auto menu = MenuTemplate::Parse(QByteArray(Menu));
    ASSERT_TRUE(menu.has_value());
    std::unique_ptr<QMenu> popup(menu->CreatePopup(0));
    QTimer::singleShot(50, popup.get(), [&] {
        QTest::keyClick(popup.get(), Qt::Key_Down);
        QTest::keyClick(popup.get(), Qt::Key_Return);
    });
    EXPECT_EQ(MenuTemplate::TrackPopupMenu(popup.get(), QPoint(10, 10)), 32784);
    QTimer::singleShot(50, popup.get(), [&] { popup->close(); });
    EXPECT_EQ(MenuTemplate::TrackPopupMenu(popup.get(), QPoint(10, 10)), 0);
}

} // namespace
