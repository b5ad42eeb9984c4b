#include "app/window/models/varnex_list_model.h"

#include <algorithm>
#include <climits>

#include <QBrush>
#include <QColor>

#include "app/locale/tr.h"
#include "app/window/qt_text.h"
#include "app/window/window_format.h"
#include "varnex/codepage/codepage_info.h"
#include "varnex/session/filterable_varnex.h"

namespace {

bool IsFailure(VARNEXRESULTSTATE state)
{
    switch (state) {
    case VARNEXRESULTSTATE_OK:
    case VARNEXRESULTSTATE_WARNING:
    case VARNEXRESULTSTATE_NOT_SUPPORTED:
    case VARNEXRESULTSTATE_CANCELLED:
        return false;
    default:
        return true;
    }
}

}  // namespace

std::vector<CVarnexListModel::Column> CVarnexListModel::SessionColumns()
{
    return {ColumnFile, ColumnCodepage, ColumnBom, ColumnStatus, ColumnOutput};
}

std::vector<CVarnexListModel::Column> CVarnexListModel::FileColumns()
{
    return {ColumnFile, ColumnCodepage, ColumnBom, ColumnStatus, ColumnConfidence};
}

CVarnexListModel::CVarnexListModel(CFilterableVarnex& session, std::vector<Column> columns, QObject* parent)
    : QAbstractTableModel(parent),
      m_session(session),
      m_columns(std::move(columns)),
      m_generation(session.ListGeneration())
{
}

CVarnexListModel::~CVarnexListModel() = default;

int CVarnexListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_rowCount;
}

int CVarnexListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_columns.size());
}

QString CVarnexListModel::ColumnTitle(Column column)
{
    switch (column) {
    case ColumnFile:
        return Qs(Tr("SessionView", "File"));
    case ColumnCodepage:
        return Qs(Tr("SessionView", "Codepage"));
    case ColumnBom:
        return Qs(Tr("SessionView", "BOM"));
    case ColumnStatus:
        return Qs(Tr("SessionView", "Status"));
    case ColumnOutput:
        return Qs(Tr("SessionView", "Output"));
    case ColumnConfidence:
        return Qs(Tr("FileView", "Confidence"));
    }
    return QString();
}

int CVarnexListModel::ColumnWidth(Column column)
{
    // Wide enough for "Windows-1252" and the longest status, in German too.
    switch (column) {
    case ColumnFile:
    case ColumnOutput:
        return 490;
    case ColumnCodepage:
        return 110;
    case ColumnStatus:
        return 100;
    case ColumnBom:
        return 60;
    default:
        return 80;
    }
}

QString CVarnexListModel::StatusText(const CVarnexFileInfo& record)
{
    switch (record.FastGetStatus()) {
    case VARNEXFILESTATUS_IDLE:
        return Qs(Tr("SessionView", "Idle"));
    case VARNEXFILESTATUS_STARTED:
        return Qs(Tr("SessionView", "Started"));
    case VARNEXFILESTATUS_CONVERTING:
        return FillFormat(Qs(Tr("SessionView", "%d%%")), {static_cast<long long>(record.FastGetProgress())});
    case VARNEXFILESTATUS_RETRYING:
        return Qs(Tr("SessionView", "Retrying"));
    case VARNEXFILESTATUS_FINISHED:
        break;
    }
    switch (record.FastGetResultState()) {
    case VARNEXRESULTSTATE_OK:
        switch (record.FastGetResultOperation()) {
        case VARNEXRESULTOPERATION_CONVERTED:
            return Qs(Tr("SessionView", "Converted"));
        case VARNEXRESULTOPERATION_COPIED:
            return Qs(Tr("SessionView", "Copied"));
        default:
            return Qs(Tr("SessionView", "OK"));
        }
    case VARNEXRESULTSTATE_WARNING:
        return Qs(Tr("SessionView", "Warning"));
    case VARNEXRESULTSTATE_NOT_SUPPORTED:
        return Qs(Tr("SessionView", "Not Supported"));
    case VARNEXRESULTSTATE_WRITE_ERROR:
        return Qs(Tr("SessionView", "Write Error"));
    case VARNEXRESULTSTATE_CANCELLED:
        return Qs(Tr("SessionView", "Cancelled"));
    default:
        return Qs(Tr("SessionView", "Conversion Error"));
    }
}

QString CVarnexListModel::CellText(const CVarnexFileInfo& record, Column column)
{
    const bool finished = record.FastGetStatus() == VARNEXFILESTATUS_FINISHED;
    switch (column) {
    case ColumnFile:
        return Qs(record.FastGetInputFile());
    case ColumnCodepage: {
        if (!finished)
            return QString();
        const CCodepageInfo* info = record.FastGetCodepageInfo();
        return info ? Qs(info->GetCodepageShortName()) : Qs(Tr("SessionView", "Unknown"));
    }
    case ColumnBom:
        if (!finished)
            return QString();
        return record.FastGetHasBom() ? Qs(Tr("SessionView", "Yes")) : Qs(Tr("SessionView", "No"));
    case ColumnStatus:
        return StatusText(record);
    case ColumnOutput:
        if (!finished || record.FastGetResultOperation() == VARNEXRESULTOPERATION_NONE)
            return QString();
        return Qs(record.FastGetOutputFile());
    case ColumnConfidence:
        // A binary has no confidence worth showing.
        if (!finished || record.FastGetCodepageInfo() == nullptr || record.FastGetCodepageInfo()->GetCodepage() == -1)
            return QString();
        return FillFormat(QStringLiteral("%d%%"), {static_cast<long long>(record.FastGetConfidence() * 100.0f + 0.5f)});
    }
    return QString();
}

bool CVarnexListModel::WithListedRecord(int row, const std::function<void(CVarnexFileInfo&)>& f) const
{
    if (row < 0)
        return false;
    CLockableVector<CVarnexFileInfo*>& list = m_session.GetFilteredFileList();
    CSingleLock listLock(list.GetCriticalSection());
    if (static_cast<size_t>(row) >= list.size() || list[row] == nullptr)
        return false;
    f(*list[row]);
    return true;
}

bool CVarnexListModel::WithRecord(int row, const std::function<void(CVarnexFileInfo&)>& f) const
{
    return WithListedRecord(row, [&](CVarnexFileInfo& record) {
        CSingleLock recordLock(record.GetCriticalSection());
        f(record);
    });
}

QVariant CVarnexListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.column() >= static_cast<int>(m_columns.size()))
        return QVariant();
    const Column column = m_columns[index.column()];
    QVariant value;
    switch (role) {
    case Qt::DisplayRole:
        WithRecord(index.row(), [&](CVarnexFileInfo& record) { value = CellText(record, column); });
        break;
    case Qt::ToolTipRole:
        if (column == ColumnFile || column == ColumnOutput)
            WithRecord(index.row(), [&](CVarnexFileInfo& record) { value = CellText(record, column); });
        else if (column == ColumnCodepage)
            WithRecord(index.row(), [&](CVarnexFileInfo& record) {
                const CCodepageInfo* info = record.FastGetCodepageInfo();
                if (info && record.FastGetStatus() == VARNEXFILESTATUS_FINISHED)
                    value = Qs(info->GetCodepageName());
            });
        else if (column == ColumnStatus)
            WithRecord(index.row(), [&](CVarnexFileInfo& record) {
                if (!record.FastGetMessage().empty())
                    value = Qs(record.FastGetMessage());
            });
        break;
    case Qt::ForegroundRole:
        if (column != ColumnStatus)
            break;
        WithRecord(index.row(), [&](CVarnexFileInfo& record) {
            if (record.FastGetStatus() != VARNEXFILESTATUS_FINISHED)
                return;
            const VARNEXRESULTSTATE state = record.FastGetResultState();
            if (state == VARNEXRESULTSTATE_WARNING || state == VARNEXRESULTSTATE_NOT_SUPPORTED)
                value = QBrush(QColor(0xB3, 0x6B, 0x00));
            else if (IsFailure(state))
                value = QBrush(QColor(0xC0, 0x1C, 0x28));
        });
        break;
    default:
        break;
    }
    return value;
}

QVariant CVarnexListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= static_cast<int>(m_columns.size()))
        return QAbstractTableModel::headerData(section, orientation, role);
    if (role == Qt::DisplayRole)
        return ColumnTitle(m_columns[section]);
    return QVariant();
}

void CVarnexListModel::Refresh()
{
    const unsigned generation = m_session.ListGeneration();
    size_t size;
    {
        CLockableVector<CVarnexFileInfo*>& list = m_session.GetFilteredFileList();
        CSingleLock lock(list.GetCriticalSection());
        size = list.size();
    }
    const int rows = static_cast<int>(std::min<size_t>(size, INT_MAX));
    if (generation != m_generation) {
        // Another session's records: no row keeps its meaning.
        beginResetModel();
        m_generation = generation;
        m_rowCount = rows;
        endResetModel();
        return;
    }
    if (rows < m_rowCount) {
        // A filter let records go while they were processed.
        beginRemoveRows(QModelIndex(), rows, m_rowCount - 1);
        m_rowCount = rows;
        endRemoveRows();
    } else if (rows > m_rowCount) {
        beginInsertRows(QModelIndex(), m_rowCount, rows - 1);
        m_rowCount = rows;
        endInsertRows();
    }
    if (m_rowCount > 0)
        emit dataChanged(index(0, 0), index(m_rowCount - 1, columnCount() - 1),
                         {Qt::DisplayRole, Qt::ToolTipRole, Qt::ForegroundRole});
}

void CVarnexListModel::Reset()
{
    beginResetModel();
    m_generation = m_session.ListGeneration();
    {
        CLockableVector<CVarnexFileInfo*>& list = m_session.GetFilteredFileList();
        CSingleLock lock(list.GetCriticalSection());
        m_rowCount = static_cast<int>(std::min<size_t>(list.size(), INT_MAX));
    }
    endResetModel();
}

void CVarnexListModel::FillSelection(const CVarnexFileInfo& record, FileSelection& selection)
{
    selection.valid = true;
    selection.sessionId = record.GetSessionUniqueId();
    selection.inputPath = record.FastGetInputFile();
    selection.finished = record.FastGetStatus() == VARNEXFILESTATUS_FINISHED;
    selection.outputPath = selection.finished && record.FastGetResultOperation() != VARNEXRESULTOPERATION_NONE
                               ? record.FastGetOutputFile()
                               : std::u16string();
    const CCodepageInfo* info = record.FastGetCodepageInfo();
    selection.codepage = info ? info->GetCodepage() : -1;
    selection.codepageName = info ? info->GetCodepageName() : std::u16string();
    selection.confidence = record.FastGetConfidence();
    selection.hasBom = record.FastGetHasBom();
    selection.statusText = U16(StatusText(record));
    selection.message = record.FastGetMessage();
    selection.replaced = record.GetReplacedCount();
    selection.bytesIn = record.GetBytesIn();
    selection.bytesOut = record.GetBytesOut();
}

FileSelection CVarnexListModel::Selection(int row) const
{
    FileSelection selection;
    WithRecord(row, [&](CVarnexFileInfo& record) { FillSelection(record, selection); });
    return selection;
}
