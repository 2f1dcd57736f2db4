#pragma once
// "运行记录": every run of the program's task rows, newest first, filtered by
// tab and by result, exported to CSV. It follows the record while open.

#include "platform/Win32Types.h"
#include "tasks/CRunRecord.h"

#include <QDialog>

#include <cstdint>
#include <vector>

class QComboBox;
class QLabel;
class QTimer;

namespace KorrinControlsEx {
class CReportCtrl;
}

class CRunRecordDlg : public QDialog {
    Q_OBJECT
public:
    // The list's columns.
    enum Column { ColTime, ColTab, ColRow, ColAction, ColKind, ColResult, ColDuration, ColAttempts, ColumnCount };

    explicit CRunRecordDlg(QWidget *parent = nullptr);

    void ShowTool();
    // Takes in what was added to the record since the last look.
    void Refresh();
    // Asks for a file and writes the shown entries; false when cancelled or not written.
    bool ExportCsv();
    // The filters: an empty text takes every tab or result.
    void SetFilter(const wstring16 &tab, const wstring16 &result);

    KorrinControlsEx::CReportCtrl &List() const { return *m_list; }
    const std::vector<CRunRecord::Entry> &Shown() const { return m_shown; }
    QComboBox *TabFilter() const { return m_pTabFilter; }
    QComboBox *ResultFilter() const { return m_pResultFilter; }

private:
    bool Matches(const CRunRecord::Entry &entry) const;
    void Rebuild();
    void InsertEntry(int at, const CRunRecord::Entry &entry);

    KorrinControlsEx::CReportCtrl *m_list = nullptr;
    QComboBox *m_pTabFilter = nullptr;
    QComboBox *m_pResultFilter = nullptr;
    QLabel *m_pCount = nullptr;
    QTimer *m_pTimer = nullptr;
    // Every entry taken in so far (newest first, as kept by the record), and those shown.
    std::vector<CRunRecord::Entry> m_all;
    std::vector<CRunRecord::Entry> m_shown;
    std::uint64_t m_nSeen = 0;
};
