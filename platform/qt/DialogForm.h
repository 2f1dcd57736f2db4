#pragma once
// The controls of a dialog template built as Qt widgets inside a host widget,
// each reachable by its identifier and each a child window of the host's window
// (class name as in the template). Control notifications arrive as command()
// with the control's identifier and the notification code (BN_CLICKED, EN_CHANGE,
// CBN_SELCHANGE, LBN_SELCHANGE, STN_CLICKED). Make and use it on the UI thread.

#include "platform/qt/DialogTemplate.h"
#include "platform/qt/DialogUnits.h"

#include <QObject>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <map>
#include <memory>
#include <vector>

class WindowBinding;

class DialogForm : public QObject {
    Q_OBJECT

public:
    // Makes the widget of a control class the form does not know itself (a
    // list control, say). Sets *window when the widget owns a window of its own.
    using ControlFactory =
        std::function<QWidget *(QWidget *parent, HWND parentWindow, const DialogControl &control, HWND *window)>;
    using Factories = std::map<wstring16, ControlFactory>;

    // Builds the controls into host, sizes host to the template and gives it the
    // template's font and caption.
    DialogForm(DialogTemplate dialog, QWidget *host, HWND hostWindow, const Factories &factories = {});
    ~DialogForm() override;

    const DialogTemplate &Template() const { return m_template; }
    const DialogUnits &Units() const { return m_units; }
    // The template's size in pixels.
    QSize DesignSize() const { return m_designSize; }
    QWidget *Host() const { return m_host; }

    QWidget *GetDlgItem(int id) const;
    HWND GetDlgItemWindow(int id) const;
    QWidget *WidgetOf(HWND window) const;
    // Class name and current style of a control's window (empty and 0 if none).
    wstring16 ClassOf(HWND window) const;
    DWORD StyleOf(HWND window) const;
    void SetStyleOf(HWND window, DWORD style);
    // Every control's window, in template order.
    std::vector<HWND> Windows() const;

    wstring16 GetDlgItemText(int id) const;
    bool SetDlgItemText(int id, const wstring16 &text);
    // As the system reads a number from a control: white space, an optional minus
    // when signed, digits, nothing after; *translated says whether it was one.
    UINT GetDlgItemInt(int id, BOOL *translated, bool isSigned) const;
    bool SetDlgItemInt(int id, UINT value, bool isSigned);
    // BST_UNCHECKED 0, BST_CHECKED 1, BST_INDETERMINATE 2.
    UINT IsDlgButtonChecked(int id) const;
    bool CheckDlgButton(int id, UINT check);

signals:
    void command(int id, int code);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct Item {
        DialogControl control;
        QPointer<QWidget> widget;
        HWND window = nullptr;
        std::unique_ptr<WindowBinding> binding;
    };

    QWidget *MakeWidget(const DialogControl &control, HWND hostWindow, const Factories &factories, HWND *window);
    void Connect(const Item &item);
    const Item *Find(int id) const;
    const Item *Find(HWND window) const;

    DialogTemplate m_template;
    DialogUnits m_units;
    QSize m_designSize;
    QPointer<QWidget> m_host;
    std::vector<std::unique_ptr<Item>> m_items;
};
