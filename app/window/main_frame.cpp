#include "app/window/main_frame.h"

#include <sys/utsname.h>

#include <QCloseEvent>
#include <QDockWidget>
#include <QLabel>
#include <QMenuBar>
#include <QStatusBar>
#include <QTabWidget>

#include "app/locale/tr.h"
#include "app/options/program_version.h"
#include "app/settings/profile_store.h"
#include "app/window/folder_list_wnd.h"
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

CMainFrame::CMainFrame(CMySettings& settings, CLocaleResourceManager& locales, CProfileStore& store,
                       QWidget* parent)
    : QMainWindow(parent), m_settings(settings), m_locales(locales), m_store(store)
{
    setObjectName(QStringLiteral("MainFrame"));
    setWindowTitle(WindowTitle());
    m_tabs = new QTabWidget(this);
    m_tabs->setObjectName(QStringLiteral("Tabs"));
    setCentralWidget(m_tabs);
    CreateDocks();
    CreateMenus();
    CreateStatusBar();
    resize(1280, 800);
    RestoreLayout();
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
    m_folderDock = AddDock(QStringLiteral("FolderDock"), Qs(Tr("MainFrame", "Folders")), m_folders, Qt::LeftDockWidgetArea);
    m_detailsDock = AddDock(QStringLiteral("DetailsDock"), Qs(Tr("MainFrame", "Details")), new QWidget(this),
                            Qt::RightDockWidgetArea);
    m_previewDock = AddDock(QStringLiteral("PreviewDock"), Qs(Tr("MainFrame", "Preview")), new QWidget(this),
                            Qt::BottomDockWidgetArea);
    m_filtersDock = AddDock(QStringLiteral("FiltersDock"), Qs(Tr("MainFrame", "Filters")), new QWidget(this),
                            Qt::RightDockWidgetArea);
}

void CMainFrame::CreateMenus()
{
    QMenu* file = menuBar()->addMenu(Qs(Tr("MainFrame", "&File")));
    file->setObjectName(QStringLiteral("FileMenu"));
    QAction* exit = file->addAction(Qs(Tr("MainFrame", "E&xit")));
    connect(exit, &QAction::triggered, this, &QWidget::close);

    m_viewMenu = menuBar()->addMenu(Qs(Tr("MainFrame", "&View")));
    m_viewMenu->setObjectName(QStringLiteral("ViewMenu"));
    const auto toggle = [&](QDockWidget* dock, const QString& text) {
        QAction* action = dock->toggleViewAction();
        action->setText(text);
        m_viewMenu->addAction(action);
    };
    toggle(m_folderDock, Qs(Tr("MainFrame", "F&olders")));
    toggle(m_detailsDock, Qs(Tr("MainFrame", "&Details")));
    toggle(m_previewDock, Qs(Tr("MainFrame", "&Preview")));
    toggle(m_filtersDock, Qs(Tr("MainFrame", "&Filters")));
    QAction* bar = m_viewMenu->addAction(Qs(Tr("MainFrame", "&Status Bar")));
    bar->setCheckable(true);
    bar->setChecked(true);
    connect(bar, &QAction::toggled, this, [this](bool on) { statusBar()->setVisible(on); });
}

void CMainFrame::CreateStatusBar()
{
    for (QLabel*& pane : m_statusPanes) {
        pane = new QLabel(this);
        statusBar()->addWidget(pane, pane == m_statusPanes[0] ? 1 : 0);
    }
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
    SaveLayout();
    event->accept();
}
