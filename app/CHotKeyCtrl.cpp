#include "app/CHotKeyCtrl.h"

#include "app/CBossKey.h"
#include "platform/ControlStyles.h"
#include "platform/qt/WindowBinding.h"

#include <QKeyEvent>

namespace {

struct NamedKey {
    int qtKey;
    WORD virtualKey;
    const char16_t *name;
    bool extended;
};

constexpr NamedKey kNamedKeys[] = {
    {Qt::Key_Backspace, VK_BACK, u"Backspace", false},
    {Qt::Key_Tab, VK_TAB, u"Tab", false},
    {Qt::Key_Return, VK_RETURN, u"Enter", false},
    {Qt::Key_Enter, VK_RETURN, u"Enter", false},
    {Qt::Key_Pause, VK_PAUSE, u"Pause", false},
    {Qt::Key_Escape, VK_ESCAPE, u"Esc", false},
    {Qt::Key_Space, VK_SPACE, u"Space", false},
    {Qt::Key_PageUp, VK_PRIOR, u"Page Up", true},
    {Qt::Key_PageDown, VK_NEXT, u"Page Down", true},
    {Qt::Key_End, VK_END, u"End", true},
    {Qt::Key_Home, VK_HOME, u"Home", true},
    {Qt::Key_Left, VK_LEFT, u"Left", true},
    {Qt::Key_Up, VK_UP, u"Up", true},
    {Qt::Key_Right, VK_RIGHT, u"Right", true},
    {Qt::Key_Down, VK_DOWN, u"Down", true},
    {Qt::Key_Insert, VK_INSERT, u"Insert", true},
    {Qt::Key_Delete, VK_DELETE, u"Delete", true},
};

// Punctuation keys by the character on the key, shifted or not (US layout, as
// the system's codes are named).
struct PunctuationKey {
    int plain;
    int shifted;
    WORD virtualKey;
    char16_t name;
};

constexpr PunctuationKey kPunctuationKeys[] = {
    {Qt::Key_Semicolon, Qt::Key_Colon, 0xBA, u';'},
    {Qt::Key_Equal, Qt::Key_Plus, 0xBB, u'='},
    {Qt::Key_Comma, Qt::Key_Less, 0xBC, u','},
    {Qt::Key_Minus, Qt::Key_Underscore, 0xBD, u'-'},
    {Qt::Key_Period, Qt::Key_Greater, 0xBE, u'.'},
    {Qt::Key_Slash, Qt::Key_Question, 0xBF, u'/'},
    {Qt::Key_QuoteLeft, Qt::Key_AsciiTilde, 0xC0, u'`'},
    {Qt::Key_BracketLeft, Qt::Key_BraceLeft, 0xDB, u'['},
    {Qt::Key_Backslash, Qt::Key_Bar, 0xDC, u'\\'},
    {Qt::Key_BracketRight, Qt::Key_BraceRight, 0xDD, u']'},
    {Qt::Key_Apostrophe, Qt::Key_QuoteDbl, 0xDE, u'\''},
};

// The keypad's operators.
struct KeypadKey {
    int qtKey;
    WORD virtualKey;
    char16_t name;
};

constexpr KeypadKey kKeypadKeys[] = {
    {Qt::Key_Asterisk, 0x6A, u'*'},
    {Qt::Key_Plus, 0x6B, u'+'},
    {Qt::Key_Minus, 0x6D, u'-'},
    {Qt::Key_Period, 0x6E, u'.'},
    {Qt::Key_Comma, 0x6E, u'.'}, // the decimal key of layouts with a decimal comma
    {Qt::Key_Delete, 0x6E, u'.'}, // the same key without Num Lock
    {Qt::Key_Slash, 0x6F, u'/'},
};

bool IsModifierKey(int key)
{
    return key == Qt::Key_Shift || key == Qt::Key_Control || key == Qt::Key_Alt || key == Qt::Key_Meta ||
        key == Qt::Key_AltGr || key == Qt::Key_unknown;
}

} // namespace

CHotKeyCtrl::CHotKeyCtrl(QWidget *parent, HWND parentWindow) : QLineEdit(parent)
{
    setReadOnly(true); // keys are taken by keyPressEvent, never typed
    setContextMenuPolicy(Qt::NoContextMenu);
    m_window = std::make_unique<WindowBinding>(
        this, ControlClass::HotKey, parentWindow, [this](HWND, UINT message, WPARAM wParam, LPARAM) -> LRESULT {
            if (message == HKM_SETHOTKEY) {
                SetHotKey(static_cast<WORD>(wParam & 0xFF), static_cast<WORD>((wParam >> 8) & 0xFF));
                return 0;
            }
            if (message == HKM_GETHOTKEY)
                return static_cast<LRESULT>(m_nVirtualKey | (m_nFlags << 8));
            return 0;
        });
    ShowCombination();
}

CHotKeyCtrl::~CHotKeyCtrl() = default;

HWND CHotKeyCtrl::GetSafeHwnd() const { return m_window ? m_window->Handle() : nullptr; }

void CHotKeyCtrl::SetHotKey(WORD virtualKey, WORD flags)
{
    m_nVirtualKey = virtualKey & 0xFF;
    m_nFlags = flags & 0xFF;
    ShowCombination();
}

void CHotKeyCtrl::GetHotKey(WORD &virtualKey, WORD &flags) const
{
    virtualKey = m_nVirtualKey;
    flags = m_nFlags;
}

WORD CHotKeyCtrl::VirtualKeyOf(int qtKey, bool keypad)
{
    if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z)
        return static_cast<WORD>('A' + (qtKey - Qt::Key_A));
    if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9)
        return static_cast<WORD>(keypad ? VK_NUMPAD0 + (qtKey - Qt::Key_0) : '0' + (qtKey - Qt::Key_0));
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F24)
        return static_cast<WORD>(VK_F1 + (qtKey - Qt::Key_F1));
    if (keypad)
        for (const KeypadKey &k : kKeypadKeys)
            if (k.qtKey == qtKey)
                return k.virtualKey;
    for (const NamedKey &k : kNamedKeys)
        if (k.qtKey == qtKey)
            return k.virtualKey;
    for (const PunctuationKey &k : kPunctuationKeys)
        if (k.plain == qtKey || k.shifted == qtKey)
            return k.virtualKey;
    return 0;
}

bool CHotKeyCtrl::IsExtendedKey(int qtKey, bool keypad)
{
    if (keypad)
        return qtKey == Qt::Key_Enter || qtKey == Qt::Key_Slash;
    for (const NamedKey &k : kNamedKeys)
        if (k.qtKey == qtKey)
            return k.extended;
    return false;
}

QString CHotKeyCtrl::TextOf(WORD virtualKey, WORD flags)
{
    QString text;
    if (flags & CBossKey::HOTKEYF_CONTROL)
        text += QStringLiteral("Ctrl + ");
    if (flags & CBossKey::HOTKEYF_SHIFT)
        text += QStringLiteral("Shift + ");
    if (flags & CBossKey::HOTKEYF_ALT)
        text += QStringLiteral("Alt + ");
    if ((virtualKey >= 'A' && virtualKey <= 'Z') || (virtualKey >= '0' && virtualKey <= '9'))
        text += QChar(virtualKey);
    else if (virtualKey >= VK_NUMPAD0 && virtualKey <= VK_NUMPAD0 + 9)
        text += QStringLiteral("Num %1").arg(virtualKey - VK_NUMPAD0);
    else if (virtualKey >= VK_F1 && virtualKey <= VK_F1 + 23)
        text += QStringLiteral("F%1").arg(virtualKey - VK_F1 + 1);
    else if (virtualKey != 0) {
        bool named = false;
        for (const NamedKey &k : kNamedKeys)
            if (k.virtualKey == virtualKey) {
                text += QString::fromUtf16(k.name);
                named = true;
                break;
            }
        for (const KeypadKey &k : kKeypadKeys)
            if (!named && k.virtualKey == virtualKey) {
                text += QStringLiteral("Num ") + QChar(k.name);
                named = true;
            }
        for (const PunctuationKey &k : kPunctuationKeys)
            if (!named && k.virtualKey == virtualKey) {
                text += QChar(k.name);
                named = true;
            }
        if (!named)
            text += QStringLiteral("0x%1").arg(virtualKey, 2, 16, QLatin1Char('0'));
    }
    return text.isEmpty() ? QStringLiteral("无") : text;
}

void CHotKeyCtrl::ShowCombination()
{
    setText(TextOf(m_nVirtualKey, m_nFlags));
    setCursorPosition(text().size());
}

bool CHotKeyCtrl::event(QEvent *event)
{
    // Tab and Shift+Tab with a modifier are combinations, not focus moves.
    if (event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        if ((key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) &&
            (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
            keyPressEvent(key);
            return true;
        }
    }
    return QLineEdit::event(event);
}

void CHotKeyCtrl::keyPressEvent(QKeyEvent *event)
{
    const Qt::KeyboardModifiers mods = event->modifiers();
    const bool keypad = (mods & Qt::KeypadModifier) != 0;
    WORD flags = 0;
    if (mods & Qt::ShiftModifier)
        flags |= CBossKey::HOTKEYF_SHIFT;
    if (mods & Qt::ControlModifier)
        flags |= CBossKey::HOTKEYF_CONTROL;
    if (mods & Qt::AltModifier)
        flags |= CBossKey::HOTKEYF_ALT;
    const int key = event->key() == Qt::Key_Backtab ? int(Qt::Key_Tab) : event->key();
    if (IsModifierKey(key)) {
        m_nVirtualKey = 0;
        m_nFlags = flags;
        ShowCombination();
        event->accept();
        return;
    }
    if (flags == 0 && (key == Qt::Key_Backspace || key == Qt::Key_Delete)) {
        SetHotKey(0, 0);
        emit changed();
        event->accept();
        return;
    }
    const WORD vk = VirtualKeyOf(key, keypad);
    if (vk == 0) {
        event->ignore();
        return;
    }
    if (IsExtendedKey(key, keypad))
        flags |= CBossKey::HOTKEYF_EXT;
    SetHotKey(vk, flags);
    emit changed();
    event->accept();
}
