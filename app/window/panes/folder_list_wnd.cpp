#include "app/window/panes/folder_list_wnd.h"

#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>

#include "app/locale/tr.h"
#include "app/settings/profile_store.h"
#include "app/window/dialogs/dialog_prompt.h"
#include "app/window/models/folder_tree_model.h"
#include "app/window/models/recent_lists.h"
#include "app/window/qt_text.h"
#include "controls/recent_combo_box.h"

CFolderListWnd::CFolderListWnd(CProfileStore& store, QWidget* parent) : QWidget(parent), m_store(store)
{
    setObjectName(QStringLiteral("FolderWnd"));
    m_path = new CRecentComboBox(this);
    m_path->setObjectName(QStringLiteral("FolderPath"));
    m_path->setInsertPolicy(QComboBox::NoInsert);
    m_path->SetRecentList(MakeRecentList(m_store, CProfileStore::kRecentFolderKey));
    m_path->SetText(QString());

    m_model = new CFolderTreeModel(this);
    m_tree = new QTreeView(this);
    m_tree->setObjectName(QStringLiteral("FolderTree"));
    m_tree->setModel(m_model);
    m_tree->header()->hide();
    m_tree->setContextMenuPolicy(Qt::CustomContextMenu);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_path);
    layout->addWidget(m_tree);

    // Return in the box and a choice from its list; Return on a text the list
    // holds reports both, which is one entry.
    connect(m_path->lineEdit(), &QLineEdit::returnPressed, this, &CFolderListWnd::OnPathEntered);
    connect(m_path, &QComboBox::activated, this, &CFolderListWnd::OnPathEntered);
    connect(m_tree, &QWidget::customContextMenuRequested, this, &CFolderListWnd::ShowMenu);
    connect(m_tree, &QTreeView::expanded, this, &CFolderListWnd::FollowOpened);
    connect(m_tree, &QTreeView::collapsed, this, [this](const QModelIndex& index) { m_model->Follow(index, false); });
    connect(m_tree->selectionModel(), &QItemSelectionModel::currentChanged, this, [this](const QModelIndex& current) {
        if (!current.isValid())
            return;
        const QString folder = m_model->FilePath(current);
        m_path->SetText(folder);
        emit folderSelected(folder);
    });
}

CFolderListWnd::~CFolderListWnd() = default;

void CFolderListWnd::FollowOpened(const QModelIndex& index)
{
    // Folders left open inside it show again without their own signal.
    m_model->Follow(index, true);
    for (int row = 0; row < m_model->rowCount(index); ++row) {
        const QModelIndex child = m_model->index(row, 0, index);
        if (m_tree->isExpanded(child))
            FollowOpened(child);
    }
}

std::u16string CFolderListWnd::SelectedFolder() const
{
    const QModelIndex current = m_tree->currentIndex();
    return current.isValid() ? U16(m_model->FilePath(current)) : std::u16string();
}

bool CFolderListWnd::SelectFolder(const std::u16string& folder)
{
    const QFileInfo info(Qs(folder));
    if (!info.isDir())
        return false;
    const QModelIndex index = m_model->IndexOf(info.absoluteFilePath());
    if (!index.isValid())
        return false;
    for (QModelIndex parent = index.parent(); parent.isValid(); parent = parent.parent())
        m_tree->expand(parent);
    m_tree->setCurrentIndex(index);
    m_tree->scrollTo(index, QAbstractItemView::PositionAtCenter);
    return true;
}

void CFolderListWnd::OnPathEntered()
{
    if (m_entering)
        return;
    m_entering = true;
    QTimer::singleShot(0, this, [this] { m_entering = false; });
    const QString typed = m_path->currentText().trimmed();
    if (typed.isEmpty())
        return;
    if (!SelectFolder(U16(QDir::cleanPath(QDir::current().absoluteFilePath(typed))))) {
        ShowDialogPrompt(this, QMessageBox::Warning, Qs(Tr("FolderView", "Unable to open this folder.")));
        return;
    }
    RememberFolder(Qs(SelectedFolder()));
}

void CFolderListWnd::RememberFolder(const QString& folder)
{
    m_path->AddRecent(folder);
}

void CFolderListWnd::ShowMenu(const QPoint& at)
{
    const std::u16string folder = SelectedFolder();
    const bool haveFolder = !folder.empty();
    const auto label = [&](const std::u16string& plain, bool recursive) {
        return m_labelMaker && haveFolder ? m_labelMaker(folder, recursive) : Qs(plain);
    };
    QMenu menu(this);
    const auto add = [&](const QString& text, bool enabled, auto&& action) {
        QAction* a = menu.addAction(text);
        a->setEnabled(enabled);
        connect(a, &QAction::triggered, this, action);
    };
    const auto request = [this](Command command) {
        return [this, command] { emit commandRequested(command, Qs(SelectedFolder())); };
    };
    add(Qs(Tr("FolderView", "&Detect")), haveFolder && m_sessionIdle, request(Detect));
    add(Qs(Tr("FolderView", "Recursively Detect")), haveFolder && m_sessionIdle, request(DetectRecursively));
    menu.addSeparator();
    add(label(Tr("FolderView", "&Convert"), false), haveFolder && m_sessionIdle, request(Convert));
    add(label(Tr("FolderView", "Recursively Convert"), true), haveFolder && m_sessionIdle, request(ConvertRecursively));
    add(Qs(Tr("FolderView", "Convert to...")), haveFolder && m_sessionIdle, request(ConvertTo));
    menu.addSeparator();
    add(Qs(Tr("FolderView", "&Refresh")), true, [this] { Refresh(); });
    add(Qs(Tr("FolderView", "&Browse...")), true, [this] { Browse(); });
    add(Qs(Tr("FolderView", "&Properties...")), haveFolder, [this] { emit propertiesRequested(Qs(SelectedFolder())); });
    menu.exec(m_tree->viewport()->mapToGlobal(at));
}

void CFolderListWnd::Browse()
{
    const QString folder =
        QFileDialog::getExistingDirectory(this, Qs(Tr("FolderView", "&Browse...")).remove(u'&'), Qs(SelectedFolder()));
    if (!folder.isEmpty() && SelectFolder(U16(folder)))
        RememberFolder(folder);
}

void CFolderListWnd::Refresh()
{
    // Folders follow the disk on their own; this catches up those whose
    // watch could not be made.
    m_model->Refresh();
}
