// Real message boxes: answered by clicking their buttons, shown for workers by
// the UI thread, and closed with their owners.

#include "platform/qt/QtMessageBox.h"
#include "platform/UserInterface.h"
#include "platform/Window.h"
#include "platform/qt/WindowBinding.h"

#include <QAbstractButton>
#include <QApplication>
#include <QEventLoop>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

bool RunLoopUntil(const std::function<bool()> &done, int limitMs = 20000)
{
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    poll.start(1);
    QTimer::singleShot(limitMs, &loop, &QEventLoop::quit);
    if (!done())
        loop.exec();
    return done();
}

QMessageBox *VisibleBox()
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *box = qobject_cast<QMessageBox *>(w); box && box->isVisible())
            return box;
    return nullptr;
}

void Click(QMessageBox *box, QMessageBox::StandardButton which)
{
    ASSERT_NE(box, nullptr);
    ASSERT_NE(box->button(which), nullptr);
    box->button(which)->click();
}

// Runs action on the first box to appear, from inside whatever loop shows it.
void OnNextBox(std::function<void(QMessageBox *)> action)
{
    auto *timer = new QTimer(qApp);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, action] {
        if (QMessageBox *box = VisibleBox()) {
            timer->deleteLater();
            timer->stop();
            action(box);
        }
    });
    timer->start(5);
}

// These tests answer real boxes, so a scripted answerer set for the whole
// suite is put aside meanwhile.
class QtMessageBoxTest : public testing::Test {
protected:
    void SetUp() override { m_seam = SetMessageBoxSeam(nullptr); }
    void TearDown() override { SetMessageBoxSeam(m_seam); }

private:
    MessageBoxFunction m_seam;
};

TEST_F(QtMessageBoxTest, BuildsButtonsIconAndTexts)
{
    std::unique_ptr<QMessageBox> box(
        QtMessageBox::Build(nullptr, u"没有找到配置文件：/a", u"Tessaly", MB_YESNOCANCEL | MB_ICONWARNING | 0x100));
    EXPECT_EQ(box->text(), QStringLiteral("没有找到配置文件：/a"));
    EXPECT_EQ(box->windowTitle(), QStringLiteral("Tessaly"));
    EXPECT_EQ(box->icon(), QMessageBox::Warning);
    EXPECT_EQ(box->standardButtons(), QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    EXPECT_EQ(static_cast<QAbstractButton *>(box->defaultButton()), box->button(QMessageBox::No)); // the second
    EXPECT_EQ(QtMessageBox::AnswerOf(box.get(), MB_YESNOCANCEL), IDCANCEL); // nothing clicked
}

TEST_F(QtMessageBoxTest, UiThreadBoxReturnsTheClickedButton)
{
    std::atomic<LRESULT> sentMeanwhile {0};
    HWND window = CreateWindowEntry(
        u"Owner", nullptr, [](HWND, UINT message, WPARAM, LPARAM) -> LRESULT { return message == WM_USER ? 5 : 0; });
    std::thread worker;
    OnNextBox([&](QMessageBox *box) {
        // The box's loop keeps serving a worker's send.
        worker = std::thread([&, box] {
            sentMeanwhile = SendMessageW(window, WM_USER, 0, 0);
            QMetaObject::invokeMethod(
                box, [box] { box->button(QMessageBox::Yes)->click(); }, Qt::QueuedConnection);
        });
    });
    EXPECT_EQ(MessageBoxW(window, u"继续?", u"问题", MB_YESNO | MB_ICONQUESTION), IDYES);
    worker.join();
    EXPECT_EQ(sentMeanwhile.load(), 5);
    DestroyWindow(window);
}

TEST_F(QtMessageBoxTest, WorkerBoxIsShownByTheUiThreadWhichStaysLive)
{
    HWND window = CreateWindowEntry(
        u"Owner", nullptr, [](HWND, UINT message, WPARAM, LPARAM) -> LRESULT { return message == WM_USER ? 9 : 0; });
    std::atomic<int> answer {0};
    std::atomic<bool> answered {false};
    std::thread worker([&] {
        answer = MessageBoxW(window, u"debug body", u"", MB_OKCANCEL);
        answered = true;
    });
    ASSERT_TRUE(RunLoopUntil([] { return VisibleBox() != nullptr; }));
    EXPECT_FALSE(answered.load());
    // Another worker still gets its sends answered while the box is up.
    std::atomic<LRESULT> other {0};
    std::thread second([&] { other = SendMessageW(window, WM_USER, 0, 0); });
    EXPECT_TRUE(RunLoopUntil([&] { return other.load() == 9; }));
    second.join();
    Click(VisibleBox(), QMessageBox::Cancel);
    EXPECT_TRUE(RunLoopUntil([&] { return answered.load(); }));
    worker.join();
    EXPECT_EQ(answer.load(), IDCANCEL);
    DestroyWindow(window);
}

TEST_F(QtMessageBoxTest, DestroyingTheOwnerAnswersItsBoxes)
{
    HWND owner = CreateWindowEntry(u"Panel", nullptr, nullptr);
    HWND other = CreateWindowEntry(u"Other", nullptr, nullptr);
    std::atomic<int> answers[2] = {0, 0};
    std::atomic<int> done {0};
    std::thread a([&] {
        answers[0] = MessageBoxW(owner, u"a", u"", MB_YESNO);
        ++done;
    });
    ASSERT_TRUE(RunLoopUntil([] { return VisibleBox() != nullptr; }));

    // A box of another owner stays; the owner's box on the UI thread closes too.
    std::thread b([&] {
        answers[1] = MessageBoxW(other, u"b", u"", MB_OK);
        ++done;
    });
    OnNextBox([&](QMessageBox *) { DestroyWindow(owner); });
    EXPECT_EQ(MessageBoxW(owner, u"ui", u"", MB_OKCANCEL), IDCANCEL);
    EXPECT_TRUE(RunLoopUntil([&] { return done.load() >= 1; }));
    EXPECT_EQ(answers[0].load(), IDNO);
    ASSERT_TRUE(RunLoopUntil([] { return VisibleBox() != nullptr && VisibleBox()->text() == QStringLiteral("b"); }));
    EXPECT_EQ(done.load(), 1);

    // A box for a gone owner is answered at once, without showing.
    EXPECT_EQ(MessageBoxW(owner, u"late", u"", MB_YESNOCANCEL), IDCANCEL);

    DismissMessageBoxes(other);
    EXPECT_TRUE(RunLoopUntil([&] { return done.load() == 2; }));
    EXPECT_EQ(answers[1].load(), IDOK);
    a.join();
    b.join();
    EXPECT_TRUE(RunLoopUntil([] { return VisibleBox() == nullptr; }));
    DestroyWindow(other);
}

TEST_F(QtMessageBoxTest, DismissBeforeTheBoxIsShownStillAnswers)
{
    HWND owner = CreateWindowEntry(u"Panel", nullptr, nullptr);
    std::atomic<bool> answered {false};
    std::atomic<int> answer {0};
    // The UI thread does not run its loop here, so the box can never show;
    // the dismissal alone must answer the waiting worker.
    std::thread worker([&] {
        answer = MessageBoxW(owner, u"x", u"", MB_YESNO);
        answered = true;
    });
    for (int i = 0; i < 20000 && !answered.load(); ++i) {
        DismissMessageBoxes(owner);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    if (!answered.load()) {
        ADD_FAILURE() << "worker still waiting";
        std::abort();
    }
    worker.join();
    EXPECT_EQ(answer.load(), IDNO);
    QApplication::processEvents();
    EXPECT_EQ(VisibleBox(), nullptr);
    DestroyWindow(owner);
}

} // namespace
