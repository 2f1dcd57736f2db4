#pragma once
// The About box (dialog 100).

#include "platform/Win32Types.h"

#include <QDialog>

#include <memory>

class DialogForm;
class WindowBinding;

class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    enum { IDD = 100 };
    explicit CAboutDlg(QWidget *parent = nullptr);
    ~CAboutDlg() override;

    const DialogForm *Form() const { return m_form.get(); }

private:
    std::unique_ptr<WindowBinding> m_window;
    std::unique_ptr<DialogForm> m_form;
};
