#pragma once

#include <QMainWindow>

class CMySettings;
class CLocaleResourceManager;
class QLabel;
class QMenu;
class QTabWidget;

// The main window: menus, the four-pane status bar, the folder, details,
// preview and filter docks around the "File View" and "Session View" tabs.
class CMainFrame : public QMainWindow {
    Q_OBJECT

public:
    CMainFrame(CMySettings& settings, CLocaleResourceManager& locales, QWidget* parent = nullptr);
    ~CMainFrame() override;

    // "Varnel Professional 2.0.0 (x86_64) - Linux Edition"
    static QString WindowTitle();

    QTabWidget* Tabs() const { return m_tabs; }

private:
    void CreateMenus();
    void CreateStatusBar();

    CMySettings& m_settings;
    CLocaleResourceManager& m_locales;
    QTabWidget* m_tabs = nullptr;
    QLabel* m_statusPanes[4] = {};
};
