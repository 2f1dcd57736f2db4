#include "util/CResizableFormView.h"

#include "platform/qt/WindowBinding.h"
#include "util/CReportCtrl.h"

#include <QEvent>
#include <QListWidget>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>

namespace {

DialogTemplate EmptyTemplate()
{
    DialogTemplate t;
    t.style = WS_CHILD | WS_VISIBLE;
    return t;
}

} // namespace

CResizableFormView::CResizableFormView(int templateId, QWidget *parent, HWND parentWindow) : QScrollArea(parent)
{
    Build(DialogTemplate::Load(templateId).value_or(EmptyTemplate()), parentWindow);
}

CResizableFormView::CResizableFormView(DialogTemplate dialog, QWidget *parent, HWND parentWindow) : QScrollArea(parent)
{
    Build(std::move(dialog), parentWindow);
}

CResizableFormView::~CResizableFormView()
{
    RemoveAllAnchors();
    // The controls' windows go before the form's own.
    m_controls.reset();
    m_binding.reset();
}

void CResizableFormView::Build(DialogTemplate dialog, HWND parentWindow)
{
    setWidgetResizable(false);
    setFrameShape(QFrame::NoFrame);
    m_form = new QWidget;
    m_form->installEventFilter(this);
    m_binding = std::make_unique<WindowBinding>(this, u"FormView", parentWindow,
        [this](HWND, UINT message, WPARAM wParam, LPARAM lParam) { return WindowProc(message, wParam, lParam); });
    DialogForm::Factories factories;
    factories[u"SysListView32"] = &KorrinControlsEx::CReportCtrl::CreateForDialog;
    m_controls = std::make_unique<DialogForm>(std::move(dialog), m_form, m_binding->Handle(), factories);
    m_form->resize(m_controls->DesignSize());
    setWidget(m_form);
}

HWND CResizableFormView::GetSafeHwnd() const { return m_binding ? m_binding->Handle() : nullptr; }

HWND CResizableFormView::GetLayoutWindow() { return GetSafeHwnd(); }

LRESULT CResizableFormView::WindowProc(UINT, WPARAM, LPARAM) { return 0; }

void CResizableFormView::OnInitialUpdate()
{
    m_layoutReady = true;
    FitForm();
    RepositionControls();
}

void CResizableFormView::SetScrollSizes(QSize total)
{
    m_totalSize = total.expandedTo(QSize(0, 0));
    if (!m_layoutReady)
        return;
    FitForm();
    RepositionControls();
}

void CResizableFormView::AnchorControl(int id, SIZE topLeftAnchor, SIZE bottomRightAnchor)
{
    CResizableLayout::AnchorControl(GetDlgItemWindow(id), topLeftAnchor, bottomRightAnchor);
}

void CResizableFormView::GetLayoutArea(RECT &rect)
{
    const QSize design = GetTotalSize();
    QSize size = viewport()->size();
    if (!m_layoutReady)
        size = design;
    else
        size = size.expandedTo(design);
    rect = {0, 0, size.width(), size.height()};
}

// The form fills the view, but never below its total size (the scroll bars
// cover the rest).
void CResizableFormView::FitForm()
{
    RECT area;
    GetLayoutArea(area);
    m_form->resize(area.right - area.left, area.bottom - area.top);
}

void CResizableFormView::resizeEvent(QResizeEvent *event)
{
    QScrollArea::resizeEvent(event);
    if (!m_layoutReady)
        return;
    FitForm();
    RepositionControls();
}

bool CResizableFormView::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_form && event->type() == QEvent::Paint) {
        // Erase only what the controls leave to the form.
        QRegion region(m_form->rect());
        for (const ClipStep &step : ClipControls()) {
            const QRect r(
                step.rect.left, step.rect.top, step.rect.right - step.rect.left, step.rect.bottom - step.rect.top);
            QWidget *widget = m_controls->WidgetOf(step.hwnd);
            const QRegion shape =
                widget && !widget->mask().isEmpty() ? widget->mask().translated(r.topLeft()) : QRegion(r);
            region = step.exclude ? region.subtracted(shape) : region.united(shape);
        }
        QPainter painter(m_form);
        painter.setClipRegion(region);
        EraseBackground(painter, region);
        return true;
    }
    return QScrollArea::eventFilter(watched, event);
}

void CResizableFormView::EraseBackground(QPainter &painter, const QRegion &region)
{
    painter.fillRect(region.boundingRect(), m_form->palette().window());
}

std::u16string CResizableFormView::ControlClassName(HWND hwnd) { return m_controls->ClassOf(hwnd); }

DWORD CResizableFormView::ControlStyle(HWND hwnd) { return m_controls->StyleOf(hwnd); }

void CResizableFormView::SetControlStyle(HWND hwnd, DWORD style) { m_controls->SetStyleOf(hwnd, style); }

bool CResizableFormView::ControlRect(HWND hwnd, RECT &rect)
{
    QWidget *widget = m_controls->WidgetOf(hwnd);
    if (!widget)
        return false;
    const QRect g = widget->geometry();
    rect = {g.left(), g.top(), g.left() + g.width(), g.top() + g.height()};
    return true;
}

bool CResizableFormView::ControlVisible(HWND hwnd)
{
    QWidget *widget = m_controls->WidgetOf(hwnd);
    return widget && widget->isVisible();
}

RECT CResizableFormView::LayoutClientRect()
{
    const QSize size = viewport()->size();
    return {0, 0, size.width(), size.height()};
}

bool CResizableFormView::HorizontalScroll(HWND hwnd, int &limit, int &position)
{
    auto *box = qobject_cast<QListWidget *>(m_controls->WidgetOf(hwnd));
    if (!box)
        return CResizableLayout::HorizontalScroll(hwnd, limit, position);
    limit = box->horizontalScrollBar()->maximum();
    position = box->horizontalScrollBar()->value();
    return true;
}

void CResizableFormView::ApplyPositions(const std::vector<WindowPosition> &batch)
{
    // One batch, one repaint, as a deferred positioning does.
    // Only a pause of its own is undone: a parent's must end with the parent's.
    const bool paused = m_form->testAttribute(Qt::WA_ForceUpdatesDisabled);
    m_form->setUpdatesEnabled(false);
    for (const WindowPosition &p : batch) {
        QWidget *widget = m_controls->WidgetOf(p.hwnd);
        if (!widget)
            continue;
        QRect g = widget->geometry();
        if (!(p.flags & SWP_NOMOVE))
            g.moveTo(p.x, p.y);
        if (!(p.flags & SWP_NOSIZE))
            g.setSize(QSize(std::max(0, p.cx), std::max(0, p.cy)));
        widget->setGeometry(g);
        if (p.flags & SWP_NOCOPYBITS)
            widget->update();
    }
    if (!paused)
        m_form->setUpdatesEnabled(true);
}
