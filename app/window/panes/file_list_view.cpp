#include "app/window/panes/file_list_view.h"

#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include "app/locale/tr.h"
#include "app/window/models/output_proposal.h"
#include "app/window/qt_text.h"
#include "varnex/codepage/codepage_info.h"
#include "varnex/session/session_start.h"

namespace {

// What the file view's session does: every file it writes joins the list as
// a record of its own, known without detection when it was converted (its code
// page is the output form's), detected like any file when it was copied as it
// was. The input's record then no longer names it.
class CFileViewNotifier : public CListNotifier {
public:
    using CListNotifier::CListNotifier;
    // Set before the session first starts.
    void SetSession(CVarnex* session) { m_session = session; }

    void OnFileProcessed(CVarnexFileInfo* record) override
    {
        CListNotifier::OnFileProcessed(record);
        const VARNEXRESULTOPERATION operation = record->GetResultOperation();
        const std::u16string output = record->GetOutputFile();
        if (operation == VARNEXRESULTOPERATION_NONE || output.empty())
            return;
        auto written = std::make_unique<CVarnexFileInfo>(m_session->IncrementQueueFileUniqueIdCounter(), output.c_str(),
                                                         nullptr, m_session->GetDefaultOwnerData());
        const CCodepageInfo* input = record->GetCodepageInfo();
        if (operation == VARNEXRESULTOPERATION_CONVERTED && input != nullptr && input->GetCodepage() != -1) {
            written->SetAllowAutoDetect(false);
            written->SetCodepage(static_cast<int>(record->GetOutputCodepage()));
            written->SetHasBom(record->GetWriteBOM());
        }
        record->SetOutputFile(nullptr);
        m_session->HandleFileInfo(std::move(written));
    }

private:
    CVarnex* m_session = nullptr;
};

}  // namespace

CFileListView::CFileListView(QWidget* parent) : CVarnexListView(CVarnexListModel::FileColumns(), parent)
{
    setObjectName(QStringLiteral("FileView"));
    auto notifier = std::make_unique<CFileViewNotifier>(Target());
    CFileViewNotifier* files = notifier.get();
    InitSession(std::move(notifier));
    files->SetSession(&Session());
    m_options.writeBom = false;  // UTF-8 without a mark unless the profile asks
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(Table());
    // The folder's files carry no folder part worth the room: the code page
    // names get it instead.
    Table()->setColumnWidth(0, 420);
    Table()->setColumnWidth(1, 150);
    // A stop that was on its way may have let the wanted folder wait.
    connect(this, &CVarnexListView::sessionStateChanged, this, &CFileListView::StartFolderWhenDue);
}

CFileListView::~CFileListView() = default;

void CFileListView::SetFolder(const std::u16string& folder)
{
    if (IsConverting() && !AskToCancelConversion())
        return;
    m_folder = folder;
    m_folderDue = true;
    StartFolderWhenDue();
}

bool CFileListView::AskToCancelConversion()
{
    QMessageBox box(this);
    box.setObjectName(QStringLiteral("FileViewBusy"));
    box.setIcon(QMessageBox::Information);
    box.setWindowTitle(Qs(Tr("FileView", "Please wait")));
    box.setText(Qs(Tr("FileView", "File View is busy")));
    box.setInformativeText(
        Qs(Tr("FileView", "Please wait for it to finish converting the files before changing the current folder.")));
    QPushButton* cancel = box.addButton(Qs(Tr("FileView", "Cancel these files")), QMessageBox::DestructiveRole);
    cancel->setObjectName(QStringLiteral("CancelFiles"));
    QPushButton* close = box.addButton(Qs(Tr("FileView", "Close")), QMessageBox::RejectRole);
    box.setDefaultButton(close);
    box.exec();
    // The conversion may have ended while the box was open: nothing to cancel then.
    return box.clickedButton() == cancel;
}

void CFileListView::showEvent(QShowEvent* event)
{
    CVarnexListView::showEvent(event);
    StartFolderWhenDue();
}

void CFileListView::StartFolderWhenDue()
{
    if (!m_folderDue || !isVisible())
        return;
    if (IsRunning()) {
        if (!m_stopAsked) {
            m_stopAsked = true;
            CFilterableVarnex* session = &Session();
            Commands().Run([session] { session->Stop(); });
        }
        return;  // again on STOPPED
    }
    if (!IsIdle())
        return;  // a command is still on its way; again when it is done
    m_folderDue = false;
    m_stopAsked = false;
    m_converting = false;
    SessionStartParams start;
    start.setting = m_job;
    start.setting.detectOnly = true;
    VARNEXBATCHJOBITEM& item = start.items.emplace_back();
    item.folder = true;
    item.options.recursive = false;
    item.options.processHiddenFiles = false;
    item.inputPath = m_folder;
    (void)StartNewSession(Session(), start);  // one that does not start leaves the list as it was
}

void CFileListView::OnSessionMessage(VARNEXMESSAGE message, intptr_t /*lParam*/)
{
    if (message != VARNEXMESSAGE_STOPPED)
        return;
    m_converting = false;
    StartFolderWhenDue();
}

std::u16string CFileListView::ProposedOutputPath(const std::u16string& input, const std::set<std::u16string>& taken)
{
    return ProposeOutputFile(
        input, [&](const std::u16string& path) { return taken.count(path) != 0 || PathExistsOnDisk(path); });
}

std::vector<std::u16string> CFileListView::SelectedFiles() const
{
    std::vector<std::u16string> files;
    for (int row : SelectedRows())
        Model()->WithListedRecord(row, [&](CVarnexFileInfo& record) { files.push_back(record.FastGetInputFile()); });
    return files;
}

bool CFileListView::CanConvertHere() const
{
    if (!IsIdle())
        return false;
    for (int row : SelectedRows()) {
        bool finished = false;
        Model()->WithListedRecord(
            row, [&](CVarnexFileInfo& record) { finished = record.FastGetStatus() == VARNEXFILESTATUS_FINISHED; });
        if (finished)
            return true;
    }
    return false;
}

bool CFileListView::ConvertHere()
{
    if (!IsIdle())
        return false;
    CFilterableVarnex& session = Session();
    std::set<std::u16string> taken;
    bool any = false;
    for (int row : SelectedRows())
        Model()->WithListedRecord(row, [&](CVarnexFileInfo& record) {
            if (record.FastGetStatus() != VARNEXFILESTATUS_FINISHED)
                return;
            const std::u16string output = ProposedOutputPath(record.FastGetInputFile(), taken);
            taken.insert(output);
            record.SetOptions(m_options);
            record.SetOutputFile(output.c_str());
            const bool retried = m_options.inputCodepage
                                     ? session.RetryFileSetCodepage(&record, *m_options.inputCodepage)
                                     : session.RetryFile(&record, true);
            if (retried)
                any = true;
            else
                record.SetOutputFile(nullptr);
        });
    if (!any)
        return false;
    VARNEXJOBSETTING setting = m_job;
    setting.detectOnly = false;
    session.SetJobSetting(setting);
    m_converting = session.Start(true);
    RefreshList();
    return m_converting;
}

void CFileListView::FillContextMenu(QMenu& menu)
{
    const FileSelection file = FocusedFile();
    const std::vector<int> rows = SelectedRows();
    QString convertHere = Qs(Tr("FileView", "Convert here"));
    if (rows.size() == 1) {
        std::u16string input;
        Model()->WithListedRecord(rows.front(), [&](CVarnexFileInfo& record) { input = record.FastGetInputFile(); });
        if (!input.empty())
            convertHere = Qs(ConvertToLabel(ConvertCommand::Convert, input, ProposedOutputPath(input)));
    }
    menu.addAction(convertHere, this, [this] { ConvertHere(); })->setEnabled(CanConvertHere());
    menu.addAction(Qs(Tr("FileView", "Convert to...")), this,
                   [this] {
                       const std::vector<std::u16string> files = SelectedFiles();
                       if (!files.empty())
                           emit convertToRequested(files);
                   })
        ->setEnabled(!rows.empty());
    menu.addSeparator();
    AddShellAction(menu, Qs(Tr("FileView", "Open file location")), OpenInputLocation, file.valid);
    AddShellAction(menu, Qs(Tr("FileView", "Open/Execute")), ExecuteInputFile, file.valid);
    menu.addAction(Qs(Tr("FileView", "Details...")), this, &CFileListView::detailsRequested)->setEnabled(file.valid);
    AddShellAction(menu, Qs(Tr("FileView", "Properties...")), ShowProperties, file.valid);
    menu.addSeparator();
    menu.addAction(Qs(Tr("FileView", "Export list")), this, [this] { ExportList(); })
        ->setEnabled(Model()->rowCount() > 0);
    menu.addAction(Qs(Tr("FileView", "Copy")), this, &CFileListView::CopySelected)->setEnabled(!rows.empty());
}
