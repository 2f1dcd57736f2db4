#pragma once
// The browser of a tab: navigates, runs scripts in the loaded page, carries out
// pending scroll requests and turns a page's request for a new window into a
// new tab. Its window carries the content-window chain that mouse replay and
// the recorder search (see CPageInput).

#include "app/CVellumDoc.h"
#include "platform/Win32Types.h"

#include <QPointer>
#include <QSet>
#include <QWebEngineView>

#include <atomic>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

class CChildFrame;
class CPageInput;
class CVellumPage;
class QTimer;
class QWebEngineProfile;
class QPrinter;
class WindowBinding;

class CVellumView : public QWebEngineView {
    Q_OBJECT
public:
    // profile: a container's, which must outlive the view; null for the default one.
    explicit CVellumView(QWidget *parent = nullptr, HWND parentWindow = nullptr, QWebEngineProfile *profile = nullptr);
    ~CVellumView() override;

    // Pending scroll position in page pixels; -1 in either: none. Written by
    // mouse replay from its run thread, carried out and cleared on WM_TIMER.
    std::atomic<LONG> m_nScrollX {-1};
    std::atomic<LONG> m_nScrollY {-1};

    void NavigateUrl(const wstring16 &url, bool openInNewWindow);
    // The page's address; until the engine reports one, the address it was sent to.
    QUrl Address() const;
    // Runs code in the page's global scope; true when it compiled and ran without
    // an uncaught exception. result receives the completion value as text.
    // Waits in a nested event loop: callers on a worker's behalf use StartScript.
    bool ExecScript(wstring16 code, wstring16 language, wstring16 &result);

    using ScriptDone = std::function<void(bool ok, const wstring16 &result)>;
    // Starts code as ExecScript runs it and returns at once. False when it cannot
    // start (no page, a language other than JavaScript, the view going); done is
    // then never called. Otherwise done is called once, later, on this thread,
    // with what ExecScript would have returned; also when the view goes.
    bool StartScript(wstring16 code, wstring16 language, ScriptDone done);

    // The first view after start-up opens the home page.
    void OnInitialUpdate();
    // A left-button release over the page at a screen point, for the recorder's
    // automatic capture: it ends a click or a drag. Never consumes the message.
    bool PreTranslateMessage(UINT message, POINT cursor);

    HWND GetSafeHwnd() const;
    // The "Internet Explorer_Server" window while a page is loaded, else null.
    HWND GetContentWindow() const;
    wstring16 GetLocationURL() const;
    CVellumDoc *GetDocument() const { return m_pDocument; }
    void SetDocument(CVellumDoc *document) { m_pDocument = document; }
    // The frame whose pane (0,1) this view is.
    CChildFrame *GetParentFrame() const;

    bool HasPage() const { return m_bPageLoaded; }
    CVellumPage *Page() const { return m_pPage; }

    // The bound on a script's running time (time in page dialogs not counted).
    void SetScriptTimeout(int milliseconds) { m_nScriptTimeoutMs = milliseconds; }
    // Counts renderer recoveries (a hung script, a crash); tests read it.
    int RecoveryCount() const { return m_nRecoveries; }
    // True while the tab shows its own page saying that its page could not be
    // brought back; scripts and gestures fail there until a page is loaded.
    bool ShowsCrashPage() const { return m_eCrashPage != CrashPage::None; }

    static constexpr UINT_PTR kTimerId = 1;
    static constexpr UINT kTimerMs = 150;
    static constexpr int kDefaultScriptTimeoutMs = 10000;

    // Prints the loaded page on printer, which must live until done(ok) is called.
    void PrintPage(QPrinter *printer, std::function<void(bool)> done);

    // The edit menu's (119) commands over the last spot the user asked a
    // context menu for: Cut, Copy and Paste as the page allows them there.
    bool CanEdit(UINT id) const;
    void OnEditCommand(UINT id);

signals:
    void PageLoaded(bool ok);
    void StatusText(const QString &text);

protected:
    QWebEngineView *createWindow(QWebEnginePage::WebWindowType type) override;
    // Over a text field or a selection, the program's edit menu; elsewhere the page's own.
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    struct ScriptCall;
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void OnTimer();
    void DoPendingScroll();
    void RememberCompiled(const QString &source);
    void RunCheckedScript(const std::shared_ptr<ScriptCall> &call);
    void FinishScript(const std::shared_ptr<ScriptCall> &call, bool ok, const wstring16 &result);
    void WatchScripts();
    void OnLoadFinished(bool ok);
    void ReportLoading(const QUrl &url);
    void OnLoadStarted();
    void OnRendererEnded();
    void RecoverPage();
    void ShowCrashPage();
    CVellumView *OpenNewWindow();

    std::unique_ptr<WindowBinding> m_window;
    CVellumPage *m_pPage = nullptr;
    CPageInput *m_pInput = nullptr;
    QPointer<CVellumDoc> m_pDocument;
    bool m_bPageLoaded = false;
    QUrl m_requestedUrl;
    bool m_bKillRequested = false;
    quint64 m_nGeneration = 0;
    int m_nScriptTimeoutMs = kDefaultScriptTimeoutMs;
    int m_nRecoveries = 0;
    std::deque<qint64> m_recoveryTimes;
    enum class CrashPage { None, Loading, Shown };
    CrashPage m_eCrashPage = CrashPage::None;
    // Scripts started and not yet finished, in start order.
    std::vector<std::shared_ptr<ScriptCall>> m_scripts;
    QTimer *m_pScriptWatch = nullptr;
    bool m_bGoing = false;
    // Sources that compiled before: syntax does not depend on the page, and a
    // scheduled row sends the same source again and again.
    static constexpr qsizetype kCompiledCacheChars = 1 << 20;
    QSet<QString> m_compiledSources;
    qsizetype m_nCompiledChars = 0;
};
