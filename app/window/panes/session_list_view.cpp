#include "app/window/panes/session_list_view.h"

#include <QFileInfo>
#include <QMenu>
#include <QMessageBox>
#include <QTableView>
#include <QVBoxLayout>

#include "app/locale/tr.h"
#include "app/window/dialogs/dialog_prompt.h"
#include "app/window/models/list_export.h"
#include "app/window/panes/varnex_control_bar.h"
#include "app/window/qt_text.h"
#include "app/window/window_format.h"
#include "varnex/codepage/codepage_info.h"
#include "varnex/session/session_start.h"

namespace {

// A doubtful detection that keeping its code page settles: the file has one
// (text whose code page stayed unknown would fail without it).
bool IsAcceptable(const CVarnexFileInfo& record)
{
    const CCodepageInfo* info = record.FastGetCodepageInfo();
    return record.FastGetStatus() == VARNEXFILESTATUS_FINISHED &&
           record.FastGetResultState() == VARNEXRESULTSTATE_WARNING && info != nullptr && info->GetCodepage() != -1;
}

}  // namespace

CSessionListView::CSessionListView(QWidget* parent) : CVarnexListView(CVarnexListModel::SessionColumns(), parent)
{
    setObjectName(QStringLiteral("SessionView"));
    InitSession(std::make_unique<CListNotifier>(Target()));
    m_bar = new CVarnexControlBar(this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_bar);
    layout->addWidget(Table(), 1);
    connect(m_bar, &CVarnexControlBar::pauseOrContinueClicked, this, &CSessionListView::PauseOrContinue);
    connect(m_bar, &CVarnexControlBar::stopClicked, this, &CSessionListView::StopAsking);
    UpdateTexts(VARNEXSESSIONSUMMARY{});
}

CSessionListView::~CSessionListView() = default;

bool CSessionListView::StartDetection(const std::u16string& folder, bool recursive, bool hiddenFiles,
                                      const VARNEXJOBSETTING& job)
{
    if (!IsIdle() || folder.empty() || !QFileInfo(Qs(folder)).isDir())
        return false;
    VARNEXBATCHJOBITEM item;
    item.folder = true;
    item.options.recursive = recursive;
    item.options.processHiddenFiles = hiddenFiles;
    item.options.writeBom = false;
    item.options.copyUnconverted = false;
    item.inputPath = folder;
    return StartItems({item}, job, true);
}

bool CSessionListView::StartDetection(const std::vector<VARNEXBATCHJOBITEM>& items, const VARNEXJOBSETTING& job)
{
    return !items.empty() && StartItems(items, job, true);
}

bool CSessionListView::StartConversion(const std::vector<VARNEXBATCHJOBITEM>& items, const VARNEXJOBSETTING& job)
{
    return !items.empty() && StartItems(items, job, false);
}

bool CSessionListView::StartItems(const std::vector<VARNEXBATCHJOBITEM>& items, const VARNEXJOBSETTING& job,
                                  bool detectOnly)
{
    if (!IsIdle())
        return false;
    SessionStartParams start;
    start.setting = job;
    start.setting.detectOnly = detectOnly;
    start.items = items;
    if (!StartNewSession(Session(), start))
        return false;
    m_retriesWaiting = false;
    return true;
}

void CSessionListView::PauseOrContinue()
{
    if (IsPaused())
        Continue();
    else
        Pause();
}

void CSessionListView::Pause()
{
    if (!IsRunning() || IsPaused())
        return;
    CFilterableVarnex* session = &Session();
    Commands().Run([session] { session->Pause(); });
}

void CSessionListView::Continue()
{
    if (!IsPaused())
        return;
    CFilterableVarnex* session = &Session();
    Commands().Run([session] { session->Continue(); });
}

bool CSessionListView::StopAsking()
{
    if (!IsRunning())
        return false;
    QWidget* frame = window();
    if (frame->isMinimized())
        frame->showNormal();
    const auto answer = ShowDialogPrompt(
        this, QMessageBox::Question,
        Qs(Tr("SessionView", "The session cannot be resumed after stopping. Would you like to stop the session now?")),
        QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
    // The session may have ended while the question was open.
    if (answer != QMessageBox::Yes || !IsRunning())
        return false;
    CFilterableVarnex* session = &Session();
    Commands().Run([session] { session->Stop(); });
    return true;
}

bool CSessionListView::CanAcceptSelected() const
{
    bool any = false;
    for (int row : SelectedRows()) {
        Model()->WithRecord(row, [&](CVarnexFileInfo& record) { any = any || IsAcceptable(record); });
        if (any)
            break;
    }
    return any;
}

void CSessionListView::AcceptSelected()
{
    bool retried = false;
    CFilterableVarnex& session = Session();
    // Retried under the list's lock, as the model reads them: a new session
    // cannot delete a record between finding and retrying it.
    for (int row : SelectedRows())
        Model()->WithListedRecord(row, [&](CVarnexFileInfo& record) {
            if (IsAcceptable(record) && session.RetryFile(&record, false))
                retried = true;
        });
    if (retried)
        ContinueRetries();
}

void CSessionListView::RetryFocusedWithCodepage(int codepage)
{
    const QModelIndex current = Table()->currentIndex();
    if (!current.isValid())
        return;
    bool retried = false;
    CFilterableVarnex& session = Session();
    Model()->WithListedRecord(
        current.row(), [&](CVarnexFileInfo& record) { retried = session.RetryFileSetCodepage(&record, codepage); });
    if (retried)
        ContinueRetries();
}

void CSessionListView::ContinueRetries()
{
    RefreshList();
    if (IsIdle()) {
        m_retriesWaiting = false;
        Session().Start(true);
    } else {
        // A running session takes them from its queue; one that is ending
        // leaves them there for the next continuation (see STOPPED).
        m_retriesWaiting = true;
    }
}

bool CSessionListView::ExportList(CFilterableVarnex& session, const QString& path, TEXTENCODING encoding,
                                  QString* error)
{
    return ExportListFile(session, CVarnexListModel::SessionColumns(), path, encoding, error);
}

void CSessionListView::OnSessionMessage(VARNEXMESSAGE message, intptr_t lParam)
{
    VARNEXSESSIONSUMMARY summary;
    Session().GetSessionSummary(summary);
    switch (message) {
    case VARNEXMESSAGE_STARTED:
    case VARNEXMESSAGE_CONTINUED:
        m_bar->ShowStarted();
        break;
    case VARNEXMESSAGE_PAUSED:
        m_bar->ShowPaused(summary);
        break;
    case VARNEXMESSAGE_STOPPED: {
        COutputFolderList folders;
        Session().GetOutputFolderList(folders);
        m_bar->ShowStopped(summary, static_cast<VARNEXSESSIONSTOPREASON>(lParam),
                           std::vector<std::u16string>(folders.m_folders.begin(), folders.m_folders.end()),
                           Session().GetUnreadableFolderCount());
        if (m_retriesWaiting && lParam == VARNEXSESSIONSTOPREASON_FINISHED) {
            bool queued;
            {
                CLockableQueue<CVarnexFileInfo*, 0>& queue = Session().GetFileQueue();
                CSingleLock lock(queue.GetCriticalSection());
                queued = !queue.empty();
            }
            m_retriesWaiting = false;
            // Idle only once the stop is fully through; Start(true) then waits for nothing.
            if (queued && IsIdle())
                Session().Start(true);
        }
        break;
    }
    default:
        break;
    }
    UpdateTexts(summary);
}

void CSessionListView::OnListRefreshed()
{
    if (!IsRunning())
        return;
    VARNEXSESSIONSUMMARY summary;
    Session().GetSessionSummary(summary);
    if (!IsPaused())
        m_bar->ShowRunning(summary);
    UpdateTexts(summary);
}

void CSessionListView::UpdateTexts(const VARNEXSESSIONSUMMARY& s)
{
    QString tab, tray;
    const bool conversion = s.sessionType == VARNEXSESSIONTYPE_CONVERSION;
    const long long progress = s.progressDetailed;
    if (!IsRunning()) {
        tab = Qs(Tr("SessionView", "Session View"));
        tray = Qs(Tr("SessionView", "Idle"));
    } else if (IsPaused()) {
        tab = FillFormat(Qs(Tr("SessionView", "Session View (Paused: %d%%)")), {progress});
        tray = Qs(Tr("SessionView", "Paused"));
    } else {
        tab = FillFormat(conversion ? Qs(Tr("SessionView", "Session View (Converting: %d%%)"))
                                    : Qs(Tr("SessionView", "Session View (Detecting: %d%%)")),
                         {progress});
        tray = FillFormat(conversion ? Qs(Tr("SessionView", "Converting: %d%% (%d of %d)"))
                                     : Qs(Tr("SessionView", "Detecting: %d%% (%d of %d)")),
                          {progress, static_cast<long long>(s.processedFiles), static_cast<long long>(s.totalFiles)});
    }
    if (tab != m_tabTitle) {
        m_tabTitle = tab;
        emit tabTitleChanged(tab);
    }
    if (tray != m_trayText) {
        m_trayText = tray;
        emit trayTextChanged(tray);
    }
}

void CSessionListView::FillContextMenu(QMenu& menu)
{
    const FileSelection file = FocusedFile();
    const bool output = file.valid && !file.outputPath.empty();
    AddShellAction(menu, Qs(Tr("SessionView", "Open output location")), OpenOutputLocation, output);
    AddShellAction(menu, Qs(Tr("SessionView", "Open input location")), OpenInputLocation, file.valid);
    AddShellAction(menu, Qs(Tr("SessionView", "Execute output file")), ExecuteOutputFile, output);
    AddShellAction(menu, Qs(Tr("SessionView", "Execute input file")), ExecuteInputFile, file.valid);
    menu.addSeparator();
    menu.addAction(Qs(Tr("SessionView", "Detail...")), this, &CSessionListView::detailsRequested)
        ->setEnabled(file.valid);
    AddShellAction(menu, Qs(Tr("SessionView", "Properties...")), ShowProperties, file.valid);
    menu.addSeparator();
    menu.addAction(Qs(Tr("SessionView", "Accept result")), this, &CSessionListView::AcceptSelected)
        ->setEnabled(CanAcceptSelected());
    menu.addAction(Qs(Tr("SessionView", "Make correction...")), this,
                   [this] {
                       const FileSelection focused = FocusedFile();
                       if (focused.valid && focused.finished)
                           emit correctionRequested(focused);
                   })
        ->setEnabled(file.valid && file.finished);
    menu.addSeparator();
    menu.addAction(Qs(Tr("SessionView", "Export list")), this, [this] { ExportList(); })
        ->setEnabled(Model()->rowCount() > 0);
    menu.addAction(Qs(Tr("SessionView", "Copy")), this, &CSessionListView::CopySelected)
        ->setEnabled(!SelectedRows().empty());
}
