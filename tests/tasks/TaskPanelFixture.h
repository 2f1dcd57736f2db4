#pragma once
// A main frame whose tabs hold real task panels and browsers, the panels loading
// a test catalogue from a temporary program folder.

#include "app/CChildFrame.h"
#include "app/CMainFrame.h"
#include "app/CVellumView.h"
#include "tasks/CLeftView.h"
#include "tests/common/TempDir.h"
#include "util/CReportCtrl.h"

#include <QString>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class TaskPanelFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // A file of tests/data/tasks.
    static std::string DataFile(const std::string &name);
    static bool WaitFor(const std::function<bool()> &condition, int milliseconds = 15000);
    static void Pause(int milliseconds);
    // Runs work on a thread of its own while the UI thread serves its messages.
    static bool OnWorker(const std::function<void()> &work, int milliseconds = 30000);
    static bool LoadPage(CVellumView *view, const std::string &name);
    static QString Js(CVellumView *view, const QString &code);

    // A new tab; its panel and view.
    CChildFrame *NewTab(bool activate = true);

    // Adds a row for the enabled action with that description of the selected site.
    void Add(CLeftView *panel, const QString &desc, int minutes, int seconds);
    static std::vector<std::u16string> Column(CLeftView *panel, int column);
    static std::u16string Cell(CLeftView *panel, int row, int column);
    static void Select(CLeftView *panel, const std::vector<int> &rows);

    std::vector<std::u16string> Messages();

    TempDir m_dir;
    std::unique_ptr<CMainFrame> m_frame;
    CChildFrame *m_tab = nullptr;
    CLeftView *m_panel = nullptr;
    CVellumView *m_view = nullptr;
    std::mutex m_messagesLock;
    std::vector<std::u16string> m_messages;
};
