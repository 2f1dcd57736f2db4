#include "util/ReportModel.h"

#include "util/DisplayText.h"

#include <QColor>

#include <algorithm>

namespace KorrinControlsEx {

namespace {

QColor Colour(COLORREF c) { return QColor(GetRValue(c), GetGValue(c), GetBValue(c)); }

} // namespace

ReportModel::ReportModel(QObject *parent) : QAbstractTableModel(parent) { }

ReportModel::~ReportModel() = default;

int ReportModel::rowCount(const QModelIndex &parent) const { return parent.isValid() ? 0 : Rows(); }

int ReportModel::columnCount(const QModelIndex &parent) const { return parent.isValid() ? 0 : Columns(); }

bool ReportModel::ValidCell(int row, int column) const
{
    return row >= 0 && row < Rows() && column >= 0 && column < Columns();
}

QVariant ReportModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || !ValidCell(index.row(), index.column()))
        return {};
    const ReportRow &r = m_rows[static_cast<std::size_t>(index.row())];
    const auto column = static_cast<std::size_t>(index.column());
    switch (role) {
    case Qt::DisplayRole: {
        if (column >= r.texts.size())
            return QString();
        const QString &text = r.texts[column];
        const std::u16string_view units(reinterpret_cast<const char16_t *>(text.utf16()), std::size_t(text.size()));
        if (!DisplayText::NeedsShortening(units))
            return text;
        return QString::fromStdU16String(DisplayText::Shorten(units));
    }
    case Qt::CheckStateRole:
        if (m_checkBoxes && column == 0)
            return r.stateImage == 2 ? Qt::Checked : Qt::Unchecked;
        return {};
    case Qt::ForegroundRole:
        if (r.record && column < r.record->textColours.size())
            return Colour(r.record->textColours[column]);
        return {};
    case Qt::BackgroundRole:
        if (r.record && column < r.record->backColours.size())
            return Colour(r.record->backColours[column]);
        return {};
    case Qt::TextAlignmentRole: {
        const int format = m_formats[column] & 0x3;
        const Qt::Alignment horizontal =
            format == 1 ? Qt::AlignRight : (format == 2 ? Qt::AlignHCenter : Qt::AlignLeft);
        return QVariant::fromValue(horizontal | Qt::AlignVCenter);
    }
    default:
        return {};
    }
}

QVariant ReportModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= Columns())
        return {};
    if (role == Qt::DisplayRole)
        return m_headings[static_cast<std::size_t>(section)];
    return {};
}

Qt::ItemFlags ReportModel::flags(const QModelIndex &index) const
{
    // Not user-checkable: the list toggles boxes itself, on the button press.
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

int ReportModel::InsertColumn(int index, const QString &heading, int format)
{
    if (index < 0)
        return -1;
    index = std::min(index, Columns());
    const bool first = Columns() == 0;
    beginInsertColumns(QModelIndex(), index, index);
    m_headings.insert(m_headings.begin() + index, heading);
    m_formats.insert(m_formats.begin() + index, format);
    for (ReportRow &r : m_rows) {
        // The item's own text becomes the first column's text.
        if (!first) {
            const auto at = std::min<std::size_t>(static_cast<std::size_t>(index), r.texts.size());
            r.texts.insert(r.texts.begin() + static_cast<std::ptrdiff_t>(at), QString());
            r.images.insert(r.images.begin() + static_cast<std::ptrdiff_t>(at), -1);
        }
        if (r.record) {
            auto &t = r.record->textColours;
            auto &b = r.record->backColours;
            t.insert(t.begin() + std::min<std::ptrdiff_t>(index, static_cast<std::ptrdiff_t>(t.size())),
                DefaultWindowTextColour);
            b.insert(b.begin() + std::min<std::ptrdiff_t>(index, static_cast<std::ptrdiff_t>(b.size())),
                DefaultWindowColour);
        }
    }
    endInsertColumns();
    return index;
}

int ReportModel::InsertRow(int index, const QString &text, bool withRecord)
{
    if (index < 0)
        return -1;
    index = std::min(index, Rows());
    ReportRow r;
    const auto cells = static_cast<std::size_t>(std::max(1, Columns()));
    r.texts.assign(cells, QString());
    r.texts[0] = text;
    r.images.assign(cells, -1);
    r.stateImage = m_checkBoxes ? 1 : 0;
    if (withRecord) {
        r.record = std::make_unique<ReportRowData>();
        r.record->textColours.assign(static_cast<std::size_t>(Columns()), DefaultWindowTextColour);
        r.record->backColours.assign(static_cast<std::size_t>(Columns()), DefaultWindowColour);
    }
    beginInsertRows(QModelIndex(), index, index);
    m_rows.insert(m_rows.begin() + index, std::move(r));
    endInsertRows();
    return index;
}

bool ReportModel::RemoveRow(int row)
{
    if (row < 0 || row >= Rows())
        return false;
    beginRemoveRows(QModelIndex(), row, row);
    m_rows.erase(m_rows.begin() + row);
    endRemoveRows();
    return true;
}

int ReportModel::RemoveAll()
{
    const int count = Rows();
    if (count == 0)
        return 0;
    beginResetModel();
    m_rows.clear();
    endResetModel();
    return count;
}

bool ReportModel::MoveRow(int row, int to)
{
    if (row < 0 || row >= Rows() || to < 0 || to >= Rows())
        return false;
    if (row == to)
        return true;
    if (!beginMoveRows(QModelIndex(), row, row, QModelIndex(), to > row ? to + 1 : to))
        return false;
    ReportRow moved = std::move(m_rows[static_cast<std::size_t>(row)]);
    m_rows.erase(m_rows.begin() + row);
    m_rows.insert(m_rows.begin() + to, std::move(moved));
    endMoveRows();
    return true;
}

void ReportModel::Permute(const std::vector<int> &order)
{
    if (order.size() != m_rows.size())
        return;
    std::vector<int> newRowOf(order.size(), -1);
    for (std::size_t i = 0; i < order.size(); ++i) {
        const int old = order[i];
        if (old < 0 || old >= Rows() || newRowOf[static_cast<std::size_t>(old)] != -1)
            return; // not a permutation
        newRowOf[static_cast<std::size_t>(old)] = static_cast<int>(i);
    }

    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex &index : before)
        after.append(index.isValid() && index.row() < Rows()
                ? createIndex(newRowOf[static_cast<std::size_t>(index.row())], index.column())
                : QModelIndex());
    std::vector<ReportRow> rows;
    rows.reserve(m_rows.size());
    for (int old : order)
        rows.push_back(std::move(m_rows[static_cast<std::size_t>(old)]));
    m_rows = std::move(rows);
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

ReportRow *ReportModel::Row(int row)
{
    return row >= 0 && row < Rows() ? &m_rows[static_cast<std::size_t>(row)] : nullptr;
}

const ReportRow *ReportModel::Row(int row) const
{
    return row >= 0 && row < Rows() ? &m_rows[static_cast<std::size_t>(row)] : nullptr;
}

bool ReportModel::SetText(int row, int column, const QString &text)
{
    ReportRow *r = Row(row);
    // The item's own text is there even before any column is.
    if (!r || column < 0 || (column >= Columns() && column != 0))
        return false;
    QString &cell = r->texts[static_cast<std::size_t>(column)];
    if (cell == text)
        return true;
    cell = text;
    if (column < Columns()) {
        const QModelIndex i = index(row, column);
        emit dataChanged(i, i, {Qt::DisplayRole});
    }
    return true;
}

QString ReportModel::Text(int row, int column) const
{
    const ReportRow *r = Row(row);
    if (!r || column < 0 || static_cast<std::size_t>(column) >= r->texts.size())
        return {};
    return r->texts[static_cast<std::size_t>(column)];
}

bool ReportModel::SetImage(int row, int column, int image)
{
    ReportRow *r = Row(row);
    if (!r || column < 0 || static_cast<std::size_t>(column) >= r->images.size())
        return false;
    r->images[static_cast<std::size_t>(column)] = image;
    return true;
}

int ReportModel::Image(int row, int column) const
{
    const ReportRow *r = Row(row);
    if (!r || column < 0 || static_cast<std::size_t>(column) >= r->images.size())
        return -1;
    return r->images[static_cast<std::size_t>(column)];
}

bool ReportModel::SetStateImage(int row, int image)
{
    ReportRow *r = Row(row);
    if (!r)
        return false;
    if (r->stateImage != image) {
        r->stateImage = image;
        if (m_checkBoxes && Columns() > 0) {
            const QModelIndex i = index(row, 0);
            emit dataChanged(i, i, {Qt::CheckStateRole});
        }
    }
    return true;
}

bool ReportModel::SetColours(int row, int column, COLORREF text, COLORREF back)
{
    ReportRow *r = Row(row);
    if (!r || !r->record || column < 0 || static_cast<std::size_t>(column) >= r->record->textColours.size())
        return false;
    r->record->textColours[static_cast<std::size_t>(column)] = text;
    r->record->backColours[static_cast<std::size_t>(column)] = back;
    if (column < Columns()) {
        const QModelIndex i = index(row, column);
        emit dataChanged(i, i, {Qt::ForegroundRole, Qt::BackgroundRole});
    }
    return true;
}

void ReportModel::SetCheckBoxes(bool on)
{
    if (on == m_checkBoxes)
        return;
    m_checkBoxes = on;
    for (ReportRow &r : m_rows)
        r.stateImage = on ? (r.stateImage == 0 ? 1 : r.stateImage) : 0;
    if (Rows() > 0 && Columns() > 0)
        emit dataChanged(index(0, 0), index(Rows() - 1, 0), {Qt::CheckStateRole});
}

} // namespace KorrinControlsEx
