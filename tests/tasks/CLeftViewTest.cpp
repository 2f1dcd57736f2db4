#include "tests/tasks/TaskPanelFixture.h"

#include "app/CChildFrame.h"
#include "catalogue/CCatalogue.h"
#include "platform/SystemTime.h"
#include "platform/UserInterface.h"
#include "platform/WideString.h"
#include "platform/Window.h"
#include "platform/qt/MenuTemplate.h"
#include "tests/util/TestBytes.h"
#include "util/DisplayText.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QHeaderView>
#include <QMenu>
#include <QSplitter>

#include <filesystem>
#include <fstream>

using namespace KorrinControlsEx;
using Panel = CLeftView;

namespace {

std::vector<QString> Entries(QComboBox *combo)
{
    std::vector<QString> entries;
    for (int i = 0; i < combo->count(); ++i)
        entries.push_back(combo->itemText(i));
    return entries;
}

std::u16string Text(QWidget *w)
{
    if (auto *b = qobject_cast<QAbstractButton *>(w))
        return b->text().toStdU16String();
    return {};
}

} // namespace

using TaskPanel = TaskPanelFixture;

TEST_F(TaskPanel, FormColumnsAndCatalogueAfterInitialUpdate)
{
    EXPECT_EQ(Text(m_panel->GetDlgItem(1006)), u"添加");
    EXPECT_EQ(Text(m_panel->GetDlgItem(1007)), u"开始");
    EXPECT_EQ(Text(m_panel->GetDlgItem(1012)), u"加载配置文件");
    EXPECT_EQ(m_panel->Controls().GetDlgItemText(1013), u"0");
    EXPECT_EQ(m_panel->Controls().GetDlgItemText(1008), u"10");

    auto &list = m_panel->List();
    const std::vector<std::pair<std::u16string, int>> columns = {{u"序号", 30}, {u"操作", 80}, {u"秒", 40},
        {u"gameId", 0}, {u"EventId", 0}, {u"执行", 40}, {u"stop", 0}, {u"time", 0}, {u"loopCount", 0},
        {u"useloopCount", 0}, {u"lastTickCount", 0}};
    ASSERT_EQ(list.GetColumnCount(), 11);
    for (int c = 0; c < 11; ++c) {
        EXPECT_EQ(list.model()->headerData(c, Qt::Horizontal).toString().toStdU16String(),
            columns[static_cast<std::size_t>(c)].first);
        EXPECT_EQ(list.GetColumnWidth(c), columns[static_cast<std::size_t>(c)].second) << c;
    }
    EXPECT_EQ(list.GetExtendedStyle() & 0x21u, 0x21u);
    EXPECT_FALSE(list.IsSortable());

    // The nested note is no site; only enabled actions are listed.
    EXPECT_EQ(Entries(m_panel->SiteCombo()), (std::vector<QString> {u"练习"_qs, u"无事件"_qs, u"第三"_qs}));
    EXPECT_EQ(m_panel->SiteCombo()->currentIndex(), 0);
    const auto actions = Entries(m_panel->ActionCombo());
    ASSERT_GE(actions.size(), 4u);
    EXPECT_EQ(actions[0], u"A"_qs);
    EXPECT_EQ(actions[1], u"C"_qs);
    EXPECT_EQ(actions[2], u"D"_qs); // "yes" is not "true"
    EXPECT_EQ(m_panel->Controls().GetDlgItemText(1001), u"http://127.0.0.1/practice.html");

    // A site without event leaves the action combo empty and Add does nothing.
    m_panel->SiteCombo()->setCurrentIndex(1);
    m_panel->FillActionCombo();
    EXPECT_EQ(m_panel->ActionCombo()->count(), 0);
    EXPECT_EQ(m_panel->UrlText(), u"about:blank");
    m_panel->OnAdd();
    EXPECT_EQ(list.GetItemCount(), 0);
}

TEST_F(TaskPanel, ContextMenuTextsInOrderAllEnabled)
{
    std::unique_ptr<QMenu> menu(m_panel->CreateContextMenu(nullptr));
    ASSERT_TRUE(menu);
    std::vector<std::pair<int, std::u16string>> got;
    std::vector<bool> enabled;
    for (QAction *a : menu->actions()) {
        got.emplace_back(a->isSeparator() ? 0 : MenuTemplate::CommandOf(a), a->text().toStdU16String());
        enabled.push_back(a->isEnabled());
    }
    const std::vector<std::pair<int, std::u16string>> want = {
        {32781, u"鼠标操作记录      (1)必要√     "},
        {32783, u"执行事件列表编辑  (2)可选√"},
        {32782, u"导入事件列表      (3)必要√"},
        {0, u""},
        {32773, u"删除选中         (所有选中项)"},
        {32776, u"全部删除"},
        {0, u""},
        {32777, u"保存执行列表"},
        {32778, u"导入执行列表"},
        {0, u""},
        {32774, u"立即执行         (所有选中项)"},
        {32780, u"立即执行(5秒时差)(所有选中项)"},
        {32771, u"暂停             (所有选中项)"},
        {32772, u"继续             (所有选中项)"},
        {32775, u"已执行设为初始值 (所有选中项)"},
    };
    EXPECT_EQ(got, want);
    for (std::size_t i = 0; i < enabled.size(); ++i)
        EXPECT_TRUE(enabled[i]) << i;
}

TEST_F(TaskPanel, AddBuildsTheRowFromTheEnabledActionAndTheDelay)
{
    Add(m_panel, u"A"_qs, 1, 10); // iSleep 5
    Add(m_panel, u"C"_qs, 0, 0); // second enabled entry is C whatever B is
    Add(m_panel, u"D"_qs, 0, 3);
    EXPECT_EQ(Column(m_panel, Panel::ColNumber), (std::vector<std::u16string> {u"1", u"2", u"3"}));
    EXPECT_EQ(Column(m_panel, Panel::ColSeconds), (std::vector<std::u16string> {u"75", u"0", u"3"}));
    EXPECT_EQ(Column(m_panel, Panel::ColTime), (std::vector<std::u16string> {u"75", u"0", u"3"}));
    EXPECT_EQ(Column(m_panel, Panel::ColEventId), (std::vector<std::u16string> {u"a1", u"c1", u"d1"}));
    EXPECT_EQ(Column(m_panel, Panel::ColDesc), (std::vector<std::u16string> {u"A", u"C", u"D"}));
    EXPECT_EQ(Column(m_panel, Panel::ColGameId), (std::vector<std::u16string> {u"0", u"0", u"0"}));
    EXPECT_EQ(Column(m_panel, Panel::ColLoopCount), (std::vector<std::u16string> {u"0", u"7", u""}));
    EXPECT_EQ(Column(m_panel, Panel::ColStop), (std::vector<std::u16string> {u"0", u"0", u"0"}));
    EXPECT_EQ(Column(m_panel, Panel::ColUseLoopCount), (std::vector<std::u16string> {u"0", u"0", u"0"}));
    EXPECT_EQ(Column(m_panel, Panel::ColLastTick), (std::vector<std::u16string> {u"", u"", u""}));

    // A third site: its index goes into gameId.
    m_panel->SiteCombo()->setCurrentIndex(2);
    m_panel->FillActionCombo();
    Add(m_panel, u"X1"_qs, 0, 1);
    EXPECT_EQ(Cell(m_panel, 3, Panel::ColGameId), u"2");
    EXPECT_EQ(Cell(m_panel, 3, Panel::ColEventId), u"x1");
}

TEST_F(TaskPanel, RowNumbersAreNeverRenumbered)
{
    for (int i = 0; i < 4; ++i)
        Add(m_panel, u"A"_qs, 0, 1);
    Select(m_panel, {1, 2});
    EXPECT_TRUE(m_panel->OnCommand(Panel::ID_DELETE_SELECTED));
    EXPECT_EQ(Column(m_panel, Panel::ColNumber), (std::vector<std::u16string> {u"1", u"4"}));
    Add(m_panel, u"A"_qs, 0, 1);
    EXPECT_EQ(Column(m_panel, Panel::ColNumber), (std::vector<std::u16string> {u"1", u"4", u"3"}));
    SendMessageW(m_panel->GetSafeHwnd(), WM_COMMAND, Panel::ID_DELETE_ALL, 0);
    EXPECT_EQ(m_panel->List().GetItemCount(), 0);
}

TEST_F(TaskPanel, IntegerFieldsKeepThePreviousValueOrTheTypedOne)
{
    struct Case {
        std::u16string minutes, seconds;
        int wantMinutes, wantSeconds;
        std::vector<std::u16string> messages;
    };
    const std::vector<Case> cases = {
        {u"2", u"5", 2, 5, {}},
        {u"abc", u"7", 2, 7, {u"请输入一个整数。"}},
        {u" -1 ", u"1.5", -1, 7, {u"请输入一个整数。"}},
        {u"0", u"10000000", 0, 10000000, {u"请输入一个在 0 和 9999999 之间的整数。"}},
        {u"0", u"-3", 0, -3, {u"请输入一个在 0 和 9999999 之间的整数。"}},
        {u"99999999999", u"9999999", 0, 9999999, {u"请输入一个整数。"}},
    };
    for (const Case &c : cases) {
        m_messages.clear();
        m_panel->Controls().SetDlgItemText(1013, c.minutes);
        m_panel->Controls().SetDlgItemText(1008, c.seconds);
        m_panel->UpdateData(true);
        EXPECT_EQ(m_panel->Minutes(), c.wantMinutes) << WideString::ToUtf8(c.minutes);
        EXPECT_EQ(m_panel->Seconds(), c.wantSeconds) << WideString::ToUtf8(c.seconds);
        EXPECT_EQ(Messages(), c.messages) << WideString::ToUtf8(c.minutes + u"/" + c.seconds);
    }
    // Add goes on with a typed value outside the range.
    m_panel->ActionCombo()->setCurrentIndex(1);
    m_panel->Controls().SetDlgItemText(1013, u"0");
    m_panel->Controls().SetDlgItemText(1008, u"10000000");
    m_panel->OnAdd();
    EXPECT_EQ(Cell(m_panel, 0, Panel::ColSeconds), u"10000000");
}

TEST_F(TaskPanel, SelectionCommandsPauseContinueResetAndSpacing)
{
    for (int i = 0; i < 4; ++i)
        Add(m_panel, u"A"_qs, 0, 20); // 25 with iSleep
    auto &list = m_panel->List();
    Select(m_panel, {1});
    m_panel->OnCommand(Panel::ID_PAUSE);
    EXPECT_EQ(Column(m_panel, Panel::ColStop), (std::vector<std::u16string> {u"0", u"1", u"0", u"0"}));

    // Spacing skips the paused row.
    Select(m_panel, {0, 1, 2, 3});
    list.SetCellNumber(3, Panel::ColSeconds, Panel::kTaken);
    list.SetCellNumber(2, Panel::ColLastTick, 1234); // it ran before
    m_panel->OnCommand(Panel::ID_RUN_NOW_SPACED);
    EXPECT_EQ(Column(m_panel, Panel::ColSeconds), (std::vector<std::u16string> {u"0", u"25", u"5", u"10"}));
    // Armed rows count down from now, not from when they last ran.
    EXPECT_EQ(Cell(m_panel, 2, Panel::ColLastTick), u"0");

    const DWORD before = GetTickCount();
    Select(m_panel, {1});
    m_panel->OnCommand(Panel::ID_CONTINUE);
    EXPECT_EQ(Cell(m_panel, 1, Panel::ColStop), u"0");
    const auto tick = static_cast<DWORD>(std::stoul(WideString::ToUtf8(Cell(m_panel, 1, Panel::ColLastTick))));
    EXPECT_GE(tick, before);
    EXPECT_EQ(Cell(m_panel, 0, Panel::ColLastTick), u"0"); // armed by the spacing

    // Reset arms only taken rows again.
    for (int row : {0, 2}) {
        list.SetCellNumber(row, Panel::ColSeconds, Panel::kTaken);
        list.SetCellText(row, Panel::ColStatus, u"成功");
        list.SetCellNumber(row, Panel::ColStop, 1);
        list.SetCellNumber(row, Panel::ColLastTick, 1234);
        list.SetCellNumber(row, Panel::ColUseLoopCount, 2);
    }
    Select(m_panel, {0, 1});
    m_panel->OnCommand(Panel::ID_RESET_EXECUTED);
    EXPECT_EQ(Cell(m_panel, 0, Panel::ColSeconds), u"25");
    EXPECT_EQ(Cell(m_panel, 0, Panel::ColStatus), u"");
    EXPECT_EQ(Cell(m_panel, 0, Panel::ColStop), u"0");
    EXPECT_EQ(Cell(m_panel, 0, Panel::ColLastTick), u"0");
    EXPECT_EQ(Cell(m_panel, 0, Panel::ColUseLoopCount), u"2");
    EXPECT_EQ(Cell(m_panel, 2, Panel::ColSeconds), u"-9999"); // not selected
}

TEST_F(TaskPanel, ChoosingAnotherCatalogueEmptiesTheListAndImportAddsEveryEnabledAction)
{
    Add(m_panel, u"A"_qs, 0, 1);
    std::vector<FileDialogRequest> asked;
    std::string chosen;
    SetFileDialogSeam([&](const FileDialogRequest &r, wstring16 *path) {
        asked.push_back(r);
        *path = WideString::FromUtf8(chosen);
        return !chosen.empty();
    });
    EXPECT_FALSE(m_panel->ChooseCatalogue());
    EXPECT_EQ(m_panel->List().GetItemCount(), 1);
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_FALSE(asked[0].save);
    EXPECT_EQ(asked[0].defaultExtension, u"*.opml,*.xml");
    EXPECT_EQ(asked[0].filter, u"配置文件[默认为Config.xml] Xml Files(*.xml)|*.xml|");

    chosen = DataFile("other.xml");
    m_panel->Controls().SetDlgItemText(1008, u"10");
    EXPECT_TRUE(m_panel->OnCommand(Panel::ID_IMPORT_EVENTS));
    EXPECT_EQ(Entries(m_panel->SiteCombo()), (std::vector<QString> {u"另一个"_qs}));
    EXPECT_EQ(Column(m_panel, Panel::ColEventId), (std::vector<std::u16string> {u"o1", u"o3"}));
    EXPECT_EQ(Column(m_panel, Panel::ColSeconds), (std::vector<std::u16string> {u"11", u"12"}));
    EXPECT_EQ(Column(m_panel, Panel::ColNumber), (std::vector<std::u16string> {u"1", u"2"}));
    EXPECT_EQ(m_panel->UrlText(), u"about:blank#other");
}

TEST_F(TaskPanel, MissingOrDamagedCatalogueEndsWithExitCodeOne)
{
    std::vector<int> codes;
    CCatalogue::SetProcessEnd([&](int code) { codes.push_back(code); });
    const std::string missing = (m_dir / "missing.xml").string();
    m_panel->LoadCatalogue(WideString::FromUtf8(missing));
    TestBytes::Write(m_dir / "bad.xml", "<game><item name=\"x\"><event></game");
    m_panel->LoadCatalogue(WideString::FromUtf8((m_dir / "bad.xml").string()));
    CCatalogue::SetProcessEnd({});
    EXPECT_EQ(codes, (std::vector<int> {1, 1}));
    const auto messages = Messages();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0], u"配置文件没有找到：" + WideString::FromUtf8(missing));
    EXPECT_EQ(messages[1], u"配置文件格式被破坏：" + WideString::FromUtf8((m_dir / "bad.xml").string()));
}

// At the pane's default width every control of the form is whole; in a
// narrower pane the anchored controls follow it rather than being cut off.
TEST_F(TaskPanel, FormFitsItsPaneAtDesignSizeAndFollowsANarrowerOne)
{
    EXPECT_EQ(m_panel->Controls().DesignSize(), QSize(206, 396));
    ASSERT_TRUE(WaitFor([&] { return m_panel->width() == CChildFrame::kInitialPaneSize; }, 3000)) << m_panel->width();
    const auto fits = [&](int width) {
        for (HWND window : m_panel->Controls().Windows()) {
            const QWidget *w = m_panel->Controls().WidgetOf(window);
            if (w && w->isVisible() && w->geometry().right() >= width)
                return false;
        }
        return true;
    };
    EXPECT_TRUE(fits(CChildFrame::kInitialPaneSize));
    EXPECT_LE(m_panel->GetDlgItem(1015)->geometry().bottom(), m_panel->height()) << "the help text is whole";

    m_tab->m_wndSplitter->setSizes({170, 900});
    ASSERT_TRUE(WaitFor([&] { return m_panel->width() == 170; }, 3000)) << m_panel->width();
    EXPECT_TRUE(fits(170));
    EXPECT_LT(m_panel->GetDlgItem(1007)->geometry().right(), 170) << "开始 moved left";
}

TEST_F(TaskPanel, AWrongPickKeepsTheCatalogueAndTheRows)
{
    std::vector<int> codes;
    CCatalogue::SetProcessEnd([&](int code) { codes.push_back(code); });
    Add(m_panel, u"A"_qs, 0, 1);
    const auto sites = Entries(m_panel->SiteCombo());
    const auto actions = Entries(m_panel->ActionCombo());
    const std::string missing = (m_dir / "missing.xml").string();
    TestBytes::Write(m_dir / "bad.xml", "<game><item name=\"x\"><event></game");
    std::string chosen = missing;
    SetFileDialogSeam([&](const FileDialogRequest &, wstring16 *path) {
        *path = WideString::FromUtf8(chosen);
        return true;
    });
    EXPECT_FALSE(m_panel->ChooseCatalogue());
    chosen = (m_dir / "bad.xml").string();
    EXPECT_TRUE(m_panel->OnCommand(Panel::ID_IMPORT_EVENTS));
    CCatalogue::SetProcessEnd({});
    EXPECT_TRUE(codes.empty()) << "the program goes on";
    const auto messages = Messages();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0], u"配置文件没有找到：" + WideString::FromUtf8(missing));
    EXPECT_EQ(messages[1], u"配置文件格式被破坏：" + WideString::FromUtf8(chosen));
    EXPECT_EQ(m_panel->List().GetItemCount(), 1);
    EXPECT_EQ(Entries(m_panel->SiteCombo()), sites);
    EXPECT_EQ(Entries(m_panel->ActionCombo()), actions);
    // The row still runs from the catalogue it was made from.
    EXPECT_NE(CCatalogue::Site(m_panel->Catalogue().Root(), 0), nullptr);
    EXPECT_EQ(m_panel->Catalogue().Path(), WideString::FromUtf8((m_dir / "Config.xml").string()));
}

TEST_F(TaskPanel, ImportingAListThatIsNotThereKeepsTheRows)
{
    Add(m_panel, u"A"_qs, 0, 1);
    const std::string missing = (m_dir / "typed.bak").string();
    std::vector<FileDialogRequest> asked;
    SetFileDialogSeam([&](const FileDialogRequest &request, wstring16 *path) {
        asked.push_back(request);
        *path = WideString::FromUtf8(missing);
        return true;
    });
    m_panel->OnCommand(Panel::ID_IMPORT_LIST);
    EXPECT_EQ(m_panel->List().GetItemCount(), 1);
    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_EQ(Messages()[0], u"没有找到执行列表文件：" + WideString::FromUtf8(missing));
    m_panel->OnCommand(Panel::ID_SAVE_LIST);
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_TRUE(asked[1].save);
    EXPECT_TRUE(asked[1].flags & OFN_OVERWRITEPROMPT) << "asks before replacing a file";
}

TEST_F(TaskPanel, RowsHoldingTheFieldSeparatorAreNotSaved)
{
    Add(m_panel, u"A"_qs, 0, 1);
    Add(m_panel, u"A"_qs, 0, 1);
    Add(m_panel, u"A"_qs, 0, 1);
    m_panel->List().SetCellText(0, Panel::ColDesc, u"x____y");
    m_panel->List().SetCellText(2, Panel::ColEventId, u"____");
    int dialogs = 0;
    SetFileDialogSeam([&](const FileDialogRequest &, wstring16 *path) {
        ++dialogs;
        *path = WideString::FromUtf8((m_dir / "exeList.bak").string());
        return true;
    });
    m_panel->OnCommand(Panel::ID_SAVE_LIST);
    EXPECT_EQ(dialogs, 0);
    EXPECT_FALSE(std::filesystem::exists(m_dir / "exeList.bak"));
    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_NE(Messages()[0].find(u"第1、3行"), std::u16string::npos) << WideString::ToUtf8(Messages()[0]);
    m_panel->List().SetCellText(0, Panel::ColDesc, u"x__y");
    m_panel->List().DeleteRow(2);
    m_panel->OnCommand(Panel::ID_SAVE_LIST);
    EXPECT_EQ(dialogs, 1);
    EXPECT_TRUE(std::filesystem::exists(m_dir / "exeList.bak"));
}

TEST_F(TaskPanel, SaveAndImportListCommandsRoundTrip)
{
    Add(m_panel, u"A"_qs, 0, 1);
    Add(m_panel, u"C"_qs, 0, 2);
    const std::string path = (m_dir / "exeList.bak").string();
    SetFileDialogSeam([&](const FileDialogRequest &, wstring16 *chosen) {
        *chosen = WideString::FromUtf8(path);
        return true;
    });
    m_panel->OnCommand(Panel::ID_SAVE_LIST);
    m_panel->OnCommand(Panel::ID_DELETE_ALL);
    m_panel->OnCommand(Panel::ID_IMPORT_LIST);
    ASSERT_EQ(m_panel->List().GetItemCount(), 2);
    EXPECT_EQ(Cell(m_panel, 1, Panel::ColEventId), u"c1");
    EXPECT_EQ(Cell(m_panel, 1, Panel::ColLastTick), u"\r\n");
}

TEST_F(TaskPanel, HelpTextOpensTheHomePageInANewTab)
{
    const int tabs = static_cast<int>(m_frame->findChildren<CChildFrame *>().size());
    m_panel->OnCommand(1015);
    EXPECT_TRUE(WaitFor([&] { return static_cast<int>(m_frame->findChildren<CChildFrame *>().size()) == tabs + 1; }));
}

// A catalogue with huge names and descriptions: the combo boxes and the list
// show them cut, while the row keeps the whole text.
TEST_F(TaskPanel, HugeTextsAreShownCutAndKeptWhole)
{
    const std::string huge(2u << 20, 'd');
    const std::string name(3000, 'n');
    const auto path = m_dir / "hostile.xml";
    std::ofstream(path, std::ios::binary)
        << "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<game>\n<item name=\"" << name
        << "\" Id=\"1\" Url=\"about:blank\">\n<event>\n<action id=\"huge\" desc=\"" << huge
        << "\"><![CDATA[window.n = 1;]]></action>\n</event>\n</item>\n</game>\n";
    m_panel->LoadCatalogue(WideString::FromUtf8(path.string()));
    const QString shownName = m_panel->SiteCombo()->itemText(0);
    const QString shownDesc = m_panel->ActionCombo()->itemText(0);
    EXPECT_EQ(shownName, QString(DisplayText::kMaxUnits, u'n') + u'\u2026');
    EXPECT_EQ(shownDesc, QString(DisplayText::kMaxUnits, u'd') + u'\u2026');
    m_panel->ActionCombo()->showPopup();
    m_panel->ActionCombo()->hidePopup();

    m_panel->OnAdd();
    ASSERT_EQ(m_panel->List().GetItemCount(), 1);
    EXPECT_EQ(Cell(m_panel, 0, Panel::ColDesc), WideString::FromUtf8(huge));
    EXPECT_EQ(Cell(m_panel, 0, Panel::ColEventId), u"huge");
    const QString shownCell = m_panel->List().model()->index(0, Panel::ColDesc).data().toString();
    EXPECT_EQ(shownCell, shownDesc);
}
