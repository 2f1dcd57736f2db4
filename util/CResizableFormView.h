#pragma once
// A form built from a dialog template, with scroll bars, whose controls follow
// the form's size by their anchors. The owner registers anchors (AnchorControl)
// in its OnInitialUpdate override and then calls this class's OnInitialUpdate;
// size changes before that move nothing. The layout area never gets smaller
// than the form's total size (its design size unless set otherwise): below it
// the scroll bars take over.

#include "platform/qt/DialogForm.h"
#include "util/CResizableLayout.h"

#include <QScrollArea>

#include <memory>

class WindowBinding;

class CResizableFormView : public QScrollArea, public CResizableLayout {
    Q_OBJECT

public:
    // Builds the embedded template with the identifier (an empty form if there is none).
    explicit CResizableFormView(int templateId, QWidget *parent = nullptr, HWND parentWindow = nullptr);
    explicit CResizableFormView(DialogTemplate dialog, QWidget *parent = nullptr, HWND parentWindow = nullptr);
    ~CResizableFormView() override;

    // Runs once the owner has registered its anchors.
    virtual void OnInitialUpdate();
    bool IsLayoutReady() const { return m_layoutReady; }

    HWND GetSafeHwnd() const;
    // The widget that holds the controls (the layout window's client area).
    QWidget *Form() const { return m_form; }
    DialogForm &Controls() const { return *m_controls; }
    QWidget *GetDlgItem(int id) const { return m_controls->GetDlgItem(id); }
    HWND GetDlgItemWindow(int id) const { return m_controls->GetDlgItemWindow(id); }
    // The size the form scrolls over, in pixels: its design size until set.
    QSize GetTotalSize() const { return m_totalSize.isValid() ? m_totalSize : m_controls->DesignSize(); }
    // A total size of 0 lets the controls follow the view also below the design size.
    void SetScrollSizes(QSize total);

    using CResizableLayout::AnchorControl;
    void AnchorControl(int id, SIZE topLeftAnchor, SIZE bottomRightAnchor = NoAnchor);

    HWND GetLayoutWindow() override;
    void GetLayoutArea(RECT &rect) override;

protected:
    // Messages sent or posted to the form's window (on the UI thread).
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // Erases the form's background where the clip of the controls allows.
    virtual void EraseBackground(QPainter &painter, const QRegion &region);

    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

    std::u16string ControlClassName(HWND hwnd) override;
    DWORD ControlStyle(HWND hwnd) override;
    void SetControlStyle(HWND hwnd, DWORD style) override;
    bool ControlRect(HWND hwnd, RECT &rect) override;
    bool ControlVisible(HWND hwnd) override;
    RECT LayoutClientRect() override;
    bool HorizontalScroll(HWND hwnd, int &limit, int &position) override;
    void ApplyPositions(const std::vector<WindowPosition> &batch) override;

private:
    void Build(DialogTemplate dialog, HWND parentWindow);
    void FitForm();

    QWidget *m_form = nullptr;
    std::unique_ptr<WindowBinding> m_binding;
    std::unique_ptr<DialogForm> m_controls;
    bool m_layoutReady = false;
    QSize m_totalSize;
};
