#pragma once
// Saving a report list to a ListFile and filling one from it, and the file
// dialogs of the task panel's "保存执行列表" and "导入执行列表".

#include "platform/UserInterface.h"
#include "platform/Win32Types.h"

#include <vector>

namespace KorrinControlsEx {
class CReportCtrl;
}

class ReportListFile {
public:
    // Every row whose first cell is not empty, all columns, cell by cell.
    static wstring16 Compose(const KorrinControlsEx::CReportCtrl &list);
    static void Save(const KorrinControlsEx::CReportCtrl &list, const wstring16 &path);
    // Empties the list, then rebuilds its rows from the file by the list's column
    // count; cells come back as saved (the last cell of a row keeps its CR LF).
    static void Load(KorrinControlsEx::CReportCtrl &list, const wstring16 &path);

    static FileDialogRequest SaveDialog();
    static FileDialogRequest OpenDialog();
    // The text is built before the dialog shows; cancelling writes nothing.
    // Rows holding the field separator are named to the user and nothing is written.
    static bool SaveWithDialog(const KorrinControlsEx::CReportCtrl &list, HWND owner = nullptr);
    // The rows (0-based) that cannot be saved as they are.
    static std::vector<int> UnsavableRows(const KorrinControlsEx::CReportCtrl &list);
    // Cancelling, or naming a file that does not exist (the user is told),
    // leaves the list as it was.
    static bool LoadWithDialog(KorrinControlsEx::CReportCtrl &list, HWND owner = nullptr);
};
