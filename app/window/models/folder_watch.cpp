#include "app/window/models/folder_watch.h"

#include <QTimer>

#include "app/window/models/watch_reports.h"
#include "app/window/qt_text.h"
#include "utils/dir_change_watcher.h"

class CFolderWatch::Handler : public CDirChangeHandler {
public:
    explicit Handler(CFolderWatch* owner) : m_owner(owner) { }
    // The watch ends before its owner does; reports after that go nowhere.
    void Detach() { m_owner = nullptr; }

    void OnFileAdded(const std::u16string&) override { Changed(); }
    void OnFileRemoved(const std::u16string&) override { Changed(); }
    void OnFileNameChanged(const std::u16string&, const std::u16string&) override { Changed(); }
    void OnFileModified(const std::u16string&) override { Changed(); }
    void OnRescanNeeded(const std::u16string&) override { Changed(); }

private:
    void Changed()
    {
        if (m_owner != nullptr)
            m_owner->OnChange();
    }

    CFolderWatch* m_owner;
};

CFolderWatch::CFolderWatch(QObject* parent)
    : QObject(parent),
      m_reports(CWatchReports::Acquire()),
      m_watcher(std::make_unique<CDirChangeWatcher>(true)),
      m_handler(new Handler(this))
{
    m_settle = new QTimer(this);
    m_settle->setSingleShot(true);
    m_settle->setInterval(kSettleMs);
    connect(m_settle, &QTimer::timeout, this, [this] {
        if (!m_folder.isEmpty())
            emit folderChanged(m_folder);
    });
}

CFolderWatch::~CFolderWatch()
{
    m_watcher->UnwatchAllDirectories();
    m_handler->Detach();
    m_handler->Release();
}

bool CFolderWatch::Watch(const QString& folder)
{
    if (folder == m_folder)
        return true;
    if (!m_folder.isEmpty())
        m_watcher->UnwatchDirectory(U16(m_folder));
    m_settle->stop();
    m_folder.clear();
    if (folder.isEmpty())
        return true;
    const uint32_t changes = CDirChangeWatcher::FILE_NOTIFY_CHANGE_FILE_NAME |
                             CDirChangeWatcher::FILE_NOTIFY_CHANGE_SIZE |
                             CDirChangeWatcher::FILE_NOTIFY_CHANGE_LAST_WRITE;
    if (m_watcher->WatchDirectory(U16(folder), changes, m_handler) != CDirChangeWatcher::WATCH_OK)
        return false;
    m_folder = folder;
    return true;
}

void CFolderWatch::OnChange()
{
    m_settle->start();
}
