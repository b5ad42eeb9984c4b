#include "app/window/main_frame.h"

#include <sys/utsname.h>

#include <QCloseEvent>
#include <QDockWidget>
#include <QFileInfo>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QStatusBar>
#include <QStyle>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/locale/tr.h"
#include "app/options/program_version.h"
#include "app/settings/my_settings.h"
#include "app/settings/profile_store.h"
#include "app/window/dialogs/assign_codepage_dlg.h"
#include "app/window/dialogs/convert_dialog.h"
#include "app/window/dialogs/dialog_prompt.h"
#include "app/window/dialogs/help_about.h"
#include "app/window/dialogs/preference_sheet.h"
#include "app/window/models/folder_watch.h"
#include "app/window/models/output_proposal.h"
#include "app/window/models/shell_actions.h"
#include "app/window/panes/detail_wnd.h"
#include "app/window/panes/file_list_view.h"
#include "app/window/panes/filter_wnd.h"
#include "app/window/panes/folder_list_wnd.h"
#include "app/window/panes/language_menu.h"
#include "app/window/panes/preview_wnd.h"
#include "app/window/panes/session_list_view.h"
#include "app/window/panes/varnex_tray_icon.h"
#include "app/window/qt_text.h"

namespace {

// The machine word of the title ("x86_64").
QString MachineWord()
{
    utsname name{};
    if (uname(&name) == 0 && name.machine[0] != '\0')
        return QString::fromLatin1(name.machine);
    return QStringLiteral("unknown");
}

constexpr char16_t kGeometryEntry[] = u"MainFrameGeometry";
constexpr char16_t kStateEntry[] = u"MainFrameState";
// Bumped when the docks change, so an old layout is not applied to new docks.
constexpr int kLayoutVersion = 1;

}  // namespace

CMainFrame::CMainFrame(CMySettings& settings, CLocaleResourceManager& locales, CProfileStore& store, QWidget* parent)
    : QMainWindow(parent),
      m_settings(settings),
      m_locales(locales),
      m_store(store)
{
    setObjectName(QStringLiteral("MainFrame"));
    setWindowTitle(WindowTitle());
    CreateViews();
    CreateDocks();
    CreateMenus();
    CreateStatusBar();
    ConnectViews();
    m_tray = new CVarnexTrayIcon(this);
    connect(m_sessionView, &CSessionListView::trayTextChanged, m_tray, &CVarnexTrayIcon::SetStatusLine);
    m_tray->Show();
    resize(1280, 800);
    RestoreLayout();
    OnTabChanged();
}

CMainFrame::~CMainFrame() = default;

QString CMainFrame::WindowTitle()
{
    const QStringList version = Qs(ProgramVersion()).split(u'.');
    const auto part = [&](int i) { return i < version.size() ? version[i].toInt() : 0; };
    return QStringLiteral("%1 %2.%3.%4 (%5) - %6")
        .arg(Qs(Tr("MainFrame", "Varnel Professional")))
        .arg(part(0))
        .arg(part(1))
        .arg(part(2))
        .arg(MachineWord(), Qs(Tr("MainFrame", "Linux Edition")));
}

void CMainFrame::CreateViews()
{
    auto* central = new QWidget(this);
    m_messageBar = new QFrame(central);
    m_messageBar->setObjectName(QStringLiteral("MessageBar"));
    m_messageBar->setFrameShape(QFrame::StyledPanel);
    m_messageBar->setBackgroundRole(QPalette::ToolTipBase);
    m_messageBar->setAutoFillBackground(true);
    auto* icon = new QLabel(m_messageBar);
    const int iconSize = style()->pixelMetric(QStyle::PM_SmallIconSize);
    icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(iconSize, iconSize));
    icon->setAlignment(Qt::AlignTop);
    m_messageText = new QLabel(m_messageBar);
    m_messageText->setObjectName(QStringLiteral("MessageText"));
    m_messageText->setTextFormat(Qt::PlainText);  // file names are shown as they are
    m_messageText->setWordWrap(true);
    m_messageText->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_messageText->setForegroundRole(QPalette::ToolTipText);
    auto* close = new QToolButton(m_messageBar);
    close->setObjectName(QStringLiteral("MessageClose"));
    close->setAutoRaise(true);
    close->setIcon(style()->standardIcon(QStyle::SP_TitleBarCloseButton));
    close->setToolTip(Qs(Tr("MainFrame", "Close")));
    connect(close, &QToolButton::clicked, m_messageBar, &QWidget::hide);
    auto* bar = new QHBoxLayout(m_messageBar);
    bar->setContentsMargins(8, 4, 4, 4);
    bar->addWidget(icon);
    bar->addWidget(m_messageText, 1);
    bar->addWidget(close, 0, Qt::AlignTop);
    m_messageBar->hide();

    m_tabs = new QTabWidget(central);
    m_tabs->setObjectName(QStringLiteral("Tabs"));
    m_fileView = new CFileListView(m_tabs);
    m_fileView->SetJobSetting(m_settings.GetJobSetting());
    m_fileView->SetConvertOptions(m_settings.GetCurrentProfile().options);
    m_sessionView = new CSessionListView(m_tabs);
    m_tabs->addTab(m_fileView, Qs(Tr("MainFrame", "File View")));
    m_tabs->addTab(m_sessionView, Qs(Tr("MainFrame", "Session View")));
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_messageBar);
    layout->addWidget(m_tabs, 1);
    setCentralWidget(central);
}

void CMainFrame::ShowMessages(const std::vector<std::u16string>& lines)
{
    QStringList text;
    for (const std::u16string& line : lines)
        text.append(Qs(line));
    m_messageText->setText(text.join(u'\n'));
    m_messageBar->setVisible(!lines.empty());
}

QDockWidget* CMainFrame::AddDock(const QString& objectName, const QString& title, QWidget* content,
                                 Qt::DockWidgetArea area)
{
    auto* dock = new QDockWidget(title, this);
    dock->setObjectName(objectName);
    dock->setWidget(content);
    addDockWidget(area, dock);
    return dock;
}

void CMainFrame::CreateDocks()
{
    m_folders = new CFolderListWnd(m_store, this);
    m_folders->SetLabelMaker([](const std::u16string& folder, bool recursive) {
        return Qs(ConvertToLabel(recursive ? ConvertCommand::RecursivelyConvert : ConvertCommand::Convert, folder,
                                 ProposeOutputFolder(folder)));
    });
    m_details = new CDetailWnd(this);
    m_preview = new CPreviewWnd(this);
    m_preview->SetPreviewLimit(m_settings.GetPreviewSizeLimit());
    m_filters = new CFilterWnd(this);
    m_folderDock =
        AddDock(QStringLiteral("FolderDock"), Qs(Tr("MainFrame", "Folders")), m_folders, Qt::LeftDockWidgetArea);
    m_filtersDock =
        AddDock(QStringLiteral("FiltersDock"), Qs(Tr("MainFrame", "Filters")), m_filters, Qt::LeftDockWidgetArea);
    m_detailsDock =
        AddDock(QStringLiteral("DetailsDock"), Qs(Tr("MainFrame", "Details")), m_details, Qt::RightDockWidgetArea);
    m_previewDock =
        AddDock(QStringLiteral("PreviewDock"), Qs(Tr("MainFrame", "Preview")), m_preview, Qt::RightDockWidgetArea);
    resizeDocks({m_folderDock, m_detailsDock}, {300, 340}, Qt::Horizontal);
}

void CMainFrame::CreateMenus()
{
    QMenu* file = menuBar()->addMenu(Qs(Tr("MainFrame", "&File")));
    file->setObjectName(QStringLiteral("FileMenu"));
    connect(file->addAction(Qs(Tr("MainFrame", "&Preferences..."))), &QAction::triggered, this, [this] {
        CPreferenceSheet sheet(this, m_settings, m_locales, m_store);
        if (sheet.exec() != QDialog::Accepted)
            return;
        m_fileView->SetJobSetting(m_settings.GetJobSetting());
        m_fileView->SetConvertOptions(m_settings.GetCurrentProfile().options);
        m_preview->SetPreviewLimit(m_settings.GetPreviewSizeLimit());
    });
    file->addSeparator();
    connect(file->addAction(Qs(Tr("MainFrame", "E&xit"))), &QAction::triggered, this, &QWidget::close);

    QMenu* view = menuBar()->addMenu(Qs(Tr("MainFrame", "&View")));
    view->setObjectName(QStringLiteral("ViewMenu"));
    const auto toggle = [&](QDockWidget* dock, const QString& text) {
        QAction* action = dock->toggleViewAction();
        action->setText(text);
        view->addAction(action);
    };
    toggle(m_folderDock, Qs(Tr("MainFrame", "F&olders")));
    toggle(m_detailsDock, Qs(Tr("MainFrame", "&Details")));
    toggle(m_previewDock, Qs(Tr("MainFrame", "&Preview")));
    toggle(m_filtersDock, Qs(Tr("MainFrame", "&Filters")));
    QAction* bar = view->addAction(Qs(Tr("MainFrame", "&Status Bar")));
    bar->setCheckable(true);
    bar->setChecked(true);
    connect(bar, &QAction::toggled, this, [this](bool on) { statusBar()->setVisible(on); });

    QMenu* operation = menuBar()->addMenu(Qs(Tr("MainFrame", "&Operation")));
    operation->setObjectName(QStringLiteral("OperationMenu"));
    m_continueAction = operation->addAction(Qs(Tr("MainFrame", "&Continue Session")));
    m_pauseAction = operation->addAction(Qs(Tr("MainFrame", "&Pause")));
    m_stopAction = operation->addAction(Qs(Tr("MainFrame", "&Stop")));
    connect(m_continueAction, &QAction::triggered, m_sessionView, &CSessionListView::Continue);
    connect(m_pauseAction, &QAction::triggered, m_sessionView, &CSessionListView::Pause);
    connect(m_stopAction, &QAction::triggered, this, [this] {
        if (isMinimized())
            showNormal();
        m_sessionView->StopAsking();
    });
    connect(operation, &QMenu::aboutToShow, this, &CMainFrame::UpdateCommands);

    if (m_settings.GetShowLanguageMenu()) {
        QMenu* language = menuBar()->addMenu(Qs(Tr("MainFrame", "&Language")));
        language->setObjectName(QStringLiteral("LanguageMenu"));
        AttachLanguageMenu(language, m_locales, m_store);
    }

    QMenu* help = menuBar()->addMenu(Qs(Tr("MainFrame", "&Help")));
    help->setObjectName(QStringLiteral("HelpMenu"));
    connect(help->addAction(Qs(Tr("MainFrame", "User Manual"))), &QAction::triggered, this,
            [this] { OpenUserManual(this, m_locales); });
    connect(help->addAction(Qs(Tr("MainFrame", "&About Varnel Professional..."))), &QAction::triggered, this,
            [this] { ShowAboutBox(this); });
    UpdateCommands();
}

void CMainFrame::CreateStatusBar()
{
    for (QLabel*& pane : m_statusPanes) {
        pane = new QLabel(this);
        statusBar()->addWidget(pane, pane == m_statusPanes[0] ? 1 : 0);
    }
    m_statusPanes[0]->setText(Qs(Tr("MainFrame", "Ready")));
}

void CMainFrame::ConnectViews()
{
    m_folderWatch = new CFolderWatch(this);
    connect(m_folders, &CFolderListWnd::folderSelected, this, [this](const QString& folder) {
        m_fileView->SetFolder(U16(folder));
        m_folderRefreshDue = false;
        m_folderWatch->Watch(folder);
    });
    connect(m_folderWatch, &CFolderWatch::folderChanged, this, [this] {
        m_folderRefreshDue = true;
        RefreshChangedFolder();
    });
    connect(m_folders, &CFolderListWnd::commandRequested, this, &CMainFrame::OnFolderCommand);
    connect(m_folders, &CFolderListWnd::propertiesRequested, this,
            [this](const QString& folder) { ShowProperties(this, U16(folder)); });
    connect(m_fileView, &CFileListView::convertToRequested, this,
            [this](std::vector<std::u16string> files) { ConvertFiles(files); });
    for (CVarnexListView* list :
         {static_cast<CVarnexListView*>(m_fileView), static_cast<CVarnexListView*>(m_sessionView)}) {
        connect(list, &CVarnexListView::currentFileChanged, this, [this, list](const FileSelection& file) {
            if (list == CurrentListView())
                OnCurrentFile(file);
        });
        connect(list, &CVarnexListView::shellActionRequested, this, &CMainFrame::OnShellAction);
        connect(list, &CVarnexListView::detailsRequested, this, [this] {
            m_detailsDock->show();
            m_detailsDock->raise();
        });
        connect(list, &CVarnexListView::sessionStateChanged, this, [this] {
            RefreshChangedFolder();
            UpdateCommands();
            UpdateStatusPanes();
            m_filters->Refresh();
        });
    }
    connect(m_sessionView, &CSessionListView::tabTitleChanged, this,
            [this](const QString& title) { m_tabs->setTabText(m_tabs->indexOf(m_sessionView), title); });
    connect(m_sessionView, &CSessionListView::trayTextChanged, this, [this] { UpdateStatusPanes(); });
    connect(m_sessionView, &CSessionListView::correctionRequested, this, &CMainFrame::MakeCorrection);
    connect(m_tabs, &QTabWidget::currentChanged, this, &CMainFrame::OnTabChanged);
}

CVarnexListView* CMainFrame::CurrentListView() const
{
    if (m_tabs->currentWidget() == m_sessionView)
        return m_sessionView;
    return m_fileView;
}

void CMainFrame::RefreshChangedFolder()
{
    // A session of the file view (a detection, "Convert here") ends first:
    // its own outputs are among the changes.
    if (!m_folderRefreshDue || !m_fileView->IsIdle() || Qs(m_fileView->Folder()) != m_folderWatch->Folder())
        return;
    m_folderRefreshDue = false;
    m_fileView->SetFolder(m_fileView->Folder());
}

void CMainFrame::OnTabChanged()
{
    CVarnexListView* list = CurrentListView();
    m_filters->SetSession(&list->Session());
    OnCurrentFile(list->FocusedFile());
    UpdateStatusPanes();
}

void CMainFrame::OnFolderCommand(int command, const QString& folder)
{
    switch (command) {
    case CFolderListWnd::Detect:
    case CFolderListWnd::DetectRecursively:
        DetectFolder(U16(folder), command == CFolderListWnd::DetectRecursively);
        break;
    case CFolderListWnd::Convert:
    case CFolderListWnd::ConvertRecursively:
    case CFolderListWnd::ConvertTo:
        ConvertFolder(U16(folder), command == CFolderListWnd::ConvertRecursively);
        break;
    default:
        break;
    }
}

bool CMainFrame::FolderOpens(const std::u16string& folder)
{
    if (QFileInfo(Qs(folder)).isDir())
        return true;
    ShowDialogPrompt(this, QMessageBox::Warning, Qs(Tr("FolderView", "Unable to open this folder.")));
    return false;
}

bool CMainFrame::DetectFolder(const std::u16string& folder, bool recursive)
{
    if (!FolderOpens(folder))
        return false;
    const bool hidden = m_settings.GetCurrentProfile().options.processHiddenFiles;
    if (!m_sessionView->StartDetection(folder, recursive, hidden, m_settings.GetJobSetting()))
        return false;
    m_tabs->setCurrentWidget(m_sessionView);
    return true;
}

bool CMainFrame::ConvertFolder(const std::u16string& folder, bool recursive)
{
    if (!FolderOpens(folder))
        return false;
    CConvertDlg dialog(this, m_settings, m_store, folder, recursive, ProposeOutputFolder(folder));
    return StartConversion(dialog);
}

bool CMainFrame::ConvertFiles(const std::vector<std::u16string>& files)
{
    if (files.empty())
        return false;
    CConvertDlg dialog(this, m_settings, m_store, files, false, ParentOf(ProposeOutputFolder(ParentOf(files.front()))));
    return StartConversion(dialog);
}

bool CMainFrame::StartConversion(CConvertDlg& dialog)
{
    if (dialog.exec() != QDialog::Accepted)
        return false;
    // "Detect only" of the full-output-folder question writes nothing.
    const std::vector<VARNEXBATCHJOBITEM> items = dialog.JobItems();
    const VARNEXJOBSETTING& job = m_settings.GetJobSetting();
    if (!(dialog.DetectOnly() ? m_sessionView->StartDetection(items, job) : m_sessionView->StartConversion(items, job)))
        return false;
    m_tabs->setCurrentWidget(m_sessionView);
    return true;
}

void CMainFrame::MakeCorrection(const FileSelection& file)
{
    if (!file.valid)
        return;
    CAssignCodepageDlg dialog(this, m_store, file.inputPath, file.codepage, m_settings.GetPreviewSizeLimit());
    if (dialog.exec() == QDialog::Accepted && dialog.ChosenCodepage() != -1)
        m_sessionView->RetryFocusedWithCodepage(dialog.ChosenCodepage());
}

void CMainFrame::OnCurrentFile(const FileSelection& file)
{
    if (file.valid) {
        m_details->ShowFile(file);
        m_preview->ShowFile(file);
    } else {
        m_details->ShowFile(FileSelection());
        m_preview->Clear();
    }
    UpdateStatusPanes();
}

void CMainFrame::OnShellAction(int action, const FileSelection& file)
{
    switch (action) {
    case CVarnexListView::OpenOutputLocation:
        OpenContainingFolder(this, file.outputPath);
        break;
    case CVarnexListView::OpenInputLocation:
        OpenContainingFolder(this, file.inputPath);
        break;
    case CVarnexListView::ExecuteOutputFile:
        OpenFile(this, file.outputPath);
        break;
    case CVarnexListView::ExecuteInputFile:
        OpenFile(this, file.inputPath);
        break;
    case CVarnexListView::ShowProperties:
        ::ShowProperties(this, file.inputPath);
        break;
    default:
        break;
    }
}

void CMainFrame::UpdateCommands()
{
    const bool running = m_sessionView->IsRunning();
    const bool paused = m_sessionView->IsPaused();
    m_continueAction->setEnabled(running && paused);
    m_pauseAction->setEnabled(running && !paused);
    m_stopAction->setEnabled(running);
    m_folders->SetSessionIdle(m_sessionView->IsIdle());
}

void CMainFrame::UpdateStatusPanes()
{
    CVarnexListView* list = CurrentListView();
    const FileSelection file = list->FocusedFile();
    m_statusPanes[0]->setText(file.valid ? Qs(file.inputPath) : Qs(Tr("MainFrame", "Ready")));
    m_statusPanes[1]->setText(Qs(Tr("MainFrame", "Files: %1")).arg(list->Model()->rowCount()));
    m_statusPanes[2]->setText(m_sessionView->TrayText());
    m_statusPanes[3]->setText(file.valid ? Qs(file.codepageName) : QString());
}

void CMainFrame::RestoreLayout()
{
    const QByteArray geometry =
        QByteArray::fromBase64(Qs(m_store.GetProfileString(CProfileStore::kLayoutKey, kGeometryEntry)).toLatin1());
    const QByteArray state =
        QByteArray::fromBase64(Qs(m_store.GetProfileString(CProfileStore::kLayoutKey, kStateEntry)).toLatin1());
    if (!geometry.isEmpty())
        restoreGeometry(geometry);
    if (!state.isEmpty())
        restoreState(state, kLayoutVersion);
}

void CMainFrame::SaveLayout()
{
    m_store.WriteProfileString(CProfileStore::kLayoutKey, kGeometryEntry,
                               U16(QString::fromLatin1(saveGeometry().toBase64())));
    m_store.WriteProfileString(CProfileStore::kLayoutKey, kStateEntry,
                               U16(QString::fromLatin1(saveState(kLayoutVersion).toBase64())));
}

void CMainFrame::closeEvent(QCloseEvent* event)
{
    if (m_sessionView->IsRunning() &&
        ShowDialogPrompt(this, QMessageBox::Question, Qs(Tr("MainFrame", "Stop the session and quit the program?")),
                         QMessageBox::Yes | QMessageBox::No, QMessageBox::No) != QMessageBox::Yes) {
        event->ignore();
        return;
    }
    SaveLayout();
    m_tray->Hide();
    event->accept();
}
