#include "app/window/models/watch_reports.h"

#include "utils/dir_change_watcher.h"

std::shared_ptr<CWatchReports> CWatchReports::Acquire()
{
    static std::weak_ptr<CWatchReports> current;
    std::shared_ptr<CWatchReports> reports = current.lock();
    if (!reports) {
        reports.reset(new CWatchReports);
        current = reports;
    }
    return reports;
}

CWatchReports::CWatchReports()
{
    QObject::connect(&m_target, &CQtHandlerTarget::posted, &m_target, [](unsigned message) {
        if (message == CDirChangeWatcher::NotificationMessage())
            CDirChangeWatcher::DispatchPendingNotifications();
    });
    CDirChangeWatcher::SetNotificationTarget(&m_target);
}

CWatchReports::~CWatchReports()
{
    CDirChangeWatcher::SetNotificationTarget(nullptr);
}
