// The tray icon's record, its add/remove rules and the callbacks it turns into
// commands. The tray itself is the notification service's test seam (offscreen
// has no tray); the real X tray is covered by the platform's tests.

#include "app/CTrayIcon.h"
#include "platform/Window.h"
#include "platform/qt/QtTrayIcon.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <vector>

using KorrinControlsEx::CTrayIcon;

namespace {

constexpr UINT kCallback = WM_USER + 1;

struct Call {
    DWORD message;
    NOTIFYICONDATAW data;
};

class TrayIcon : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetNotifyIconBackend([this](DWORD message, const NOTIFYICONDATAW &data) {
            m_calls.push_back({message, data});
            return m_trayPresent ? TRUE : FALSE;
        });
        m_owner = CreateWindowEntry(u"CMainFrame", nullptr, [this](HWND, UINT message, WPARAM w, LPARAM) -> LRESULT {
            if (message == WM_COMMAND)
                m_commands.push_back(static_cast<UINT>(w));
            return 0;
        });
    }
    void TearDown() override
    {
        DestroyWindow(m_owner);
        SetNotifyIconBackend(&QtTrayIcon::Notify);
    }

    std::vector<Call> m_calls;
    std::vector<UINT> m_commands;
    bool m_trayPresent = true;
    HWND m_owner = nullptr;
};

TEST_F(TrayIcon, AddFillsTheRecordAndRemoveDeletesOnce)
{
    {
        CTrayIcon icon;
        EXPECT_FALSE(icon.AddIcon(nullptr, kCallback, u"tip", nullptr, 317));
        HWND gone = CreateWindowEntry(u"Gone", nullptr, nullptr);
        DestroyWindow(gone);
        EXPECT_FALSE(icon.AddIcon(gone, kCallback, u"tip", nullptr, 317));
        EXPECT_TRUE(m_calls.empty());
        EXPECT_FALSE(icon.IsShown());

        std::u16string longTip(300, u'a');
        longTip.replace(0, 10, u"Tessaly - ");
        ASSERT_TRUE(icon.AddIcon(m_owner, kCallback, longTip.c_str(), nullptr, 317));
        ASSERT_EQ(m_calls.size(), 1u);
        const NOTIFYICONDATAW &d = m_calls[0].data;
        EXPECT_EQ(m_calls[0].message, NIM_ADD);
        EXPECT_EQ(d.cbSize, 936u);
        EXPECT_EQ(d.hWnd, m_owner);
        EXPECT_EQ(d.uID, 317u);
        EXPECT_EQ(d.uFlags, 7u);
        EXPECT_EQ(d.uCallbackMessage, kCallback);
        EXPECT_EQ(std::u16string(d.szTip), longTip.substr(0, 127));

        icon.RemoveIcon();
        icon.RemoveIcon();
        ASSERT_EQ(m_calls.size(), 2u);
        EXPECT_EQ(m_calls[1].message, NIM_DELETE);
        EXPECT_EQ(m_calls[1].data.uFlags, 0u);
        EXPECT_EQ(m_calls[1].data.uID, 317u);

        ASSERT_TRUE(icon.AddIcon(m_owner, kCallback, u"x", nullptr, 317));
    } // the destructor removes a shown icon
    ASSERT_EQ(m_calls.size(), 4u);
    EXPECT_EQ(m_calls[3].message, NIM_DELETE);

    // Without a tray the icon is not shown and nothing is deleted later.
    m_trayPresent = false;
    {
        CTrayIcon icon;
        EXPECT_FALSE(icon.AddIcon(m_owner, kCallback, u"x", nullptr, 317));
        EXPECT_FALSE(icon.IsShown());
    }
    EXPECT_EQ(m_calls.size(), 5u);
}

TEST_F(TrayIcon, DoubleClickRunsTheMenusFirstCommandAndOtherIdsAreIgnored)
{
    CTrayIcon icon;
    ASSERT_TRUE(icon.AddIcon(m_owner, kCallback, u"x", nullptr, 317));
    EXPECT_EQ(icon.HandleNotify(318, WM_LBUTTONDBLCLK), 0);
    EXPECT_EQ(icon.HandleNotify(317, WM_LBUTTONUP), 1);
    EXPECT_EQ(icon.HandleNotify(317, WM_MOUSEMOVE), 1);
    EXPECT_TRUE(m_commands.empty());
    EXPECT_EQ(icon.HandleNotify(317, WM_LBUTTONDBLCLK), 1);
    ASSERT_EQ(m_commands.size(), 1u);
    EXPECT_EQ(m_commands[0], 32786u);

    // An icon whose id names no menu does nothing.
    CTrayIcon other;
    ASSERT_TRUE(other.AddIcon(m_owner, kCallback, u"x", nullptr, 9999));
    EXPECT_EQ(other.HandleNotify(9999, WM_LBUTTONDBLCLK), 0);
    EXPECT_EQ(m_commands.size(), 1u);
}

TEST_F(TrayIcon, RightClickOffersShowWindowAsTheDefaultItem)
{
    CTrayIcon icon;
    ASSERT_TRUE(icon.AddIcon(m_owner, kCallback, u"x", nullptr, 317));
    QString shown;
    bool bold = false;
    QTimer::singleShot(50, [&] {
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        if (!menu)
            return;
        QAction *item = menu->defaultAction();
        if (!item) {
            menu->close();
            return;
        }
        shown = item->text();
        bold = item == menu->actions().value(0);
        menu->setActiveAction(item);
        QTest::keyClick(menu, Qt::Key_Return);
    });
    EXPECT_EQ(icon.HandleNotify(317, WM_RBUTTONUP), 1);
    EXPECT_EQ(shown, QStringLiteral("显示窗口"));
    EXPECT_TRUE(bold);
    // The command is posted to the owner.
    EXPECT_TRUE(PumpMessagesUntil([&] { return !m_commands.empty(); }, 5000));
    ASSERT_EQ(m_commands.size(), 1u);
    EXPECT_EQ(m_commands[0], 32786u);
}

} // namespace
