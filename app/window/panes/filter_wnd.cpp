#include "app/window/panes/filter_wnd.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <map>

#include "app/locale/tr.h"
#include "app/window/qt_text.h"
#include "varnex/codepage/codepage_info.h"
#include "varnex/session/filterable_varnex.h"

namespace {

constexpr int kCodepageRole = Qt::UserRole;
constexpr int kPathDelayMs = 300;

// Place of a code page in the catalogue, so the list follows the order of
// every other code page picker; numbers outside it come last.
int CatalogueIndex(int codepage)
{
    int index = 0;
    for (const CCodepageInfo* info : CCodepageInfo::GetCodepageInfoCache()) {
        if (info->GetCodepage() == codepage)
            return index;
        ++index;
    }
    return index + 1;
}

QString CodepageLabel(int codepage)
{
    // -1 holds the binaries and every file without a code page.
    if (codepage == -1)
        return Qs(Tr("Filters", "Binary or Unknown"));
    const CCodepageInfo* info = CCodepageInfo::GetCodepageInfo(codepage);
    return info ? Qs(info->GetCodepageName()) : QString::number(codepage);
}

}  // namespace

CFileInfoFilter* CFilterWndFilter::Clone() const
{
    auto* clone = new CFilterWndFilter;
    clone->CopyProperties(this);
    return clone;
}

CFilterWnd::CFilterWnd(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("FilterWnd"));

    m_attention = new QCheckBox(Qs(Tr("Filters", "Needs attention")), this);
    m_attention->setObjectName(QStringLiteral("FilterAttention"));
    m_attention->setToolTip(Qs(Tr("Filters", "Warnings, errors, unsure detections, unknown text, replaced "
                                             "characters and double-encoded text")));

    m_statusOn = new QCheckBox(Qs(Tr("Filters", "Status")), this);
    m_status = new QComboBox(this);
    // Item data: the engine's status filter values.
    const std::pair<FileInfoStatusFilter, QString> statuses[] = {
        {FileInfoStatusNormal, Qs(Tr("Filters", "OK"))},
        {FileInfoStatusWarning, Qs(Tr("Filters", "Warning"))},
        {FileInfoStatusError, Qs(Tr("Filters", "Error"))},
        {FileInfoStatusConverted, Qs(Tr("Filters", "Converted"))},
        {FileInfoStatusCopied, Qs(Tr("Filters", "Copied"))},
        {FileInfoStatusCancelled, Qs(Tr("Filters", "Cancelled"))},
        {FileInfoStatusNotDetermined, Qs(Tr("Filters", "Not Determined"))},
    };
    for (const auto& [value, text] : statuses)
        m_status->addItem(text, static_cast<int>(value));

    m_bomOn = new QCheckBox(Qs(Tr("Filters", "BOM")), this);
    m_bom = new QComboBox(this);
    m_bom->addItem(Qs(Tr("Filters", "With BOM")), static_cast<int>(FilterInfoBomWith));
    m_bom->addItem(Qs(Tr("Filters", "Without BOM")), static_cast<int>(FilterInfoBomWithout));

    m_pathOn = new QCheckBox(Qs(Tr("Filters", "Path")), this);
    m_path = new QLineEdit(this);
    m_path->setObjectName(QStringLiteral("FilterPath"));
    m_path->setPlaceholderText(Qs(Tr("Filters", "Wildcards, separated by ;")));
    m_path->setClearButtonEnabled(true);
    m_pathDelay = new QTimer(this);
    m_pathDelay->setSingleShot(true);
    m_pathDelay->setInterval(kPathDelayMs);

    m_codepageOn = new QCheckBox(Qs(Tr("Filters", "Codepage")), this);
    m_codepages = new QTreeWidget(this);
    m_codepages->setObjectName(QStringLiteral("FilterCodepages"));
    m_codepages->setColumnCount(2);
    m_codepages->setHeaderLabels({Qs(Tr("Filters", "Codepage")), Qs(Tr("Filters", "Count"))});
    m_codepages->setRootIsDecorated(false);
    m_codepages->setColumnWidth(0, 240);
    m_codepages->setColumnWidth(1, 80);
    m_codepages->header()->setStretchLastSection(false);
    m_codepages->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    m_checkAll = new QPushButton(Qs(Tr("Filters", "Check All")), this);
    m_uncheckAll = new QPushButton(Qs(Tr("Filters", "Uncheck All")), this);
    m_clear = new QPushButton(Qs(Tr("Filters", "Clear Filters")), this);
    m_clear->setObjectName(QStringLiteral("FilterClear"));
    m_summary = new QLabel(this);
    m_summary->setObjectName(QStringLiteral("FilterSummary"));
    m_summary->setWordWrap(true);

    auto* grid = new QGridLayout;
    grid->addWidget(m_attention, 0, 0, 1, 2);
    grid->addWidget(m_statusOn, 1, 0);
    grid->addWidget(m_status, 1, 1);
    grid->addWidget(m_bomOn, 2, 0);
    grid->addWidget(m_bom, 2, 1);
    grid->addWidget(m_pathOn, 3, 0);
    grid->addWidget(m_path, 3, 1);
    grid->addWidget(m_codepageOn, 4, 0, 1, 2);
    grid->setColumnStretch(1, 1);
    auto* listButtons = new QHBoxLayout;
    listButtons->addWidget(m_checkAll);
    listButtons->addWidget(m_uncheckAll);
    listButtons->addStretch(1);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(m_summary, 1);
    bottom->addWidget(m_clear);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addLayout(grid);
    layout->addWidget(m_codepages, 1);
    layout->addLayout(listButtons);
    layout->addLayout(bottom);

    const auto apply = [this] {
        UpdateEnabling();
        if (!m_updating)
            ApplyFilter();
    };
    for (QCheckBox* box : {m_attention, m_statusOn, m_bomOn, m_pathOn, m_codepageOn})
        connect(box, &QCheckBox::toggled, this, apply);
    for (QComboBox* choice : {m_status, m_bom})
        connect(choice, &QComboBox::currentIndexChanged, this, apply);
    // Typing waits for a pause; Return applies at once.
    connect(m_path, &QLineEdit::textChanged, m_pathDelay, qOverload<>(&QTimer::start));
    connect(m_pathDelay, &QTimer::timeout, this, apply);
    connect(m_path, &QLineEdit::returnPressed, this, [this, apply] {
        m_pathDelay->stop();
        apply();
    });
    connect(m_codepages, &QTreeWidget::itemChanged, this, [this, apply](QTreeWidgetItem*, int column) {
        if (column == 0 && m_codepageOn->isChecked())
            apply();
    });
    connect(m_checkAll, &QPushButton::clicked, this, [this] { SetAllChecked(true); });
    connect(m_uncheckAll, &QPushButton::clicked, this, [this] { SetAllChecked(false); });
    connect(m_clear, &QPushButton::clicked, this, &CFilterWnd::ClearFilter);
    UpdateEnabling();
    UpdateSummary();
}

CFilterWnd::~CFilterWnd() = default;

void CFilterWnd::UpdateEnabling()
{
    m_status->setEnabled(m_statusOn->isChecked());
    m_bom->setEnabled(m_bomOn->isChecked());
    m_path->setEnabled(m_pathOn->isChecked());
    m_codepages->setEnabled(m_codepageOn->isChecked());
    m_checkAll->setEnabled(m_codepageOn->isChecked());
    m_uncheckAll->setEnabled(m_codepageOn->isChecked());
}

void CFilterWnd::SetSession(CFilterableVarnex* session)
{
    m_session = session;
    if (m_session != nullptr)
        m_session->AllowFiltering(true);
    Refresh();
    ApplyFilter();
}

void CFilterWnd::Refresh()
{
    std::map<int, Qt::CheckState> checks;
    for (int i = 0; i < m_codepages->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = m_codepages->topLevelItem(i);
        checks[item->data(0, kCodepageRole).toInt()] = item->checkState(0);
    }
    CLockableMap<int, unsigned int> statistics;
    if (m_session != nullptr)
        m_session->GetCodepageStatisticList(statistics);
    std::vector<std::pair<int, unsigned>> rows(statistics.begin(), statistics.end());
    std::stable_sort(rows.begin(), rows.end(),
                     [](const auto& a, const auto& b) { return CatalogueIndex(a.first) < CatalogueIndex(b.first); });

    m_updating = true;
    m_codepages->clear();
    for (const auto& [codepage, count] : rows) {
        auto* item = new QTreeWidgetItem(m_codepages, {CodepageLabel(codepage), QString::number(count)});
        item->setData(0, kCodepageRole, codepage);
        item->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        // A code page that appears while the filter is on stays out of the
        // list until checked, so the list does not change under the user.
        const auto known = checks.find(codepage);
        item->setCheckState(0, known != checks.end() ? known->second
                                                     : (m_codepageOn->isChecked() ? Qt::Unchecked : Qt::Checked));
    }
    m_updating = false;
    UpdateSummary();
}

void CFilterWnd::SetAllChecked(bool checked)
{
    m_updating = true;
    for (int i = 0; i < m_codepages->topLevelItemCount(); ++i)
        m_codepages->topLevelItem(i)->setCheckState(0, checked ? Qt::Checked : Qt::Unchecked);
    m_updating = false;
    ApplyFilter();
}

CFilterWndFilter CFilterWnd::BuildFilter() const
{
    CFilterWndFilter filter;
    filter.EnableAttentionFilter(m_attention->isChecked());
    filter.EnableStatusFilter(m_statusOn->isChecked());
    filter.SetStatusFilter(static_cast<FileInfoStatusFilter>(m_status->currentData().toInt()));
    filter.EnableBomFilter(m_bomOn->isChecked());
    filter.SetBomFilter(static_cast<FilterInfoBomFilter>(m_bom->currentData().toInt()));
    filter.EnablePathFilter(m_pathOn->isChecked());
    filter.SetPathFilters(U16(m_path->text().trimmed()).c_str());
    filter.EnableCodepageFilter(m_codepageOn->isChecked());
    for (int i = 0; i < m_codepages->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = m_codepages->topLevelItem(i);
        if (item->checkState(0) == Qt::Checked)
            filter.AddCodepageFilter(static_cast<unsigned>(item->data(0, kCodepageRole).toInt()));
    }
    return filter;
}

void CFilterWnd::ApplyFilter()
{
    if (m_session == nullptr || m_updating)
        return;
    CFilterWndFilter filter = BuildFilter();
    // A filter whose parts select nothing by their nature (an empty path
    // box) leaves the list whole.
    if (!filter.ValidateFilters() || !m_session->ApplyFilter(filter))
        m_session->ClearFilter();
    UpdateSummary();
    emit filterApplied();
}

void CFilterWnd::ClearFilter()
{
    m_pathDelay->stop();
    m_updating = true;
    for (QCheckBox* box : {m_attention, m_statusOn, m_bomOn, m_pathOn, m_codepageOn})
        box->setChecked(false);
    m_updating = false;
    UpdateEnabling();
    if (m_session != nullptr)
        m_session->ClearFilter();
    UpdateSummary();
    emit filterApplied();
}

void CFilterWnd::UpdateSummary()
{
    if (m_session == nullptr) {
        m_summary->clear();
        return;
    }
    FILTEREDSESSIONSUMMARY summary;
    m_session->GetFilteredSessionSummary(summary);
    m_summary->setText(Qs(Tr("Filters", "Showing %1 of %2 files"))
                           .arg(m_session->IsFilterApplied() ? summary.filteredFiles : summary.totalFiles)
                           .arg(summary.totalFiles));
}
