#include "tasks/CRunRecordDlg.h"

#include "platform/UserInterface.h"
#include "platform/WideString.h"
#include "util/CReportCtrl.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

using KorrinControlsEx::CReportCtrl;

namespace {

constexpr UINT kListId = 1001;
const QString kAllTabs = QStringLiteral("全部标签页");
const QString kAllResults = QStringLiteral("全部结果");

} // namespace

CRunRecordDlg::CRunRecordDlg(QWidget *parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("运行记录"));
    setWindowFlags((windowFlags() | Qt::Dialog) & ~Qt::WindowContextHelpButtonHint);
    setModal(false);
    resize(760, 460);
    auto *layout = new QVBoxLayout(this);
    auto *bar = new QHBoxLayout;
    m_pTabFilter = new QComboBox(this);
    m_pTabFilter->addItem(kAllTabs);
    m_pResultFilter = new QComboBox(this);
    m_pResultFilter->addItems({kAllResults, QStringLiteral("成功"), QStringLiteral("失败")});
    auto *exportButton = new QPushButton(QStringLiteral("导出 CSV..."), this);
    m_pCount = new QLabel(this);
    bar->addWidget(new QLabel(QStringLiteral("标签页："), this));
    bar->addWidget(m_pTabFilter);
    bar->addWidget(new QLabel(QStringLiteral("结果："), this));
    bar->addWidget(m_pResultFilter);
    bar->addStretch(1);
    bar->addWidget(m_pCount);
    bar->addWidget(exportButton);
    layout->addLayout(bar);

    m_list = new CReportCtrl(this);
    m_list->Create(WS_CHILD | WS_VISIBLE, nullptr, this, kListId);
    const std::pair<const char16_t *, int> columns[] = {{u"时间", 140}, {u"标签页", 70}, {u"序号", 40}, {u"操作", 160},
        {u"方式", 50}, {u"结果", 50}, {u"耗时(毫秒)", 80}, {u"尝试次数", 70}};
    for (const auto &[heading, width] : columns)
        m_list->InsertColumn(m_list->GetColumnCount(), heading, LVCFMT_LEFT, width);
    m_list->SetExtendedStyle(m_list->GetExtendedStyle() | LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
    m_list->SetSortable(false);
    layout->addWidget(m_list, 1);

    connect(m_pTabFilter, &QComboBox::currentIndexChanged, this, &CRunRecordDlg::Rebuild);
    connect(m_pResultFilter, &QComboBox::currentIndexChanged, this, &CRunRecordDlg::Rebuild);
    connect(exportButton, &QPushButton::clicked, this, &CRunRecordDlg::ExportCsv);
    m_pTimer = new QTimer(this);
    m_pTimer->setInterval(1000);
    connect(m_pTimer, &QTimer::timeout, this, &CRunRecordDlg::Refresh);
}

void CRunRecordDlg::ShowTool()
{
    Refresh();
    show();
    raise();
    activateWindow();
    m_pTimer->start();
}

bool CRunRecordDlg::Matches(const CRunRecord::Entry &entry) const
{
    if (m_pTabFilter->currentIndex() > 0 && m_pTabFilter->currentText().toStdU16String() != entry.tab)
        return false;
    if (m_pResultFilter->currentIndex() > 0 && (m_pResultFilter->currentIndex() == 1) != entry.success)
        return false;
    return true;
}

void CRunRecordDlg::InsertEntry(int at, const CRunRecord::Entry &e)
{
    const int row = m_list->InsertRow(at, wstring16());
    if (row < 0)
        return;
    m_list->SetCellText(row, ColTime, CRunRecord::TimeText(e.time));
    m_list->SetCellText(row, ColTab, e.tab);
    m_list->SetCellText(row, ColRow, e.row);
    m_list->SetCellText(row, ColAction, e.action);
    m_list->SetCellText(row, ColKind, CRunRecord::KindText(e.mouse));
    m_list->SetCellText(row, ColResult, CRunRecord::ResultText(e.success));
    m_list->SetCellText(row, ColDuration, WideString::FromInt(e.durationMs));
    m_list->SetCellNumber(row, ColAttempts, e.attempts);
}

void CRunRecordDlg::Refresh()
{
    const std::uint64_t total = g_RunRecord.Total();
    if (total == m_nSeen)
        return;
    const std::vector<CRunRecord::Entry> fresh = g_RunRecord.EntriesSince(m_nSeen);
    m_nSeen = total;
    // New tabs for the filter.
    for (const CRunRecord::Entry &e : fresh)
        if (m_pTabFilter->findText(QString::fromStdU16String(e.tab)) < 0)
            m_pTabFilter->addItem(QString::fromStdU16String(e.tab));
    m_all.insert(m_all.begin(), fresh.begin(), fresh.end());
    if (m_all.size() > CRunRecord::kCapacity)
        m_all.resize(CRunRecord::kCapacity);
    // The newest go on top, in their order.
    std::vector<CRunRecord::Entry> shownFresh;
    for (const CRunRecord::Entry &e : fresh)
        if (Matches(e))
            shownFresh.push_back(e);
    setUpdatesEnabled(false);
    for (std::size_t i = shownFresh.size(); i-- > 0;)
        InsertEntry(0, shownFresh[i]);
    m_shown.insert(m_shown.begin(), shownFresh.begin(), shownFresh.end());
    while (m_shown.size() > CRunRecord::kCapacity) {
        m_shown.pop_back();
        m_list->DeleteRow(m_list->GetItemCount() - 1);
    }
    setUpdatesEnabled(true);
    m_pCount->setText(QStringLiteral("%1 条").arg(m_shown.size()));
}

void CRunRecordDlg::Rebuild()
{
    setUpdatesEnabled(false);
    m_list->DeleteRows(KorrinControlsEx::AnyRow);
    m_shown.clear();
    for (const CRunRecord::Entry &e : m_all)
        if (Matches(e))
            m_shown.push_back(e);
    for (std::size_t i = 0; i < m_shown.size(); ++i)
        InsertEntry(static_cast<int>(i), m_shown[i]);
    setUpdatesEnabled(true);
    m_pCount->setText(QStringLiteral("%1 条").arg(m_shown.size()));
}

void CRunRecordDlg::SetFilter(const wstring16 &tab, const wstring16 &result)
{
    const int tabIndex = tab.empty() ? 0 : m_pTabFilter->findText(QString::fromStdU16String(tab));
    const int resultIndex = result.empty() ? 0 : m_pResultFilter->findText(QString::fromStdU16String(result));
    m_pTabFilter->setCurrentIndex(std::max(0, tabIndex));
    m_pResultFilter->setCurrentIndex(std::max(0, resultIndex));
}

bool CRunRecordDlg::ExportCsv()
{
    FileDialogRequest request;
    request.save = true;
    request.defaultExtension = u"*.csv";
    request.initialName = u"运行记录.csv";
    request.flags = OFN_OVERWRITEPROMPT;
    request.filter = u"CSV 文件 (*.csv)|*.csv|";
    wstring16 path;
    if (!RunFileDialog(request, &path))
        return false;
    if (!CRunRecord::ExportCsv(m_shown, path)) {
        MessageBoxW(nullptr, (u"无法保存文件：" + path).c_str(), u"Tessaly", MB_OK | MB_ICONWARNING);
        return false;
    }
    return true;
}
