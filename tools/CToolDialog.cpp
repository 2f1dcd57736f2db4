#include "tools/CToolDialog.h"

#include "platform/ControlStyles.h"
#include "platform/UserInterface.h"
#include "platform/WideString.h"
#include "platform/qt/DialogForm.h"
#include "platform/qt/WindowBinding.h"
#include "util/CReportCtrl.h"

#include <QCloseEvent>

using KorrinControlsEx::CReportCtrl;

CToolDialog::CToolDialog(int templateId, QWidget *parent) : QDialog(parent)
{
    setWindowFlags((windowFlags() | Qt::Dialog) & ~Qt::WindowContextHelpButtonHint);
    setModal(false);
    m_window = std::make_unique<WindowBinding>(this, u"#32770", nullptr,
        [this](HWND, UINT message, WPARAM wParam, LPARAM lParam) { return WindowProc(message, wParam, lParam); });
    DialogForm::Factories factories;
    factories[ControlClass::ListView] = &CReportCtrl::CreateForDialog;
    // A template that cannot be read leaves an empty window; the build embeds them all.
    DialogTemplate dialog = DialogTemplate::Load(templateId).value_or(DialogTemplate {});
    m_form = std::make_unique<DialogForm>(std::move(dialog), this, m_window->Handle(), factories);
    setFixedSize(m_form->DesignSize());
    m_list = qobject_cast<CReportCtrl *>(m_form->GetDlgItem(1032));
    if (!m_list) {
        m_list = new CReportCtrl(this, m_window->Handle());
        m_list->hide();
    }
    connect(m_form.get(), &DialogForm::command, this, [this](int id, int code) { OnControl(id, code); });
}

CToolDialog::~CToolDialog()
{
    // Controls' windows go before the dialog's own.
    m_form.reset();
    m_window.reset();
}

HWND CToolDialog::GetSafeHwnd() const { return m_window ? m_window->Handle() : nullptr; }

QWidget *CToolDialog::GetDlgItem(int id) const { return m_form->GetDlgItem(id); }

void CToolDialog::ShowTool()
{
    show();
    raise();
    activateWindow();
}

void CToolDialog::EnableControl(int id, bool enable)
{
    if (QWidget *w = GetDlgItem(id))
        w->setEnabled(enable);
}

bool CToolDialog::IsControlEnabled(int id) const
{
    const QWidget *w = GetDlgItem(id);
    return w && w->isEnabled();
}

bool CToolDialog::IsChecked(int id) const { return m_form->IsDlgButtonChecked(id) == 1; }

void CToolDialog::SetChecked(int id, bool checked) { m_form->CheckDlgButton(id, checked ? 1 : 0); }

LRESULT CToolDialog::WindowProc(UINT, WPARAM, LPARAM) { return 0; }

void CToolDialog::OnClose() { hide(); }

void CToolDialog::reject() { OnClose(); }

void CToolDialog::closeEvent(QCloseEvent *event)
{
    event->ignore();
    OnClose();
}

bool CToolDialog::ReadInts(std::initializer_list<std::pair<int, int *>> fields)
{
    QWidget *first = nullptr;
    for (const auto &[id, value] : fields) {
        const std::optional<int> typed = WideString::ParseWholeNumber(m_form->GetDlgItemText(id));
        if (typed)
            *value = *typed;
        else if (!first)
            first = GetDlgItem(id);
    }
    if (!first)
        return true;
    MessageBoxW(GetSafeHwnd(), u"请输入一个整数。", kCaption, MB_OK | MB_ICONWARNING);
    first->setFocus(Qt::OtherFocusReason);
    return false;
}

void CToolDialog::WriteInt(int id, int value) { m_form->SetDlgItemText(id, WideString::FromInt(value)); }

wstring16 CToolDialog::ReadText(int id) const { return m_form->GetDlgItemText(id); }

void CToolDialog::WriteText(int id, const wstring16 &text) { m_form->SetDlgItemText(id, text); }
