// Task panels of isolated tabs: rows run at once in two containers land in
// their own tab's page, logged in as that container's user.

#include "app/CContainers.h"
#include "tests/common/CookieServer.h"
#include "tests/tasks/TaskPanelFixture.h"

#include <QStringList>

#include <atomic>
#include <thread>

namespace {

class ContainerTasks : public TaskPanelFixture {
protected:
    // Rows of the catalogue's actions, each due at once.
    static void Put(CLeftView *panel, const std::vector<std::u16string> &actions)
    {
        auto &list = panel->List();
        for (const std::u16string &action : actions) {
            const int row = list.InsertRow(list.GetItemCount(), u"");
            list.SetCellNumber(row, CLeftView::ColNumber, row + 1);
            list.SetCellText(row, CLeftView::ColDesc, action);
            list.SetCellText(row, CLeftView::ColSeconds, u"0");
            list.SetCellText(row, CLeftView::ColGameId, u"0");
            list.SetCellText(row, CLeftView::ColEventId, action);
            list.SetCellText(row, CLeftView::ColStop, u"0");
            list.SetCellText(row, CLeftView::ColTime, u"0");
            list.SetCellText(row, CLeftView::ColUseLoopCount, u"0");
        }
    }
    bool Open(CVellumView *view, const QUrl &url)
    {
        bool loaded = false;
        const auto connection = QObject::connect(view, &CVellumView::PageLoaded, view, [&](bool) { loaded = true; });
        view->load(url);
        const bool ok = WaitFor([&] { return loaded && view->HasPage(); });
        QObject::disconnect(connection);
        return ok;
    }
};

TEST_F(ContainerTasks, RowsRunAtOnceInTwoContainersLandInTheirOwnPages)
{
    CookieServer server;
    ASSERT_TRUE(server.Start());
    QString error;
    const QString a = m_frame->Containers()->Create(QStringLiteral("甲"), &error);
    const QString b = m_frame->Containers()->Create(QStringLiteral("乙"), &error);
    ASSERT_FALSE(a.isEmpty() || b.isEmpty());
    CChildFrame *tabs[2] = {m_frame->CreateChildFrame(nullptr, true, a), m_frame->CreateChildFrame(nullptr, false, b)};
    const QString users[2] = {QStringLiteral("alice"), QStringLiteral("bob")};
    for (int i = 0; i < 2; ++i) {
        ASSERT_TRUE(Open(tabs[i]->GetBrowserView(), server.Login(users[i])));
        ASSERT_TRUE(Open(tabs[i]->GetBrowserView(), server.WhoAmI()));
        ASSERT_EQ(Js(tabs[i]->GetBrowserView(), QStringLiteral("document.cookie")), QStringLiteral("user=") + users[i]);
    }
    Put(tabs[0]->GetLeftView(), {u"a1", u"click", u"a1"});
    Put(tabs[1]->GetLeftView(), {u"a1", u"click", u"slow", u"click"});

    std::atomic<int> done {0};
    std::vector<std::thread> workers;
    for (CChildFrame *tab : tabs)
        workers.emplace_back([tab, &done] {
            tab->GetLeftView()->ExecuteRows(CLeftView::ExecuteMode::Timer);
            ++done;
        });
    const bool finished = WaitFor([&] { return done == 2; }, 60000);
    for (std::thread &worker : workers)
        worker.join();
    ASSERT_TRUE(finished);

    EXPECT_EQ(Column(tabs[0]->GetLeftView(), CLeftView::ColStatus),
        (std::vector<std::u16string> {u"成功", u"成功", u"成功"}));
    EXPECT_EQ(Column(tabs[1]->GetLeftView(), CLeftView::ColStatus),
        (std::vector<std::u16string> {u"成功", u"成功", u"成功", u"成功"}));
    const QString expected[2] = {QStringLiteral("alice 2 0 1"), QStringLiteral("bob 1 1 2")};
    for (int i = 0; i < 2; ++i) {
        CVellumView *view = tabs[i]->GetBrowserView();
        const QString state = QStringLiteral(
            "document.getElementById('who').textContent + ' ' + (window.ranA | 0) + ' ' + (window.slow | 0) + ' ' + "
            "presses.length");
        EXPECT_TRUE(WaitFor([&] { return Js(view, state) == expected[i]; })) << Js(view, state).toStdString();
        EXPECT_EQ(Js(view, QStringLiteral("presses[0]")), QStringLiteral("50,60"));
    }
    // The panel's own tab, in the default container, saw none of it.
    ASSERT_TRUE(Open(m_view, server.WhoAmI()));
    EXPECT_EQ(Js(m_view, QStringLiteral("document.getElementById('who').textContent")), QStringLiteral("none"));
}

} // namespace
