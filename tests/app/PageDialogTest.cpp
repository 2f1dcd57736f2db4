// Page boxes hold only their own tab: other tabs' scripts run on time meanwhile,
// the window takes input, the box names its tab, a hidden window keeps its boxes
// back until it is shown, and dismissing answers cancel.

#include "tests/app/BrowserTest.h"

#include "app/CDocumentTabs.h"
#include "app/CVellumApp.h"
#include "app/CVellumPage.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTabBar>
#include <QTest>
#include <QTimer>
#include <QWebEngineScriptCollection>

#include <memory>

namespace {

struct Outcome {
    bool done = false;
    bool ok = false;
    QString value;
};

std::shared_ptr<Outcome> Start(CVellumView *view, const QString &code)
{
    auto outcome = std::make_shared<Outcome>();
    const bool started = view->StartScript(code.toStdU16String(), u"", [outcome](bool ok, const wstring16 &value) {
        outcome->done = true;
        outcome->ok = ok;
        outcome->value = QString::fromStdU16String(value);
    });
    EXPECT_TRUE(started);
    return outcome;
}

QDialog *TheBox(CVellumView *view)
{
    const auto boxes = view->Page()->Boxes();
    return boxes.size() == 1 ? boxes.first() : nullptr;
}

void Click(QDialog *dialog, QMessageBox::StandardButton button)
{
    auto *box = qobject_cast<QMessageBox *>(dialog);
    ASSERT_NE(box, nullptr);
    box->button(button)->click();
}

} // namespace

class PageDialogTest : public BrowserTest { };

TEST_F(PageDialogTest, BoxesInTwoTabsHoldOnlyTheirOwnScripts)
{
    CVellumView *first = NewView(QStringLiteral("plain.html"));
    CVellumView *second = NewView(QStringLiteral("plain.html"));
    CVellumView *free = NewView(QStringLiteral("plain.html"));
    ASSERT_TRUE(first && second && free);
    for (CVellumView *view : {first, second, free})
        view->SetScriptTimeout(3000);

    auto confirmed = Start(first, QStringLiteral("confirm('first asks') ? 'yes' : 'no'"));
    auto prompted = Start(second, QStringLiteral("prompt('second asks', 'draft')"));
    ASSERT_TRUE(WaitFor([&] { return TheBox(first) && TheBox(second) && TheBox(first)->isVisible(); }));
    // Not modal: the window takes input while both are open.
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    // The tabs share a title; the boxes tell them apart by their place.
    EXPECT_EQ(
        TheBox(first)->windowTitle(), QStringLiteral("来自网页的消息 - 标签页 1：") + first->GetParentFrame()->Title());
    EXPECT_EQ(TheBox(second)->windowTitle(),
        QStringLiteral("来自网页的消息 - 标签页 2：") + second->GetParentFrame()->Title());
    EXPECT_EQ(qobject_cast<QMessageBox *>(TheBox(first))->text(), QStringLiteral("first asks"));

    // Well past every tab's bound the free tab answers at once, again and again.
    QElapsedTimer clock;
    clock.start();
    qint64 slowest = 0;
    for (int i = 0; clock.elapsed() < 4000; ++i) {
        QElapsedTimer one;
        one.start();
        EXPECT_EQ(Js(free, QStringLiteral("%1 + 1").arg(i)), QString::number(i + 1));
        slowest = std::max(slowest, one.elapsed());
    }
    EXPECT_LT(slowest, 500);
    // The tabs take clicks meanwhile.
    QTabBar *bar = m_frame->Tabs()->TabBar();
    const int freeIndex = static_cast<int>(m_frame->Tabs()->Frames().indexOf(free->GetParentFrame()));
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(0).center());
    EXPECT_EQ(m_frame->Tabs()->ActiveFrame(), m_frame->Tabs()->Frames().value(0));
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(freeIndex).center());
    EXPECT_EQ(m_frame->Tabs()->ActiveFrame(), free->GetParentFrame());
    EXPECT_FALSE(confirmed->done);
    EXPECT_FALSE(prompted->done);

    auto *input = qobject_cast<QInputDialog *>(TheBox(second));
    ASSERT_NE(input, nullptr);
    EXPECT_EQ(input->textValue(), QStringLiteral("draft"));
    input->setTextValue(QStringLiteral("typed 文字"));
    input->accept();
    ASSERT_TRUE(WaitFor([&] { return prompted->done; }));
    EXPECT_TRUE(prompted->ok);
    EXPECT_EQ(prompted->value, QStringLiteral("typed 文字"));
    EXPECT_FALSE(confirmed->done);

    Click(TheBox(first), QMessageBox::Ok);
    ASSERT_TRUE(WaitFor([&] { return confirmed->done; }));
    EXPECT_TRUE(confirmed->ok);
    EXPECT_EQ(confirmed->value, QStringLiteral("yes"));
    for (CVellumView *view : {first, second, free}) {
        EXPECT_EQ(view->RecoveryCount(), 0);
        EXPECT_FALSE(view->Page()->IsInDialog());
    }
}

TEST_F(PageDialogTest, AHiddenWindowShowsItsBoxesWhenShownAgain)
{
    CVellumView *asking = NewView(QStringLiteral("plain.html"));
    CVellumView *other = NewView(QStringLiteral("plain.html"));
    ASSERT_TRUE(asking && other);
    m_frame->HideKeepingPagesLive();
    auto alerted = Start(asking, QStringLiteral("alert('while hidden'); 'after'"));
    ASSERT_TRUE(WaitFor([&] { return TheBox(asking) != nullptr; }));
    Pause(300);
    EXPECT_FALSE(TheBox(asking)->isVisible());
    EXPECT_EQ(Js(other, QStringLiteral("'running'")), QStringLiteral("running"));
    EXPECT_FALSE(alerted->done);

    m_frame->ShowFromHidden();
    ASSERT_TRUE(WaitFor([&] { return TheBox(asking) && TheBox(asking)->isVisible(); }));
    // Hidden again while it is open, it goes with the window.
    m_frame->HideKeepingPagesLive();
    ASSERT_TRUE(WaitFor([&] { return TheBox(asking) && !TheBox(asking)->isVisible(); }));
    m_frame->ShowFromHidden();
    ASSERT_TRUE(WaitFor([&] { return TheBox(asking) && TheBox(asking)->isVisible(); }));
    Click(TheBox(asking), QMessageBox::Ok);
    ASSERT_TRUE(WaitFor([&] { return alerted->done; }));
    EXPECT_TRUE(alerted->ok);
    EXPECT_EQ(alerted->value, QStringLiteral("after"));
}

TEST_F(PageDialogTest, DismissedBoxesAnswerCancel)
{
    CVellumView *view = NewView(QStringLiteral("plain.html"));
    ASSERT_NE(view, nullptr);
    auto confirmed = Start(view, QStringLiteral("confirm('sure?') ? 'yes' : 'no'"));
    ASSERT_TRUE(WaitFor([&] { return TheBox(view) != nullptr; }));
    view->Page()->CloseDialogs();
    ASSERT_TRUE(WaitFor([&] { return confirmed->done; }));
    EXPECT_EQ(confirmed->value, QStringLiteral("no"));

    auto prompted = Start(view, QStringLiteral("String(prompt('name?', 'x'))"));
    ASSERT_TRUE(WaitFor([&] { return TheBox(view) != nullptr; }));
    TheBox(view)->close(); // the title bar's close button
    ASSERT_TRUE(WaitFor([&] { return prompted->done; }));
    EXPECT_EQ(prompted->value, QStringLiteral("null"));

    // Closing the tab dismisses the box and releases its script.
    auto held = Start(view, QStringLiteral("alert('closing'); 1"));
    ASSERT_TRUE(WaitFor([&] { return TheBox(view) != nullptr; }));
    QPointer<QDialog> box = TheBox(view);
    m_frame->CloseFrame(view->GetParentFrame());
    ASSERT_TRUE(WaitFor([&] { return held->done && box.isNull(); }));
    EXPECT_EQ(m_frame->Tabs()->Count(), 0);
}

TEST_F(PageDialogTest, BoxesInFramesAndOddMessages)
{
    CVellumView *view = NewView(QStringLiteral("plain.html"));
    ASSERT_NE(view, nullptr);
    auto alerted = Start(view,
        QStringLiteral("var f = document.createElement('iframe'); f.srcdoc = '<p>inner</p>';"
                       "document.body.appendChild(f); new Promise(function (done) { f.onload = function () {"
                       "f.contentWindow.alert('\\ud800 lone' + 'x'.repeat(100000)); done('shown'); }; })"));
    ASSERT_TRUE(WaitFor([&] { return TheBox(view) != nullptr; }));
    auto *box = qobject_cast<QMessageBox *>(TheBox(view));
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(box->text().startsWith(QStringLiteral("\ufffd lone")));
    EXPECT_EQ(box->text().size(), 65536);
    Click(box, QMessageBox::Ok);
    ASSERT_TRUE(WaitFor([&] { return !view->Page()->IsInDialog(); }));
    EXPECT_EQ(Js(view, QStringLiteral("typeof alert + typeof confirm + typeof prompt")),
        QStringLiteral("functionfunctionfunction"));
}

// Where a page's box can only be the engine's own, the engine waits in it and
// no tab hears from the program; the other tabs' scripts are not failed for
// that wait and go on the moment it closes.
TEST_F(PageDialogTest, AnEngineBoxFailsNoOtherTab)
{
    CVellumView *asking = NewView(QStringLiteral("plain.html"));
    CVellumView *other = NewView(QStringLiteral("plain.html"));
    ASSERT_TRUE(asking && other);
    asking->page()->scripts().clear();
    ASSERT_TRUE(Load(asking, Page(QStringLiteral("plain.html"))));
    other->SetScriptTimeout(800);
    auto alerted = Start(asking, QStringLiteral("alert('engine box'); 3"));
    // The box's wait sits under this test's own wait: the test acts from a timer.
    std::shared_ptr<Outcome> waiting;
    bool doneWhileOpen = true;
    bool modal = true;
    QElapsedTimer open;
    QTimer poll;
    poll.setInterval(50);
    QObject::connect(&poll, &QTimer::timeout, &poll, [&] {
        QDialog *box = TheBox(asking);
        if (!box || !box->isVisible())
            return;
        if (!waiting) {
            waiting = Start(other, QStringLiteral("'went on'"));
            modal = QApplication::activeModalWidget() != nullptr;
            open.start();
        } else if (open.elapsed() >= 1500) {
            poll.stop();
            doneWhileOpen = waiting->done;
            Click(box, QMessageBox::Ok);
        }
    });
    poll.start();
    ASSERT_TRUE(WaitFor([&] { return waiting && waiting->done && alerted->done; }));
    EXPECT_FALSE(doneWhileOpen);
    EXPECT_FALSE(modal);
    EXPECT_TRUE(waiting->ok);
    EXPECT_EQ(waiting->value, QStringLiteral("went on"));
    EXPECT_EQ(alerted->value, QStringLiteral("3"));
    EXPECT_EQ(other->RecoveryCount(), 0);
}

// The built-in home page and a page of the local server ask as any page does,
// without holding the engine.
TEST_F(PageDialogTest, HomePageBoxesHoldOnlyTheirTab)
{
    CChildFrame *frame = NewTab();
    ASSERT_NE(frame, nullptr);
    CVellumView *view = frame->GetBrowserView();
    ASSERT_TRUE(Load(view, QUrl(QString::fromStdU16String(CVellumApp::kHomePageUrl))));
    // Should the engine's box come instead, its wait would hold this test's own:
    // a timer looks and answers.
    bool engineHeld = false;
    bool answered = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &poll, [&] {
        if (QDialog *box = TheBox(view); box && box->isVisible()) {
            engineHeld = CVellumPage::IsEngineHeld();
            answered = true;
            poll.stop();
            Click(box, QMessageBox::Ok);
        }
    });
    poll.start(50);
    auto alerted = Start(view, QStringLiteral("alert('hello word.'); 'done'"));
    ASSERT_TRUE(WaitFor([&] { return answered; }));
    EXPECT_FALSE(engineHeld);
    ASSERT_TRUE(WaitFor([&] { return alerted->done; }));
    EXPECT_EQ(alerted->value, QStringLiteral("done"));
}
