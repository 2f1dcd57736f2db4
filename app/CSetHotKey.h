#pragma once
// The boss-key dialog (316, "老板键"): shows the stored combination in the
// hot-key control 1041; "设置" stores the one shown and registers it on the
// main window. Cancel (Esc, closing the box) writes nothing.

#include "platform/Win32Types.h"

#include <QDialog>

#include <memory>

class CHotKeyCtrl;
class DialogForm;
class WindowBinding;

class CSetHotKey : public QDialog {
    Q_OBJECT
public:
    enum { IDD = 316, IDC_HOTKEY = 1041 };

    // mainWindow receives the registration (null: registered without a window).
    CSetHotKey(HWND mainWindow, QWidget *parent = nullptr);
    ~CSetHotKey() override;

    HWND GetSafeHwnd() const;
    CHotKeyCtrl *HotKeyCtrl() const { return m_HotKeyCtrl; }
    DialogForm *Form() const { return m_form.get(); }

    bool OnInitDialog();
    void ApplyHotKey();

private:
    std::unique_ptr<WindowBinding> m_window;
    std::unique_ptr<DialogForm> m_form;
    CHotKeyCtrl *m_HotKeyCtrl = nullptr;
    HWND m_hMainWindow = nullptr;
};
