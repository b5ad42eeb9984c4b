#include "app/window/panes/varnex_list_view.h"

#include <algorithm>

#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QMenu>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

#include "app/window/models/list_export.h"

namespace {

constexpr int kProgressTickMs = 250;

bool SameShown(const FileSelection& a, const FileSelection& b)
{
    return a.valid == b.valid && a.sessionId == b.sessionId && a.inputPath == b.inputPath &&
           a.outputPath == b.outputPath && a.codepage == b.codepage && a.statusText == b.statusText &&
           a.finished == b.finished && a.hasBom == b.hasBom && a.message == b.message;
}

}  // namespace

CVarnexListView::CVarnexListView(std::vector<CVarnexListModel::Column> columns, QWidget* parent)
    : QWidget(parent),
      m_columns(std::move(columns))
{
    connect(&m_target, &CQtHandlerTarget::posted, this, &CVarnexListView::OnPosted);
    connect(&m_commands, &CSessionCommands::idle, this, &CVarnexListView::sessionStateChanged, Qt::QueuedConnection);
    m_tick = new QTimer(this);
    m_tick->setInterval(kProgressTickMs);
    connect(m_tick, &QTimer::timeout, this, &CVarnexListView::RefreshList);
}

CVarnexListView::~CVarnexListView()
{
    disconnect(&m_target, nullptr, this, nullptr);
    // The list reads the session: it goes before the session does.
    delete m_table;
    delete m_model;
    m_table = nullptr;
    m_model = nullptr;
}

void CVarnexListView::InitSession(std::unique_ptr<CListNotifier> notifier)
{
    m_notifier = std::move(notifier);
    m_session = std::make_unique<CFilterableVarnex>(&m_target, nullptr, m_notifier.get());
    m_session->AllowFiltering(true);
    m_model = new CVarnexListModel(*m_session, m_columns, this);
    m_table = new QTableView(this);
    m_table->setObjectName(QStringLiteral("List"));
    m_table->setModel(m_model);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setShowGrid(false);
    m_table->setWordWrap(false);
    m_table->setAlternatingRowColors(true);
    m_table->verticalHeader()->hide();
    // Fixed row heights: the view then never measures rows it does not show.
    m_table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_table->verticalHeader()->setDefaultSectionSize(m_table->fontMetrics().height() + 6);
    m_table->horizontalHeader()->setHighlightSections(false);
    m_table->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_table->horizontalHeader()->setStretchLastSection(true);
    for (size_t i = 0; i < m_columns.size(); ++i)
        m_table->setColumnWidth(static_cast<int>(i), CVarnexListModel::ColumnWidth(m_columns[i]));
    m_table->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_table, &QWidget::customContextMenuRequested, this, &CVarnexListView::ShowContextMenu);
    connect(m_table->selectionModel(), &QItemSelectionModel::currentChanged, this,
            &CVarnexListView::EmitCurrentIfChanged);
    connect(m_model, &QAbstractItemModel::modelReset, this, &CVarnexListView::EmitCurrentIfChanged);
}

void CVarnexListView::OnPosted(unsigned message, quintptr wParam, qintptr lParam)
{
    if (message == CQtHandlerTarget::ListNotifyMessage()) {
        RefreshList();
        return;
    }
    if (message != CVarnex::GetHandlerMessage())
        return;
    const auto what = static_cast<VARNEXMESSAGE>(wParam);
    if (what == VARNEXMESSAGE_LISTCHANGED)
        m_model->Reset();
    RefreshList();
    switch (what) {
    case VARNEXMESSAGE_STARTED:
    case VARNEXMESSAGE_CONTINUED:
        m_tick->start();
        break;
    case VARNEXMESSAGE_PAUSED:
    case VARNEXMESSAGE_STOPPED:
        m_tick->stop();
        break;
    default:
        break;
    }
    OnSessionMessage(what, lParam);
    emit sessionStateChanged();
}

void CVarnexListView::RefreshList()
{
    m_model->Refresh();
    EmitCurrentIfChanged();
    OnListRefreshed();
}

void CVarnexListView::EmitCurrentIfChanged()
{
    const FileSelection current = FocusedFile();
    if (SameShown(current, m_lastCurrent))
        return;
    m_lastCurrent = current;
    emit currentFileChanged(current);
}

FileSelection CVarnexListView::FocusedFile() const
{
    const QModelIndex current = m_table->currentIndex();
    return current.isValid() ? m_model->Selection(current.row()) : FileSelection();
}

std::vector<int> CVarnexListView::SelectedRows() const
{
    std::vector<int> rows;
    for (const QModelIndex& index : m_table->selectionModel()->selectedRows())
        rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

void CVarnexListView::CopySelected()
{
    QString text;
    for (int row : SelectedRows()) {
        m_model->WithRecord(row, [&](CVarnexFileInfo& record) {
            QStringList cells;
            for (CVarnexListModel::Column column : m_columns)
                cells << CVarnexListModel::CellText(record, column);
            text += cells.join(u'\t') + u'\n';
        });
    }
    if (!text.isEmpty())
        QApplication::clipboard()->setText(text);
}

void CVarnexListView::ExportList()
{
    ExportListWithDialog(this, *m_session, m_columns);
}

void CVarnexListView::ApplyFilter(const CFileInfoFilter& filter)
{
    m_session->ApplyFilter(filter);
    m_model->Reset();
}

void CVarnexListView::ClearFilter()
{
    m_session->ClearFilter();
    m_model->Reset();
}

void CVarnexListView::AddShellAction(QMenu& menu, const QString& text, ShellAction action, bool enabled)
{
    QAction* item = menu.addAction(text);
    item->setEnabled(enabled);
    connect(item, &QAction::triggered, this, [this, action] {
        const FileSelection file = FocusedFile();
        if (file.valid)
            emit shellActionRequested(action, file);
    });
}

void CVarnexListView::ShowContextMenu(const QPoint& at)
{
    QMenu menu(this);
    FillContextMenu(menu);
    if (!menu.isEmpty())
        menu.exec(m_table->viewport()->mapToGlobal(at));
}
