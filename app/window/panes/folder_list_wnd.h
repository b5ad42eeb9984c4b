#pragma once

#include <QWidget>
#include <functional>
#include <string>

class CFolderTreeModel;
class CProfileStore;
class CRecentComboBox;
class QMenu;
class QModelIndex;
class QTreeView;

// The folder view: a path box above the folder tree. It starts nothing
// itself; the frame acts on its requests.
class CFolderListWnd : public QWidget {
    Q_OBJECT

public:
    enum Command { Detect, DetectRecursively, Convert, ConvertRecursively, ConvertTo };

    CFolderListWnd(CProfileStore& store, QWidget* parent = nullptr);
    ~CFolderListWnd() override;

    // The folder selected in the tree; empty when none.
    std::u16string SelectedFolder() const;
    // Selects a folder, expanding the tree to it; false when it is no folder.
    bool SelectFolder(const std::u16string& folder);
    // Detect and convert commands start sessions: only while none runs.
    void SetSessionIdle(bool idle) { m_sessionIdle = idle; }
    // The label of the folder menu's convert entries ("&Convert to "x"");
    // set by the frame, which knows the proposed output folder.
    void SetLabelMaker(std::function<QString(const std::u16string& folder, bool recursive)> maker)
    {
        m_labelMaker = std::move(maker);
    }

    QTreeView* Tree() const { return m_tree; }
    CFolderTreeModel* Model() const { return m_model; }

signals:
    void folderSelected(const QString& folder);
    void commandRequested(int command, const QString& folder);
    void propertiesRequested(const QString& folder);

private:
    void OnPathEntered();
    void FollowOpened(const QModelIndex& index);
    void ShowMenu(const QPoint& at);
    void Browse();
    void Refresh();
    void RememberFolder(const QString& folder);

    CProfileStore& m_store;
    CRecentComboBox* m_path = nullptr;
    QTreeView* m_tree = nullptr;
    CFolderTreeModel* m_model = nullptr;
    bool m_sessionIdle = true;
    bool m_entering = false;  // a path entered by Return is being handled
    std::function<QString(const std::u16string&, bool)> m_labelMaker;
};
