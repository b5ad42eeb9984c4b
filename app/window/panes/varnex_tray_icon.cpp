#include "app/window/panes/varnex_tray_icon.h"

#include <QApplication>
#include <QMenu>
#include <QStyle>
#include <QSystemTrayIcon>
#include <QWidget>

#include "app/locale/tr.h"
#include "app/window/qt_text.h"

CVarnexTrayIcon::CVarnexTrayIcon(QWidget* mainWindow) : QObject(mainWindow), m_mainWindow(mainWindow)
{
    if (QSystemTrayIcon::isSystemTrayAvailable()) {
        m_menu = new QMenu;  // ours: the tray icon does not own its menu
        QAction* show = m_menu->addAction(Qs(Tr("Tray", "Show Main Window")));
        connect(show, &QAction::triggered, this, &CVarnexTrayIcon::ShowMainWindow);
        m_icon = new QSystemTrayIcon(this);
        QIcon icon = QApplication::windowIcon();
        if (icon.isNull())
            icon = QApplication::style()->standardIcon(QStyle::SP_ComputerIcon);
        m_icon->setIcon(icon);
        m_icon->setContextMenu(m_menu);
        connect(m_icon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
            if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick)
                ShowMainWindow();
        });
    }
    SetStatusLine(Qs(Tr("Tray", "Idle")));
}

CVarnexTrayIcon::~CVarnexTrayIcon()
{
    delete m_menu;
}

void CVarnexTrayIcon::Show()
{
    if (m_icon)
        m_icon->show();
}

void CVarnexTrayIcon::Hide()
{
    if (m_icon)
        m_icon->hide();
}

void CVarnexTrayIcon::SetStatusLine(const QString& line)
{
    m_toolTip = Qs(Tr("Tray", "Varnel Professional")) + QLatin1Char('\n') + line;
    if (m_icon)
        m_icon->setToolTip(m_toolTip);
}

void CVarnexTrayIcon::ShowMainWindow()
{
    if (m_mainWindow) {
        if (m_mainWindow->isMinimized())
            m_mainWindow->showNormal();
        else
            m_mainWindow->show();
        m_mainWindow->raise();
        m_mainWindow->activateWindow();
    }
    emit showMainWindowRequested();
}
