#pragma once

#include <QObject>
#include <QString>

class QMenu;
class QSystemTrayIcon;
class QWidget;

// The tray icon: its tool tip says the program and what the session does,
// its menu brings the main window back. Without a system tray (a bare X
// server, a test) it only keeps its texts.
class CVarnexTrayIcon : public QObject {
    Q_OBJECT

public:
    explicit CVarnexTrayIcon(QWidget* mainWindow);
    ~CVarnexTrayIcon() override;

    bool IsAvailable() const { return m_icon != nullptr; }
    void Show();
    void Hide();

    // The second line of the tool tip: what the session does, as its view
    // words it.
    void SetStatusLine(const QString& line);
    QString ToolTip() const { return m_toolTip; }

    // The window the menu brings back, restored and raised.
    void ShowMainWindow();

signals:
    void showMainWindowRequested();

private:
    QWidget* m_mainWindow;
    QSystemTrayIcon* m_icon = nullptr;
    QMenu* m_menu = nullptr;
    QString m_toolTip;
};
