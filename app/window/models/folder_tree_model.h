#pragma once

#include <QAbstractItemModel>
#include <QSet>
#include <QString>
#include <memory>
#include <vector>

class CDirChangeWatcher;
class CWatchReports;
class QTimer;

// The folder tree from "/" down. A folder's subfolders are read when the view
// first asks for them. An open folder follows the disk: it is watched for
// subfolders made, removed or renamed, and read again once the changes
// settle. Closed folders are not watched (each watch takes one of the few
// change queues a user may have) and are read again when opened. Hidden
// folders are left out unless one is chosen by path.
class CFolderTreeModel : public QAbstractItemModel {
    Q_OBJECT

public:
    explicit CFolderTreeModel(QObject* parent = nullptr);
    ~CFolderTreeModel() override;

    QModelIndex index(int row, int column, const QModelIndex& parent = QModelIndex()) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool hasChildren(const QModelIndex& parent = QModelIndex()) const override;
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;

    // The item of an absolute folder path, reading the folders on the way;
    // invalid when the path is no folder.
    QModelIndex IndexOf(const QString& path);
    QString FilePath(const QModelIndex& index) const;
    // An opened folder is read again and followed; a closed one, with all
    // below it, is no longer watched.
    void Follow(const QModelIndex& index, bool open);
    // Reads every folder read so far again.
    void Refresh();
    int WatchedFolderCount() const;

    // Changes closer together than this make one new reading.
    static constexpr int kSettleMs = 200;

signals:
    // Folders were added or removed after a change on disk or a refresh.
    void foldersChanged();

private:
    struct Node;
    class Handler;

    Node* NodeOf(const QModelIndex& index) const;
    QModelIndex IndexOfNode(Node* node) const;
    Node* FindRead(const QString& path) const;
    void Read(Node* node);
    void Reread(Node* node);
    void Watch(Node* node);
    void Forget(Node* node);
    void Unwatch(Node* node);
    Node* Insert(Node* parent, const QString& name);
    static std::unique_ptr<Node> MakeChild(Node* parent, const QString& name);
    static Node* Child(const Node* parent, const QString& name);
    void OnChanged(const QString& folder);
    void ReadChanged();

    std::shared_ptr<CWatchReports> m_reports;
    std::unique_ptr<CDirChangeWatcher> m_watcher;
    Handler* m_handler = nullptr;  // reference counted
    std::unique_ptr<Node> m_root;  // holds "/" as its one child
    QSet<QString> m_changed;
    QTimer* m_settle = nullptr;
};
