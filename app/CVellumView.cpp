#include "app/CVellumView.h"

#include "app/CChildFrame.h"
#include "app/CContextMenuManager.h"
#include "app/CMainFrame.h"
#include "app/CPageInput.h"
#include "app/CVellumApp.h"
#include "app/CVellumPage.h"
#include "platform/Resource.h"
#include "platform/WideString.h"
#include "platform/Window.h"
#include "platform/qt/WindowBinding.h"
#include "tools/CreateMouseEventCode.h"

#include <QContextMenuEvent>
#include <QDateTime>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRandomGenerator>
#include <QTimer>
#include <QWebEngineContextMenuRequest>
#include <QWebEngineScript>

#include <csignal>
#include <memory>

namespace {

// The marker's key; Symbol.for keeps it off the page's named globals.
constexpr char16_t kMarkKey[] = u"Symbol.for('tessaly.exec')";

// A recovery storm (a page that kills its renderer at every load) stops here.
constexpr int kMaxRecoveries = 3;
constexpr qint64 kRecoveryWindowMs = 10000;

QString JsonString(const QString &text)
{
    const QByteArray array = QJsonDocument(QJsonArray {text}).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(array.constData() + 1, array.size() - 2);
}

// Compiles without running, in the isolated world, where a page's
// Content-Security-Policy does not forbid it.
QString SyntaxCheck(const QString &source)
{
    return QStringLiteral("(function(c){try{new Function(c);return true}catch(e){return false}})(") +
        JsonString(source) + QStringLiteral(")");
}

// The code runs as one script of the page. A destructuring declaration with no
// names keeps the code's completion value and its top-level declarations, and
// sets the marker only when the code ran to its end.
QString WithMarker(const QString &source, qint64 token)
{
    return source + QStringLiteral("\n;var {} = (globalThis[") + QString::fromUtf16(kMarkKey) + QStringLiteral("] = ") +
        QString::number(token) + QStringLiteral(", 0);");
}

QString TakeMarker()
{
    const QString key = QString::fromUtf16(kMarkKey);
    return QStringLiteral("(function(){var k=") + key +
        QStringLiteral(",v=globalThis[k];delete globalThis[k];return v===undefined?-1:v})()");
}

wstring16 VariantToText(const QVariant &value)
{
    QString text;
    switch (value.typeId()) {
    case QMetaType::UnknownType:
        break;
    case QMetaType::Bool:
        text = value.toBool() ? QStringLiteral("true") : QStringLiteral("false");
        break;
    case QMetaType::Double:
        text = QString::number(value.toDouble(), 'g', QLocale::FloatingPointShortest);
        break;
    case QMetaType::QVariantList:
    case QMetaType::QVariantMap:
        text = QString::fromUtf8(QJsonDocument::fromVariant(value).toJson(QJsonDocument::Compact));
        break;
    default:
        text = value.toString();
        break;
    }
    return text.toStdU16String();
}

} // namespace

// The home page lives in the program's resources; a static library drops them
// unless they are asked for.
static void InitHomePageResources()
{
    static const bool done = [] {
        Q_INIT_RESOURCE(home);
        return true;
    }();
    Q_UNUSED(done);
}

struct CVellumView::ScriptCall {
    QString source;
    quint64 generation = 0;
    QElapsedTimer clock;
    qint64 dialogMsAtStart = 0;
    qint64 token = 0;
    bool valueDone = false;
    QVariant value;
    bool markDone = false;
    qint64 mark = -1;
    bool finished = false;
    ScriptDone done;
};

CVellumView::CVellumView(QWidget *parent, HWND parentWindow, QWebEngineProfile *profile) : QWebEngineView(parent)
{
    InitHomePageResources();
    m_pPage = profile ? new CVellumPage(profile, this) : new CVellumPage(this);
    setPage(m_pPage);
    m_window = std::make_unique<WindowBinding>(this, u"CVellumView", parentWindow,
        [this](HWND, UINT message, WPARAM wParam, LPARAM lParam) { return OnMessage(message, wParam, lParam); });
    m_pInput = new CPageInput(this, m_window->Handle());
    connect(m_pPage, &QWebEnginePage::scrollPositionChanged, m_pInput, &CPageInput::Refresh);
    connect(m_pPage, &QWebEnginePage::contentsSizeChanged, m_pInput, &CPageInput::Refresh);
    SetTimer(m_window->Handle(), kTimerId, kTimerMs, nullptr);
    m_pScriptWatch = new QTimer(this);
    m_pScriptWatch->setInterval(20);
    connect(m_pScriptWatch, &QTimer::timeout, this, &CVellumView::WatchScripts);

    connect(m_pPage, &QWebEnginePage::loadStarted, this, &CVellumView::OnLoadStarted);
    connect(m_pPage, &QWebEnginePage::loadFinished, this, &CVellumView::OnLoadFinished);
    connect(m_pPage, &QWebEnginePage::renderProcessTerminated, this,
        [this](QWebEnginePage::RenderProcessTerminationStatus, int) { OnRendererEnded(); });
    connect(m_pPage, &QWebEnginePage::linkHovered, this, &CVellumView::StatusText);
    // The engine does not report the start of every load; Navigate reports its own.
    connect(m_pPage, &QWebEnginePage::loadStarted, this, [this] { ReportLoading(m_pPage->requestedUrl()); });
    connect(m_pPage, &QWebEnginePage::loadFinished, this, [this](bool ok) {
        emit StatusText(ok ? QStringLiteral("完成")
                           : QStringLiteral("无法打开网页 %1").arg(m_pPage->requestedUrl().toDisplayString()));
    });
    // A hidden widget hides its page, and a hidden page gets about one timer tick
    // a second. Tasks must run at full rate whatever the window's state.
    connect(m_pPage, &QWebEnginePage::visibleChanged, this, [this](bool visible) {
        if (!visible)
            QMetaObject::invokeMethod(
                this, [this] { m_pPage->setVisible(true); }, Qt::QueuedConnection);
    });
}

CVellumView::~CVellumView()
{
    // Scripts still running fail now; their callers may try again, which fails.
    m_bGoing = true;
    const auto scripts = m_scripts;
    for (const auto &call : scripts)
        FinishScript(call, false, {});
    // The page outlives this part of the view: it must not call back into it.
    disconnect(m_pPage, nullptr, this, nullptr);
    // Pending sends answer 0 and posts are dropped from here on.
    delete m_pInput;
    m_pInput = nullptr;
    m_window.reset();
}

CChildFrame *CVellumView::GetParentFrame() const
{
    for (QWidget *w = parentWidget(); w; w = w->parentWidget())
        if (auto *frame = qobject_cast<CChildFrame *>(w))
            return frame;
    return nullptr;
}

bool CVellumView::PreTranslateMessage(UINT message, POINT cursor)
{
    CreateMouseEventCode *recorder = g_pMouseRecorder;
    if (message != WM_LBUTTONUP || !recorder || !recorder->IsAutoCapturing())
        return false;
    recorder->ViewHandledUp = 1;
    recorder->SetEndPoint(cursor);
    recorder->WriteBackPoints();
    const POINT start = recorder->StartPoint();
    if (cursor.x == start.x && cursor.y == start.y)
        recorder->OnRecordClick();
    else
        recorder->OnRecordDrag();
    return false;
}

HWND CVellumView::GetSafeHwnd() const { return m_window ? m_window->Handle() : nullptr; }

HWND CVellumView::GetContentWindow() const { return m_pInput ? m_pInput->ContentWindow() : nullptr; }

wstring16 CVellumView::GetLocationURL() const { return url().toString().toStdU16String(); }

void CVellumView::NavigateUrl(const wstring16 &url, bool openInNewWindow)
{
    const QUrl target = QUrl::fromUserInput(QString::fromStdU16String(url));
    CVellumView *view = openInNewWindow ? OpenNewWindow() : this;
    if (view) {
        view->ReportLoading(target);
        view->m_requestedUrl = target;
        view->load(target);
    }
}

QUrl CVellumView::Address() const { return url().isEmpty() ? m_requestedUrl : url(); }

void CVellumView::PrintPage(QPrinter *printer, std::function<void(bool)> done)
{
    // One print at a time per view: the engine refuses a second one meanwhile.
    auto connection = std::make_shared<QMetaObject::Connection>();
    *connection = connect(this, &QWebEngineView::printFinished, this, [connection, done](bool ok) {
        QObject::disconnect(*connection);
        if (done)
            done(ok);
    });
    print(printer);
}

void CVellumView::ReportLoading(const QUrl &url)
{
    emit StatusText(QStringLiteral("正在打开网页 %1...").arg(url.toDisplayString()));
}

void CVellumView::OnInitialUpdate()
{
    if (!g_bNavigateHome)
        return;
    g_bNavigateHome = false;
    NavigateUrl(CVellumApp::kHomePageUrl, false);
}

QWebEngineView *CVellumView::createWindow(QWebEnginePage::WebWindowType) { return OpenNewWindow(); }

CVellumView *CVellumView::OpenNewWindow()
{
    auto *mainFrame = qobject_cast<CMainFrame *>(window());
    if (!mainFrame)
        return nullptr;
    // The new tab shares this one's container, as the page that asked for it expects.
    CChildFrame *parent = GetParentFrame();
    CChildFrame *frame = mainFrame->CreateChildFrame(m_pDocument, true, parent ? parent->Container() : QString());
    return frame ? frame->GetBrowserView() : nullptr;
}

bool CVellumView::ExecScript(wstring16 code, wstring16 language, wstring16 &result)
{
    if (!GetSafeHwnd() || !m_bPageLoaded)
        return false;
    result.clear();
    struct Outcome {
        bool done = false;
        bool ok = false;
        wstring16 value;
        QEventLoop loop;
    };
    auto outcome = std::make_shared<Outcome>();
    const bool started = StartScript(std::move(code), std::move(language), [outcome](bool ok, const wstring16 &value) {
        outcome->done = true;
        outcome->ok = ok;
        outcome->value = value;
        outcome->loop.quit();
    });
    if (!started)
        return false;
    // The view may go meanwhile: nothing of it is touched after the wait.
    while (!outcome->done)
        outcome->loop.exec();
    result = outcome->value;
    return outcome->ok;
}

bool CVellumView::StartScript(wstring16 code, wstring16 language, ScriptDone done)
{
    if (m_bGoing || !GetSafeHwnd() || !m_bPageLoaded)
        return false;
    const wstring16 lang = language.empty() ? wstring16(u"javascript") : WideString::ToLower(language);
    if (lang != u"javascript" && lang != u"jscript")
        return false;

    auto call = std::make_shared<ScriptCall>();
    call->source = QString::fromStdU16String(code);
    call->generation = m_nGeneration;
    call->clock.start();
    call->dialogMsAtStart = m_pPage->DialogMilliseconds();
    call->done = std::move(done);
    m_scripts.push_back(call);
    if (!m_pScriptWatch->isActive())
        m_pScriptWatch->start();

    if (m_compiledSources.contains(call->source)) {
        RunCheckedScript(call);
        return true;
    }
    QPointer<CVellumView> self(this);
    m_pPage->runJavaScript(
        SyntaxCheck(call->source), QWebEngineScript::ApplicationWorld, [self, call](const QVariant &v) {
            if (call->finished || !self)
                return;
            if (v.toBool())
                self->RememberCompiled(call->source);
            if (!v.toBool() || call->generation != self->m_nGeneration)
                self->FinishScript(call, false, {});
            else
                self->RunCheckedScript(call);
        });
    return true;
}

void CVellumView::RememberCompiled(const QString &source)
{
    if (source.size() > kCompiledCacheChars)
        return;
    if (m_nCompiledChars + source.size() > kCompiledCacheChars) {
        m_compiledSources.clear();
        m_nCompiledChars = 0;
    }
    m_compiledSources.insert(source);
    m_nCompiledChars += source.size();
}

void CVellumView::RunCheckedScript(const std::shared_ptr<ScriptCall> &call)
{
    static qint64 s_nextToken = static_cast<qint64>(QRandomGenerator::global()->bounded(1u << 30)) << 10;
    call->token = ++s_nextToken;
    QPointer<CVellumView> self(this);
    const auto settle = [self, call] {
        if (call->finished || !self || !call->valueDone || !call->markDone)
            return;
        const bool ok = call->mark == call->token && call->generation == self->m_nGeneration;
        self->FinishScript(call, ok, VariantToText(call->value));
    };
    m_pPage->runJavaScript(
        WithMarker(call->source, call->token), QWebEngineScript::MainWorld, [call, settle](const QVariant &v) {
            call->valueDone = true;
            call->value = v;
            settle();
        });
    m_pPage->runJavaScript(TakeMarker(), QWebEngineScript::MainWorld, [call, settle](const QVariant &v) {
        call->markDone = true;
        call->mark = v.isValid() ? v.toLongLong() : -1;
        settle();
    });
}

void CVellumView::FinishScript(const std::shared_ptr<ScriptCall> &call, bool ok, const wstring16 &result)
{
    if (call->finished)
        return;
    call->finished = true;
    std::erase(m_scripts, call);
    if (m_scripts.empty())
        m_pScriptWatch->stop();
    const ScriptDone done = std::move(call->done);
    if (done)
        done(ok, result);
}

// Fails the scripts of a page that has gone and those that ran out of time (time
// in its page's boxes not counted, nor time in which an engine box of any page
// held every page); a hung page is recovered before its callers hear.
void CVellumView::WatchScripts()
{
    std::vector<std::shared_ptr<ScriptCall>> failed;
    bool hung = false;
    const bool inDialog = m_pPage->IsInDialog() || CVellumPage::IsEngineHeld();
    for (const auto &call : m_scripts) {
        if (call->generation != m_nGeneration) {
            failed.push_back(call);
        } else if (!inDialog) {
            const qint64 used = call->clock.elapsed() - (m_pPage->DialogMilliseconds() - call->dialogMsAtStart);
            if (used >= m_nScriptTimeoutMs) {
                failed.push_back(call);
                hung = true;
            }
        }
    }
    if (hung)
        RecoverPage();
    QPointer<CVellumView> self(this);
    for (const auto &call : failed) {
        if (!self)
            return;
        FinishScript(call, false, {});
    }
}

LRESULT CVellumView::OnMessage(UINT message, WPARAM, LPARAM)
{
    if (message == WM_TIMER)
        OnTimer();
    return 0;
}

void CVellumView::OnTimer()
{
    DoPendingScroll();
    if (m_pInput)
        m_pInput->Refresh();
}

void CVellumView::DoPendingScroll()
{
    LONG x = m_nScrollX.load();
    LONG y = m_nScrollY.load();
    if (x == -1 || y == -1 || !m_bPageLoaded)
        return;
    m_pPage->runJavaScript(QStringLiteral("window.scroll(%1,%2)").arg(x).arg(y), QWebEngineScript::ApplicationWorld);
    // A request stored meanwhile by a replay is kept for the next tick.
    m_nScrollX.compare_exchange_strong(x, -1);
    m_nScrollY.compare_exchange_strong(y, -1);
}

void CVellumView::OnLoadStarted()
{
    // Leaving the crash page (its link, Go): the page gets its tries again.
    if (m_eCrashPage == CrashPage::Shown) {
        m_eCrashPage = CrashPage::None;
        m_recoveryTimes.clear();
    }
}

void CVellumView::OnLoadFinished(bool ok)
{
    if (m_eCrashPage == CrashPage::Loading) {
        m_eCrashPage = CrashPage::Shown;
        emit PageLoaded(false);
        return;
    }
    if (m_eCrashPage == CrashPage::None && !url().isEmpty()) {
        m_bPageLoaded = true;
        m_pInput->OnPageLoaded();
    }
    emit PageLoaded(ok);
}

void CVellumView::RecoverPage()
{
    const qint64 pid = m_pPage->renderProcessPid();
    ++m_nGeneration;
    m_bPageLoaded = false;
    if (pid > 0) {
        m_bKillRequested = true;
        ::kill(static_cast<pid_t>(pid), SIGKILL);
        return; // renderProcessTerminated reloads the page
    }
    m_pPage->triggerAction(QWebEnginePage::Reload);
}

// The tab's own page in place of one that keeps crashing. It stands at the
// lost page's address, so that its link may go back there (a page from a file
// may only link to files).
void CVellumView::ShowCrashPage()
{
    const QUrl lost = url();
    const QString address = lost.toString().toHtmlEscaped();
    const QString html =
        QStringLiteral("<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>页面无法显示</title></head>"
                       "<body style=\"font-family: sans-serif; margin: 3em; line-height: 1.6\">"
                       "<h2>页面无法显示</h2>"
                       "<p>显示这个页面的进程在短时间内反复意外结束，为避免反复重启，已停止自动重新载入。</p>"
                       "<p>页面地址：<span id=\"address\">%1</span></p>"
                       "<p>在页面重新载入之前，这个标签页中运行的任务都会失败。</p>"
                       "<p><a id=\"reload\" href=\"%2\">重新载入页面</a>，或在左侧任务面板中按“Go”。</p>"
                       "</body></html>")
            .arg(address, QString::fromUtf8(lost.toEncoded()).toHtmlEscaped());
    m_eCrashPage = CrashPage::Loading;
    m_pPage->setHtml(html, lost);
}

void CVellumView::OnRendererEnded()
{
    ++m_nGeneration;
    m_bPageLoaded = false;
    m_pInput->OnPageGone();
    const bool requested = m_bKillRequested;
    m_bKillRequested = false;
    // The crash page's own renderer is not brought back: that could loop too.
    if (m_eCrashPage != CrashPage::None)
        return;
    const qint64 nowMs = QDateTime::currentMSecsSinceEpoch();
    while (!m_recoveryTimes.empty() && nowMs - m_recoveryTimes.front() > kRecoveryWindowMs)
        m_recoveryTimes.pop_front();
    if (!requested && static_cast<int>(m_recoveryTimes.size()) >= kMaxRecoveries) {
        // Left as it is, the view would go on showing whatever it drew last,
        // even another tab's page.
        QTimer::singleShot(0, this, [this] { ShowCrashPage(); });
        return;
    }
    m_recoveryTimes.push_back(nowMs);
    ++m_nRecoveries;
    QTimer::singleShot(0, this, [this] { m_pPage->triggerAction(QWebEnginePage::Reload); });
}

bool CVellumView::CanEdit(UINT id) const
{
    const QWebEngineContextMenuRequest *request = lastContextMenuRequest();
    if (!request)
        return false;
    const auto flags = request->editFlags();
    switch (id) {
    case CMainFrame::ID_EDIT_CUT:
        return flags.testFlag(QWebEngineContextMenuRequest::CanCut);
    case CMainFrame::ID_EDIT_COPY:
        return flags.testFlag(QWebEngineContextMenuRequest::CanCopy);
    case CMainFrame::ID_EDIT_PASTE:
        return flags.testFlag(QWebEngineContextMenuRequest::CanPaste);
    default:
        return false;
    }
}

void CVellumView::OnEditCommand(UINT id)
{
    switch (id) {
    case CMainFrame::ID_EDIT_CUT:
        page()->triggerAction(QWebEnginePage::Cut);
        break;
    case CMainFrame::ID_EDIT_COPY:
        page()->triggerAction(QWebEnginePage::Copy);
        break;
    case CMainFrame::ID_EDIT_PASTE:
        page()->triggerAction(QWebEnginePage::Paste);
        break;
    default:
        break;
    }
}

void CVellumView::contextMenuEvent(QContextMenuEvent *event)
{
    const QWebEngineContextMenuRequest *request = lastContextMenuRequest();
    const wstring16 name = Resource::String(CVellumApp::IDS_EDIT_MENU);
    const CContextMenuManager &menus = CContextMenuManager::Instance();
    if (!request || !menus.HasMenu(name) || (!request->isContentEditable() && request->selectedText().isEmpty())) {
        QWebEngineView::contextMenuEvent(event);
        return;
    }
    QPointer<CVellumView> self(this);
    const UINT chosen = menus.ShowPopupMenu(name, event->globalPos(), this, [this](UINT id) { return CanEdit(id); });
    if (self && chosen)
        OnEditCommand(chosen);
}
