#pragma once

#include <QAbstractTableModel>
#include <functional>
#include <vector>

#include "app/window/models/file_selection.h"

class CFilterableVarnex;
class CVarnexFileInfo;

// The rows of a session's filtered list, read where they lie: a row is an
// index into the engine's list, and each cell's text is made when the view
// asks for it, under the list's lock and the record's. Nothing is copied, so
// a list of many thousand files costs the model nothing.
//
// The engine adds and changes records on its own threads; the model learns of
// it through Refresh (called a few times a second by the view) and shows the
// new rows then. Rows that the engine dropped meanwhile read as empty until
// the next Refresh. A new session clears the list: Refresh sees the list's
// generation change and resets the model.
class CVarnexListModel : public QAbstractTableModel {
    Q_OBJECT

public:
    enum Column { ColumnFile, ColumnCodepage, ColumnBom, ColumnStatus, ColumnOutput, ColumnConfidence };

    // "File", "Codepage", "BOM", "Status", "Output".
    static std::vector<Column> SessionColumns();
    // "File", "Codepage", "BOM", "Status", "Confidence".
    static std::vector<Column> FileColumns();

    CVarnexListModel(CFilterableVarnex& session, std::vector<Column> columns, QObject* parent = nullptr);
    ~CVarnexListModel() override;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // Takes in rows added or dropped and redraws the changed cells.
    void Refresh();
    // The list was replaced (a filter applied or cleared): rows start over.
    void Reset();

    const std::vector<Column>& Columns() const { return m_columns; }
    static QString ColumnTitle(Column column);
    static int ColumnWidth(Column column);
    // A cell's text as the list shows it; the caller holds the record's lock.
    static QString CellText(const CVarnexFileInfo& record, Column column);
    // "Idle", "Started", "42%", "Converted", "Warning", ...
    static QString StatusText(const CVarnexFileInfo& record);

    // Runs f on the row's record with the list and the record locked; false
    // (f not called) when the row is no longer in the list. f must not call
    // into the session.
    bool WithRecord(int row, const std::function<void(CVarnexFileInfo&)>& f) const;
    // The same with only the list locked, so that f may retry the record: the
    // sessions of the views never dispatch update lists, so a retry takes no
    // lock that comes before the list's. f reads the record's atomic fields
    // only, or takes its lock itself.
    bool WithListedRecord(int row, const std::function<void(CVarnexFileInfo&)>& f) const;
    // The row's file for the details and preview panes; invalid when the row is gone.
    FileSelection Selection(int row) const;
    static void FillSelection(const CVarnexFileInfo& record, FileSelection& selection);

private:
    CFilterableVarnex& m_session;
    const std::vector<Column> m_columns;
    int m_rowCount = 0;
    unsigned m_generation = 0;
};
