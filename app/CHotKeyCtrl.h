#pragma once
// The hot-key control: shows a key combination and takes a new one from the
// next key pressed in it. Its window answers HKM_SETHOTKEY and HKM_GETHOTKEY
// with the key code in the low byte and the modifier flags (1 Shift, 2 Ctrl,
// 4 Alt, 8 extended key) in the high byte. Backspace or Delete alone clears it.

#include "platform/Win32Types.h"

#include <QLineEdit>

#include <memory>

class WindowBinding;

class CHotKeyCtrl : public QLineEdit {
    Q_OBJECT
public:
    static constexpr UINT HKM_SETHOTKEY = WM_USER + 1;
    static constexpr UINT HKM_GETHOTKEY = WM_USER + 2;

    CHotKeyCtrl(QWidget *parent, HWND parentWindow);
    ~CHotKeyCtrl() override;

    HWND GetSafeHwnd() const;
    void SetHotKey(WORD virtualKey, WORD flags);
    void GetHotKey(WORD &virtualKey, WORD &flags) const;

    // The virtual-key code of a Qt key (0 when it has none) and whether the
    // system counts it as an extended key.
    static WORD VirtualKeyOf(int qtKey, bool keypad);
    static bool IsExtendedKey(int qtKey, bool keypad);
    // "Ctrl + Alt + F"; "无" for no combination.
    static QString TextOf(WORD virtualKey, WORD flags);

signals:
    void changed();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    bool event(QEvent *event) override;

private:
    void ShowCombination();

    std::unique_ptr<WindowBinding> m_window;
    WORD m_nVirtualKey = 0;
    WORD m_nFlags = 0;
};
