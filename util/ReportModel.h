#pragma once
// The rows and columns behind a report list: texts, image indices, check-box
// state images and the record the list attaches to its own rows. Used on the
// list's (UI) thread only.

#include "util/ReportRowData.h"

#include <QAbstractTableModel>
#include <QString>

#include <memory>
#include <vector>

namespace KorrinControlsEx {

struct ReportRow {
    std::vector<QString> texts; // one per column; the first exists even without columns
    std::vector<int> images; // image index per column, -1 for none
    int stateImage = 0; // 0 none, 1 unchecked, 2 checked
    std::unique_ptr<ReportRowData> record;
    UINT_PTR param = 0; // the item's own value when it has no record
};

class ReportModel : public QAbstractTableModel {
    Q_OBJECT

public:
    explicit ReportModel(QObject *parent = nullptr);
    ~ReportModel() override;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    int Columns() const { return static_cast<int>(m_headings.size()); }
    int Rows() const { return static_cast<int>(m_rows.size()); }

    // Returns the new column's index or -1.
    int InsertColumn(int index, const QString &heading, int format);
    // Returns the new row's index or -1. withRecord attaches a ReportRowData.
    int InsertRow(int index, const QString &text, bool withRecord);
    bool RemoveRow(int row);
    // Returns how many rows there were.
    int RemoveAll();
    // Moves one row, keeping everything it carries; selection follows it.
    bool MoveRow(int row, int to);
    // Reorders the rows: new row i is old row order[i]. Selection follows the rows.
    void Permute(const std::vector<int> &order);

    ReportRow *Row(int row);
    const ReportRow *Row(int row) const;

    bool SetText(int row, int column, const QString &text);
    QString Text(int row, int column) const;
    bool SetImage(int row, int column, int image);
    int Image(int row, int column) const;
    bool SetStateImage(int row, int image);
    bool SetColours(int row, int column, COLORREF text, COLORREF back);

    // With check boxes on, rows show their check state and rows without a state
    // image get the unchecked one; off, state images are removed.
    void SetCheckBoxes(bool on);
    bool CheckBoxes() const { return m_checkBoxes; }

private:
    bool ValidCell(int row, int column) const;

    std::vector<ReportRow> m_rows;
    std::vector<QString> m_headings;
    std::vector<int> m_formats;
    bool m_checkBoxes = false;
};

} // namespace KorrinControlsEx
