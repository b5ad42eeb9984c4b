#pragma once

#include <QWidget>
#include <memory>
#include <vector>

#include "app/window/models/file_selection.h"
#include "app/window/models/list_notifier.h"
#include "app/window/models/session_commands.h"
#include "app/window/models/varnex_list_model.h"
#include "app/window/qt_handler_target.h"
#include "varnex/session/filterable_varnex.h"

class CFileInfoFilter;
class QMenu;
class QTableView;
class QTimer;

// What the file and session views share: an engine session of their own, the
// handler target that brings its messages to the UI thread, the virtual list
// over its filtered records, and the commands every list offers (copy,
// export, filters). The UI thread never waits for the engine: pause,
// continue and stop run on the command thread.
class CVarnexListView : public QWidget {
    Q_OBJECT

public:
    // The shell actions a list asks the frame to carry out on a file.
    enum ShellAction { OpenOutputLocation, OpenInputLocation, ExecuteOutputFile, ExecuteInputFile, ShowProperties };

    ~CVarnexListView() override;

    CFilterableVarnex& Session() { return *m_session; }
    bool IsRunning() const { return m_session->IsRunning(); }
    bool IsPaused() const { return m_session->IsPaused(); }
    // No session runs and no pause, continue or stop is on its way.
    bool IsIdle() const { return !m_session->IsRunning() && !m_commands.Busy(); }

    // The focused row's file; invalid when there is none.
    FileSelection FocusedFile() const;
    // Rows of the selection, ascending.
    std::vector<int> SelectedRows() const;
    // The selected rows' cells, tab-separated, one line per row, to the clipboard.
    void CopySelected();
    // Asks where, then writes the list as CSV (see ExportListFile).
    void ExportList();

    // The filter pane's criteria, applied to this view's engine.
    void ApplyFilter(const CFileInfoFilter& filter);
    void ClearFilter();

    QTableView* Table() const { return m_table; }
    CVarnexListModel* Model() const { return m_model; }

signals:
    void currentFileChanged(const FileSelection& file);
    void shellActionRequested(int action, const FileSelection& file);
    void detailsRequested();
    void sessionStateChanged();

protected:
    CVarnexListView(std::vector<CVarnexListModel::Column> columns, QWidget* parent);
    // Makes the view's session, observed by the notifier the subclass made
    // with Target(); called once from its constructor.
    void InitSession(std::unique_ptr<CListNotifier> notifier);

    HandlerTarget* Target() { return &m_target; }
    CSessionCommands& Commands() { return m_commands; }

    // The engine's messages, after the list took in what changed.
    virtual void OnSessionMessage(VARNEXMESSAGE /*message*/, intptr_t /*lParam*/) { }
    // Every list refresh, at most a few times a second while a session runs.
    virtual void OnListRefreshed() { }
    virtual void FillContextMenu(QMenu& menu) = 0;

    void RefreshList();
    // Adds a shell action for the focused file to a context menu.
    void AddShellAction(QMenu& menu, const QString& text, ShellAction action, bool enabled);

private:
    void OnPosted(unsigned message, quintptr wParam, qintptr lParam);
    void ShowContextMenu(const QPoint& at);
    void EmitCurrentIfChanged();

    // Declared in this order so that they go in the reverse one: commands
    // (joined), then the session (stopped and joined), then what it tells.
    CQtHandlerTarget m_target;
    std::unique_ptr<CListNotifier> m_notifier;
    std::unique_ptr<CFilterableVarnex> m_session;
    CSessionCommands m_commands;

    const std::vector<CVarnexListModel::Column> m_columns;
    CVarnexListModel* m_model = nullptr;
    QTableView* m_table = nullptr;
    QTimer* m_tick = nullptr;  // progress of files being converted, while a session runs
    FileSelection m_lastCurrent;
};
