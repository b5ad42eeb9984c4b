#include "app/window/models/folder_tree_model.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QStyle>
#include <QTimer>
#include <algorithm>

#include "app/window/models/watch_reports.h"
#include "app/window/qt_text.h"
#include "utils/dir_change_watcher.h"

struct CFolderTreeModel::Node {
    QString name;
    QString path;
    Node* parent = nullptr;
    std::vector<std::unique_ptr<Node>> children;
    bool read = false;
    bool open = false;  // followed while the view shows it open
    bool watched = false;
};

namespace {

// The order QDir gives with Name | IgnoreCase, made total so that two
// readings of one folder merge row by row.
bool Before(const QString& a, const QString& b)
{
    const int folded = a.compare(b, Qt::CaseInsensitive);
    return folded != 0 ? folded < 0 : a < b;
}

QStringList Subfolders(const QString& path)
{
    QStringList names = QDir(path).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    std::sort(names.begin(), names.end(), Before);
    return names;
}

QString ChildPath(const QString& parent, const QString& name)
{
    return parent.endsWith(u'/') ? parent + name : parent + u'/' + name;
}

}  // namespace

class CFolderTreeModel::Handler : public CDirChangeHandler {
public:
    explicit Handler(CFolderTreeModel* owner) : m_owner(owner) { }
    void Detach() { m_owner = nullptr; }

    void OnFileAdded(const std::u16string&) override { Changed(); }
    void OnFileRemoved(const std::u16string&) override { Changed(); }
    void OnFileNameChanged(const std::u16string&, const std::u16string&) override { Changed(); }
    void OnRescanNeeded(const std::u16string&) override { Changed(); }

private:
    void Changed()
    {
        if (m_owner != nullptr)
            m_owner->OnChanged(Qs(GetChangedDirectoryName()));
    }

    CFolderTreeModel* m_owner;
};

CFolderTreeModel::CFolderTreeModel(QObject* parent)
    : QAbstractItemModel(parent),
      m_reports(CWatchReports::Acquire()),
      m_watcher(std::make_unique<CDirChangeWatcher>(true)),
      m_handler(new Handler(this)),
      m_root(std::make_unique<Node>())
{
    auto top = std::make_unique<Node>();
    top->name = top->path = QStringLiteral("/");
    top->parent = m_root.get();
    m_root->children.push_back(std::move(top));
    m_root->read = true;
    m_settle = new QTimer(this);
    m_settle->setSingleShot(true);
    m_settle->setInterval(kSettleMs);
    connect(m_settle, &QTimer::timeout, this, &CFolderTreeModel::ReadChanged);
}

CFolderTreeModel::~CFolderTreeModel()
{
    m_watcher->UnwatchAllDirectories();
    m_handler->Detach();
    m_handler->Release();
}

CFolderTreeModel::Node* CFolderTreeModel::NodeOf(const QModelIndex& index) const
{
    return index.isValid() ? static_cast<Node*>(index.internalPointer()) : m_root.get();
}

QModelIndex CFolderTreeModel::IndexOfNode(Node* node) const
{
    if (node == m_root.get())
        return QModelIndex();
    const auto& siblings = node->parent->children;
    const auto at = std::find_if(siblings.begin(), siblings.end(), [node](const auto& n) { return n.get() == node; });
    return createIndex(static_cast<int>(at - siblings.begin()), 0, node);
}

QModelIndex CFolderTreeModel::index(int row, int column, const QModelIndex& parent) const
{
    const Node* node = NodeOf(parent);
    if (column != 0 || row < 0 || row >= static_cast<int>(node->children.size()))
        return QModelIndex();
    return createIndex(row, 0, node->children[row].get());
}

QModelIndex CFolderTreeModel::parent(const QModelIndex& child) const
{
    if (!child.isValid())
        return QModelIndex();
    return IndexOfNode(NodeOf(child)->parent);
}

int CFolderTreeModel::rowCount(const QModelIndex& parent) const
{
    return static_cast<int>(NodeOf(parent)->children.size());
}

int CFolderTreeModel::columnCount(const QModelIndex&) const
{
    return 1;
}

QVariant CFolderTreeModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid())
        return QVariant();
    const Node* node = NodeOf(index);
    switch (role) {
    case Qt::DisplayRole:
        return node->name;
    case Qt::ToolTipRole:
        return node->path;
    case Qt::DecorationRole:
        return QApplication::style()->standardIcon(QStyle::SP_DirIcon);
    default:
        return QVariant();
    }
}

bool CFolderTreeModel::hasChildren(const QModelIndex& parent) const
{
    // Unread folders show an expander; reading finds out.
    const Node* node = NodeOf(parent);
    return !node->read || !node->children.empty();
}

bool CFolderTreeModel::canFetchMore(const QModelIndex& parent) const
{
    return !NodeOf(parent)->read;
}

void CFolderTreeModel::fetchMore(const QModelIndex& parent)
{
    Node* node = NodeOf(parent);
    if (!node->read)
        Read(node);
}

void CFolderTreeModel::Read(Node* node)
{
    node->read = true;
    const QStringList names = Subfolders(node->path);
    if (!names.isEmpty()) {
        beginInsertRows(IndexOfNode(node), 0, static_cast<int>(names.size()) - 1);
        for (const QString& name : names)
            node->children.push_back(MakeChild(node, name));
        endInsertRows();
    }
}

void CFolderTreeModel::Watch(Node* node)
{
    // Without a watch (the system's limit reached) the folder still shows;
    // Refresh reads it and tries again.
    if (node->open && !node->watched)
        node->watched = m_watcher->WatchDirectory(U16(node->path), CDirChangeWatcher::FILE_NOTIFY_CHANGE_DIR_NAME,
                                                  m_handler) == CDirChangeWatcher::WATCH_OK;
}

void CFolderTreeModel::Reread(Node* node)
{
    QStringList names = Subfolders(node->path);
    // A hidden folder chosen by path stays while it is there.
    for (const auto& child : node->children) {
        if (child->name.startsWith(u'.') && !names.contains(child->name) && QFileInfo(child->path).isDir())
            names.insert(std::lower_bound(names.begin(), names.end(), child->name, Before), child->name);
    }
    const QModelIndex parent = IndexOfNode(node);
    auto& children = node->children;
    int row = 0;
    qsizetype next = 0;
    bool changed = false;
    while (row < static_cast<int>(children.size()) || next < names.size()) {
        const bool haveChild = row < static_cast<int>(children.size());
        if (haveChild && next < names.size() && children[row]->name == names[next]) {
            ++row;
            ++next;
        } else if (haveChild && (next == names.size() || Before(children[row]->name, names[next]))) {
            beginRemoveRows(parent, row, row);
            Forget(children[row].get());
            children.erase(children.begin() + row);
            endRemoveRows();
            changed = true;
        } else {
            Insert(node, names[next++]);
            ++row;
            changed = true;
        }
    }
    if (changed)
        emit foldersChanged();
}

std::unique_ptr<CFolderTreeModel::Node> CFolderTreeModel::MakeChild(Node* parent, const QString& name)
{
    auto child = std::make_unique<Node>();
    child->name = name;
    child->path = ChildPath(parent->path, name);
    child->parent = parent;
    return child;
}

CFolderTreeModel::Node* CFolderTreeModel::Child(const Node* parent, const QString& name)
{
    const auto at = std::find_if(parent->children.begin(), parent->children.end(),
                                 [&](const auto& child) { return child->name == name; });
    return at == parent->children.end() ? nullptr : at->get();
}

CFolderTreeModel::Node* CFolderTreeModel::Insert(Node* parent, const QString& name)
{
    auto& children = parent->children;
    const auto at = std::lower_bound(children.begin(), children.end(), name,
                                     [](const auto& node, const QString& n) { return Before(node->name, n); });
    const int row = static_cast<int>(at - children.begin());
    beginInsertRows(IndexOfNode(parent), row, row);
    Node* child = children.insert(children.begin() + row, MakeChild(parent, name))->get();
    endInsertRows();
    return child;
}

void CFolderTreeModel::Forget(Node* node)
{
    for (const auto& child : node->children)
        Forget(child.get());
    node->open = false;
    Unwatch(node);
}

void CFolderTreeModel::Unwatch(Node* node)
{
    if (node->watched)
        m_watcher->UnwatchDirectory(U16(node->path));
    node->watched = false;
}

void CFolderTreeModel::Follow(const QModelIndex& index, bool open)
{
    Node* node = NodeOf(index);
    if (node == m_root.get())
        return;
    if (!open) {
        Forget(node);
        return;
    }
    // What changed while it was closed shows as it opens.
    if (node->read)
        Reread(node);
    else
        Read(node);
    node->open = true;
    Watch(node);
}

CFolderTreeModel::Node* CFolderTreeModel::FindRead(const QString& path) const
{
    Node* node = m_root->children.front().get();
    const QStringList parts = path.split(u'/', Qt::SkipEmptyParts);
    for (const QString& part : parts) {
        node = Child(node, part);
        if (node == nullptr)
            return nullptr;
    }
    return node->read ? node : nullptr;
}

QModelIndex CFolderTreeModel::IndexOf(const QString& path)
{
    const QFileInfo info(path);
    if (!info.isAbsolute() || !info.isDir())
        return QModelIndex();
    Node* node = m_root->children.front().get();
    for (const QString& part : QDir::cleanPath(path).split(u'/', Qt::SkipEmptyParts)) {
        if (!node->read)
            Read(node);
        Node* child = Child(node, part);
        // Hidden, or made since the folder was read.
        node = child != nullptr ? child : Insert(node, part);
    }
    return IndexOfNode(node);
}

QString CFolderTreeModel::FilePath(const QModelIndex& index) const
{
    return index.isValid() ? NodeOf(index)->path : QString();
}

void CFolderTreeModel::Refresh()
{
    std::vector<Node*> pending{m_root->children.front().get()};
    while (!pending.empty()) {
        Node* node = pending.back();
        pending.pop_back();
        if (!node->read)
            continue;
        Reread(node);
        Watch(node);
        for (const auto& child : node->children)
            pending.push_back(child.get());
    }
}

int CFolderTreeModel::WatchedFolderCount() const
{
    return m_watcher->GetWatchedDirectoryCount();
}

void CFolderTreeModel::OnChanged(const QString& folder)
{
    m_changed.insert(folder);
    m_settle->start();
}

void CFolderTreeModel::ReadChanged()
{
    const QSet<QString> changed = std::exchange(m_changed, {});
    for (const QString& folder : changed) {
        // A folder removed with its parent is gone by now.
        if (Node* node = FindRead(folder))
            Reread(node);
    }
}
