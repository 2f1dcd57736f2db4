// The boss key's file, its registration and the dialog that sets it. The key
// grabs go through a recording grabber (offscreen has no X server); the real
// key press on X is covered by the main-frame test's X child.

#include "app/CBossKey.h"
#include "app/CHotKeyCtrl.h"
#include "app/CSetHotKey.h"
#include "app/CVellumApp.h"
#include "platform/FileSystem.h"
#include "platform/WideString.h"
#include "platform/Window.h"
#include "platform/WindowBackend.h"
#include "platform/qt/DialogForm.h"
#include "platform/qt/X11HotKeys.h"
#include "tests/common/TempDir.h"
#include "util/CIniFileUseSys.h"

#include <QAbstractButton>
#include <QTest>
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

struct Grab {
    bool grabbed;
    UINT modifiers;
    UINT virtualKey;
    bool operator==(const Grab &) const = default;
};

std::vector<char> Bytes(const std::filesystem::path &path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<char> Utf16File(const std::u16string &text)
{
    std::vector<char> bytes {'\xFF', '\xFE'};
    for (char16_t c : text) {
        bytes.push_back(static_cast<char>(c & 0xFF));
        bytes.push_back(static_cast<char>(c >> 8));
    }
    return bytes;
}

class BossKey : public ::testing::Test {
protected:
    void SetUp() override
    {
        const std::string exe = (m_dir / "tessaly").string();
        std::ofstream(exe).put('x'); // the executable's folder is that of an existing file
        FileSystem::SetModuleFileNameForTest(std::u16string(exe.begin(), exe.end()));
        g_strAppDir = WideString::FromUtf8(m_dir.Slash());
        WindowBackend::SetHotKeyGrabber({[this](UINT m, UINT vk) {
                                             m_grabs.push_back({true, m, vk});
                                             return true;
                                         },
            [this](UINT m, UINT vk) {
                m_grabs.push_back({false, m, vk});
            }});
        m_frame = CreateWindowEntry(u"CMainFrame", nullptr, nullptr);
    }
    void TearDown() override
    {
        DestroyWindow(m_frame);
        X11HotKeys::Uninstall();
        X11HotKeys::Install();
        FileSystem::SetModuleFileNameForTest(u"");
        g_strAppDir.clear();
    }
    std::filesystem::path Ini() const { return m_dir / "Orvane.ini"; }
    void WriteIni(const std::u16string &text)
    {
        const auto bytes = Utf16File(text);
        std::ofstream(Ini(), std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    // A registration under the frame's id answers "taken" to another window.
    bool Holds(UINT modifiers, UINT vk)
    {
        const size_t seen = m_grabs.size();
        HWND other = CreateWindowEntry(u"Other", nullptr, nullptr);
        const bool taken = !RegisterHotKey(other, 1, modifiers, vk);
        DestroyWindow(other);
        m_grabs.resize(seen); // the probe's own grab and release are not the frame's
        return taken;
    }

    TempDir m_dir;
    std::vector<Grab> m_grabs;
    HWND m_frame = nullptr;
};

TEST_F(BossKey, FirstRunCreatesTheFileWithExactBytesAndRegistersNothing)
{
    EXPECT_FALSE(CBossKey::RegisterBossKey(0, 0, m_frame));
    EXPECT_EQ(Bytes(Ini()), Utf16File(u"[MAIN]"));
    EXPECT_TRUE(m_grabs.empty());
    // Even with a combination given, the first call only makes the file.
    std::filesystem::remove(Ini());
    EXPECT_FALSE(CBossKey::RegisterBossKey(CBossKey::HOTKEYF_CONTROL, 'F', m_frame));
    EXPECT_TRUE(m_grabs.empty());
    // The next run reads the (empty) section: key 0 registers nothing.
    EXPECT_FALSE(CBossKey::RegisterBossKey(0, 0, m_frame));
    EXPECT_TRUE(m_grabs.empty());
    EXPECT_EQ(Bytes(Ini()), Utf16File(u"[MAIN]"));
}

TEST_F(BossKey, ControlFlagsBecomeHotKeyModifiers)
{
    const struct {
        WORD flags;
        UINT modifiers;
    } cases[] = {
        {0, 0},
        {CBossKey::HOTKEYF_SHIFT, MOD_SHIFT},
        {CBossKey::HOTKEYF_CONTROL, MOD_CONTROL},
        {CBossKey::HOTKEYF_ALT, MOD_ALT},
        {CBossKey::HOTKEYF_CONTROL | CBossKey::HOTKEYF_ALT, MOD_CONTROL | MOD_ALT},
        {CBossKey::HOTKEYF_EXT | CBossKey::HOTKEYF_SHIFT, MOD_SHIFT},
        {0xFFF0, 0},
        {0xFFFF, MOD_ALT | MOD_CONTROL | MOD_SHIFT},
    };
    for (const auto &c : cases)
        EXPECT_EQ(CBossKey::ToHotKeyModifiers(c.flags), c.modifiers) << c.flags;
}

TEST_F(BossKey, LaterRunsRegisterTheStoredCombination)
{
    WriteIni(u"[MAIN]\r\nHotkeyVK=70\r\nHotkeySystem=6\r\n");
    EXPECT_TRUE(CBossKey::RegisterBossKey(0, 0, m_frame));
    ASSERT_EQ(m_grabs.size(), 1u);
    EXPECT_EQ(m_grabs[0], (Grab {true, MOD_CONTROL | MOD_ALT, 70}));
    EXPECT_TRUE(Holds(MOD_CONTROL | MOD_ALT, 70));

    // Values outside 16 bits are cut; the extended flag is dropped.
    UnregisterHotKey(m_frame, CBossKey::kHotKeyId);
    m_grabs.clear();
    WriteIni(u"[MAIN]\r\nHotkeyVK=65607\r\nHotkeySystem=9\r\n"); // 0x10047, Shift + extended
    EXPECT_TRUE(CBossKey::RegisterBossKey(0, 0, m_frame));
    ASSERT_EQ(m_grabs.size(), 1u);
    EXPECT_EQ(m_grabs[0], (Grab {true, MOD_SHIFT, 0x47}));

    // Garbage reads as 0: nothing registered, nothing crashes.
    UnregisterHotKey(m_frame, CBossKey::kHotKeyId);
    m_grabs.clear();
    WriteIni(u"[MAIN]\r\nHotkeyVK=x70\r\nHotkeySystem=\r\n");
    EXPECT_FALSE(CBossKey::RegisterBossKey(0, 0, m_frame));
    EXPECT_TRUE(m_grabs.empty());
}

TEST_F(BossKey, HotKeyControlAnswersItsMessagesAndTakesKeys)
{
    QWidget host;
    CHotKeyCtrl ctrl(&host, nullptr);
    SendMessageW(ctrl.GetSafeHwnd(), CHotKeyCtrl::HKM_SETHOTKEY, 0x0646, 0);
    EXPECT_EQ(SendMessageW(ctrl.GetSafeHwnd(), CHotKeyCtrl::HKM_GETHOTKEY, 0, 0), 0x0646);
    EXPECT_EQ(ctrl.text(), QStringLiteral("Ctrl + Alt + F"));

    const struct {
        Qt::Key key;
        Qt::KeyboardModifiers mods;
        LRESULT expected;
    } presses[] = {
        {Qt::Key_F, Qt::ControlModifier | Qt::AltModifier, 0x0646},
        {Qt::Key_Home, Qt::ControlModifier, 0x0A24}, // extended key
        {Qt::Key_F5, Qt::ShiftModifier, 0x0174},
        {Qt::Key_7, Qt::KeypadModifier, 0x0067},
        {Qt::Key_Backspace, Qt::NoModifier, 0},
    };
    for (const auto &p : presses) {
        QTest::keyClick(&ctrl, p.key, p.mods);
        EXPECT_EQ(SendMessageW(ctrl.GetSafeHwnd(), CHotKeyCtrl::HKM_GETHOTKEY, 0, 0), p.expected) << p.key;
    }
    EXPECT_EQ(ctrl.text(), QStringLiteral("无"));

    // Punctuation (shifted or not, one key) and the keypad's operators, with their names.
    const struct {
        Qt::Key key;
        Qt::KeyboardModifiers mods;
        LRESULT expected;
        const char16_t *text;
    } others[] = {
        {Qt::Key_Semicolon, Qt::ControlModifier, 0x02BA, u"Ctrl + ;"},
        {Qt::Key_Colon, Qt::ControlModifier | Qt::ShiftModifier, 0x03BA, u"Ctrl + Shift + ;"},
        {Qt::Key_Plus, Qt::AltModifier | Qt::KeypadModifier, 0x046B, u"Alt + Num +"},
        {Qt::Key_Plus, Qt::AltModifier | Qt::ShiftModifier, 0x05BB, u"Shift + Alt + ="},
        {Qt::Key_Asterisk, Qt::ControlModifier | Qt::KeypadModifier, 0x026A, u"Ctrl + Num *"},
        {Qt::Key_Minus, Qt::ControlModifier | Qt::KeypadModifier, 0x026D, u"Ctrl + Num -"},
        {Qt::Key_Slash, Qt::ControlModifier | Qt::KeypadModifier, 0x0A6F, u"Ctrl + Num /"},
        {Qt::Key_Period, Qt::ControlModifier | Qt::KeypadModifier, 0x026E, u"Ctrl + Num ."},
        {Qt::Key_BracketLeft, Qt::ControlModifier, 0x02DB, u"Ctrl + ["},
        {Qt::Key_Backslash, Qt::ControlModifier, 0x02DC, u"Ctrl + \\"},
        {Qt::Key_QuoteDbl, Qt::ControlModifier | Qt::ShiftModifier, 0x03DE, u"Ctrl + Shift + '"},
        {Qt::Key_AsciiTilde, Qt::AltModifier | Qt::ShiftModifier, 0x05C0, u"Shift + Alt + `"},
    };
    for (const auto &p : others) {
        QTest::keyClick(&ctrl, p.key, p.mods);
        EXPECT_EQ(SendMessageW(ctrl.GetSafeHwnd(), CHotKeyCtrl::HKM_GETHOTKEY, 0, 0), p.expected) << p.key;
        EXPECT_EQ(ctrl.text(), QString::fromUtf16(p.text)) << p.key;
    }
}

TEST_F(BossKey, DialogShowsStoresAndRegistersTheCombination)
{
    CBossKey::RegisterBossKey(0, 0, m_frame); // first run: the file
    {
        CSetHotKey dialog(m_frame);
        EXPECT_EQ(dialog.windowTitle(), QStringLiteral("老板键"));
        ASSERT_NE(dialog.HotKeyCtrl(), nullptr);
        EXPECT_EQ(dialog.HotKeyCtrl(), dialog.Form()->GetDlgItem(CSetHotKey::IDC_HOTKEY));
        EXPECT_EQ(dialog.Form()->GetDlgItemText(IDOK), u"设置");
        QTest::keyClick(dialog.HotKeyCtrl(), Qt::Key_F, Qt::ControlModifier | Qt::AltModifier);
        qobject_cast<QAbstractButton *>(dialog.Form()->GetDlgItem(IDOK))->click();
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
    }
    g_IniFile.SetIniFile(u"Orvane.ini");
    EXPECT_EQ(g_IniFile.ReadInt(u"MAIN", u"HotkeyVK", -1), 70);
    EXPECT_EQ(g_IniFile.ReadInt(u"MAIN", u"HotkeySystem", -1), 6);
    ASSERT_EQ(m_grabs.size(), 1u);
    EXPECT_EQ(m_grabs[0], (Grab {true, MOD_CONTROL | MOD_ALT, 70}));

    // Opening again shows the stored combination; Cancel writes nothing.
    const auto before = Bytes(Ini());
    {
        CSetHotKey dialog(m_frame);
        EXPECT_EQ(dialog.HotKeyCtrl()->text(), QStringLiteral("Ctrl + Alt + F"));
        QTest::keyClick(dialog.HotKeyCtrl(), Qt::Key_G, Qt::ShiftModifier);
        dialog.reject();
    }
    EXPECT_EQ(Bytes(Ini()), before);
    EXPECT_EQ(m_grabs.size(), 1u);

    // A new combination (extended: Ctrl+End) releases the old one and registers
    // without the extended flag, which is stored as the control reports it.
    {
        CSetHotKey dialog(m_frame);
        QTest::keyClick(dialog.HotKeyCtrl(), Qt::Key_End, Qt::ControlModifier);
        dialog.ApplyHotKey();
    }
    EXPECT_EQ(g_IniFile.ReadInt(u"MAIN", u"HotkeyVK", -1), static_cast<int>(VK_END));
    EXPECT_EQ(g_IniFile.ReadInt(u"MAIN", u"HotkeySystem", -1), 10);
    ASSERT_EQ(m_grabs.size(), 3u);
    EXPECT_EQ(m_grabs[1], (Grab {false, MOD_CONTROL | MOD_ALT, 70}));
    EXPECT_EQ(m_grabs[2], (Grab {true, MOD_CONTROL, VK_END}));
    EXPECT_FALSE(Holds(MOD_CONTROL | MOD_ALT, 70));

    // Clearing the combination leaves no key grabbed.
    {
        CSetHotKey dialog(m_frame);
        QTest::keyClick(dialog.HotKeyCtrl(), Qt::Key_Backspace);
        dialog.ApplyHotKey();
    }
    ASSERT_EQ(m_grabs.size(), 4u);
    EXPECT_EQ(m_grabs[3], (Grab {false, MOD_CONTROL, VK_END}));
}

} // namespace
