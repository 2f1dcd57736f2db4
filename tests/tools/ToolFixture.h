#pragma once
// A main frame with a real tab, the program's one recorder and the tab's own
// editor and auxiliary table, working in a temporary program folder.

#include "tests/tasks/TaskPanelFixture.h"
#include "tools/CTempEvenList.h"
#include "tools/CeditEventList.h"
#include "tools/CreateMouseEventCode.h"
#include "tools/ToolListRows.h"

class ToolFixture : public TaskPanelFixture {
protected:
    void SetUp() override;
    void TearDown() override;

    // Types into a control and clicks a button as a user would.
    static void Type(CToolDialog *dialog, int id, const QString &text);
    static void Press(CToolDialog *dialog, int id);
    static void Check(CToolDialog *dialog, int id, bool checked);
    static void SelectRows(CToolDialog *dialog, const std::vector<int> &rows);
    static std::u16string Cell(CToolDialog *dialog, int row, int column);
    static int Rows(CToolDialog *dialog);

    std::filesystem::path ListFilePath() const { return m_dir / "Config" / "temEventList.bak"; }
    // The catalogue path the next file dialog answers with.
    void AnswerFileDialogs(const std::filesystem::path &path);

    CreateMouseEventCode *m_recorder = nullptr;
    CeditEventList *m_editor = nullptr;
    CTempEvenList *m_table = nullptr;
};
