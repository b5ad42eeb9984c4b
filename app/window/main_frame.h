#pragma once

#include <QMainWindow>
#include <string>
#include <vector>

#include "app/window/models/file_selection.h"

class CDetailWnd;
class CFileListView;
class CFilterWnd;
class CFolderWatch;
class CFolderListWnd;
class CLocaleResourceManager;
class CMySettings;
class CPreviewWnd;
class CProfileStore;
class CVarnexListView;
class CSessionListView;
class CVarnexTrayIcon;
class QAction;
class QDockWidget;
class QFrame;
class QLabel;
class QMenu;
class QTabWidget;

// The main window: menus, the four-pane status bar, the folder, details,
// preview and filter docks around the "File View" and "Session View" tabs.
// It owns no engine: each view owns its session, and the frame turns the
// user's commands into their calls.
class CMainFrame : public QMainWindow {
    Q_OBJECT

public:
    CMainFrame(CMySettings& settings, CLocaleResourceManager& locales, CProfileStore& store, QWidget* parent = nullptr);
    ~CMainFrame() override;

    // "Varnel Professional 2.0.0 (x86_64) - Linux Edition"
    static QString WindowTitle();

    QTabWidget* Tabs() const { return m_tabs; }
    CFolderListWnd* FolderView() const { return m_folders; }
    CFileListView* FileView() const { return m_fileView; }
    CSessionListView* SessionView() const { return m_sessionView; }
    CFilterWnd* FilterPane() const { return m_filters; }
    CPreviewWnd* PreviewPane() const { return m_preview; }
    CDetailWnd* DetailsPane() const { return m_details; }
    CFolderWatch* FolderWatch() const { return m_folderWatch; }

    // The folder commands ("&Detect" ... "Convert to..."); a conversion asks
    // through the convert dialog first. False when nothing started.
    bool DetectFolder(const std::u16string& folder, bool recursive);
    bool ConvertFolder(const std::u16string& folder, bool recursive);
    bool ConvertFiles(const std::vector<std::u16string>& files);
    // "Make correction..." for a file of the session list.
    void MakeCorrection(const FileSelection& file);
    // Lines for the user above the views (what a settings file that could
    // not be used said), until closed; none hides the bar.
    void ShowMessages(const std::vector<std::u16string>& lines);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void CreateViews();
    void CreateDocks();
    void CreateMenus();
    void CreateStatusBar();
    void ConnectViews();
    void RestoreLayout();
    void SaveLayout();
    QDockWidget* AddDock(const QString& objectName, const QString& title, QWidget* content, Qt::DockWidgetArea area);
    bool StartConversion(class CConvertDlg& dialog);
    // False, and "Unable to open this folder." said, when folder is none.
    bool FolderOpens(const std::u16string& folder);
    CVarnexListView* CurrentListView() const;
    void OnFolderCommand(int command, const QString& folder);
    void OnCurrentFile(const FileSelection& file);
    void OnShellAction(int action, const FileSelection& file);
    void OnTabChanged();
    void UpdateCommands();
    void UpdateStatusPanes();
    // The file view's folder changed on disk: list it again once the view is idle.
    void RefreshChangedFolder();

    CMySettings& m_settings;
    CLocaleResourceManager& m_locales;
    CProfileStore& m_store;
    QTabWidget* m_tabs = nullptr;
    QFrame* m_messageBar = nullptr;
    QLabel* m_messageText = nullptr;
    CFileListView* m_fileView = nullptr;
    CSessionListView* m_sessionView = nullptr;
    CFolderListWnd* m_folders = nullptr;
    CDetailWnd* m_details = nullptr;
    CPreviewWnd* m_preview = nullptr;
    CFilterWnd* m_filters = nullptr;
    CVarnexTrayIcon* m_tray = nullptr;
    CFolderWatch* m_folderWatch = nullptr;
    bool m_folderRefreshDue = false;
    QDockWidget* m_folderDock = nullptr;
    QDockWidget* m_detailsDock = nullptr;
    QDockWidget* m_previewDock = nullptr;
    QDockWidget* m_filtersDock = nullptr;
    QAction* m_continueAction = nullptr;
    QAction* m_pauseAction = nullptr;
    QAction* m_stopAction = nullptr;
    QLabel* m_statusPanes[4] = {};
};
