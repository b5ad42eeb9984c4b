#include "app/window/main_frame.h"

#include <sys/utsname.h>

#include <QLabel>
#include <QMenuBar>
#include <QStatusBar>
#include <QTabWidget>

#include "app/locale/tr.h"
#include "app/options/program_version.h"
#include "app/window/qt_text.h"

namespace {

QString TrQ(const std::u16string& text) { return Qs(text); }

// The machine word of the title ("x86_64"); the build's word where the
// system does not say.
QString MachineWord()
{
    utsname name{};
    if (uname(&name) == 0 && name.machine[0] != '\0')
        return QString::fromLatin1(name.machine);
    return QStringLiteral("unknown");
}

}  // namespace

CMainFrame::CMainFrame(CMySettings& settings, CLocaleResourceManager& locales, QWidget* parent)
    : QMainWindow(parent), m_settings(settings), m_locales(locales)
{
    setObjectName(QStringLiteral("MainFrame"));
    setWindowTitle(WindowTitle());
    m_tabs = new QTabWidget(this);
    m_tabs->setObjectName(QStringLiteral("Tabs"));
    setCentralWidget(m_tabs);
    CreateMenus();
    CreateStatusBar();
    resize(1200, 760);
}

CMainFrame::~CMainFrame() = default;

QString CMainFrame::WindowTitle()
{
    const QStringList version = Qs(ProgramVersion()).split(u'.');
    const auto part = [&](int i) { return i < version.size() ? version[i].toInt() : 0; };
    return QStringLiteral("%1 %2.%3.%4 (%5) - %6")
        .arg(TrQ(Tr("MainFrame", "Varnel Professional")))
        .arg(part(0))
        .arg(part(1))
        .arg(part(2))
        .arg(MachineWord(), TrQ(Tr("MainFrame", "Linux Edition")));
}

void CMainFrame::CreateMenus()
{
    QMenu* file = menuBar()->addMenu(TrQ(Tr("MainFrame", "&File")));
    file->setObjectName(QStringLiteral("FileMenu"));
    QAction* exit = file->addAction(TrQ(Tr("MainFrame", "E&xit")));
    connect(exit, &QAction::triggered, this, &QWidget::close);
}

void CMainFrame::CreateStatusBar()
{
    for (QLabel*& pane : m_statusPanes) {
        pane = new QLabel(this);
        statusBar()->addWidget(pane, pane == m_statusPanes[0] ? 1 : 0);
    }
}
