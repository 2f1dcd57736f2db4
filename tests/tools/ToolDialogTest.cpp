// The recorder, the editor and the auxiliary table as a user drives them
// through their controls, offscreen, over a real main frame and tab.

#include "app/CChildFrame.h"
#include "platform/SystemTime.h"
#include "platform/WideString.h"
#include "platform/Window.h"
#include "platform/qt/DialogForm.h"
#include "platform/qt/MenuTemplate.h"
#include "tests/tools/ToolFixture.h"
#include "tests/util/TestBytes.h"
#include "tools/TempCatalogue.h"
#include "util/FileFunctions.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTest>

#include <sys/inotify.h>
#include <unistd.h>

namespace {

using R = ActionRow;

std::u16string Read(const std::filesystem::path &path)
{
    wstring16 text;
    KorrinUtilsFuns::ReadTextFile(TestBytes::Wide(path), text, 65001);
    return text;
}

} // namespace

class ToolDialogs : public ToolFixture { };

TEST_F(ToolDialogs, RecorderRecordsClicksAndDragsWithTheirDelays)
{
    EXPECT_EQ(m_recorder->windowTitle(), QStringLiteral("鼠标事件记录"));
    EXPECT_FALSE(m_recorder->isVisible()) << "made hidden";
    EXPECT_FALSE(m_recorder->IsControlEnabled(1039));
    ASSERT_EQ(m_recorder->List().GetColumnCount(), 14);
    EXPECT_EQ(m_recorder->List().GetColumnWidth(11), 0);
    EXPECT_EQ(m_recorder->List().GetColumnWidth(12), 0);

    Type(m_recorder, 1016, QStringLiteral("120"));
    Type(m_recorder, 1017, QStringLiteral("80"));
    Type(m_recorder, 1018, QStringLiteral("0"));
    Type(m_recorder, 1019, QStringLiteral("0"));
    Type(m_recorder, 1031, QStringLiteral("5"));
    Type(m_recorder, 1030, QStringLiteral("  abc  "));
    Press(m_recorder, 1023);
    Press(m_recorder, 1022);
    ASSERT_EQ(Rows(m_recorder), 2);
    // A manual click ignores the delay field; a drag takes it. An end point of
    // 0 takes the start point's value; with no tab window the points stay as typed.
    EXPECT_EQ(Cell(m_recorder, 0, R::ColDesc), u"abc点击");
    EXPECT_EQ(Cell(m_recorder, 0, R::ColDelay), u"0");
    EXPECT_EQ(Cell(m_recorder, 1, R::ColDesc), u"abc散点");
    EXPECT_EQ(Cell(m_recorder, 1, R::ColDelay), u"5");
    for (int row : {0, 1}) {
        EXPECT_EQ(Cell(m_recorder, row, R::ColNumber), WideString::FromInt(row + 1));
        EXPECT_EQ(Cell(m_recorder, row, R::ColX1), u"120");
        EXPECT_EQ(Cell(m_recorder, row, R::ColX2), u"120");
        EXPECT_EQ(Cell(m_recorder, row, R::ColY1), u"80");
        EXPECT_EQ(Cell(m_recorder, row, R::ColY2), u"80");
        EXPECT_EQ(Cell(m_recorder, row, R::ColRetry), u"3");
        EXPECT_EQ(Cell(m_recorder, row, R::ColRuns), u"1");
    }
    EXPECT_EQ(Cell(m_recorder, 0, R::ColAction), u"DoClick");
    EXPECT_EQ(Cell(m_recorder, 1, R::ColAction), u"DoDraw");
    EXPECT_NE(Cell(m_recorder, 0, R::ColId), Cell(m_recorder, 1, R::ColId)) << "ids unique within the list";
    EXPECT_EQ(m_recorder->Controls().GetDlgItemText(1030), u"abc") << "trimmed in place";

    // Saved after every row: 14 fields a row.
    const std::u16string saved = Read(ListFilePath());
    EXPECT_EQ(saved.substr(0, 14), u"1____abc点击____");
    EXPECT_EQ(saved.find(u"____DoDraw____5\r\n"), saved.size() - 17);
}

TEST_F(ToolDialogs, AutomaticClicksCountTheirDelayFromTheStart)
{
    int clock = 1000000;
    SystemTime::SetClockSource([&] { return clock; });
    Check(m_recorder, 1037, true);
    Type(m_recorder, 1030, QStringLiteral("go"));
    Press(m_recorder, 1012);
    EXPECT_EQ(m_recorder->CaptureActive, 1);
    EXPECT_FALSE(m_recorder->IsControlEnabled(1022));
    EXPECT_TRUE(m_recorder->IsControlEnabled(1023));
    EXPECT_TRUE(m_recorder->IsControlEnabled(1039));
    Press(m_recorder, 1023);
    clock += 7;
    Press(m_recorder, 1023);
    ASSERT_EQ(Rows(m_recorder), 2);
    EXPECT_EQ(Cell(m_recorder, 0, R::ColDesc), u"[1]go点击");
    EXPECT_EQ(Cell(m_recorder, 0, R::ColDelay), u"1");
    EXPECT_EQ(Cell(m_recorder, 1, R::ColDesc), u"[7]go点击");
    EXPECT_EQ(Cell(m_recorder, 1, R::ColDelay), u"7");

    // A delay field of 10 counts from 10 seconds before "1、开始".
    Type(m_recorder, 1031, QStringLiteral("10"));
    Press(m_recorder, 1012);
    clock += 3;
    Press(m_recorder, 1023);
    EXPECT_EQ(Cell(m_recorder, 2, R::ColDelay), u"13");
    EXPECT_EQ(Cell(m_recorder, 2, R::ColDesc), u"[13]go点击");

    Press(m_recorder, 1039);
    EXPECT_EQ(m_recorder->CaptureActive, 0);
    EXPECT_FALSE(m_recorder->IsControlEnabled(1039));
    // The end point's capture leaves the capture flag alone and enables both records.
    Press(m_recorder, 1013);
    EXPECT_EQ(m_recorder->CaptureActive, 0);
    EXPECT_TRUE(m_recorder->IsControlEnabled(1022));
    EXPECT_TRUE(m_recorder->IsControlEnabled(1039));
    // F1 stops it as "结束" does.
    SendMessageW(m_recorder->GetSafeHwnd(), WM_HOTKEY, 200, 0);
    EXPECT_FALSE(m_recorder->IsControlEnabled(1039));
}

TEST_F(ToolDialogs, CaptureFollowsTheCursorUntilStopped)
{
    POINT cursor {31, 47};
    SetCursorPosSource([&](POINT *p) {
        *p = cursor;
        return true;
    });
    Press(m_recorder, 1012);
    EXPECT_TRUE(WaitFor([&] { return m_recorder->Controls().GetDlgItemText(1016) == u"31"; }, 3000));
    EXPECT_EQ(m_recorder->Controls().GetDlgItemText(1017), u"47");
    Press(m_recorder, 1013);
    cursor = {66, 77};
    EXPECT_TRUE(WaitFor([&] { return m_recorder->Controls().GetDlgItemText(1019) == u"77"; }, 3000));
    EXPECT_EQ(m_recorder->Controls().GetDlgItemText(1016), u"31") << "the start point stays";
    // The description being typed is not overwritten by the following edits.
    m_recorder->Controls().SetDlgItemText(1030, u"typing");
    Pause(450);
    EXPECT_EQ(m_recorder->Controls().GetDlgItemText(1030), u"typing");
    m_recorder->ShowTool();
    m_recorder->Command(1); // "关闭"
    EXPECT_FALSE(m_recorder->isVisible());
    cursor = {1, 2};
    Pause(450);
    EXPECT_EQ(m_recorder->Controls().GetDlgItemText(1018), u"66") << "stopped when closed";
}

TEST_F(ToolDialogs, InputHooksTakeEachPressAndReleaseOnce)
{
    POINT cursor {300, 200};
    Check(m_recorder, 1037, true);
    Press(m_recorder, 1012);
    m_tab->PreTranslateMessage(WM_LBUTTONDOWN, cursor);
    cursor = {310, 210};
    m_tab->PreTranslateMessage(WM_LBUTTONDOWN, cursor);
    EXPECT_EQ(m_recorder->StartPoint().x, 300) << "a press within 300 ms is not taken";
    EXPECT_EQ(m_recorder->Controls().GetDlgItemText(1016), u"300");
    // A release over the page: the view records, the frame after it does not.
    cursor = {300, 200};
    m_view->PreTranslateMessage(WM_LBUTTONUP, cursor);
    m_tab->PreTranslateMessage(WM_LBUTTONUP, cursor);
    ASSERT_EQ(Rows(m_recorder), 1);
    EXPECT_EQ(Cell(m_recorder, 0, R::ColAction), u"DoClick");
    EXPECT_EQ(m_recorder->ViewHandledUp, 0);

    // Elsewhere in the tab a release at another point records nothing, at the same point a click.
    Pause(320);
    cursor = {50, 50};
    m_tab->PreTranslateMessage(WM_LBUTTONDOWN, cursor);
    cursor = {60, 60};
    m_tab->PreTranslateMessage(WM_LBUTTONUP, cursor);
    EXPECT_EQ(Rows(m_recorder), 1);
    Pause(320);
    cursor = {70, 70};
    m_tab->PreTranslateMessage(WM_LBUTTONDOWN, cursor);
    m_tab->PreTranslateMessage(WM_LBUTTONUP, cursor);
    EXPECT_EQ(Rows(m_recorder), 2);
    // A release over the page at another point is a drag.
    Pause(320);
    m_tab->PreTranslateMessage(WM_LBUTTONDOWN, cursor);
    cursor = {90, 95};
    m_view->PreTranslateMessage(WM_LBUTTONUP, cursor);
    m_tab->PreTranslateMessage(WM_LBUTTONUP, cursor);
    ASSERT_EQ(Rows(m_recorder), 3);
    EXPECT_EQ(Cell(m_recorder, 2, R::ColAction), u"DoDraw");

    // Outside automatic capture the hooks do nothing.
    Press(m_recorder, 1039);
    Pause(320);
    m_tab->PreTranslateMessage(WM_LBUTTONDOWN, cursor);
    m_view->PreTranslateMessage(WM_LBUTTONUP, cursor);
    m_tab->PreTranslateMessage(WM_LBUTTONUP, cursor);
    EXPECT_EQ(Rows(m_recorder), 3);
}

TEST_F(ToolDialogs, RecorderRowsAreEditedMovedAndKeptAcrossStarts)
{
    for (const char *desc : {"a", "b", "c"}) {
        Type(m_recorder, 1030, QString::fromLatin1(desc));
        Type(m_recorder, 1016, QStringLiteral("5"));
        Press(m_recorder, 1023);
    }
    // A row click loads its fields and holds the record buttons until a capture starts.
    SelectRows(m_recorder, {1});
    m_recorder->OnRowClick();
    EXPECT_EQ(m_recorder->Controls().GetDlgItemText(1030), u"b点击");
    EXPECT_FALSE(m_recorder->IsControlEnabled(1022));
    EXPECT_FALSE(m_recorder->IsControlEnabled(1023));
    Type(m_recorder, 1030, QStringLiteral("B"));
    Type(m_recorder, 1025, QStringLiteral("9"));
    Press(m_recorder, 1024);
    EXPECT_EQ(Cell(m_recorder, 1, R::ColDesc), u"B") << "no kind word on edit";
    EXPECT_EQ(Cell(m_recorder, 1, R::ColRetry), u"9");
    EXPECT_EQ(Cell(m_recorder, 1, R::ColAction), u"DoClick");

    // "上移" stops at a selected first row; "下移" moves the others.
    SelectRows(m_recorder, {0, 2});
    Press(m_recorder, 1014);
    EXPECT_EQ(Cell(m_recorder, 2, R::ColDesc), u"c点击");
    SelectRows(m_recorder, {1});
    Press(m_recorder, 1015);
    EXPECT_EQ(Cell(m_recorder, 2, R::ColDesc), u"B");
    Press(m_recorder, 1014);
    Press(m_recorder, 1014);
    EXPECT_EQ(Cell(m_recorder, 0, R::ColDesc), u"B");

    // Deleting is not saved until the next row: a restart brings the row back.
    SelectRows(m_recorder, {0});
    Press(m_recorder, 1035);
    EXPECT_EQ(Rows(m_recorder), 2);
    CreateMouseEventCode restarted(m_frame.get());
    restarted.LoadEventList();
    ASSERT_EQ(Rows(&restarted), 3);
    EXPECT_EQ(Cell(&restarted, 1, R::ColDesc), u"b点击");
    EXPECT_EQ(Cell(&restarted, 2, R::ColDelay), u"0") << "no line break carried into the last cell";
    const std::u16string before = Read(ListFilePath());
    restarted.SaveEventList();
    EXPECT_EQ(Read(ListFilePath()), before) << "a load and a save change nothing";
    Press(m_recorder, 1034);
    EXPECT_EQ(Rows(m_recorder), 0);
}

TEST_F(ToolDialogs, ARowHoldingTheFieldSeparatorIsNotSavedOverTheList)
{
    Press(m_recorder, 1023);
    const std::string before = TestBytes::Read(ListFilePath());
    Type(m_recorder, 1030, QStringLiteral("a____b"));
    Press(m_recorder, 1023);
    EXPECT_EQ(Rows(m_recorder), 2);
    EXPECT_EQ(TestBytes::Read(ListFilePath()), before) << "the file would come back shifted";
    EXPECT_NE(Messages().back().find(u"第2行"), std::u16string::npos);
    // Mended, the list is saved again with the next row.
    SelectRows(m_recorder, {1});
    Press(m_recorder, 1035);
    Type(m_recorder, 1030, QStringLiteral("ok"));
    Press(m_recorder, 1023);
    EXPECT_NE(Read(ListFilePath()).find(u"ok点击"), std::u16string::npos);
}

TEST_F(ToolDialogs, AnUnreadableListIsKeptAsideNotOverwritten)
{
    // A folder where the file should be cannot be read as one.
    std::filesystem::create_directory(ListFilePath());
    TestBytes::Write(ListFilePath() / "inside", "mine");
    m_recorder->LoadEventList();
    EXPECT_EQ(Rows(m_recorder), 0);
    EXPECT_TRUE(std::filesystem::exists(ListFilePath() / "inside"));
    Press(m_recorder, 1023);
    EXPECT_EQ(TestBytes::Read(ListFilePath().string() + ".unreadable/inside"), "mine");
    EXPECT_NE(Read(ListFilePath()).find(u"DoClick"), std::u16string::npos);
}

TEST_F(ToolDialogs, GeneratedCatalogueHoldsTheRowsAndTheActivePage)
{
    ASSERT_TRUE(LoadPage(m_view, "practice.html"));
    const auto out = m_dir / "rec.xml";
    AnswerFileDialogs(out);
    Press(m_recorder, 1029);
    const std::u16string url = m_view->GetLocationURL();
    EXPECT_EQ(Read(out),
        u"<?xml version=\"1.0\" encoding=\"utf-8\"?><game><item name=\"Tessaly\" Id=\"1\" Url=\"" + url +
            u"\"><event></event></item></game>\r\n");
    EXPECT_EQ(Messages().back(), u"配置文件已生成，在左窗格加载。");
    EXPECT_EQ(TestBytes::Read(out).substr(0, 2), "\xFF\xFE");

    Type(m_recorder, 1030, QStringLiteral("a \"q\" <&>"));
    Press(m_recorder, 1023);
    Press(m_recorder, 1029);
    EXPECT_NE(Read(out).find(u"desc=\"a &quot;q&quot; &lt;&amp;&gt;点击\""), std::u16string::npos);

    // Cancelling the dialog writes nothing; a failed write says so.
    const std::size_t shown = Messages().size();
    SetFileDialogSeam([](const FileDialogRequest &, wstring16 *) { return false; });
    Press(m_recorder, 1029);
    EXPECT_EQ(Messages().size(), shown);
    AnswerFileDialogs(m_dir / "missing" / "rec.xml");
    Press(m_recorder, 1029);
    EXPECT_EQ(Messages().back(), u"配置文件写入失败：" + TestBytes::Wide(m_dir / "missing" / "rec.xml"));
}

TEST_F(ToolDialogs, EditorTellsScriptRowsFromMouseRowsByTheirBody)
{
    EXPECT_EQ(m_editor->windowTitle(), QStringLiteral("执行事件编辑"));
    EXPECT_EQ(m_editor->Controls().GetDlgItemText(1020), u"javascript");
    ASSERT_EQ(m_editor->List().GetColumnCount(), 15);

    Type(m_editor, 1021, QStringLiteral("DoClick"));
    Type(m_editor, 1016, QStringLiteral("11"));
    Type(m_editor, 1033, QStringLiteral("mine"));
    Type(m_editor, 1030, QStringLiteral("m"));
    Press(m_editor, 1015);
    Type(m_editor, 1021, QStringLiteral("window.x = 1;"));
    Type(m_editor, 1020, QString());
    Type(m_editor, 1030, QStringLiteral("s"));
    Press(m_editor, 1015);
    ASSERT_EQ(Rows(m_editor), 2);
    EXPECT_EQ(Cell(m_editor, 0, R::ColId), u"mine") << "typed ids stand";
    EXPECT_EQ(Cell(m_editor, 0, R::ColDesc), u"m") << "no kind word for a typed row";
    EXPECT_EQ(Cell(m_editor, 0, R::ColAction), u"");

    // The script row: coordinates cleared and held, language and code open.
    SelectRows(m_editor, {1});
    m_editor->OnRowClick();
    EXPECT_EQ(m_editor->Controls().GetDlgItemText(1016), u"0");
    EXPECT_EQ(m_editor->Controls().GetDlgItemText(1021), u"window.x = 1;");
    EXPECT_FALSE(m_editor->IsControlEnabled(1016));
    EXPECT_FALSE(m_editor->IsControlEnabled(1036));
    EXPECT_TRUE(m_editor->IsControlEnabled(1020));
    EXPECT_TRUE(m_editor->IsControlEnabled(1021));
    // The typed "DoClick" row is a mouse row.
    SelectRows(m_editor, {0});
    m_editor->OnRowClick();
    EXPECT_EQ(m_editor->Controls().GetDlgItemText(1016), u"11");
    EXPECT_EQ(m_editor->Controls().GetDlgItemText(1021), u"");
    EXPECT_TRUE(m_editor->IsControlEnabled(1016));
    EXPECT_FALSE(m_editor->IsControlEnabled(1021));

    // "编辑" changes the script's body, never a mouse row's.
    SelectRows(m_editor, {1});
    m_editor->OnRowClick();
    Type(m_editor, 1021, QStringLiteral("window.x = 2;"));
    Press(m_editor, 1024);
    EXPECT_EQ(m_editor->Rows().Body(1), u"window.x = 2;");
    SelectRows(m_editor, {0});
    Type(m_editor, 1021, QStringLiteral("ignored"));
    Press(m_editor, 1024);
    EXPECT_EQ(m_editor->Rows().Body(0), u"DoClick");
    EXPECT_EQ(Cell(m_editor, 0, R::ColX1), u"0") << "the script row's cleared coordinates are written";

    const auto out = m_dir / "ed.xml";
    AnswerFileDialogs(out);
    Press(m_editor, 1029);
    const std::u16string text = Read(out);
    EXPECT_NE(text.find(u"<action  id=\"mine\""), std::u16string::npos) << "two blanks without a language";
    EXPECT_NE(text.find(u"<![CDATA[window.x = 2;]]>"), std::u16string::npos);
    EXPECT_EQ(Messages().back(), u"配置文件已生成，在左窗格加载。");

    // A body that cannot be written: which row, and no file.
    SelectRows(m_editor, {1});
    m_editor->OnRowClick();
    Type(m_editor, 1021, QStringLiteral("s = ']]>';"));
    Press(m_editor, 1024);
    AnswerFileDialogs(m_dir / "bad.xml");
    Press(m_editor, 1029);
    EXPECT_FALSE(std::filesystem::exists(m_dir / "bad.xml"));
    EXPECT_NE(Messages().back().find(u"第2行"), std::u16string::npos);

    Press(m_editor, 1034);
    EXPECT_EQ(Rows(m_editor), 0);
    EXPECT_TRUE(m_editor->Rows().Body(0).empty());
}

TEST_F(ToolDialogs, AuxiliaryTableImportsAndInsertsLastFirst)
{
    // An editor catalogue with a script without a language and two mouse rows.
    TempCatalogue::Action script;
    script.id = u"x";
    script.desc = u"s点击";
    script.body = u"run();";
    TempCatalogue::Action click = script;
    click.desc = u"c点击";
    click.body = u"DoClick";
    click.px1 = u"12";
    TempCatalogue::Action drag = click;
    drag.desc = u"d散点";
    drag.body = u"DoDraw";
    const auto catalogue = m_dir / "in.xml";
    ASSERT_TRUE(TempCatalogue::Write(
        TestBytes::Wide(catalogue), *TempCatalogue::Compose(u"", {script, click, drag}, TempCatalogue::Form::Editor)));
    AnswerFileDialogs(catalogue);
    Press(m_editor, 1012);
    EXPECT_TRUE(m_table->isVisible());
    EXPECT_TRUE(m_table->IsChecked(1036));
    EXPECT_FALSE(m_table->IsChecked(1037));
    ASSERT_EQ(Rows(m_table), 3);
    for (int row = 0; row < 3; ++row)
        EXPECT_EQ(m_table->List().GetChecked(row), 1);
    EXPECT_EQ(Cell(m_table, 0, R::ColDesc), u"s点击点击");
    EXPECT_EQ(Cell(m_table, 0, R::ColLanguage), u"javascript");
    EXPECT_EQ(Cell(m_table, 2, R::ColDesc), u"d散点散点");
    EXPECT_EQ(Cell(m_table, 1, R::ColX1), u"12");
    EXPECT_NE(Cell(m_table, 0, R::ColId), u"x") << "the catalogue's ids are not kept";

    // The two target boxes exclude each other; with neither, nothing goes.
    Check(m_table, 1037, true);
    EXPECT_FALSE(m_table->IsChecked(1036));
    Check(m_table, 1037, false);
    Press(m_table, 1013);
    EXPECT_EQ(Messages().back(), u"请选择插入目标。");
    EXPECT_EQ(Rows(m_editor), 0);

    // A double-click takes the selected rows, last first, into the editor.
    Check(m_table, 1036, true);
    m_recorder->ShowTool();
    SelectRows(m_table, {0, 1, 2});
    emit m_table->List().rowDoubleClicked(1);
    ASSERT_EQ(Rows(m_editor), 3);
    EXPECT_EQ(Cell(m_editor, 0, R::ColDesc), u"d散点散点散点");
    EXPECT_EQ(Cell(m_editor, 2, R::ColDesc), u"s点击点击点击");
    EXPECT_EQ(m_editor->Rows().Body(2), u"run();");
    EXPECT_TRUE(m_editor->isVisible());
    EXPECT_FALSE(m_recorder->isVisible());

    // Unchecked rows stay where they are; "清除选中" deletes the checked ones.
    Press(m_table, 1015);
    m_table->List().SetChecked(1, true);
    Press(m_table, 1017);
    ASSERT_EQ(Rows(m_table), 2);
    EXPECT_EQ(Cell(m_table, 1, R::ColDesc), u"d散点散点");
    Press(m_table, 1014);
    EXPECT_EQ(m_table->List().GetChecked(0), 1);

    // Failures empty the table and say why.
    AnswerFileDialogs(m_dir / "none.xml");
    Press(m_table, 1012);
    EXPECT_EQ(Messages().back(), u"没有找到配置文件：" + TestBytes::Wide(m_dir / "none.xml"));
    EXPECT_EQ(Rows(m_table), 0);
    TestBytes::Write(m_dir / "bad.xml", "<game>\n<item name=\"x\"></item");
    AnswerFileDialogs(m_dir / "bad.xml");
    Press(m_table, 1012);
    EXPECT_EQ(Messages().back(), u"配置文件格式被破坏：" + TestBytes::Wide(m_dir / "bad.xml"));
    // An item without an event first: nothing, not even the later items.
    TestBytes::Write(m_dir / "noevent.xml", "<game><item/><item><event><action>DoClick</action></event></item></game>");
    AnswerFileDialogs(m_dir / "noevent.xml");
    const std::size_t shown = Messages().size();
    Press(m_table, 1012);
    EXPECT_EQ(Rows(m_table), 0);
    EXPECT_EQ(Messages().size(), shown);
}

TEST_F(ToolDialogs, InsertingIntoTheRecorderSavesItsListOncePerRow)
{
    ActionRow row;
    row.body = u"DoClick";
    row.desc = u"r";
    for (int i = 0; i < 3; ++i)
        m_table->AddActionRow(row);
    const int watch = inotify_init1(IN_NONBLOCK);
    ASSERT_GE(watch, 0);
    ASSERT_GE(inotify_add_watch(watch, (m_dir / "Config").c_str(), IN_MOVED_TO | IN_CLOSE_WRITE), 0);
    m_recorder->Command(1040);
    EXPECT_TRUE(m_table->isVisible());
    EXPECT_TRUE(m_table->IsChecked(1037));
    EXPECT_FALSE(m_table->IsChecked(1036));
    Press(m_table, 1013);
    EXPECT_EQ(Rows(m_recorder), 3);
    EXPECT_EQ(Cell(m_recorder, 0, R::ColDesc), u"r点击点击");
    EXPECT_TRUE(m_recorder->isVisible());
    int replaced = 0;
    alignas(inotify_event) char buffer[4096];
    for (ssize_t n; (n = read(watch, buffer, sizeof buffer)) > 0;)
        for (char *p = buffer; p < buffer + n;) {
            const auto *event = reinterpret_cast<const inotify_event *>(p);
            if ((event->mask & IN_MOVED_TO) && std::string(event->name) == "temEventList.bak")
                ++replaced;
            p += sizeof(inotify_event) + event->len;
        }
    close(watch);
    EXPECT_EQ(replaced, 3);
}

TEST_F(ToolDialogs, RecorderRowGoesToTheActiveTabsTableWithTheRecordersFields)
{
    Type(m_recorder, 1016, QStringLiteral("40"));
    Type(m_recorder, 1017, QStringLiteral("41"));
    Press(m_recorder, 1022);
    // Nothing selected: nothing happens.
    m_recorder->Command(CreateMouseEventCode::ID_PUT_INTO_AUX_TABLE);
    EXPECT_EQ(Rows(m_table), 0);
    SelectRows(m_recorder, {0});
    Type(m_recorder, 1030, QStringLiteral("  now  "));
    Type(m_recorder, 1026, QStringLiteral("4"));
    m_recorder->Command(CreateMouseEventCode::ID_PUT_INTO_AUX_TABLE);
    ASSERT_EQ(Rows(m_table), 1);
    EXPECT_EQ(Cell(m_table, 0, R::ColDesc), u"now散点");
    EXPECT_EQ(Cell(m_table, 0, R::ColRuns), u"4");
    EXPECT_EQ(Cell(m_table, 0, R::ColX1), u"40");
    EXPECT_EQ(m_table->Rows().Body(0), u"DoDraw");
    EXPECT_TRUE(m_table->isVisible());
    const std::optional<MenuTemplate> menu = MenuTemplate::Load(315);
    ASSERT_TRUE(menu);
    ASSERT_EQ(menu->items.at(0).items.at(0).id, 32784);
    EXPECT_EQ(menu->items.at(0).items.at(0).text, u"放到临时事件");

    // The panel's menu shows the recorder (owned by the panel) and its own editor.
    std::unique_ptr<QMenu> popup(m_panel->CreateContextMenu(m_panel));
    for (QAction *action : popup->actions())
        EXPECT_TRUE(action->isEnabled() || action->isSeparator()) << action->text().toStdString();
    m_recorder->hide();
    m_panel->OnCommand(CLeftView::ID_RECORDER);
    EXPECT_TRUE(m_recorder->isVisible());
    EXPECT_EQ(m_recorder->OwnerPanel(), m_panel);
    m_panel->OnCommand(CLeftView::ID_EVENT_EDITOR);
    EXPECT_TRUE(m_editor->isVisible());
}

// What a user sees: every caption whole, no control over another.
TEST_F(ToolDialogs, DialogsShowEveryControlWhole)
{
    const QString shots = qEnvironmentVariable("TESSALY_SCREENSHOT_DIR");
    for (CToolDialog *dialog : std::initializer_list<CToolDialog *> {m_recorder, m_editor, m_table}) {
        dialog->ShowTool();
        std::vector<QWidget *> controls;
        for (HWND window : dialog->Controls().Windows())
            if (QWidget *w = dialog->Controls().WidgetOf(window); w && w->isVisible())
                controls.push_back(w);
        ASSERT_GT(controls.size(), 5u);
        for (QWidget *w : controls) {
            const QString name =
                dialog->windowTitle() + QLatin1Char('/') + QString::fromLatin1(w->metaObject()->className());
            EXPECT_TRUE(dialog->rect().contains(w->geometry())) << name.toStdString();
            QString text;
            if (auto *button = qobject_cast<QAbstractButton *>(w))
                text = button->text();
            else if (auto *label = qobject_cast<QLabel *>(w))
                text = label->text();
            // A push button asks for a minimum width of its own; its caption is what must fit.
            const int needed =
                qobject_cast<QPushButton *>(w) ? w->fontMetrics().horizontalAdvance(text) + 6 : w->sizeHint().width();
            if (!text.isEmpty()) {
                EXPECT_LE(needed, w->width() + 1) << (name + QLatin1Char(' ') + text).toStdString();
            }
            for (QWidget *other : controls) {
                if (other != w && !qobject_cast<QLabel *>(w) && !qobject_cast<QLabel *>(other)) {
                    EXPECT_FALSE(w->geometry().intersects(other->geometry()))
                        << (name + QLatin1Char(' ') + text).toStdString();
                }
            }
        }
        if (!shots.isEmpty())
            dialog->grab().save(shots + QStringLiteral("/%1.png").arg(dialog->windowTitle()));
    }
}
