#include "app/CChildFrame.h"

#include "app/CContainers.h"
#include "app/CVellumApp.h"
#include "app/CVellumDoc.h"
#include "app/CVellumView.h"

#include "platform/SystemTime.h"
#include "platform/Window.h"
#include "platform/qt/WindowBinding.h"

#include "tasks/CLeftView.h"
#include "tools/CreateMouseEventCode.h"

#include <QHBoxLayout>
#include <QSplitter>

CChildFrame::CChildFrame(CVellumDoc *document, QWidget *parent) : QWidget(parent), m_pDocument(document)
{
    // Stamps far enough back that the first press and release are always taken.
    m_dwLastUpTick = GetTickCount() - 301;
    m_dwLastDownTick = m_dwLastUpTick;
    m_window = std::make_unique<WindowBinding>(this, u"CChildFrame", nullptr);
    if (m_pDocument) {
        m_pDocument->AddFrame(this);
        connect(m_pDocument, &CVellumDoc::TitlesChanged, this, [this] { emit TitleChanged(Title()); });
    }
}

CChildFrame::~CChildFrame()
{
    // The panes go first (their windows are children of this one).
    delete m_wndSplitter;
    m_wndSplitter = nullptr;
    m_window.reset();
    if (m_pDocument) {
        disconnect(m_pDocument, nullptr, this, nullptr);
        m_pDocument->RemoveFrame(this);
    }
}

bool CChildFrame::OnCreateClient()
{
    m_wndSplitter = new QSplitter(Qt::Horizontal, this);
    m_wndSplitter->setChildrenCollapsible(false);
    auto *left = new CLeftView(m_wndSplitter);
    QWebEngineProfile *profile = m_pContainers ? m_pContainers->Profile(m_strContainer) : nullptr;
    auto *view = new CVellumView(m_wndSplitter, GetSafeHwnd(), profile);
    if (profile)
        m_pContainers->Track(m_strContainer, view->page());
    view->SetDocument(m_pDocument);
    m_wndSplitter->addWidget(left);
    m_wndSplitter->addWidget(view);
    left->resize(kInitialPaneSize, kInitialPaneSize);
    view->resize(kInitialPaneSize, kInitialPaneSize);
    m_wndSplitter->setSizes({kInitialPaneSize, kInitialPaneSize});
    // The browser takes what the panel does not need.
    m_wndSplitter->setStretchFactor(0, 0);
    m_wndSplitter->setStretchFactor(1, 1);

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_wndSplitter);
    return true;
}

void CChildFrame::OnInitialUpdate()
{
    if (auto *left = GetLeftView())
        left->OnInitialUpdate();
    if (auto *view = GetBrowserView())
        view->OnInitialUpdate();
}

bool CChildFrame::PreTranslateMessage(UINT message, POINT cursor)
{
    CreateMouseEventCode *recorder = g_pMouseRecorder;
    if (!recorder || !recorder->IsAutoCapturing())
        return false;
    const DWORD now = GetTickCount();
    if (message == WM_LBUTTONDOWN && now - m_dwLastDownTick > kDoubleTakeMs) {
        recorder->SetStartPoint(cursor);
        recorder->WriteBackPoints();
        m_dwLastDownTick = now;
    } else if (message == WM_LBUTTONUP && now - m_dwLastUpTick > kDoubleTakeMs) {
        // A release over the page was recorded by the view already.
        if (recorder->ViewHandledUp != 1) {
            recorder->SetEndPoint(cursor);
            recorder->WriteBackPoints();
            const POINT start = recorder->StartPoint();
            if (cursor.x == start.x && cursor.y == start.y)
                recorder->OnRecordClick();
        }
        m_dwLastUpTick = now;
        recorder->ViewHandledUp = 0;
    }
    return false;
}

HWND CChildFrame::GetSafeHwnd() const { return m_window ? m_window->Handle() : nullptr; }

QWidget *CChildFrame::GetPane(int row, int column) const
{
    if (!m_wndSplitter || row != 0 || column < 0 || column >= m_wndSplitter->count())
        return nullptr;
    return m_wndSplitter->widget(column);
}

CLeftView *CChildFrame::GetLeftView() const { return qobject_cast<CLeftView *>(GetPane(0, 0)); }

CVellumView *CChildFrame::GetBrowserView() const { return qobject_cast<CVellumView *>(GetPane(0, 1)); }

QString CChildFrame::Title() const
{
    const QString title = m_pDocument ? QString::fromStdU16String(m_pDocument->FrameTitle(this)) : QString();
    if (m_strContainer.isEmpty() || !m_pContainers)
        return title;
    return QStringLiteral("[%1] %2").arg(m_pContainers->Name(m_strContainer), title);
}

void CChildFrame::SetContainer(CContainers *containers, const QString &id)
{
    if (m_pContainers)
        disconnect(m_pContainers, nullptr, this, nullptr);
    m_pContainers = containers;
    m_strContainer = containers && containers->Exists(id) ? id : QString();
    if (m_pContainers && !m_strContainer.isEmpty())
        connect(m_pContainers, &CContainers::Changed, this, [this] { emit TitleChanged(Title()); });
}

QColor CChildFrame::ContainerColour() const
{
    return m_pContainers ? m_pContainers->ColourOf(m_strContainer) : QColor();
}
