#include "app/CSetHotKey.h"

#include "app/CBossKey.h"
#include "app/CHotKeyCtrl.h"
#include "platform/ControlStyles.h"
#include "platform/Window.h"
#include "platform/qt/DialogForm.h"
#include "platform/qt/WindowBinding.h"

CSetHotKey::CSetHotKey(HWND mainWindow, QWidget *parent) : QDialog(parent), m_hMainWindow(mainWindow)
{
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    m_window = std::make_unique<WindowBinding>(this, u"#32770", nullptr);
    auto dialogTemplate = DialogTemplate::Load(IDD);
    if (!dialogTemplate) {
        setWindowTitle(QStringLiteral("老板键"));
        return;
    }
    DialogForm::Factories factories;
    factories[ControlClass::HotKey] = [this](QWidget *host, HWND hostWindow, const DialogControl &, HWND *window) {
        m_HotKeyCtrl = new CHotKeyCtrl(host, hostWindow);
        *window = m_HotKeyCtrl->GetSafeHwnd();
        return static_cast<QWidget *>(m_HotKeyCtrl);
    };
    m_form = std::make_unique<DialogForm>(std::move(*dialogTemplate), this, m_window->Handle(), factories);
    setFixedSize(m_form->DesignSize());
    connect(m_form.get(), &DialogForm::command, this, [this](int id, int code) {
        if (id == IDOK && code == BN_CLICKED)
            ApplyHotKey();
    });
    OnInitDialog();
}

CSetHotKey::~CSetHotKey()
{
    m_form.reset();
    m_window.reset();
}

HWND CSetHotKey::GetSafeHwnd() const { return m_window ? m_window->Handle() : nullptr; }

bool CSetHotKey::OnInitDialog()
{
    if (!m_HotKeyCtrl)
        return false;
    WORD virtualKey = 0;
    WORD flags = 0;
    CBossKey::ReadStored(&virtualKey, &flags);
    SendMessageW(m_HotKeyCtrl->GetSafeHwnd(), CHotKeyCtrl::HKM_SETHOTKEY,
        static_cast<WPARAM>((virtualKey & 0xFF) | ((flags & 0xFF) << 8)), 0);
    m_HotKeyCtrl->setFocus(Qt::OtherFocusReason);
    return true;
}

void CSetHotKey::ApplyHotKey()
{
    if (!m_HotKeyCtrl)
        return;
    const auto value = static_cast<WORD>(SendMessageW(m_HotKeyCtrl->GetSafeHwnd(), CHotKeyCtrl::HKM_GETHOTKEY, 0, 0));
    const WORD virtualKey = value & 0xFF;
    const WORD flags = (value >> 8) & 0xFF;
    CBossKey::Store(virtualKey, flags);
    // The old combination goes first, also when the new one cannot be had or
    // is none: the key that works is always the one stored.
    UnregisterHotKey(m_hMainWindow, CBossKey::kHotKeyId);
    CBossKey::RegisterBossKey(flags, virtualKey, m_hMainWindow);
    accept();
}
