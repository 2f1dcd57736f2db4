#include "tasks/ReportListFile.h"

#include "tasks/ListFile.h"
#include "util/CReportCtrl.h"
#include "util/FileFunctions.h"

using KorrinControlsEx::CReportCtrl;

namespace {

FileDialogRequest ListDialog(bool save)
{
    FileDialogRequest request;
    request.save = save;
    request.defaultExtension = u"*.bak";
    request.initialName = u"exeList.bak";
    request.flags = OFN_CREATEPROMPT | OFN_OVERWRITEPROMPT;
    request.filter = u"exeList Files (*.bak)|*.bak||";
    return request;
}

} // namespace

wstring16 ReportListFile::Compose(const CReportCtrl &list)
{
    return ListFile::Compose(
        list.GetColumnCount(), [&] { return list.GetItemCount(); },
        [&](int row, int column) { return list.GetItemText(row, column); });
}

void ReportListFile::Save(const CReportCtrl &list, const wstring16 &path) { ListFile::Write(path, Compose(list)); }

void ReportListFile::Load(CReportCtrl &list, const wstring16 &path)
{
    list.DeleteRows(KorrinControlsEx::AnyRow);
    const int columns = list.GetColumnCount();
    int index = 0;
    for (const auto &row : ListFile::ReadRows(path, columns)) {
        const int at = list.InsertRow(index, wstring16());
        if (at < 0)
            break;
        for (int column = 0; column < columns; ++column)
            list.SetCellText(at, column, row[static_cast<std::size_t>(column)]);
        ++index;
    }
}

FileDialogRequest ReportListFile::SaveDialog() { return ListDialog(true); }

FileDialogRequest ReportListFile::OpenDialog() { return ListDialog(false); }

std::vector<int> ReportListFile::UnsavableRows(const CReportCtrl &list)
{
    return ListFile::RowsHoldingSeparator(
        list.GetColumnCount(), [&] { return list.GetItemCount(); },
        [&](int row, int column) { return list.GetItemText(row, column); });
}

bool ReportListFile::SaveWithDialog(const CReportCtrl &list, HWND owner)
{
    if (const std::vector<int> rows = UnsavableRows(list); !rows.empty()) {
        const wstring16 message =
            u"执行列表没有保存：" + ListFile::RowNames(rows) + u"含有“____”，它在列表文件里分隔各项。";
        MessageBoxW(owner, message.c_str(), u"Tessaly", MB_OK | MB_ICONWARNING);
        return false;
    }
    const wstring16 text = Compose(list);
    wstring16 path;
    if (!RunFileDialog(SaveDialog(), &path))
        return false;
    ListFile::Write(path, text);
    return true;
}

bool ReportListFile::LoadWithDialog(CReportCtrl &list, HWND owner)
{
    wstring16 path;
    FileDialogRequest request = OpenDialog();
    request.owner = owner;
    if (!RunFileDialog(request, &path))
        return false;
    if (!KorrinUtilsFuns::FileExists(path)) {
        MessageBoxW(owner, (u"没有找到执行列表文件：" + path).c_str(), u"Tessaly", MB_OK | MB_ICONWARNING);
        return false;
    }
    Load(list, path);
    return true;
}
