#pragma once
// A main frame with real browser tabs for the tests of the shell.

#include "app/CChildFrame.h"
#include "app/CMainFrame.h"
#include "app/CVellumView.h"

#include <QString>
#include <QUrl>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

class BrowserTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // A page of tests/data/pages.
    static QUrl Page(const QString &name);
    // Pumps events until condition holds; false when the time ran out.
    static bool WaitFor(const std::function<bool()> &condition, int milliseconds = 15000);
    static void Pause(int milliseconds);
    static bool Load(CVellumView *view, const QUrl &url);
    // Runs code through ExecScript; the test fails unless it succeeds.
    static QString Js(CVellumView *view, const QString &code);

    CChildFrame *NewTab(bool activate = true);
    // A new tab showing the page.
    CVellumView *NewView(const QString &page, bool activate = true);

    std::unique_ptr<CMainFrame> m_frame;
    // Message boxes shown during the test, answered with OK.
    std::vector<wstring16> m_messages;

private:
    bool m_bOwnModulePath = false;
};
