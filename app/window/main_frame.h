#pragma once

#include <QMainWindow>

class CFolderListWnd;
class CLocaleResourceManager;
class CMySettings;
class CProfileStore;
class QDockWidget;
class QLabel;
class QMenu;
class QTabWidget;

// The main window: menus, the four-pane status bar, the folder, details,
// preview and filter docks around the "File View" and "Session View" tabs.
class CMainFrame : public QMainWindow {
    Q_OBJECT

public:
    CMainFrame(CMySettings& settings, CLocaleResourceManager& locales, CProfileStore& store,
               QWidget* parent = nullptr);
    ~CMainFrame() override;

    // "Varnel Professional 2.0.0 (x86_64) - Linux Edition"
    static QString WindowTitle();

    QTabWidget* Tabs() const { return m_tabs; }
    CFolderListWnd* FolderView() const { return m_folders; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void CreateDocks();
    void CreateMenus();
    void CreateStatusBar();
    void RestoreLayout();
    void SaveLayout();
    QDockWidget* AddDock(const QString& objectName, const QString& title, QWidget* content, Qt::DockWidgetArea area);

    CMySettings& m_settings;
    CLocaleResourceManager& m_locales;
    CProfileStore& m_store;
    QTabWidget* m_tabs = nullptr;
    CFolderListWnd* m_folders = nullptr;
    QDockWidget* m_folderDock = nullptr;
    QDockWidget* m_detailsDock = nullptr;
    QDockWidget* m_previewDock = nullptr;
    QDockWidget* m_filtersDock = nullptr;
    QMenu* m_viewMenu = nullptr;
    QLabel* m_statusPanes[4] = {};
};
