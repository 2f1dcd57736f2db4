#pragma once
// A modeless tool window built from a dialog template: its window in the
// registry (timers, hot keys and commands reach WindowProc), its controls by
// identifier, the template's list control as a CReportCtrl, and the fields
// exchange of the controls. Closing it (Esc, the title bar) hides it, as its
// "关闭" button does.

#include "platform/Win32Types.h"

#include <QDialog>

#include <initializer_list>
#include <memory>
#include <utility>

class DialogForm;
class WindowBinding;

namespace KorrinControlsEx {
class CReportCtrl;
}

class CToolDialog : public QDialog {
    Q_OBJECT

public:
    ~CToolDialog() override;

    HWND GetSafeHwnd() const;
    DialogForm &Controls() const { return *m_form; }
    QWidget *GetDlgItem(int id) const;
    // The list control 1032, which every tool has.
    KorrinControlsEx::CReportCtrl &List() const { return *m_list; }

    // Shows the window and brings it to the front.
    void ShowTool();
    // Carries out a control's command as if it had been clicked.
    void Command(int id) { OnControl(id, 0); }
    void EnableControl(int id, bool enable);
    bool IsControlEnabled(int id) const;
    bool IsChecked(int id) const;
    void SetChecked(int id, bool checked);

    static constexpr char16_t kCaption[] = u"Tessaly";

protected:
    CToolDialog(int templateId, QWidget *parent);

    // A button's click (code BN_CLICKED) or another control's notification.
    virtual void OnControl(int id, int code) = 0;
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // What "关闭" does; hides by default.
    virtual void OnClose();
    void reject() override;
    void closeEvent(QCloseEvent *event) override;

    // Integer fields from their controls. Text that is no whole number leaves
    // its field as it was; the user is told once and the answer is false.
    bool ReadInts(std::initializer_list<std::pair<int, int *>> fields);
    void WriteInt(int id, int value);
    wstring16 ReadText(int id) const;
    void WriteText(int id, const wstring16 &text);

private:
    std::unique_ptr<WindowBinding> m_window;
    std::unique_ptr<DialogForm> m_form;
    KorrinControlsEx::CReportCtrl *m_list = nullptr;
};
