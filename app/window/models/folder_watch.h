#pragma once

#include <QObject>
#include <QString>
#include <memory>

class CDirChangeWatcher;
class CWatchReports;
class QTimer;

// Watches the folder the file view shows and says, once things settle, that
// its files changed: files appeared, vanished, were renamed or written.
// Reports come through the watchers' interface queue, drained on this
// (the interface) thread.
class CFolderWatch : public QObject {
    Q_OBJECT

public:
    explicit CFolderWatch(QObject* parent = nullptr);
    ~CFolderWatch() override;

    // Watches folder alone (not its subfolders); empty stops watching.
    // False when the folder cannot be watched.
    bool Watch(const QString& folder);
    const QString& Folder() const { return m_folder; }

    // Changes closer together than this make one notice.
    static constexpr int kSettleMs = 400;

signals:
    void folderChanged(const QString& folder);

private:
    class Handler;
    void OnChange();

    std::shared_ptr<CWatchReports> m_reports;
    std::unique_ptr<CDirChangeWatcher> m_watcher;
    Handler* m_handler = nullptr;  // reference counted
    QTimer* m_settle = nullptr;
    QString m_folder;
};
