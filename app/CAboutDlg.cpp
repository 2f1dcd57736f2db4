#include "app/CAboutDlg.h"

#include "app/CAppIcon.h"
#include "platform/ControlStyles.h"
#include "platform/qt/DialogForm.h"
#include "platform/qt/WindowBinding.h"

#include <QLabel>

CAboutDlg::CAboutDlg(QWidget *parent) : QDialog(parent)
{
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    m_window = std::make_unique<WindowBinding>(this, u"#32770", nullptr);
    auto dialogTemplate = DialogTemplate::Load(IDD);
    if (!dialogTemplate)
        return;
    m_form = std::make_unique<DialogForm>(std::move(*dialogTemplate), this, m_window->Handle());
    setFixedSize(m_form->DesignSize());
    // An icon control shows the program's icon in the size the template gives it.
    const std::vector<HWND> windows = m_form->Windows();
    const std::vector<DialogControl> &controls = m_form->Template().controls;
    for (std::size_t i = 0; i < controls.size() && i < windows.size(); ++i)
        if ((controls[i].style & SS_TYPEMASK) == SS_ICON)
            if (auto *label = qobject_cast<QLabel *>(m_form->WidgetOf(windows[i]))) {
                label->setText(QString());
                label->setPixmap(CAppIcon::Icon().pixmap(label->size().boundedTo(QSize(32, 32))));
            }
    connect(m_form.get(), &DialogForm::command, this, [this](int id, int code) {
        if (id == IDOK && code == BN_CLICKED)
            accept();
    });
}

CAboutDlg::~CAboutDlg()
{
    m_form.reset();
    m_window.reset();
}
