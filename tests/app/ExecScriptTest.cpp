// Scripts in the loaded page: status, completion value, global scope, pages that
// forbid eval, hung scripts, page dialogs and renderer recovery.

#include "tests/app/BrowserTest.h"

#include "app/CVellumPage.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QWebEngineScript>

#include <csignal>

namespace {

struct ScriptCase {
    const char *name;
    const char16_t *code;
    const char16_t *language;
    bool ok;
    const char16_t *result;
};

const ScriptCase kCases[] = {
    {"expression", u"1 + 2", u"", true, u"3"},
    {"string value", u"'ab' + 'c'", u"javascript", true, u"abc"},
    {"JScript in any case", u"6 * 7", u"JScript", true, u"42"},
    {"JavaScript in capitals", u"true", u"JAVASCRIPT", true, u"true"},
    {"statement without value", u"var unusedByTests = 1;", u"", true, u""},
    {"empty code", u"", u"", true, u""},
    {"ends in a line comment", u"6 * 7 // the answer", u"", true, u"42"},
    {"ends in a block comment", u"5 /* five */", u"", true, u"5"},
    {"thrown error", u"throw new Error('boom')", u"", false, u""},
    {"error after a statement", u"var partlyRun = 1; undefinedFunctionOfTests();", u"", false, u""},
    {"syntax error", u"1 +", u"", false, u""},
    {"unclosed block comment", u"1 /* open", u"", false, u""},
    {"incomplete statement", u"if (window.anything)", u"", false, u""},
    {"return outside a function", u"return 5", u"", false, u""},
    {"vbscript", u"MsgBox \"hi\"", u"vbscript", false, u""},
    {"unknown language", u"1", u"perl", false, u""},
};

} // namespace

class ExecScriptTest : public BrowserTest { };

TEST_F(ExecScriptTest, StatusAndCompletionValue)
{
    CVellumView *view = NewView(QStringLiteral("plain.html"));
    ASSERT_NE(view, nullptr);
    // The second round meets sources the view has already compiled.
    for (int round = 0; round < 2; ++round) {
        for (const ScriptCase &c : kCases) {
            wstring16 result = u"previous";
            EXPECT_EQ(view->ExecScript(c.code, c.language, result), c.ok) << c.name << " round " << round;
            EXPECT_EQ(QString::fromStdU16String(result), QString::fromUtf16(c.result)) << c.name << " round " << round;
        }
    }
}

TEST_F(ExecScriptTest, TopLevelDeclarationsStayInThePageScope)
{
    CVellumView *view = NewView(QStringLiteral("plain.html"));
    ASSERT_NE(view, nullptr);
    Js(view, QStringLiteral("var v1 = 1; function f1() { return 2; } let l1 = 3; const c1 = 4; class K1 { }"));
    EXPECT_EQ(
        Js(view, QStringLiteral("v1 + f1() + l1 + c1 + (typeof K1 === 'function' ? 10 : 0)")), QStringLiteral("20"));
    // The page's own scripts see them too.
    EXPECT_EQ(Js(view, QStringLiteral("window.v1 + typeof window.f1")), QStringLiteral("1function"));
    // Running the same declarations again is an error of the page, as for any script.
    wstring16 result;
    EXPECT_FALSE(view->ExecScript(u"let l1 = 5;", u"", result));
    EXPECT_EQ(Js(view, QStringLiteral("l1")), QStringLiteral("3"));
}

TEST_F(ExecScriptTest, ObjectValuesComeBackAsText)
{
    CVellumView *view = NewView(QStringLiteral("plain.html"));
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(Js(view, QStringLiteral("[1, 'a']")), QStringLiteral("[1,\"a\"]"));
    EXPECT_EQ(Js(view, QStringLiteral("0.5")), QStringLiteral("0.5"));
    EXPECT_EQ(Js(view, QStringLiteral("null")), QString());
    EXPECT_EQ(Js(view, QStringLiteral("document.getElementById('text').textContent")), QStringLiteral("plain page"));
}

TEST_F(ExecScriptTest, NoPageGivesFalseAndLeavesTheResult)
{
    CChildFrame *frame = NewTab();
    ASSERT_NE(frame, nullptr);
    wstring16 result = u"untouched";
    EXPECT_FALSE(frame->GetBrowserView()->ExecScript(u"1", u"", result));
    EXPECT_EQ(result, u"untouched");
}

TEST_F(ExecScriptTest, PageThatForbidsEval)
{
    CVellumView *view = NewView(QStringLiteral("csp.html"));
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(Js(view, QStringLiteral("var cspValue = 21; cspValue * 2")), QStringLiteral("42"));
    EXPECT_EQ(Js(view, QStringLiteral("cspValue")), QStringLiteral("21"));
    wstring16 result;
    EXPECT_FALSE(view->ExecScript(u"throw 1", u"", result));
    EXPECT_FALSE(view->ExecScript(u"1 +", u"", result));
    // The page's policy still holds for the code itself.
    EXPECT_FALSE(view->ExecScript(u"eval('1')", u"", result));
}

TEST_F(ExecScriptTest, HungScriptFailsAndThePageRecovers)
{
    CVellumView *other = NewView(QStringLiteral("plain.html"));
    CVellumView *view = NewView(QStringLiteral("plain.html"));
    ASSERT_NE(other, nullptr);
    ASSERT_NE(view, nullptr);
    Js(other, QStringLiteral("var keptByOtherTab = 'kept'"));
    Js(view, QStringLiteral("var lostWithTheRenderer = 1"));
    view->SetScriptTimeout(1500);

    QElapsedTimer clock;
    clock.start();
    wstring16 result;
    EXPECT_FALSE(view->ExecScript(u"while (true) { }", u"", result));
    EXPECT_GE(clock.elapsed(), 1400);
    EXPECT_LT(clock.elapsed(), 6000);

    ASSERT_TRUE(WaitFor([&] { return view->HasPage(); }));
    EXPECT_EQ(view->RecoveryCount(), 1);
    EXPECT_EQ(Js(view, QStringLiteral("typeof lostWithTheRenderer")), QStringLiteral("undefined"));
    EXPECT_EQ(Js(view, QStringLiteral("1 + 1")), QStringLiteral("2"));
    EXPECT_EQ(other->RecoveryCount(), 0);
    EXPECT_EQ(Js(other, QStringLiteral("keptByOtherTab")), QStringLiteral("kept"));
}

TEST_F(ExecScriptTest, RendererThatDiesIsRecovered)
{
    CVellumView *view = NewView(QStringLiteral("plain.html"));
    ASSERT_NE(view, nullptr);
    const qint64 pid = view->page()->renderProcessPid();
    ASSERT_GT(pid, 0);
    ::kill(static_cast<pid_t>(pid), SIGKILL);
    ASSERT_TRUE(WaitFor([&] { return view->RecoveryCount() == 1 && view->HasPage(); }));
    EXPECT_NE(view->page()->renderProcessPid(), pid);
    EXPECT_EQ(Js(view, QStringLiteral("document.title")), QStringLiteral("plain"));
}

// A renderer that keeps dying is not brought back for ever: the tab then shows a
// page of its own (not whatever was drawn last), scripts fail there, and its
// link or Go brings the page back, with its tries renewed.
TEST_F(ExecScriptTest, RendererThatKeepsDyingLeavesAPageOfItsOwn)
{
    CVellumView *other = NewView(QStringLiteral("plain.html"));
    CVellumView *view = NewView(QStringLiteral("input.html"));
    ASSERT_TRUE(other && view);
    // Each new renderer is killed as soon as it is there, well within the bound's 10 s.
    qint64 lastPid = 0;
    const auto killRenderer = [&] {
        ASSERT_TRUE(WaitFor([&] {
            const qint64 pid = view->page()->renderProcessPid();
            return pid > 0 && pid != lastPid;
        }));
        lastPid = view->page()->renderProcessPid();
        const int recoveries = view->RecoveryCount();
        ::kill(static_cast<pid_t>(lastPid), SIGKILL);
        ASSERT_TRUE(WaitFor([&] { return view->RecoveryCount() > recoveries || view->ShowsCrashPage(); }));
    };
    for (int i = 0; i < 4; ++i) {
        killRenderer();
        if (HasFatalFailure())
            return;
    }
    ASSERT_TRUE(view->ShowsCrashPage());
    EXPECT_EQ(view->RecoveryCount(), 3);
    QString text;
    ASSERT_TRUE(WaitFor([&] {
        view->page()->toPlainText([&](const QString &t) { text = t; });
        Pause(50);
        return text.contains(QStringLiteral("页面无法显示"));
    }));
    EXPECT_TRUE(text.contains(Page(QStringLiteral("input.html")).toString()));
    EXPECT_EQ(view->url(), Page(QStringLiteral("input.html")));
    EXPECT_FALSE(view->HasPage());
    EXPECT_EQ(view->GetContentWindow(), nullptr);
    wstring16 result;
    EXPECT_FALSE(view->ExecScript(u"1", u"", result));
    EXPECT_EQ(Js(other, QStringLiteral("document.title")), QStringLiteral("plain"));

    // The page's own link.
    view->page()->runJavaScript(
        QStringLiteral("document.getElementById('reload').click()"), QWebEngineScript::ApplicationWorld);
    ASSERT_TRUE(WaitFor([&] { return view->HasPage(); }));
    EXPECT_FALSE(view->ShowsCrashPage());
    EXPECT_EQ(Js(view, QStringLiteral("location.pathname.split('/').pop()")), QStringLiteral("input.html"));

    // Its tries are renewed: three more deaths are recovered, the fourth is not; then Go.
    for (int i = 0; i < 4; ++i) {
        killRenderer();
        if (HasFatalFailure())
            return;
        EXPECT_EQ(view->ShowsCrashPage(), i == 3);
    }
    ASSERT_TRUE(WaitFor([&] { return view->ShowsCrashPage() && !view->page()->isLoading(); }));
    view->NavigateUrl(Page(QStringLiteral("plain.html")).toString().toStdU16String(), false);
    ASSERT_TRUE(WaitFor([&] { return view->HasPage(); }));
    EXPECT_EQ(Js(view, QStringLiteral("document.title")), QStringLiteral("plain"));
}

TEST_F(ExecScriptTest, TimeInPageDialogsDoesNotCount)
{
    CVellumView *view = NewView(QStringLiteral("plain.html"));
    ASSERT_NE(view, nullptr);
    view->SetScriptTimeout(800);
    QString dialogText;
    // The person reads the message for longer than the bound, then presses OK.
    QTimer::singleShot(1600, view, [&] {
        const auto boxes = view->Page()->Boxes();
        if (auto *box = boxes.isEmpty() ? nullptr : qobject_cast<QMessageBox *>(boxes.first())) {
            dialogText = box->text();
            box->button(QMessageBox::Ok)->click();
        }
    });
    wstring16 result;
    EXPECT_TRUE(view->ExecScript(u"alert('hello'); 7", u"", result));
    EXPECT_EQ(result, u"7");
    EXPECT_EQ(dialogText, QStringLiteral("hello"));
    EXPECT_FALSE(view->Page()->IsInDialog());
    EXPECT_EQ(view->RecoveryCount(), 0);
}

TEST_F(ExecScriptTest, ConfirmAnswerReachesTheScript)
{
    CVellumView *view = NewView(QStringLiteral("plain.html"));
    ASSERT_NE(view, nullptr);
    QTimer::singleShot(200, view, [view] {
        const auto boxes = view->Page()->Boxes();
        if (!boxes.isEmpty())
            boxes.first()->reject();
    });
    EXPECT_EQ(Js(view, QStringLiteral("confirm('sure?') ? 'yes' : 'no'")), QStringLiteral("no"));
}

TEST_F(ExecScriptTest, StartedScriptsAnswerOnceLaterAndAClosingTabAnswersFalse)
{
    CVellumView *view = NewView(QStringLiteral("plain.html"));
    ASSERT_NE(view, nullptr);
    int answers = 0;
    bool ok = false;
    wstring16 value;
    ASSERT_TRUE(view->StartScript(u"6 * 7", u"", [&](bool o, const wstring16 &v) {
        ++answers;
        ok = o;
        value = v;
    }));
    EXPECT_EQ(answers, 0);
    ASSERT_TRUE(WaitFor([&] { return answers > 0; }));
    Pause(200);
    EXPECT_EQ(answers, 1);
    EXPECT_TRUE(ok);
    EXPECT_EQ(value, u"42");
    EXPECT_FALSE(view->StartScript(u"1", u"vbscript", [&](bool, const wstring16 &) { ++answers; }));

    // Two scripts of two tabs at once: the quick one is not held up by the slow one.
    CVellumView *other = NewView(QStringLiteral("plain.html"), false);
    ASSERT_NE(other, nullptr);
    bool slowDone = false;
    bool quickDone = false;
    ASSERT_TRUE(other->StartScript(u"var t = Date.now(); while (Date.now() - t < 1500) { }", u"",
        [&](bool, const wstring16 &) { slowDone = true; }));
    ASSERT_TRUE(view->StartScript(u"1", u"", [&](bool, const wstring16 &) { quickDone = true; }));
    ASSERT_TRUE(WaitFor([&] { return quickDone; }));
    EXPECT_FALSE(slowDone);

    // A script still running when its tab closes is answered, false, and only once.
    int late = 0;
    bool lateOk = true;
    ASSERT_TRUE(other->StartScript(
        u"var t = Date.now(); while (Date.now() - t < 3000) { }", u"", [&](bool o, const wstring16 &) {
            ++late;
            lateOk = o;
        }));
    m_frame->CloseFrame(other->GetParentFrame());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_TRUE(WaitFor([&] { return late > 0; }, 5000));
    Pause(300);
    EXPECT_EQ(late, 1);
    EXPECT_FALSE(lateOk);
}
