#include "tests/tools/ToolFixture.h"

#include "app/CVellumApp.h"
#include "platform/SystemTime.h"
#include "platform/UserInterface.h"
#include "platform/WideString.h"
#include "platform/Window.h"
#include "platform/qt/DialogForm.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QTest>

void ToolFixture::SetUp()
{
    TaskPanelFixture::SetUp();
    if (HasFatalFailure())
        return;
    std::filesystem::create_directory(m_dir / "Config");
    g_strConfigDir = WideString::FromUtf8((m_dir / "Config").string() + "/");
    m_recorder = new CreateMouseEventCode(m_frame.get(), m_frame.get());
    g_pMouseRecorder = m_recorder;
    m_editor = m_panel->EditEventList();
    ASSERT_NE(m_editor, nullptr);
    m_table = m_editor->TempEvenList();
    ASSERT_NE(m_table, nullptr);
    ASSERT_EQ(m_table->Editor(), m_editor);
}

void ToolFixture::TearDown()
{
    SystemTime::SetClockSource({});
    SetCursorPosSource({});
    TaskPanelFixture::TearDown();
    // The recorder went with its frame.
    EXPECT_EQ(g_pMouseRecorder, nullptr);
    g_pMouseRecorder = nullptr;
}

void ToolFixture::Type(CToolDialog *dialog, int id, const QString &text)
{
    ASSERT_TRUE(dialog->Controls().SetDlgItemText(id, text.toStdU16String())) << id;
}

void ToolFixture::Press(CToolDialog *dialog, int id)
{
    auto *button = qobject_cast<QAbstractButton *>(dialog->GetDlgItem(id));
    ASSERT_NE(button, nullptr) << id;
    ASSERT_TRUE(button->isEnabled()) << id;
    dialog->ShowTool();
    QTest::mouseClick(button, Qt::LeftButton);
}

void ToolFixture::Check(CToolDialog *dialog, int id, bool checked)
{
    auto *box = qobject_cast<QCheckBox *>(dialog->GetDlgItem(id));
    ASSERT_NE(box, nullptr) << id;
    if (box->isChecked() != checked) {
        dialog->ShowTool();
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(4, box->height() / 2));
    }
    ASSERT_EQ(box->isChecked(), checked) << id;
}

void ToolFixture::SelectRows(CToolDialog *dialog, const std::vector<int> &rows)
{
    auto &list = dialog->List();
    list.ApplyStateToAll(KorrinControlsEx::AnyRow, KorrinControlsEx::Unselected);
    for (int row : rows)
        list.ApplyState(row, KorrinControlsEx::Selected);
}

std::u16string ToolFixture::Cell(CToolDialog *dialog, int row, int column)
{
    return dialog->List().GetItemText(row, column);
}

int ToolFixture::Rows(CToolDialog *dialog) { return dialog->List().GetItemCount(); }

void ToolFixture::AnswerFileDialogs(const std::filesystem::path &path)
{
    const wstring16 answer = WideString::FromUtf8(path.string());
    SetFileDialogSeam([answer](const FileDialogRequest &, wstring16 *chosen) {
        *chosen = answer;
        return true;
    });
}
